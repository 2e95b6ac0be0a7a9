#include "window/TextureMaker.h"

#include "render/GLTexture.h"

#include <QOpenGLContext>

#include <utility>

std::unique_ptr<TextureMaker> TextureMaker::Start(QOpenGLContext* view)
{
    if (!view || !QOpenGLContext::supportsThreadedOpenGL())
        return nullptr;
    std::unique_ptr<TextureMaker> maker(new TextureMaker);
    maker->surface_.setFormat(view->format());
    maker->surface_.create();
    if (!maker->surface_.isValid())
        return nullptr;
    auto context = std::make_unique<QOpenGLContext>();
    context->setShareContext(view);
    context->setFormat(view->format());
    if (!context->create() || !context->shareContext())
        return nullptr; // a texture made in it would not be the view's
    maker->context_ = context.release();
    maker->worker_ = new QObject;
    maker->worker_->moveToThread(&maker->thread_);
    maker->context_->moveToThread(&maker->thread_);
    maker->thread_.start();
    return maker;
}

TextureMaker::~TextureMaker()
{
    stopping_ = true;
    thread_.quit();
    thread_.wait();
    // The thread is over: what lived there may go from here.
    delete worker_;
    delete context_;
}

void TextureMaker::Make(int width, int height, std::function<void(unsigned name)> done,
                        std::shared_ptr<const std::atomic<bool>> dropped)
{
    QMetaObject::invokeMethod(
        worker_,
        [this, width, height, done = std::move(done), dropped = std::move(dropped)]() mutable {
            GLuint name = 0;
            if (stopping_)
                return; // nobody waits for it any more
            // The driver holds a lock the view's drawing needs while it clears
            // the storage: none is made for a cover no longer wanted.
            if ((!dropped || !dropped->load()) && context_->makeCurrent(&surface_)) {
                GLTexture texture;
                if (texture.BeginUploadInParts(width, height)) {
                    // Complete before the view's context uses it.
                    glFinish();
                    name = texture.Release();
                }
                context_->doneCurrent();
            }
            QMetaObject::invokeMethod(
                this, [name, done = std::move(done)] { done(name); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

#pragma once
// Makes the empty storage of large cover textures on a thread of its own, in
// a context that shares its objects with the view's. A software GL allocates
// and clears a 4096 x 4096 texture in one call: a few milliseconds when the
// system hands out memory quickly, several hundred when it does not, which
// the window's thread must not wait for. The rows are then sent from the
// window's thread as before, into memory that is ready.
#include <QObject>
#include <QOffscreenSurface>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class QOpenGLContext;

class TextureMaker : public QObject {
public:
    // On the window's thread, with `view` its view's context. Null where
    // contexts cannot be used on other threads or the second context cannot
    // be made: the caller then makes its textures itself.
    static std::unique_ptr<TextureMaker> Start(QOpenGLContext* view);
    ~TextureMaker() override; // waits for the texture being made; ones not yet handed over go with the context

    // Asks for an empty width x height RGBA texture with a new texture's
    // parameters (GLTexture::BeginUploadInParts). `done` runs later on
    // the window's thread with its name, or 0 when it could not be made or
    // was dropped before its turn (`dropped` true: the GL's shared lock is
    // not held for a texture nobody wants); not at all once the maker is gone.
    void Make(int width, int height, std::function<void(unsigned name)> done,
              std::shared_ptr<const std::atomic<bool>> dropped = nullptr);

private:
    TextureMaker() = default;

    QThread thread_;
    QOffscreenSurface surface_;
    QOpenGLContext* context_ = nullptr; // lives on thread_
    QObject* worker_ = nullptr;         // lives on thread_: queued jobs run there
    std::atomic<bool> stopping_{false}; // jobs still queued then do nothing
};

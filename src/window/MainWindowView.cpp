// The GL view: its callbacks, the panel's place in the box and the frames it draws.
#include "window/MainWindow.h"

#include "render/BaseLevel.h"
#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "window/GLPanel.h"
#include "window/ScreenCentre.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

void MainWindow::ConnectView()
{
    view->OnGLInit = [this](GLPanel*) {
        // Covers read from now on are scaled for this GL's largest texture.
        GLint maxSide = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
        SetTextureSizeLimit(maxSide);
        Renderer.InitGL(view->Driver(), document_.Params);
    };
    view->OnGLPrep = [this](GLPanel*) {
        Renderer.PrepareGL(Textures(), Thumbnails());
        // Pictures chosen before the view existed had no context to become
        // textures in; they are read again once this first paint is done.
        bool coversWaiting = false;
        for (int slot = 0; slot < CoverSlotCount; ++slot)
            coversWaiting = coversWaiting || !document_.Cover(slot).Path.isEmpty();
        if (pendingOpen_ || coversWaiting)
            QTimer::singleShot(0, this, [this] {
                // A load still running installs its own picture once it ends.
                for (int slot = 0; slot < CoverSlotCount; ++slot)
                    if (!document_.Cover(slot).Path.isEmpty() &&
                        coverLoadsInSlot_[static_cast<std::size_t>(slot)] == 0)
                        SelectCoverImage(slot, true);
                if (auto open = std::exchange(pendingOpen_, nullptr))
                    open();
            });
    };
    view->OnResize = [this](GLPanel*) { ViewResized(); };
    view->OnGLChanges = [this](GLPanel*) { ApplyGLChanges(); };
    view->OnGLRelease = [this](GLPanel*) { ReleaseGLObjects(); };
    view->OnGLDraw = [this](GLPanel*) {
        DrawFlags flags;
        flags.AppActive = appActive_;
        flags.SuspendDraw = suspendDraw_;
        if (fitPending_ && appActive_ && !suspendDraw_)
            MeasurePendingFit();
        if (!suspendDraw_)
            ApplyOutputViewport(); // Qt resets the viewport to the whole panel for each paint
        const auto draw = [&] { Renderer.DrawFrame(document_.Params, Textures(), flags); };
        // With samples, as Write draws them; one sample is the classic frame.
        const bool sampled = appActive_ && !suspendDraw_ &&
                             view->DrawWithSamples(document_.Params.Looks.Samples, OutputPixelSize(), draw);
        if (!sampled)
            draw();
        frameSkipped_ = appActive_ && suspendDraw_;
        if (frameSkipped_)
            RedrawWhenResumed();
    };
    view->OnMouseDown = [this](QMouseEvent* e) { ViewMousePressed(e); };
    view->OnMouseMove = [this](QMouseEvent* e) { ViewMouseMoved(e); };
    view->OnMouseUp = [this](QMouseEvent* e) { ViewMouseReleased(e); };
    // One filter for the whole window: wheel turns anywhere in it, clicks on
    // the colour panel and the previews, drops, and the scroll box's resizes.
    qApp->installEventFilter(this);
}

SlotTextures MainWindow::Textures()
{
    SlotTextures textures{};
    for (int i = 0; i < ClassicSlotCount; ++i)
        textures[static_cast<std::size_t>(i)] = Covers[static_cast<std::size_t>(i)].Texture.get();
    // An own side picture shows once the document names it and its texture
    // is made; until then, and without one, the side shows its pair's.
    for (int i = ClassicSlotCount; i < CoverSlotCount; ++i) {
        GLTexture* texture = Covers[static_cast<std::size_t>(i)].Texture.get();
        if (texture && texture->Name() != 0 && !document_.Cover(i).Path.isEmpty())
            textures[static_cast<std::size_t>(i)] = texture;
    }
    return textures;
}

SlotThumbnails MainWindow::Thumbnails()
{
    SlotThumbnails thumbnails{};
    for (int i = 0; i < CoverSlotCount; ++i)
        thumbnails[static_cast<std::size_t>(i)] = &Covers[static_cast<std::size_t>(i)].Thumbnail;
    return thumbnails;
}

void MainWindow::PlacePanel(int width, int height)
{
    // The output size counts device pixels: on a scaled screen the panel
    // takes just enough logical pixels to hold them, so the view shows the
    // result 1:1. Centred in the box, truncated toward zero; negative when it
    // is larger.
    const qreal ratio = view->devicePixelRatioF();
    auto logical = [ratio](int pixels) {
        if (ratio == 1.0)
            return pixels;
        int units = static_cast<int>(std::ceil(pixels / ratio - 1e-9));
        while (std::lround(units * ratio) < pixels)
            ++units;
        return units;
    };
    const int w = logical(width);
    const int h = logical(height);
    const int left = (viewBox->width() - w) / 2;
    const int top = (viewBox->height() - h) / 2;
    view->setGeometry(left, top, w, h);
}

void MainWindow::RedrawWhenResumed()
{
    // Drawing is suspended only while a file is read or written, which may
    // show a modal message; look again a little later rather than lose the frame.
    if (resumeCheckPending_)
        return;
    resumeCheckPending_ = true;
    QTimer::singleShot(SuspendedRetryMs, this, [this] {
        resumeCheckPending_ = false;
        if (frameSkipped_) // else a frame was drawn since
            view->RequestFrame();
    });
}

namespace {
const QString SizeLabelsSection = QStringLiteral("Preference");
const QString SizeLabelsName = QStringLiteral("SizeLabels");
} // namespace

void MainWindow::ConnectSizeLabels()
{
    // The classic numbers stay the default; a choice is kept across starts.
    int stored = 0;
    try {
        stored = Store().LoadNumber(SizeLabelsSection, SizeLabelsName, 0);
    } catch (const RegistryError& e) {
        startupProblems_ << e.Message();
    }
    if (stored >= 0 && stored <= static_cast<int>(SizeLabels::Inches))
        sizeLabels_ = static_cast<SizeLabels>(stored);
    sizeLabelsMenu = viewMenu->addMenu(QStringLiteral("Size &labels"));
    sizeLabelsMenu->setObjectName(QStringLiteral("sizeLabelsMenu"));
    auto* group = new QActionGroup(sizeLabelsMenu);
    const std::pair<const char*, QString> choices[] = {{"sizeLabelsClassic", QStringLiteral("&Slider values")},
                                                       {"sizeLabelsMm", QStringLiteral("&Millimetres")},
                                                       {"sizeLabelsIn", QStringLiteral("&Inches")}};
    for (int i = 0; i < 3; ++i) {
        QAction* action = sizeLabelsMenu->addAction(choices[i].second);
        action->setObjectName(QLatin1String(choices[i].first));
        action->setCheckable(true);
        action->setChecked(i == static_cast<int>(sizeLabels_));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] {
            sizeLabels_ = static_cast<SizeLabels>(i);
            ShowDocument(DocumentChange::Sliders);
            try {
                Store().StoreNumber(SizeLabelsSection, SizeLabelsName, i);
            } catch (const RegistryError& e) {
                ShowError(e.Message());
            }
        });
    }
    if (sizeLabels_ != SizeLabels::Classic)
        ShowDocument(DocumentChange::Sliders);
}

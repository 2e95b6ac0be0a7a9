// Writing the result image and the output folder.
#include "window/MainWindow.h"

#include "engine/PictureLimits.h"
#include "render/Supersample.h"
#include "window/FolderPicker.h"
#include "window/GLPanel.h"
#include "window/SaveImageDialog.h"
#include "services/ProductInfo.h"
#include "window/ShellOpen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>

#include <QTimer>

#include <functional>
#include <memory>

namespace {

// A move to a screen of another scale changes how many logical pixels the
// output needs: the panel is placed anew once the new scale is in force.
class ScaleWatcher final : public QObject {
public:
    ScaleWatcher(QObject* owner, std::function<void()> replace)
        : QObject(owner), replace_(std::move(replace))
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ScreenChangeInternal)
            QTimer::singleShot(0, this, replace_);
        return false;
    }

private:
    std::function<void()> replace_;
};

} // namespace

void MainWindow::ConnectResults()
{
    view->installEventFilter(new ScaleWatcher(this, [this] { ApplyOutputSize(); }));
    connect(writeButton, &QToolButton::clicked, this, [this] { WriteClicked(); });
    connect(writeAction, &QAction::triggered, this, [this] { WriteClicked(); });
    connect(browseButton, &QToolButton::clicked, this, [this] { BrowseClicked(); });
}

QSize MainWindow::OutputPixelSize() const
{
    return QSize(document_.Position(Slider::ImageWidth), document_.Position(Slider::ImageHeight));
}

void MainWindow::ApplyOutputViewport()
{
    // The panel may hold a pixel more than the output on a scaled screen:
    // the output fills its lower left, so the capture reads exactly it.
    const QSize pixels = OutputPixelSize();
    view->Driver().SetViewport(SystemGL(), pixels.width(), pixels.height());
}

void MainWindow::WriteClicked()
{
    // The picture is what the controls say now, even when their frame is
    // still waiting for the next refresh.
    if (view->FramePending() && appActive_)
        view->RenderNow();
    suspendDraw_ = true;
    struct Resume {
        bool& suspended;
        ~Resume() { suspended = false; }
    } resume{suspendDraw_};

    auto dialog = std::make_unique<SaveImageDialog>(Store(), Dialogs(), this);
    QImage bitmap;
    // Pending repaints and input run now; none of them draws a new frame.
    QCoreApplication::processEvents();

    // The panel's framebuffer still holds the frame last shown; drawing
    // stays suspended while the dialog is up, so it still does for a re-draw.
    const auto grab = [this](int samples, QImage& result) {
        bool grabbed = false;
        view->ReadFrame([&] {
            ApplyOutputViewport();
            grabbed = GrabResult(result, samples);
        });
        return grabbed;
    };
    const int samples = document_.Params.Looks.Samples;
    if (!grab(samples, bitmap)) {
        ShowError(QStringLiteral("Can not allocate enough video memory. Try again with a smaller image."));
        return;
    }

    dialog->SetResultBitmap(&bitmap);
    dialog->SetSamples(samples);
    dialog->Redraw = grab;
    // A folder that is gone (a project from another machine, say) is no
    // place to start: the user's pictures are.
    dialog->SetFolder(ExistingFolderOr(document_.OutputFolder(), UserPicturesFolder()));
    // Other sizes and formats are drawn from the box as it is now.
    dialog->SetDocument(document_, projectFile_);
    dialog->SetDrawingLimits(HeadlessMaxSide(), RayMemoryBudget());
    if (Dialogs().Exec(*dialog) != QDialog::Accepted)
        return;

    // The count the picture was written with is the one the user settled on.
    BoxLooks looks = document_.Params.Looks;
    looks.Samples = dialog->Samples();
    document_.SetLooks(looks);
    // So is the engine: the project keeps it (the view stays the raster).
    document_.SetEngine(dialog->Engine());

    // The folder the file went to (its name may hold folders of its own).
    QString folder = QDir::toNativeSeparators(
        dialog->WrittenPath().isEmpty() ? dialog->FolderText() : QFileInfo(dialog->WrittenPath()).path());
    if (!folder.isEmpty() && !folder.endsWith(QDir::separator()))
        folder += QDir::separator(); // every stored folder ends with one
    document_.SetOutputFolder(folder);
    // Only a file that was really written becomes the last output.
    if (!dialog->WrittenPath().isEmpty()) {
        lastOutput_ = dialog->WrittenPath();
        statusPanels[2]->setText(QStringLiteral("Last output: ") + lastOutput_);
    }
}

bool MainWindow::GrabResult(QImage& bitmap)
{
    return GrabResult(bitmap, document_.Params.Looks.Samples);
}

bool MainWindow::GrabResult(QImage& bitmap, int samples)
{
    if (samples <= 1 && view->ShownSamples() <= 1)
        return GrabFrameToBitmap(bitmap);
    const auto draw = [this] { Renderer.DrawFrame(document_.Params, Textures(), DrawFlags{}); };
    if (samples <= 1) {
        // The view shows more samples: the plain frame is drawn for the
        // capture, then the view's frame again.
        const int shown = view->ShownSamples();
        draw();
        const bool grabbed = GrabFrameToBitmap(bitmap);
        if (!view->DrawWithSamples(shown, OutputPixelSize(), draw))
            draw();
        return grabbed;
    }
    // Drawn anew with the command line's plan, so both give the same pixels.
    try {
        const SamplePlan plan = PlanSamples(samples, CurrentMaxSamples());
        const QImage picture = RenderWithSamples(SystemGL(), OutputPixelSize(), plan, draw);
        QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        if (rgb.isNull())
            return false;
        bitmap = std::move(rgb);
        return true;
    } catch (const SampleError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void MainWindow::BrowseClicked()
{
    const QString folder = QDir::toNativeSeparators(document_.OutputFolder());
    switch (OpenLocalFolder(folder)) {
    case FolderOpening::Opened:
        break;
    case FolderOpening::NoSuchFolder:
        ShowStatusMessage(folder.isEmpty()
                              ? QStringLiteral("No output folder is set.")
                              : QStringLiteral("The output folder %1 does not exist.").arg(folder));
        break;
    case FolderOpening::Refused:
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption),
                       QStringLiteral("No program could open the folder %1.").arg(folder));
        break;
    }
}

// New, Open, Save and Save as, and the project file's save and load routines.
#include "window/MainWindow.h"

#include "engine/OutputGuard.h"
#include "document/ProjectApply.h"
#include "formats/ProjectOpen.h"
#include "formats/ProjectError.h"
#include "services/ProductInfo.h"
#include "window/FolderPicker.h"
#include "window/GLPanel.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace {

const QString OpenFilter = QStringLiteral("Project Cubiform (*.pcf)|*.pcf");
const QString SaveFilter = QStringLiteral("Project Cubiform (*.pcf)|*.pcf|All files|*.*");

// Freezes the view while a file is read or written, on every way out.
class SuspendGuard {
public:
    explicit SuspendGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~SuspendGuard() { flag_ = false; }
    SuspendGuard(const SuspendGuard&) = delete;
    SuspendGuard& operator=(const SuspendGuard&) = delete;

private:
    bool& flag_;
};

QString FolderOf(const QString& path)
{
    QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace

void MainWindow::ConnectProjects()
{
    newProjectAction->setShortcut(QKeySequence::New);
    openProjectAction->setShortcut(QKeySequence::Open);
    saveProjectAction->setShortcut(QKeySequence::Save);
    saveProjectAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(newProjectAction, &QAction::triggered, this, [this] { NewProjectClicked(); });
    connect(openProjectAction, &QAction::triggered, this, [this] { OpenProjectClicked(); });
    connect(saveProjectAction, &QAction::triggered, this, [this] { SaveProjectClicked(); });
    connect(saveProjectAsAction, &QAction::triggered, this, [this] { SaveProjectAsClicked(); });
    connect(newButton, &QToolButton::clicked, this, [this] { NewProjectClicked(); });
    connect(openButton, &QToolButton::clicked, this, [this] { OpenProjectClicked(); });
    connect(saveButton, &QToolButton::clicked, this, [this] { SaveProjectClicked(); });
}

std::optional<QString> MainWindow::ProjectSaveRefusal(const QString& path) const
{
    return OutputRefusal(JobOf(DocumentInputs(document_, QString()), {{QStringLiteral("project"), path}}));
}

bool MainWindow::SaveProject(const QString& path)
{
    // As the command line refuses it: a project over one of its covers.
    if (const std::optional<QString> refusal = ProjectSaveRefusal(path)) {
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), *refusal);
        return false;
    }
    const SuspendGuard suspend(suspendDraw_);
    const CoverPaths covers = CoverPathsOf(document_);
    const QByteArray bytes = EncodeProject(CaptureProject(document_, covers, document_.OutputFolder()));
    try {
        if (!SaveProjectFile(path, bytes)) {
            Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), FileInUseText(path));
            return false;
        }
    } catch (const ProjectError& e) {
        ShowError(e.Text());
        return false;
    }
    return true;
}

bool MainWindow::LoadProject(const QString& path)
{
    {
        const SuspendGuard suspend(suspendDraw_);
        std::optional<OpenedProject> project;
        try {
            // Every value is read and checked before anything changes, so a
            // damaged file leaves the window as it was.
            project = ReadProjectFile(path);
            if (!project)
                return false;
        } catch (const ProjectError& e) {
            if (e.kind() == ProjectError::Kind::NewerVersion)
                Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), e.Text());
            else
                ShowError(QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(path), e.Text()));
            return false;
        }
        OpenProjectInto(*project, document_);
        // Shown as a turn would leave them: an angle of 360 or more as 0.
        document_.WrapAngles();
        ShowAngles(); // the saved angles, not those of the box kind
        // No picture of the project left behind stays: a cover that is
        // missing or damaged shows the placeholder, as it will when opened again.
        ResetCoverSlots();
        document_.MarkSaved();
        ResetHistory();
    }
    // Covers last, read side by side: a missing picture keeps its path, so
    // a save names it still, and its slot the placeholder.
    QStringList missing;
    for (int slot = 0; slot < CoverSlotCount; ++slot) {
        const QString cover = CoverFile(document_.Cover(slot).Path, document_.Cover(slot).Folder);
        if (cover.isEmpty())
            continue;
        if (!QFileInfo(cover).isFile())
            missing << QDir::toNativeSeparators(cover);
        SelectCoverImage(slot, true);
    }
    if (!missing.isEmpty())
        ShowStatusMessage((missing.size() == 1 ? QStringLiteral("Cover file not found: %1")
                                               : QStringLiteral("Cover files not found: %1"))
                              .arg(missing.join(QStringLiteral(", "))));
    return true;
}

bool MainWindow::SaveWithName()
{
    if (projectFile_.isEmpty()) {
        FileDialogRequest request;
        request.Title = QStringLiteral("Save project as");
        request.Filter = SaveFilter;
        request.DefaultSuffix = QStringLiteral(".pcf");
        request.ConfirmOverwrite = true;
        request.StartFolder = ExistingFolderOr(Folder.ProjectFolder, projectsFolder_);
        QString chosen;
        for (;;) {
            chosen = Dialogs().SaveFile(this, request);
            if (chosen.isEmpty())
                return false;
            const std::optional<QString> refusal = ProjectSaveRefusal(chosen);
            if (!refusal)
                break;
            // Said, and asked again with the name as typed: nothing was written.
            Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), *refusal);
            request.FileName = chosen;
        }
        projectFile_ = QDir::toNativeSeparators(chosen);
    }
    if (!SaveProject(projectFile_))
        return false;
    document_.MarkSaved();
    Folder.ProjectFolder = FolderOf(projectFile_);
    projectLabel->setText(QFileInfo(projectFile_).fileName());
    ShowTitle();
    ShowStatusMessage(QStringLiteral("Project saved: %1").arg(projectFile_));
    return true;
}

void MainWindow::SaveProjectClicked()
{
    SaveWithName();
}

void MainWindow::SaveProjectAsClicked()
{
    const QString previous = projectFile_;
    projectFile_.clear();
    SaveWithName();
    if (projectFile_.isEmpty())
        projectFile_ = previous;
}

void MainWindow::OpenProjectClicked()
{
    if (!MaySetProjectAside())
        return;
    FileDialogRequest request;
    request.Filter = OpenFilter;
    request.StartFolder = ExistingFolderOr(Folder.ProjectFolder, projectsFolder_);
    request.FileName = projectFile_;
    const QString chosen = Dialogs().OpenFile(this, request);
    if (chosen.isEmpty())
        return;
    OpenProjectFile(QDir::toNativeSeparators(chosen));
}

bool MainWindow::OpenProjectFile(const QString& path)
{
    // A file that could not be opened does not become the project's file:
    // a later Save would otherwise overwrite it (a newer version's project,
    // say) while the window still shows the previous name.
    if (!LoadProject(path))
        return false;
    projectFile_ = path;
    Folder.ProjectFolder = FolderOf(path); // the next project dialog starts here
    projectLabel->setText(QFileInfo(path).fileName());
    ShowTitle();
    return true;
}

void MainWindow::OpenProjectAtStart(const QString& path)
{
    const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    auto open = [this, full] {
        if (!QFileInfo(full).isFile()) {
            ShowError(QStringLiteral("The project file %1 does not exist.").arg(full));
            return;
        }
        OpenProjectFile(full);
    };
    // Cover pictures become textures, which needs the view's context.
    if (!view->FirstPaintPending())
        open();
    else
        pendingOpen_ = open;
}

bool MainWindow::MaySetProjectAside()
{
    if (!document_.Modified())
        return true;
    const QMessageBox::StandardButton answer =
        Dialogs().Ask(this, QString(ProductInfo::Caption), QStringLiteral("Saving the project first?"),
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return SaveWithName();
    return answer == QMessageBox::No; // dismissed or cancelled: keep everything
}

void MainWindow::ResetCoverSlots()
{
    DropCoverLoads();
    ResetCoverImages(Covers);
    ShowPreviews();
    // The placeholders go into every texture with the next GL changes,
    // after any cover still waiting for its texture, which they replace.
    if (!view->FirstPaintPending()) {
        DropPendingTextures();
        texturesFromThumbnails_ = true;
        view->RequestChanges();
    }
    view->RequestFrame();
}

void MainWindow::ShowTitle()
{
    const QString caption(ProductInfo::Caption);
    const bool modified = document_.Modified();
    // An untitled project keeps the classic caption until it has changes to lose.
    if (projectFile_.isEmpty() && !modified) {
        setWindowTitle(caption);
        return;
    }
    const QString name = projectFile_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(projectFile_).fileName();
    const QString star = modified ? QStringLiteral("*") : QString();
    setWindowTitle(QStringLiteral("%1%2 - %3").arg(name, star, caption));
}

void MainWindow::NewProjectClicked()
{
    if (!MaySetProjectAside())
        return;
    document_.NewProject();
    // The placeholders go into every texture with the frame drawn now,
    // after any cover still waiting for its texture, which they replace.
    if (!view->FirstPaintPending()) {
        DropPendingTextures();
        texturesFromThumbnails_ = true;
    }
    view->RenderNow();
    projectFile_.clear();
    projectLabel->clear();
    document_.MarkSaved();
    ResetHistory();
    ShowTitle();
    if (formBox->isEnabled())
        formBox->setFocus();
}

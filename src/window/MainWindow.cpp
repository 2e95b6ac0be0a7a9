#include "window/MainWindow.h"

#include "render/BaseLevel.h"
#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "window/FolderPicker.h"
#include "window/GLPanel.h"
#include "window/ScreenCentre.h"

#include <QAction>
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

namespace {
QString WithSeparator(QString folder)
{
    folder = QDir::toNativeSeparators(folder);
    if (!folder.isEmpty() && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}
} // namespace

MainWindow::MainWindow(const MainWindowOptions& options, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    BuildControls();
    BuildMenu();
    SetTabOrder();
    Initialise(options);
    ConnectControls();
    document_.MarkSaved(); // what the preferences brought is nothing to save
    ResetHistory();
    ShowTitle();
}

MainWindow::~MainWindow()
{
    Shutdown();
}

QString MainWindow::StatusText(int panel) const
{
    return panel >= 0 && panel < 3 ? statusPanels[panel]->text() : QString();
}

void MainWindow::ShowStatusMessage(const QString& text)
{
    constexpr int shownMs = 6000;
    statusBar()->showMessage(text, shownMs);
}

void MainWindow::SetDefaultFolders()
{
    // The user's folders, never the program's: an installed program's folder
    // is not the user's to write in, and nothing is made at start.
    document_.SetOutputFolder(UserPicturesFolder());
    projectsFolder_ = UserDocumentsFolder();
    Folder.ProjectFolder = projectsFolder_;
    // Covers are the user's pictures, not the program's files.
    Folder.DataFolder = UserPicturesFolder();
}

void MainWindow::Initialise(const MainWindowOptions& options)
{
    suspendDraw_ = false;
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        // Only a real switch to another application stops the drawing; a
        // display without a window manager never activates us at all.
        if (s == Qt::ApplicationActive) {
            everActive_ = true;
            appActive_ = true;
            if (!closed_) {
                view->SetActive(true);
                view->RequestFrame();
            }
        } else if (everActive_) {
            appActive_ = false;
            view->SetActive(false); // no frames at all behind another application
        }
    });
    appActive_ = true;
    for (CoverImage& slot : Covers) {
        slot.Thumbnail = QImage();
        slot.Texture = std::make_unique<GLTexture>();
    }
    Folder.ProjectFolder.clear();
    projectFile_.clear();
    projectLabel->clear();
    document_.Params = BoxParameters{};
    document_.OnChanged = [this](unsigned changes) {
        ShowDocument(changes);
        ShowTitle();
        ChangeNoted();
    };
    document_.SelectSizeClass(1);
    document_.SelectForm(0);
    document_.SelectFog(0);
    ShowDocument(DocumentChange::SizeClass | DocumentChange::Form | DocumentChange::Fog);
    document_.Recompute();
    document_.ApplyOutputSize();
    document_.Params.BackgroundRed = document_.Params.BackgroundGreen = document_.Params.BackgroundBlue = 1.0f;
    setWindowTitle(QString(ProductInfo::Caption));

    if (options.Dialogs) {
        prompts_ = options.Dialogs;
    } else {
        ownPrompts_ = std::make_unique<QtPrompts>();
        prompts_ = ownPrompts_.get();
    }
    store_ = options.SettingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                            : std::make_unique<SettingsStore>(options.SettingsFile);
    store_->OpenStore(QString(ProductInfo::RegistryKey));
    startupProblems_ << EnsureInstallId(*store_);

    programFolder_ = WithSeparator(options.ProgramFolder.isEmpty()
                                       ? QCoreApplication::applicationDirPath()
                                       : options.ProgramFolder);
    SetDefaultFolders();
    document_.ResetProject();
    startupProblems_ << LoadPreferences(*store_, document_, Folder);
    // Earlier versions stored the program's folder as the covers' folder
    // before any pick: that is no pick to come back to.
    if (Folder.DataFolder == programFolder_)
        Folder.DataFolder = UserPicturesFolder();
    startupProblems_ << LoadLookPreferences(*store_, document_);
    document_.ApplySizeClass();
    document_.ApplyForm();
    document_.ApplyFog();
}

void MainWindow::ConnectControls()
{
    BindDocument();
    // Every user scroll (arrows, trough, thumb, keys) is a scroll event. Qt
    // applies the new position only after this signal: apply it first, so
    // the frame drawn at once shows it.
    for (QScrollBar* bar : {resultWidthBar, resultHeightBar, widthBar, thicknessBar, heightBar, depthBar,
                            verticalBar, turnBar, horizontalBar})
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
            bar->setValue(bar->sliderPosition());
            SliderScrolled();
        });
    connect(selectFrontAction, &QAction::triggered, this, [this] { CoverClicked(selectFrontAction); });
    connect(selectSideAction, &QAction::triggered, this, [this] { CoverClicked(selectSideAction); });
    connect(selectTopAction, &QAction::triggered, this, [this] { CoverClicked(selectTopAction); });
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    connect(fitAction, &QAction::triggered, this, &MainWindow::FitClicked);
    ConnectSizeLabels();
    connect(fitButton, &QToolButton::clicked, this, &MainWindow::FitClicked);
    ConnectProjects();
    ConnectResults();
    ConnectHelp();
    ConnectHistory();

    ConnectView();
}

void MainWindow::SetTabOrder()
{
    // Reading order: the column top to bottom, row by row, then the view
    // and the bars under it. The Look panel keeps the order it was made in.
    const QList<QWidget*> order = {newButton,    openButton,     saveButton,      writeButton,  sizeModeBox,
                                   resultWidthBar, resultHeightBar, browseButton, formBox,      sidePreview,
                                   frontPreview, topPreview,     colorPanel,      surroundingBox, lookButton,
                                   shapeButton,  widthBar,       heightBar,       thicknessBar, view,
                                   eyeAngleBox,  verticalBar,    horizontalBar,   fitButton,    depthBar,
                                   turnBar};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::FocusFirstControl()
{
    if (formBox->isEnabled() && formBox->isVisible())
        formBox->setFocus();
}

void MainWindow::showEvent(QShowEvent* event)
{
    if (!shownOnce_ && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        CentreOnScreen(*this); // its final size is known only now, before it appears
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    FocusFirstControl();
    ApplyOutputSize();
    if (!startupProblems_.isEmpty()) {
        const QString text = startupProblems_.join(QLatin1Char('\n'));
        startupProblems_.clear();
        QTimer::singleShot(0, this, [this, text] {
            Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption),
                           QStringLiteral("Some settings could not be read and were reset to their "
                                          "defaults:\n") + text);
        });
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!closed_ && !MaySetProjectAside()) {
        event->ignore();
        return;
    }
    closed_ = true;
    view->SetActive(false);
    event->accept();
}

void MainWindow::Shutdown()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    // Workers post their results to this window: none may still be running
    // when it goes; the posted results go with it unread.
    WaitForCoverLoads();
    SyncBusyCursor();
    qApp->removeEventFilter(this);
    QStringList problems = SavePreferences(*store_, document_, Folder);
    problems << SaveLookPreferences(*store_, document_);
    if (!problems.isEmpty()) {
        // Once, with the first value: when the store refuses one it usually refuses all.
        updateTimer->stop(); // no update check inside the box
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), problems.constFirst());
    }
    // Textures go with their context; without one there never were any.
    if (!view->ReleaseGL()) {
        for (CoverImage& slot : Covers)
            if (slot.Texture)
                slot.Texture->Release();
        ReleaseGLObjects();
    }
    for (CoverImage& slot : Covers)
        slot.Thumbnail = QImage();
}

void MainWindow::ShowError(const QString& text)
{
    Dialogs().Tell(this, QMessageBox::Critical, QString(ProductInfo::Caption), text);
}

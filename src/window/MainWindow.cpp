#include "window/MainWindow.h"

#include "services/SettingsStore.h"
#include "window/GLPanel.h"
#include "services/ProductInfo.h"
#include "window/ScreenCentre.h"
#include "render/BaseLevel.h"

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

// The eye angle is set with the arrows only; typing is off.
class ArrowSpinBox final : public QSpinBox {
public:
    explicit ArrowSpinBox(QWidget* parent) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

constexpr QSize DefaultWindowSize(900, 650);

// Long enough that a drag of the thumb moves the value smoothly.
constexpr int BarTrackMinimum = 140;

// A scroll bar that shows when it has the keyboard focus, as the wheel then moves it.
class FocusScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (!hasFocus())
            return;
        // A frame in the highlight colour just inside the edge.
        QPainter painter(this);
        const QColor c = palette().color(QPalette::Highlight);
        const int w = width(), h = height(), f = FocusFrameWidth;
        painter.fillRect(0, 0, w, f, c);
        painter.fillRect(0, h - f, w, f, c);
        painter.fillRect(0, f, f, h - 2 * f, c);
        painter.fillRect(w - f, f, f, h - 2 * f, c);
    }

private:
    static constexpr int FocusFrameWidth = 2;
};

QScrollBar* MakeBar(QWidget* parent, const char* name, int minimum, int maximum, int position)
{
    auto* bar = new FocusScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(minimum, maximum);
    bar->setValue(position);
    // No page: a trough click or PageUp/PageDown moves one position, and the
    // thumb stays small.
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setMinimumWidth(BarTrackMinimum);
    return bar;
}

// Room for the widest value a label beside a bar shows.
int ValueLabelWidth(const QLabel& label)
{
    return label.fontMetrics().horizontalAdvance(QStringLiteral("0000"));
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setAutoRaise(false);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; color: navy; }"));
    return group;
}

// A sunken blue panel that holds one cover preview, centred and not stretched.
QLabel* MakePreview(QWidget* parent, const char* name, QSize size)
{
    auto* preview = new QLabel(parent);
    preview->setObjectName(QLatin1String(name));
    preview->setFixedSize(size);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::Panel);
    preview->setFrameShadow(QFrame::Sunken);
    preview->setLineWidth(0);
    // A palette, not a style sheet: a style sheet would colour the tooltip too.
    preview->setAutoFillBackground(true);
    QPalette blue = preview->palette();
    blue.setColor(QPalette::Window, QColor(0, 128, 192));
    preview->setPalette(blue);
    preview->setCursor(Qt::PointingHandCursor);
    preview->setToolTip(QStringLiteral("Click to load file"));
    preview->setAcceptDrops(true);
    return preview;
}

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
    FormCreate(options);
    ConnectControls();
}

MainWindow::~MainWindow()
{
    FormDestroy();
}

void MainWindow::BuildControls()
{
    // A small dialog font keeps the classic 646 x 480 layout readable.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(2, 2, 2, 2);
    columns->setSpacing(2);

    // Left column.
    controlColumn = new QGroupBox(central);
    controlColumn->setObjectName(QStringLiteral("controlColumn"));
    // As wide as its widest group needs: every caption whole, every bar long
    // enough to drag, the previews unclipped.
    controlColumn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* left = new QVBoxLayout(controlColumn);
    left->setContentsMargins(3, 3, 3, 3);
    left->setSpacing(3);

    auto* project = MakeGroup(controlColumn, "GroupBox8", QStringLiteral("Project"));
    auto* projectRows = new QVBoxLayout(project);
    projectLabel = MakeLabel(project, "projectLabel");
    projectRows->addWidget(projectLabel);
    auto* projectButtons = new QHBoxLayout;
    newButton = MakeButton(project, "newButton", QStringLiteral("New"), QStringLiteral("Start a new project"));
    openButton = MakeButton(project, "openButton", QStringLiteral("Open"), QStringLiteral("Open existing project"));
    saveButton = MakeButton(project, "saveButton", QStringLiteral("Save"), QStringLiteral("Save project"));
    writeButton = MakeButton(project, "writeButton", QStringLiteral("Write"),
                              QStringLiteral("Write project result as image"));
    QFont bold = writeButton->font();
    bold.setBold(true);
    writeButton->setFont(bold);
    QPalette blueText = writeButton->palette();
    blueText.setColor(QPalette::ButtonText, Qt::blue);
    writeButton->setPalette(blueText);
    for (QToolButton* b : {newButton, openButton, saveButton, writeButton})
        projectButtons->addWidget(b);
    projectRows->addLayout(projectButtons);
    left->addWidget(project);

    auto* results = MakeGroup(controlColumn, "GroupBox6", QStringLiteral("Results"));
    auto* resultsGrid = new QGridLayout(results);
    resultsGrid->addWidget(new QLabel(QStringLiteral("Size mode"), results), 0, 0);
    sizeModeBox = new QComboBox(results);
    sizeModeBox->setObjectName(QStringLiteral("sizeModeBox"));
    sizeModeBox->setEditable(true);
    sizeModeBox->setInsertPolicy(QComboBox::NoInsert);
    sizeModeBox->addItems(SizeClassCaptions());
    resultsGrid->addWidget(sizeModeBox, 0, 1, 1, 2);
    // Made in the order they stand, which is the order Tab visits them.
    resultWidthBar = MakeBar(results, "resultWidthBar", SliderLimits::ImageMin, SliderLimits::ImageStart,
                           SliderLimits::ImageStart);
    resultHeightBar = MakeBar(results, "resultHeightBar", SliderLimits::ImageMin, SliderLimits::ImageStart,
                            SliderLimits::ImageStart);
    browseButton = MakeButton(results, "browseButton", QStringLiteral("Browse"), QStringLiteral("Browse result folder"));
    resultsGrid->addWidget(browseButton, 3, 1, 1, 2);
    resultWidthLabel = MakeLabel(results, "resultWidthLabel");
    resultHeightLabel = MakeLabel(results, "resultHeightLabel");
    for (QLabel* value : {resultWidthLabel, resultHeightLabel})
        value->setMinimumWidth(ValueLabelWidth(*value));
    resultsGrid->addWidget(new QLabel(QStringLiteral("Width"), results), 1, 0);
    resultsGrid->addWidget(resultWidthBar, 1, 1);
    resultsGrid->addWidget(resultWidthLabel, 1, 2);
    resultsGrid->addWidget(new QLabel(QStringLiteral("Height"), results), 2, 0);
    resultsGrid->addWidget(resultHeightBar, 2, 1);
    resultsGrid->addWidget(resultHeightLabel, 2, 2);
    left->addWidget(results);

    auto* form = MakeGroup(controlColumn, "GroupBox14", QStringLiteral("Form"));
    auto* formRows = new QVBoxLayout(form);
    formBox = new QComboBox(form);
    formBox->setObjectName(QStringLiteral("formBox"));
    formBox->setMaxVisibleItems(20);
    formBox->addItems(FormCaptions());
    formBox->setSizeAdjustPolicy(QComboBox::AdjustToContents); // every kind's name shows whole
    formRows->addWidget(formBox);
    left->addWidget(form);

    auto* covers = MakeGroup(controlColumn, "GroupBox3", QStringLiteral("Cover image  (click to load)"));
    auto* coverRow = new QHBoxLayout(covers);
    coverRow->setSpacing(2);
    struct PreviewSpec {
        const char* group;
        const char* name;
        QSize size;
        QLabel** target;
    };
    const PreviewSpec previews[] = {{"Side", "sidePreview", {56, 44}, &sidePreview},
                                    {"Front", "frontPreview", {63, 44}, &frontPreview},
                                    {"Top", "topPreview", {56, 44}, &topPreview}};
    for (const PreviewSpec& p : previews) {
        auto* box = new QGroupBox(QLatin1String(p.group), covers);
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(1, 1, 1, 1);
        *p.target = MakePreview(box, p.name, p.size);
        boxLayout->addWidget(*p.target, 0, Qt::AlignCenter);
        coverRow->addWidget(box);
    }
    left->addWidget(covers);

    auto* surrounding = MakeGroup(controlColumn, "GroupBox9", QStringLiteral("Surrounding  (click to change)"));
    auto* surroundRow = new QHBoxLayout(surrounding);
    colorPanel = MakeLabel(surrounding, "colorPanel");
    colorPanel->setFixedSize(40, 22);
    colorPanel->setFrameShape(QFrame::Panel);
    colorPanel->setFrameShadow(QFrame::Sunken);
    colorPanel->setCursor(Qt::PointingHandCursor);
    surroundingBox = new QComboBox(surrounding);
    surroundingBox->setObjectName(QStringLiteral("surroundingBox"));
    surroundingBox->setEditable(true);
    surroundingBox->setInsertPolicy(QComboBox::NoInsert);
    surroundingBox->addItems(FogCaptions());
    surroundRow->addWidget(colorPanel);
    surroundRow->addWidget(surroundingBox, 1);
    left->addWidget(surrounding);

    auto* dimension = MakeGroup(controlColumn, "GroupBox5", QStringLiteral("Box dimension"));
    auto* dimGrid = new QGridLayout(dimension);
    using namespace SliderLimits;
    widthBar = MakeBar(dimension, "widthBar", SizeMin, SizeMax, SizeStart);
    heightBar = MakeBar(dimension, "heightBar", SizeMin, SizeMax, SizeStart);
    thicknessBar = MakeBar(dimension, "thicknessBar", SizeMin, SizeMax, SizeStart);
    widthLabel = MakeLabel(dimension, "widthLabel");
    heightLabel = MakeLabel(dimension, "heightLabel");
    thicknessLabel = MakeLabel(dimension, "thicknessLabel");
    const std::tuple<const char*, QScrollBar*, QLabel*> dims[] = {
        {"Width", widthBar, widthLabel}, {"Height", heightBar, heightLabel}, {"Thickness", thicknessBar, thicknessLabel}};
    int row = 0;
    for (const auto& [caption, bar, label] : dims) {
        dimGrid->addWidget(new QLabel(QLatin1String(caption), dimension), row, 0);
        dimGrid->addWidget(bar, row, 1);
        label->setMinimumWidth(ValueLabelWidth(*label));
        dimGrid->addWidget(label, row, 2);
        ++row;
    }
    left->addWidget(dimension);
    left->addStretch(1);
    columns->addWidget(controlColumn);

    // Right area: the view and the bar below it.
    auto* right = new QGroupBox(central);
    right->setObjectName(QStringLiteral("GroupBox2"));
    auto* rightRows = new QVBoxLayout(right);
    rightRows->setContentsMargins(2, 2, 2, 2);
    viewBox = new QWidget(right);
    viewBox->setObjectName(QStringLiteral("viewBox"));
    viewBox->setAutoFillBackground(true);
    QPalette blue = viewBox->palette();
    blue.setColor(QPalette::Window, QColor(0, 128, 192));
    viewBox->setPalette(blue);
    viewBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    view = new GLPanel(viewBox);
    view->setObjectName(QStringLiteral("view"));
    view->setCursor(Qt::SizeAllCursor);
    view->setAcceptDrops(true);
    rightRows->addWidget(viewBox, 1);

    // Two rows, so that each bar keeps a track long enough to drag.
    auto* viewBar = new QWidget(right);
    auto* viewGrid = new QGridLayout(viewBar);
    viewGrid->setContentsMargins(2, 0, 2, 0);
    viewGrid->setVerticalSpacing(0);
    eyeAngleBox = new ArrowSpinBox(viewBar);
    eyeAngleBox->setObjectName(QStringLiteral("eyeAngleBox"));
    eyeAngleBox->setRange(EyeMin, EyeMax);
    eyeAngleBox->setValue(EyeStart);
    verticalBar = MakeBar(viewBar, "verticalBar", OffsetMin, OffsetMax, OffsetStart);
    horizontalBar = MakeBar(viewBar, "horizontalBar", OffsetMin, OffsetMax, OffsetStart);
    depthBar = MakeBar(viewBar, "depthBar", DepthMin, DepthMax, DepthStart);
    turnBar = MakeBar(viewBar, "turnBar", TurnMin, TurnMax, TurnStart);
    verticalLabel = MakeLabel(viewBar, "verticalLabel");
    horizontalLabel = MakeLabel(viewBar, "horizontalLabel");
    depthLabel = MakeLabel(viewBar, "depthLabel");
    turnLabel = MakeLabel(viewBar, "turnLabel");
    viewGrid->addWidget(new QLabel(QStringLiteral("Angle"), viewBar), 0, 0);
    viewGrid->addWidget(eyeAngleBox, 0, 1);
    const std::tuple<const char*, QScrollBar*, QLabel*> views[] = {{"Vertical", verticalBar, verticalLabel},
                                                                   {"Horiz.", horizontalBar, horizontalLabel},
                                                                   {"Depth", depthBar, depthLabel},
                                                                   {"Turn", turnBar, turnLabel}};
    int slot = 0;
    for (const auto& [caption, bar, label] : views) {
        const int viewRow = slot / 2;
        const int column = 2 + (slot % 2) * 3;
        viewGrid->addWidget(new QLabel(QLatin1String(caption), viewBar), viewRow, column);
        viewGrid->addWidget(bar, viewRow, column + 1);
        label->setMinimumWidth(ValueLabelWidth(*label));
        viewGrid->addWidget(label, viewRow, column + 2);
        ++slot;
    }
    viewGrid->setColumnStretch(3, 1);
    viewGrid->setColumnStretch(6, 1);
    rightRows->addWidget(viewBar);
    columns->addWidget(right, 1);
    setCentralWidget(central);

    // Status bar: three panels, 120, 120 and 50 wide (the last one grows).
    for (int i = 0; i < 3; ++i) {
        statusPanels[i] = new QLabel(this);
        statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels[i]->setFrameShape(QFrame::Panel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
        if (i < 2)
            statusPanels[i]->setFixedWidth(120);
        else
            statusPanels[i]->setMinimumWidth(50);
        statusBar()->addWidget(statusPanels[i], i == 2 ? 1 : 0);
    }

    // Room for a medium result beside the controls; never less than the layout needs.
    resize(DefaultWindowSize.expandedTo(minimumSizeHint()));

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("updateTimer"));
    updateTimer->setInterval(5000);
    updateTimer->setSingleShot(true);
}

void MainWindow::BuildMenu()
{
    filesMenu = menuBar()->addMenu(QStringLiteral("Files"));
    filesMenu->setObjectName(QStringLiteral("Files"));
    auto add = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    newProjectAction = add(filesMenu, "newProjectAction", QStringLiteral("New project"));
    saveProjectAction = add(filesMenu, "saveProjectAction", QStringLiteral("Save project"));
    saveProjectAsAction = add(filesMenu, "saveProjectAsAction", QStringLiteral("Save project as..."));
    openProjectAction = add(filesMenu, "openProjectAction", QStringLiteral("Open project..."));
    filesMenu->addSeparator();
    selectFrontAction = add(filesMenu, "selectFrontAction", QStringLiteral("Select front/back image..."));
    selectSideAction = add(filesMenu, "selectSideAction", QStringLiteral("Select left/right image..."));
    selectTopAction = add(filesMenu, "selectTopAction", QStringLiteral("Select top/bottom image..."));
    filesMenu->addSeparator();
    writeAction = add(filesMenu, "writeAction", QStringLiteral("Write result..."));
    exitAction = add(filesMenu, "exitAction", QStringLiteral("Exit"));

    helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("Help1"));
    helpContentsAction = add(helpMenu, "helpContentsAction", QStringLiteral("Help contents"));
    automaticCheckAction =
        add(helpMenu, "automaticCheckAction", QStringLiteral("Automatic update check"));
    automaticCheckAction->setCheckable(true);
    checkUpdateAction = add(helpMenu, "checkUpdateAction", QStringLiteral("Check update"));
    mailSupportAction = add(helpMenu, "mailSupportAction", QStringLiteral("E-mail support"));
    websiteAction = add(helpMenu, "websiteAction", QStringLiteral("Website: ") + QString(ProductInfo::WebSite));
    helpMenu->addSeparator();
    aboutAction = add(helpMenu, "aboutAction", QStringLiteral("About"));
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
    // Beside the executable, unless it lives somewhere read-only (an installed
    // program): then the output and projects go to the user's data folder.
    QString base = programFolder_;
    QDir dir(base);
    const bool writable = QFileInfo(base).isWritable() && dir.mkpath(QStringLiteral("Output")) &&
                          dir.mkpath(QStringLiteral("Projects"));
    if (!writable) {
        base = WithSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        QDir(base).mkpath(QStringLiteral("Output"));
        QDir(base).mkpath(QStringLiteral("Projects"));
    }
    Folder.OutputFolder = base + QStringLiteral("Output") + QDir::separator();
    Folder.ProjectFolder = base + QStringLiteral("Projects") + QDir::separator();
    Folder.DataFolder = writable ? programFolder_
                                 : WithSeparator(QStandardPaths::writableLocation(
                                       QStandardPaths::PicturesLocation));
}

void MainWindow::FormCreate(const MainWindowOptions& options)
{
    SuspendDraw = false;
    SimpleGL = std::make_unique<SceneDriver>();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        // Only a real switch to another application stops the drawing; a
        // display without a window manager never activates us at all.
        if (s == Qt::ApplicationActive) {
            everActive_ = true;
            AppActive = true;
            if (!closed_) {
                view->SetActive(true);
                view->RequestFrame();
            }
        } else if (everActive_) {
            AppActive = false;
            view->SetActive(false); // no frames at all behind another application
        }
    });
    SideFactor = 0.5f;
    Params().SideAngle = 30;
    TiltFactor = 0.5f;
    Params().TiltAngle = 0;
    Params().Turn = 0;
    Dragging = false;
    AppActive = true;
    for (CoverImage& slot : Covers) {
        slot.Thumbnail = QImage();
        slot.Texture = std::make_unique<TextureImage>();
    }
    coverPool_.setMaxThreadCount(CoverSlotCount); // a project's three covers at once
    connect(&coverSendTimer_, &QTimer::timeout, this, [this] { SendCoverRows(); });
    Folder.ProjectFolder.clear();
    ProjectFile.clear();
    projectLabel->clear();
    Document.Params = BoxParameters{};
    Document.OnChanged = [this](unsigned changes) { ShowDocument(changes); };
    Document.SelectSizeClass(1);
    Document.SelectForm(0);
    Document.SelectFog(0);
    ShowDocument(DocumentChange::SizeClass | DocumentChange::Form | DocumentChange::Fog);
    Document.Recompute();
    Document.OnOutputSize = [this](int w, int h) { PlacePanel(w, h); };
    Document.ApplyOutputSize();
    for (CoverImage& slot : Covers)
        slot.Path.clear();
    Params().BackgroundRed = Params().BackgroundGreen = Params().BackgroundBlue = 1.0f;
    setWindowTitle(QString(ProductInfo::Caption));

    Document.OnResetCovers = [this] {
        DropCoverLoads(); // pictures of the project left behind
        ResetCoverImages(Covers);
        ShowPreviews();
    };
    Document.OnFogMode = [this](std::uint8_t mode) {
        // Only modes 1 to 3 set the GL's fog mode; the others keep the one
        // set last, so the last of those is all the next frame needs.
        if (!view->FirstPaintPending() && mode >= 1 && mode <= 3)
            pendingFogMode_ = mode;
    };
    Document.OnMaximize = [this] {
        if (!isMaximized())
            setWindowState(windowState() | Qt::WindowMaximized);
    };

    if (options.Dialogs) {
        prompts_ = options.Dialogs;
    } else {
        ownPrompts_ = std::make_unique<QtPrompts>();
        prompts_ = ownPrompts_.get();
    }
    store_ = options.SettingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                            : std::make_unique<SettingsStore>(options.SettingsFile);
    store_->OpenStore(QString(ProductInfo::RegistryKey));
    StartupProblems << EnsureInstallId(*store_);

    programFolder_ = WithSeparator(options.ProgramFolder.isEmpty()
                                       ? QCoreApplication::applicationDirPath()
                                       : options.ProgramFolder);
    SetDefaultFolders();
    Document.ResetProject();
    StartupProblems << LoadPreferences(*store_, Document, Folder);
    Document.ApplySizeClass();
    Document.ApplyForm();
    Document.ApplyFog();
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
    ConnectProjects();
    ConnectResults();
    ConnectHelp();

    view->OnGLInit = [this](GLPanel*) {
        // Covers read from now on are scaled for this GL's largest texture.
        GLint maxSide = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
        SetTextureSizeLimit(maxSide);
        Renderer.InitGL(*SimpleGL, Params());
    };
    view->OnGLPrep = [this](GLPanel*) {
        // Opaque handles only: asking a child widget for its native window id
        // would turn it into a native window and break the view's composition.
        Renderer.PrepareGL(*SimpleGL, reinterpret_cast<std::uintptr_t>(this),
                                reinterpret_cast<std::uintptr_t>(view), Textures(),
                                Thumbnails());
        // Pictures chosen before the view existed had no context to become
        // textures in; they are read again once this first paint is done.
        const bool coversWaiting = std::any_of(Covers.begin(), Covers.end(),
                                               [](const CoverImage& c) { return !c.Path.isEmpty(); });
        if (pendingOpen_ || coversWaiting)
            QTimer::singleShot(0, this, [this] {
                // A load still running installs its own picture once it ends.
                for (int slot = 0; slot < CoverSlotCount; ++slot)
                    if (!Covers[static_cast<std::size_t>(slot)].Path.isEmpty() &&
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
        flags.AppActive = AppActive;
        flags.SuspendDraw = SuspendDraw;
        if (!SuspendDraw)
            ApplyOutputViewport(); // Qt resets the viewport to the whole panel for each paint
        const float side = Params().SideAngle;
        const float tilt = Params().TiltAngle;
        Renderer.DrawFrame(Params(), Textures(), flags);
        frameSkipped_ = AppActive && SuspendDraw;
        if (frameSkipped_)
            RedrawWhenResumed();
        // The draw wraps an angle of 360 or more to 0, which shows differently.
        if (Params().SideAngle != side || Params().TiltAngle != tilt)
            view->RequestFrame();
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
    return {Covers[0].Texture.get(), Covers[1].Texture.get(), Covers[2].Texture.get()};
}

SlotThumbnails MainWindow::Thumbnails()
{
    return {&Covers[0].Thumbnail, &Covers[1].Thumbnail, &Covers[2].Thumbnail};
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
    if (!StartupProblems.isEmpty()) {
        const QString text = StartupProblems.join(QLatin1Char('\n'));
        StartupProblems.clear();
        QTimer::singleShot(0, this, [this, text] {
            Dialogs().Tell(this, QMessageBox::Warning, windowTitle(),
                           QStringLiteral("Some settings could not be read and were reset to their "
                                          "defaults:\n") + text);
        });
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    closed_ = true;
    view->SetActive(false);
    event->accept();
}

void MainWindow::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    // Workers post their results to this window: none may still be running
    // when it goes; the posted results go with it unread.
    WaitForCoverLoads();
    SyncBusyCursor();
    qApp->removeEventFilter(this);
    const QStringList problems = SavePreferences(*store_, Document, Folder);
    if (!problems.isEmpty()) {
        // Once, with the first value: when the store refuses one it usually refuses all.
        updateTimer->stop(); // no update check inside the box
        Dialogs().Tell(this, QMessageBox::Warning, windowTitle(), problems.constFirst());
    }
    // Textures go with their context; without one there never were any.
    if (!view->ReleaseGL()) {
        for (CoverImage& slot : Covers)
            if (slot.Texture)
                slot.Texture->TextureName = 0;
        ReleaseGLObjects();
    }
    for (CoverImage& slot : Covers)
        slot.Thumbnail = QImage();
    SimpleGL.reset();
}

void MainWindow::ShowError(const QString& text)
{
    Dialogs().Tell(this, QMessageBox::Critical, windowTitle(), text);
}

#include "app/ui/TForm1.h"

#include "app/TMyRegistry.h"
#include "gl/ui/TGLPanel.h"
#include "services/ProductInfo.h"
#include "services/ui/ScreenCentre.h"
#include "textures/BaseLevel.h"

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

TForm1::TForm1(const TForm1Options& options, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    BuildControls();
    BuildMenu();
    FormCreate(options);
    ConnectControls();
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::BuildControls()
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
    GroupBox1 = new QGroupBox(central);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    // As wide as its widest group needs: every caption whole, every bar long
    // enough to drag, the previews unclipped.
    GroupBox1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* left = new QVBoxLayout(GroupBox1);
    left->setContentsMargins(3, 3, 3, 3);
    left->setSpacing(3);

    auto* project = MakeGroup(GroupBox1, "GroupBox8", QStringLiteral("Project"));
    auto* projectRows = new QVBoxLayout(project);
    lbProject = MakeLabel(project, "lbProject");
    projectRows->addWidget(lbProject);
    auto* projectButtons = new QHBoxLayout;
    sbNewProject = MakeButton(project, "sbNewProject", QStringLiteral("New"), QStringLiteral("Start a new project"));
    sbOpenProject = MakeButton(project, "sbOpenProject", QStringLiteral("Open"), QStringLiteral("Open existing project"));
    sbSaveProject = MakeButton(project, "sbSaveProject", QStringLiteral("Save"), QStringLiteral("Save project"));
    SpeedButton1 = MakeButton(project, "SpeedButton1", QStringLiteral("Write"),
                              QStringLiteral("Write project result as image"));
    QFont bold = SpeedButton1->font();
    bold.setBold(true);
    SpeedButton1->setFont(bold);
    QPalette blueText = SpeedButton1->palette();
    blueText.setColor(QPalette::ButtonText, Qt::blue);
    SpeedButton1->setPalette(blueText);
    for (QToolButton* b : {sbNewProject, sbOpenProject, sbSaveProject, SpeedButton1})
        projectButtons->addWidget(b);
    projectRows->addLayout(projectButtons);
    left->addWidget(project);

    auto* results = MakeGroup(GroupBox1, "GroupBox6", QStringLiteral("Results"));
    auto* resultsGrid = new QGridLayout(results);
    resultsGrid->addWidget(new QLabel(QStringLiteral("Size mode"), results), 0, 0);
    cbClass = new QComboBox(results);
    cbClass->setObjectName(QStringLiteral("cbClass"));
    cbClass->setEditable(true);
    cbClass->setInsertPolicy(QComboBox::NoInsert);
    cbClass->addItems(SizeClassCaptions());
    resultsGrid->addWidget(cbClass, 0, 1, 1, 2);
    // Made in the order they stand, which is the order Tab visits them.
    tbImageWidth = MakeBar(results, "tbImageWidth", SliderLimits::ImageMin, SliderLimits::ImageStart,
                           SliderLimits::ImageStart);
    tbImageHeight = MakeBar(results, "tbImageHeight", SliderLimits::ImageMin, SliderLimits::ImageStart,
                            SliderLimits::ImageStart);
    sbBrowse = MakeButton(results, "sbBrowse", QStringLiteral("Browse"), QStringLiteral("Browse result folder"));
    resultsGrid->addWidget(sbBrowse, 3, 1, 1, 2);
    lbImgWidth = MakeLabel(results, "lbImgWidth");
    lbImgHeight = MakeLabel(results, "lbImgHeight");
    for (QLabel* value : {lbImgWidth, lbImgHeight})
        value->setMinimumWidth(ValueLabelWidth(*value));
    resultsGrid->addWidget(new QLabel(QStringLiteral("Width"), results), 1, 0);
    resultsGrid->addWidget(tbImageWidth, 1, 1);
    resultsGrid->addWidget(lbImgWidth, 1, 2);
    resultsGrid->addWidget(new QLabel(QStringLiteral("Height"), results), 2, 0);
    resultsGrid->addWidget(tbImageHeight, 2, 1);
    resultsGrid->addWidget(lbImgHeight, 2, 2);
    left->addWidget(results);

    auto* form = MakeGroup(GroupBox1, "GroupBox14", QStringLiteral("Form"));
    auto* formRows = new QVBoxLayout(form);
    cbMode = new QComboBox(form);
    cbMode->setObjectName(QStringLiteral("cbMode"));
    cbMode->setMaxVisibleItems(20);
    cbMode->addItems(FormCaptions());
    cbMode->setSizeAdjustPolicy(QComboBox::AdjustToContents); // every kind's name shows whole
    formRows->addWidget(cbMode);
    left->addWidget(form);

    auto* covers = MakeGroup(GroupBox1, "GroupBox3", QStringLiteral("Cover image  (click to load)"));
    auto* coverRow = new QHBoxLayout(covers);
    coverRow->setSpacing(2);
    struct PreviewSpec {
        const char* group;
        const char* name;
        QSize size;
        QLabel** target;
    };
    const PreviewSpec previews[] = {{"Side", "imSide", {56, 44}, &imSide},
                                    {"Front", "imFront", {63, 44}, &imFront},
                                    {"Top", "imTop", {56, 44}, &imTop}};
    for (const PreviewSpec& p : previews) {
        auto* box = new QGroupBox(QLatin1String(p.group), covers);
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(1, 1, 1, 1);
        *p.target = MakePreview(box, p.name, p.size);
        boxLayout->addWidget(*p.target, 0, Qt::AlignCenter);
        coverRow->addWidget(box);
    }
    left->addWidget(covers);

    auto* surrounding = MakeGroup(GroupBox1, "GroupBox9", QStringLiteral("Surrounding  (click to change)"));
    auto* surroundRow = new QHBoxLayout(surrounding);
    pColor = MakeLabel(surrounding, "pColor");
    pColor->setFixedSize(40, 22);
    pColor->setFrameShape(QFrame::Panel);
    pColor->setFrameShadow(QFrame::Sunken);
    pColor->setCursor(Qt::PointingHandCursor);
    cbFog = new QComboBox(surrounding);
    cbFog->setObjectName(QStringLiteral("cbFog"));
    cbFog->setEditable(true);
    cbFog->setInsertPolicy(QComboBox::NoInsert);
    cbFog->addItems(FogCaptions());
    surroundRow->addWidget(pColor);
    surroundRow->addWidget(cbFog, 1);
    left->addWidget(surrounding);

    auto* dimension = MakeGroup(GroupBox1, "GroupBox5", QStringLiteral("Box dimension"));
    auto* dimGrid = new QGridLayout(dimension);
    using namespace SliderLimits;
    tbBreed = MakeBar(dimension, "tbBreed", SizeMin, SizeMax, SizeStart);
    tbHeight = MakeBar(dimension, "tbHeight", SizeMin, SizeMax, SizeStart);
    tbThick = MakeBar(dimension, "tbThick", SizeMin, SizeMax, SizeStart);
    lbBreed = MakeLabel(dimension, "lbBreed");
    lbHeight = MakeLabel(dimension, "lbHeight");
    lbThick = MakeLabel(dimension, "lbThick");
    const std::tuple<const char*, QScrollBar*, QLabel*> dims[] = {
        {"Width", tbBreed, lbBreed}, {"Height", tbHeight, lbHeight}, {"Thickness", tbThick, lbThick}};
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
    columns->addWidget(GroupBox1);

    // Right area: the view and the bar below it.
    auto* right = new QGroupBox(central);
    right->setObjectName(QStringLiteral("GroupBox2"));
    auto* rightRows = new QVBoxLayout(right);
    rightRows->setContentsMargins(2, 2, 2, 2);
    ScrollBox1 = new QWidget(right);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAutoFillBackground(true);
    QPalette blue = ScrollBox1->palette();
    blue.setColor(QPalette::Window, QColor(0, 128, 192));
    ScrollBox1->setPalette(blue);
    ScrollBox1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    GLPanel1 = new TGLPanel(ScrollBox1);
    GLPanel1->setObjectName(QStringLiteral("GLPanel1"));
    GLPanel1->setCursor(Qt::SizeAllCursor);
    GLPanel1->setAcceptDrops(true);
    rightRows->addWidget(ScrollBox1, 1);

    // Two rows, so that each bar keeps a track long enough to drag.
    auto* viewBar = new QWidget(right);
    auto* viewGrid = new QGridLayout(viewBar);
    viewGrid->setContentsMargins(2, 0, 2, 0);
    viewGrid->setVerticalSpacing(0);
    seEye = new ArrowSpinBox(viewBar);
    seEye->setObjectName(QStringLiteral("seEye"));
    seEye->setRange(EyeMin, EyeMax);
    seEye->setValue(EyeStart);
    tbVertical = MakeBar(viewBar, "tbVertical", OffsetMin, OffsetMax, OffsetStart);
    tbHoriz = MakeBar(viewBar, "tbHoriz", OffsetMin, OffsetMax, OffsetStart);
    tbDepth = MakeBar(viewBar, "tbDepth", DepthMin, DepthMax, DepthStart);
    tbTurn = MakeBar(viewBar, "tbTurn", TurnMin, TurnMax, TurnStart);
    lbVertical = MakeLabel(viewBar, "lbVertical");
    lbHoriz = MakeLabel(viewBar, "lbHoriz");
    lbDepth = MakeLabel(viewBar, "lbDepth");
    lbTurn = MakeLabel(viewBar, "lbTurn");
    viewGrid->addWidget(new QLabel(QStringLiteral("Angle"), viewBar), 0, 0);
    viewGrid->addWidget(seEye, 0, 1);
    const std::tuple<const char*, QScrollBar*, QLabel*> views[] = {{"Vertical", tbVertical, lbVertical},
                                                                   {"Horiz.", tbHoriz, lbHoriz},
                                                                   {"Depth", tbDepth, lbDepth},
                                                                   {"Turn", tbTurn, lbTurn}};
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
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        if (i < 2)
            StatusPanels[i]->setFixedWidth(120);
        else
            StatusPanels[i]->setMinimumWidth(50);
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }

    // Room for a medium result beside the controls; never less than the layout needs.
    resize(DefaultWindowSize.expandedTo(minimumSizeHint()));

    TimerUpdate = new QTimer(this);
    TimerUpdate->setObjectName(QStringLiteral("TimerUpdate"));
    TimerUpdate->setInterval(5000);
    TimerUpdate->setSingleShot(true);
}

void TForm1::BuildMenu()
{
    FilesMenu = menuBar()->addMenu(QStringLiteral("Files"));
    FilesMenu->setObjectName(QStringLiteral("Files"));
    auto add = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    Newproject1 = add(FilesMenu, "Newproject1", QStringLiteral("New project"));
    Saveproject1 = add(FilesMenu, "Saveproject1", QStringLiteral("Save project"));
    Saveprojectas1 = add(FilesMenu, "Saveprojectas1", QStringLiteral("Save project as..."));
    Openproject1 = add(FilesMenu, "Openproject1", QStringLiteral("Open project..."));
    FilesMenu->addSeparator();
    Selectfrontimage1 = add(FilesMenu, "Selectfrontimage1", QStringLiteral("Select front/back image..."));
    Selectsideimage1 = add(FilesMenu, "Selectsideimage1", QStringLiteral("Select left/right image..."));
    Selecttopimage1 = add(FilesMenu, "Selecttopimage1", QStringLiteral("Select top/bottom image..."));
    FilesMenu->addSeparator();
    Writeresult1 = add(FilesMenu, "Writeresult1", QStringLiteral("Write result..."));
    Exit1 = add(FilesMenu, "Exit1", QStringLiteral("Exit"));

    HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpMenu->setObjectName(QStringLiteral("Help1"));
    Contents1 = add(HelpMenu, "Contents1", QStringLiteral("Help contents"));
    Checkupdateautomatically1 =
        add(HelpMenu, "Checkupdateautomatically1", QStringLiteral("Automatic update check"));
    Checkupdateautomatically1->setCheckable(true);
    Checkupdate1 = add(HelpMenu, "Checkupdate1", QStringLiteral("Check update"));
    Emailsupport1 = add(HelpMenu, "Emailsupport1", QStringLiteral("E-mail support"));
    Website1 = add(HelpMenu, "Website1", QStringLiteral("Website: ") + QString(ProductInfo::WebSite));
    HelpMenu->addSeparator();
    About1 = add(HelpMenu, "About1", QStringLiteral("About"));
}

QString TForm1::StatusText(int panel) const
{
    return panel >= 0 && panel < 3 ? StatusPanels[panel]->text() : QString();
}

void TForm1::ShowStatusMessage(const QString& text)
{
    constexpr int shownMs = 6000;
    statusBar()->showMessage(text, shownMs);
}

void TForm1::SetDefaultFolders()
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

void TForm1::FormCreate(const TForm1Options& options)
{
    SuspendDraw = false;
    SimpleGL = std::make_unique<TSimpleGL>();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        // Only a real switch to another application stops the drawing; a
        // display without a window manager never activates us at all.
        if (s == Qt::ApplicationActive) {
            everActive_ = true;
            AppActive = true;
            if (!closed_) {
                GLPanel1->SetActive(true);
                GLPanel1->RequestFrame();
            }
        } else if (everActive_) {
            AppActive = false;
            GLPanel1->SetActive(false); // no frames at all behind another application
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
        slot.Texture = std::make_unique<TGLBMP>();
    }
    coverPool_.setMaxThreadCount(CoverSlotCount); // a project's three covers at once
    connect(&coverSendTimer_, &QTimer::timeout, this, [this] { SendCoverRows(); });
    Folder.ProjectFolder.clear();
    ProjectFile.clear();
    lbProject->clear();
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
        if (!GLPanel1->FirstPaintPending() && mode >= 1 && mode <= 3)
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
    store_ = options.SettingsFile.isEmpty() ? std::make_unique<TMyRegistry>()
                                            : std::make_unique<TMyRegistry>(options.SettingsFile);
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

void TForm1::ConnectControls()
{
    BindDocument();
    // Every user scroll (arrows, trough, thumb, keys) is a scroll event. Qt
    // applies the new position only after this signal: apply it first, so
    // the frame drawn at once shows it.
    for (QScrollBar* bar : {tbImageWidth, tbImageHeight, tbBreed, tbThick, tbHeight, tbDepth,
                            tbVertical, tbTurn, tbHoriz})
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
            bar->setValue(bar->sliderPosition());
            tbDepthScroll();
        });
    connect(Selectfrontimage1, &QAction::triggered, this, [this] { ImageSelectClick(Selectfrontimage1); });
    connect(Selectsideimage1, &QAction::triggered, this, [this] { ImageSelectClick(Selectsideimage1); });
    connect(Selecttopimage1, &QAction::triggered, this, [this] { ImageSelectClick(Selecttopimage1); });
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    ConnectProjects();
    ConnectResults();
    ConnectHelp();

    GLPanel1->OnGLInit = [this](TGLPanel*) {
        // Covers read from now on are scaled for this GL's largest texture.
        GLint maxSide = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
        SetTextureSizeLimit(maxSide);
        Renderer.GLPanel1GLInit(*SimpleGL, Params());
    };
    GLPanel1->OnGLPrep = [this](TGLPanel*) {
        // Opaque handles only: asking a child widget for its native window id
        // would turn it into a native window and break the view's composition.
        Renderer.GLPanel1GLPrep(*SimpleGL, reinterpret_cast<std::uintptr_t>(this),
                                reinterpret_cast<std::uintptr_t>(GLPanel1), Textures(),
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
    GLPanel1->OnResize = [this](TGLPanel*) { GLPanel1Resize(); };
    GLPanel1->OnGLChanges = [this](TGLPanel*) { ApplyGLChanges(); };
    GLPanel1->OnGLRelease = [this](TGLPanel*) { ReleaseGLObjects(); };
    GLPanel1->OnGLDraw = [this](TGLPanel*) {
        DrawFlags flags;
        flags.AppActive = AppActive;
        flags.SuspendDraw = SuspendDraw;
        if (!SuspendDraw)
            ApplyOutputViewport(); // Qt resets the viewport to the whole panel for each paint
        const float side = Params().SideAngle;
        const float tilt = Params().TiltAngle;
        Renderer.GLPanel1GLDraw(Params(), Textures(), flags);
        frameSkipped_ = AppActive && SuspendDraw;
        if (frameSkipped_)
            RedrawWhenResumed();
        // The draw wraps an angle of 360 or more to 0, which shows differently.
        if (Params().SideAngle != side || Params().TiltAngle != tilt)
            GLPanel1->RequestFrame();
    };
    GLPanel1->OnMouseDown = [this](QMouseEvent* e) { GLPanel1MouseDown(e); };
    GLPanel1->OnMouseMove = [this](QMouseEvent* e) { GLPanel1MouseMove(e); };
    GLPanel1->OnMouseUp = [this](QMouseEvent* e) { GLPanel1MouseUp(e); };
    // One filter for the whole window: wheel turns anywhere in it, clicks on
    // the colour panel and the previews, drops, and the scroll box's resizes.
    qApp->installEventFilter(this);
}

SlotTextures TForm1::Textures()
{
    return {Covers[0].Texture.get(), Covers[1].Texture.get(), Covers[2].Texture.get()};
}

SlotThumbnails TForm1::Thumbnails()
{
    return {&Covers[0].Thumbnail, &Covers[1].Thumbnail, &Covers[2].Thumbnail};
}

void TForm1::PlacePanel(int width, int height)
{
    // The output size counts device pixels: on a scaled screen the panel
    // takes just enough logical pixels to hold them, so the view shows the
    // result 1:1. Centred in the box, truncated toward zero; negative when it
    // is larger.
    const qreal ratio = GLPanel1->devicePixelRatioF();
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
    const int left = (ScrollBox1->width() - w) / 2;
    const int top = (ScrollBox1->height() - h) / 2;
    GLPanel1->setGeometry(left, top, w, h);
}

void TForm1::RedrawWhenResumed()
{
    // Drawing is suspended only while a file is read or written, which may
    // show a modal message; look again a little later rather than lose the frame.
    if (resumeCheckPending_)
        return;
    resumeCheckPending_ = true;
    QTimer::singleShot(SuspendedRetryMs, this, [this] {
        resumeCheckPending_ = false;
        if (frameSkipped_) // else a frame was drawn since
            GLPanel1->RequestFrame();
    });
}

void TForm1::FormShow()
{
    if (cbMode->isEnabled() && cbMode->isVisible())
        cbMode->setFocus();
}

void TForm1::showEvent(QShowEvent* event)
{
    if (!shownOnce_ && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        CentreOnScreen(*this); // its final size is known only now, before it appears
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    FormShow();
    tbImageWidthChange();
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

void TForm1::closeEvent(QCloseEvent* event)
{
    closed_ = true;
    GLPanel1->SetActive(false);
    event->accept();
}

void TForm1::FormDestroy()
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
        TimerUpdate->stop(); // no update check inside the box
        Dialogs().Tell(this, QMessageBox::Warning, windowTitle(), problems.constFirst());
    }
    // Textures go with their context; without one there never were any.
    if (!GLPanel1->ReleaseGL()) {
        for (CoverImage& slot : Covers)
            if (slot.Texture)
                slot.Texture->TextureName = 0;
        ReleaseGLObjects();
    }
    for (CoverImage& slot : Covers)
        slot.Thumbnail = QImage();
    SimpleGL.reset();
}

void TForm1::ShowError(const QString& text)
{
    Dialogs().Tell(this, QMessageBox::Critical, windowTitle(), text);
}

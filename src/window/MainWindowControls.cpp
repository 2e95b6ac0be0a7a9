// Building the window: the control column, the view and its bar, the menu and the status bar.
#include "window/MainWindow.h"

#include "render/BaseLevel.h"
#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "window/ControlParts.h"
#include "window/GLPanel.h"
#include "window/ScreenCentre.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
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

} // namespace

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
    resultWidthBar = MakeBar(results, "resultWidthBar", SliderLimits::ImageMin, SliderLimits::ImageStart,
                           SliderLimits::ImageStart);
    resultHeightBar = MakeBar(results, "resultHeightBar", SliderLimits::ImageMin, SliderLimits::ImageStart,
                            SliderLimits::ImageStart);
    browseButton = MakeButton(results, "browseButton", QStringLiteral("Browse"), QStringLiteral("Browse result folder"));
    resultsGrid->addWidget(browseButton, 3, 1, 1, 2);
    resultWidthLabel = MakeLabel(results, "resultWidthLabel");
    resultHeightLabel = MakeLabel(results, "resultHeightLabel");
    AddBarRow(*resultsGrid, 1, QStringLiteral("Width"), resultWidthBar, resultWidthLabel);
    AddBarRow(*resultsGrid, 2, QStringLiteral("Height"), resultHeightBar, resultHeightLabel);
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
    colorPanel = MakeFocusLabel(surrounding, "colorPanel");
    colorPanel->setFixedSize(40, 22);
    colorPanel->setFrameShape(QFrame::Panel);
    colorPanel->setFrameShadow(QFrame::Sunken);
    colorPanel->setCursor(Qt::PointingHandCursor);
    surroundingBox = new QComboBox(surrounding);
    surroundingBox->setObjectName(QStringLiteral("surroundingBox"));
    surroundingBox->setEditable(true);
    surroundingBox->setInsertPolicy(QComboBox::NoInsert);
    surroundingBox->addItems(FogCaptions());
    lookButton = MakeButton(surrounding, "lookButton", QStringLiteral("Look..."),
                            QStringLiteral("Shadow, reflection, light, smooth textures, anti-aliasing"));
    lookButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    surroundRow->addWidget(colorPanel);
    surroundRow->addWidget(surroundingBox, 1);
    surroundRow->addWidget(lookButton);
    shapeButton = MakeButton(surrounding, "shapeButton", QStringLiteral("Shape..."),
                             QStringLiteral("Rounded edges, book pages, own back, right and bottom pictures"));
    shapeButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    surroundRow->addWidget(shapeButton);
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
    AddBarRow(*dimGrid, 0, QStringLiteral("Width"), widthBar, widthLabel);
    AddBarRow(*dimGrid, 1, QStringLiteral("Height"), heightBar, heightLabel);
    AddBarRow(*dimGrid, 2, QStringLiteral("Thickness"), thicknessBar, thicknessLabel);
    left->addWidget(dimension);

    left->addStretch(1);

    BuildLookPanel(small);
    BuildShapePanel(small);
    columns->addWidget(controlColumn);

    // Right area: the view and the bar below it.
    auto* right = new QGroupBox(central);
    right->setObjectName(QStringLiteral("GroupBox2"));
    auto* rightRows = new QVBoxLayout(right);
    rightRows->setContentsMargins(2, 2, 2, 2);
    viewBox = MakeFrameBox(right, "viewBox");
    viewBox->setAutoFillBackground(true);
    QPalette blue = viewBox->palette();
    blue.setColor(QPalette::Window, QColor(0, 128, 192));
    viewBox->setPalette(blue);
    viewBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    view = new GLPanel(viewBox);
    view->setObjectName(QStringLiteral("view"));
    view->setCursor(Qt::SizeAllCursor);
    // Tab reaches the view (its arrows turn the box); a click leaves the
    // focus where it was, so the wheel still moves the bar it moved.
    view->setFocusPolicy(Qt::TabFocus);
    connect(qApp, &QApplication::focusChanged, viewBox, [this] { viewBox->update(); });
    view->setAcceptDrops(true);
    setAcceptDrops(true); // a project dropped anywhere opens
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
    fitButton = new QToolButton(viewBar);
    fitButton->setObjectName(QStringLiteral("fitButton"));
    fitButton->setText(QStringLiteral("Fit"));
    fitButton->setToolTip(QStringLiteral("Move depth and offsets so that the box fits the result (Ctrl+F)"));
    viewGrid->addWidget(fitButton, 1, 0, 1, 2);
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
    // Alt and the underlined letter open a menu; in an open menu the item's
    // letter picks it. No two letters in one menu are alike.
    filesMenu = menuBar()->addMenu(QStringLiteral("&Files"));
    filesMenu->setObjectName(QStringLiteral("Files"));
    auto add = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    newProjectAction = add(filesMenu, "newProjectAction", QStringLiteral("&New project"));
    saveProjectAction = add(filesMenu, "saveProjectAction", QStringLiteral("&Save project"));
    saveProjectAsAction = add(filesMenu, "saveProjectAsAction", QStringLiteral("Save project &as..."));
    openProjectAction = add(filesMenu, "openProjectAction", QStringLiteral("&Open project..."));
    filesMenu->addSeparator();
    selectFrontAction = add(filesMenu, "selectFrontAction", QStringLiteral("Select &front/back image..."));
    selectSideAction = add(filesMenu, "selectSideAction", QStringLiteral("Select &left/right image..."));
    selectTopAction = add(filesMenu, "selectTopAction", QStringLiteral("Select &top/bottom image..."));
    filesMenu->addSeparator();
    writeAction = add(filesMenu, "writeAction", QStringLiteral("&Write result..."));
    exitAction = add(filesMenu, "exitAction", QStringLiteral("E&xit"));

    editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    editMenu->setObjectName(QStringLiteral("Edit"));
    undoAction = add(editMenu, "undoAction", QStringLiteral("&Undo"));
    redoAction = add(editMenu, "redoAction", QStringLiteral("&Redo"));

    viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->setObjectName(QStringLiteral("View"));
    fitAction = add(viewMenu, "fitAction", QStringLiteral("&Fit box in view"));
    fitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

    helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("Help1"));
    helpContentsAction = add(helpMenu, "helpContentsAction", QStringLiteral("Help &contents"));
    automaticCheckAction =
        add(helpMenu, "automaticCheckAction", QStringLiteral("&Automatic update check"));
    automaticCheckAction->setCheckable(true);
    checkUpdateAction = add(helpMenu, "checkUpdateAction", QStringLiteral("Check &update"));
    mailSupportAction = add(helpMenu, "mailSupportAction", QStringLiteral("&E-mail support"));
    websiteAction = add(helpMenu, "websiteAction", QStringLiteral("&Website: ") + QString(ProductInfo::WebSite));
    helpMenu->addSeparator();
    aboutAction = add(helpMenu, "aboutAction", QStringLiteral("A&bout"));
}

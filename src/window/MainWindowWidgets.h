#pragma once
// The main window's widgets, named as their objects are (tests find them by
// name); MainWindow makes them (MainWindowControls.cpp) and holds them here.
#include "render/CoverImage.h"

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QScrollBar;
class QSpinBox;
class QTimer;
class QToolButton;
class QWidget;
class GLPanel;

struct MainWindowWidgets {
    QGroupBox* controlColumn = nullptr;
    QToolButton* newButton = nullptr;
    QToolButton* openButton = nullptr;
    QToolButton* saveButton = nullptr;
    QToolButton* writeButton = nullptr; // "Write"
    QLabel* projectLabel = nullptr;
    QComboBox* sizeModeBox = nullptr;
    QToolButton* browseButton = nullptr;
    QScrollBar* resultWidthBar = nullptr;
    QScrollBar* resultHeightBar = nullptr;
    QLabel* resultWidthLabel = nullptr;
    QLabel* resultHeightLabel = nullptr;
    QComboBox* formBox = nullptr;
    QLabel* sidePreview = nullptr;
    QLabel* frontPreview = nullptr;
    QLabel* topPreview = nullptr;
    QLabel* colorPanel = nullptr;
    QComboBox* surroundingBox = nullptr;
    QScrollBar* widthBar = nullptr;
    QScrollBar* heightBar = nullptr;
    QScrollBar* thicknessBar = nullptr;
    QLabel* widthLabel = nullptr;
    QLabel* heightLabel = nullptr;
    QLabel* thicknessLabel = nullptr;
    // "Look": the studio looks, all off in the classic picture, in a
    // non-modal panel that "Look..." opens.
    QToolButton* lookButton = nullptr;
    QDialog* lookPanel = nullptr;
    QGroupBox* lookGroup = nullptr;
    QScrollBar* shadowBar = nullptr;
    QScrollBar* softnessBar = nullptr;
    QScrollBar* reflectionBar = nullptr;
    QScrollBar* lightBar = nullptr;
    QScrollBar* lensBar = nullptr;
    QLabel* lensLabel = nullptr;
    QLabel* shadowLabel = nullptr;
    QLabel* softnessLabel = nullptr;
    QLabel* reflectionLabel = nullptr;
    QLabel* lightLabel = nullptr;
    QCheckBox* smoothTexturesBox = nullptr;
    QComboBox* samplesBox = nullptr; // the items are LookLimits::SampleCounts
    // "Shape": rounded edges, the book and the own back, right and bottom
    // pictures, all off in the classic picture, in a non-modal panel that
    // "Shape..." opens (MainWindowShape.cpp).
    QToolButton* shapeButton = nullptr;
    QDialog* shapePanel = nullptr;
    QScrollBar* edgeRadiusBar = nullptr;
    QLabel* edgeRadiusLabel = nullptr;
    QCheckBox* bookPagesBox = nullptr;
    std::array<QLabel*, CoverSlotCount - ClassicSlotCount> sidePreviews{};
    std::array<QToolButton*, CoverSlotCount - ClassicSlotCount> sideChooseButtons{};
    std::array<QToolButton*, CoverSlotCount - ClassicSlotCount> sideClearButtons{};
    QWidget* viewBox = nullptr;
    GLPanel* view = nullptr;
    QSpinBox* eyeAngleBox = nullptr;
    QScrollBar* verticalBar = nullptr;
    QScrollBar* horizontalBar = nullptr;
    QScrollBar* depthBar = nullptr;
    QScrollBar* turnBar = nullptr;
    QLabel* verticalLabel = nullptr;
    QLabel* horizontalLabel = nullptr;
    QLabel* depthLabel = nullptr;
    QLabel* turnLabel = nullptr;
    QLabel* statusPanels[3] = {nullptr, nullptr, nullptr};
    QMenu* filesMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QAction* newProjectAction = nullptr;
    QAction* saveProjectAction = nullptr;
    QAction* saveProjectAsAction = nullptr;
    QAction* openProjectAction = nullptr;
    QAction* selectFrontAction = nullptr;
    QAction* selectSideAction = nullptr;
    QAction* selectTopAction = nullptr;
    QAction* writeAction = nullptr;
    QAction* exitAction = nullptr;
    QMenu* editMenu = nullptr;
    QAction* undoAction = nullptr; // Edit > Undo (Ctrl+Z)
    QAction* redoAction = nullptr; // Edit > Redo (Ctrl+Shift+Z)
    QMenu* viewMenu = nullptr;
    QAction* fitAction = nullptr;     // View > Fit box in view (Ctrl+F)
    QMenu* sizeLabelsMenu = nullptr;  // View > Size labels: slider values, mm or in
    QToolButton* fitButton = nullptr; // "Fit", under the view
    QAction* helpContentsAction = nullptr;
    QAction* automaticCheckAction = nullptr;
    QAction* checkUpdateAction = nullptr;
    QAction* mailSupportAction = nullptr;
    QAction* websiteAction = nullptr;
    QAction* aboutAction = nullptr;
    QTimer* updateTimer = nullptr;
};

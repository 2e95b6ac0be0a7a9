#pragma once
// The main window's controls found as a user finds them: by their names.
// `ui::widthBar(*form)` is the bar the window names "widthBar"; a control
// that is not there fails the test rather than giving null.
#include "window/GLPanel.h"
#include "window/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>
#include <string>

namespace ui {

template <typename T>
T* Named(const QObject& root, const QString& name)
{
    T* found = root.findChild<T*>(name);
    if (!found)
        throw std::logic_error("the window has no control named " + name.toStdString());
    return found;
}

// The look panel is searched on its own: the result dialog has a samples box too.
inline QDialog* lookPanel(const MainWindow& w)
{
    return Named<QDialog>(w, QStringLiteral("lookPanel"));
}

// The status bar's panels, 0..2 from the left.
inline QLabel* statusPanel(const MainWindow& w, int i)
{
    return Named<QLabel>(w, QStringLiteral("StatusPanel%1").arg(i));
}

inline QGroupBox* controlColumn(const MainWindow& w) { return Named<QGroupBox>(w, QStringLiteral("controlColumn")); }
inline QToolButton* newButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("newButton")); }
inline QToolButton* openButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("openButton")); }
inline QToolButton* saveButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("saveButton")); }
inline QToolButton* writeButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("writeButton")); }
inline QLabel* projectLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("projectLabel")); }
inline QComboBox* sizeModeBox(const MainWindow& w) { return Named<QComboBox>(w, QStringLiteral("sizeModeBox")); }
inline QToolButton* browseButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("browseButton")); }
inline QScrollBar* resultWidthBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("resultWidthBar")); }
inline QScrollBar* resultHeightBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("resultHeightBar")); }
inline QLabel* resultWidthLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("resultWidthLabel")); }
inline QLabel* resultHeightLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("resultHeightLabel")); }
inline QComboBox* formBox(const MainWindow& w) { return Named<QComboBox>(w, QStringLiteral("formBox")); }
inline QLabel* sidePreview(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("sidePreview")); }
inline QLabel* frontPreview(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("frontPreview")); }
inline QLabel* topPreview(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("topPreview")); }
inline QLabel* colorPanel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("colorPanel")); }
inline QComboBox* surroundingBox(const MainWindow& w) { return Named<QComboBox>(w, QStringLiteral("surroundingBox")); }
inline QScrollBar* widthBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("widthBar")); }
inline QScrollBar* heightBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("heightBar")); }
inline QScrollBar* thicknessBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("thicknessBar")); }
inline QLabel* widthLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("widthLabel")); }
inline QLabel* heightLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("heightLabel")); }
inline QLabel* thicknessLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("thicknessLabel")); }
inline QToolButton* lookButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("lookButton")); }
inline QGroupBox* lookGroup(const MainWindow& w) { return Named<QGroupBox>(*lookPanel(w), QStringLiteral("lookGroup")); }
inline QScrollBar* shadowBar(const MainWindow& w) { return Named<QScrollBar>(*lookPanel(w), QStringLiteral("shadowBar")); }
inline QScrollBar* softnessBar(const MainWindow& w) { return Named<QScrollBar>(*lookPanel(w), QStringLiteral("softnessBar")); }
inline QScrollBar* reflectionBar(const MainWindow& w) { return Named<QScrollBar>(*lookPanel(w), QStringLiteral("reflectionBar")); }
inline QScrollBar* lightBar(const MainWindow& w) { return Named<QScrollBar>(*lookPanel(w), QStringLiteral("lightBar")); }
inline QLabel* shadowLabel(const MainWindow& w) { return Named<QLabel>(*lookPanel(w), QStringLiteral("shadowLabel")); }
inline QLabel* softnessLabel(const MainWindow& w) { return Named<QLabel>(*lookPanel(w), QStringLiteral("softnessLabel")); }
inline QLabel* reflectionLabel(const MainWindow& w) { return Named<QLabel>(*lookPanel(w), QStringLiteral("reflectionLabel")); }
inline QLabel* lightLabel(const MainWindow& w) { return Named<QLabel>(*lookPanel(w), QStringLiteral("lightLabel")); }
inline QCheckBox* smoothTexturesBox(const MainWindow& w) { return Named<QCheckBox>(*lookPanel(w), QStringLiteral("smoothTexturesBox")); }
inline QComboBox* samplesBox(const MainWindow& w) { return Named<QComboBox>(*lookPanel(w), QStringLiteral("samplesBox")); }
inline QWidget* viewBox(const MainWindow& w) { return Named<QWidget>(w, QStringLiteral("viewBox")); }
inline GLPanel* view(const MainWindow& w) { return Named<GLPanel>(w, QStringLiteral("view")); }
inline QSpinBox* eyeAngleBox(const MainWindow& w) { return Named<QSpinBox>(w, QStringLiteral("eyeAngleBox")); }
inline QScrollBar* verticalBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("verticalBar")); }
inline QScrollBar* horizontalBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("horizontalBar")); }
inline QScrollBar* depthBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("depthBar")); }
inline QToolButton* fitButton(const MainWindow& w) { return Named<QToolButton>(w, QStringLiteral("fitButton")); }
inline QScrollBar* turnBar(const MainWindow& w) { return Named<QScrollBar>(w, QStringLiteral("turnBar")); }
inline QLabel* verticalLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("verticalLabel")); }
inline QLabel* horizontalLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("horizontalLabel")); }
inline QLabel* depthLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("depthLabel")); }
inline QLabel* turnLabel(const MainWindow& w) { return Named<QLabel>(w, QStringLiteral("turnLabel")); }
inline QMenu* filesMenu(const MainWindow& w) { return Named<QMenu>(w, QStringLiteral("Files")); }
inline QMenu* helpMenu(const MainWindow& w) { return Named<QMenu>(w, QStringLiteral("Help1")); }
inline QAction* newProjectAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("newProjectAction")); }
inline QAction* saveProjectAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("saveProjectAction")); }
inline QAction* saveProjectAsAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("saveProjectAsAction")); }
inline QAction* openProjectAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("openProjectAction")); }
inline QAction* selectFrontAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("selectFrontAction")); }
inline QAction* selectSideAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("selectSideAction")); }
inline QAction* selectTopAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("selectTopAction")); }
inline QAction* writeAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("writeAction")); }
inline QAction* exitAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("exitAction")); }
inline QAction* helpContentsAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("helpContentsAction")); }
inline QAction* automaticCheckAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("automaticCheckAction")); }
inline QAction* checkUpdateAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("checkUpdateAction")); }
inline QAction* mailSupportAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("mailSupportAction")); }
inline QAction* websiteAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("websiteAction")); }
inline QAction* aboutAction(const MainWindow& w) { return Named<QAction>(w, QStringLiteral("aboutAction")); }
inline QTimer* updateTimer(const MainWindow& w) { return Named<QTimer>(w, QStringLiteral("updateTimer")); }

// Where a bar's style draws its thumb now.
inline QRect ThumbOf(QScrollBar* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
}

} // namespace ui

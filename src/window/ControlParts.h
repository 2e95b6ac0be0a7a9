#pragma once
// The window's small building blocks: named bars, labels, buttons, groups
// and cover previews, made alike wherever they stand.
#include <QSize>
#include <QString>

class QGridLayout;
class QGroupBox;
class QLabel;
class QScrollBar;
class QToolButton;
class QWidget;

// A horizontal bar that moves one position per click or key and shows a
// frame while it has the focus (the wheel then moves it). Right, Up and
// PageUp raise its value.
QScrollBar* MakeBar(QWidget* parent, const char* name, int minimum, int maximum, int position);
// Room for the widest value a label beside a bar shows.
int ValueLabelWidth(const QLabel& label);
// One row of a three-column grid: the caption, the bar, its value.
void AddBarRow(QGridLayout& grid, int row, const QString& caption, QScrollBar* bar, QLabel* value,
               const QString& hint = QString());
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString());
// A label that Tab reaches and that frames itself in the highlight colour
// while it has the focus (the colour panel, the previews).
QLabel* MakeFocusLabel(QWidget* parent, const char* name);
// A plain container that frames its focused child where there is room (the view's box).
QWidget* MakeFrameBox(QWidget* parent, const char* name);
QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption);
// A sunken blue panel that holds one cover preview, centred and not stretched;
// Tab reaches it and it shows its focus.
QLabel* MakePreview(QWidget* parent, const char* name, QSize size);

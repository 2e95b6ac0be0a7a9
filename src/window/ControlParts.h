#pragma once
// The window's small building blocks: named bars, labels, buttons, groups
// and cover previews, made alike wherever they stand.
#include <QSize>
#include <QString>

class QGroupBox;
class QLabel;
class QScrollBar;
class QToolButton;
class QWidget;

// A horizontal bar that moves one position per click or key and shows a
// frame while it has the focus (the wheel then moves it).
QScrollBar* MakeBar(QWidget* parent, const char* name, int minimum, int maximum, int position);
// Room for the widest value a label beside a bar shows.
int ValueLabelWidth(const QLabel& label);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString());
QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption);
// A sunken blue panel that holds one cover preview, centred and not stretched.
QLabel* MakePreview(QWidget* parent, const char* name, QSize size);

#pragma once
// Dialogs of this program open in the middle of the screen's work area.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Top-left corner that centres a window of this size in the area; a window
// larger than the area keeps its top-left corner inside it.
QPoint CentredIn(const QRect& area, const QSize& size);

// Moves the window (frame included) to the centre of its screen's available
// geometry; it keeps its size. Call before showing it.
void CentreOnScreen(QWidget& window);

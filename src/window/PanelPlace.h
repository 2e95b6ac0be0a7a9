#pragma once
// Where a tool panel opens: beside the view, over neither the view nor the
// controls where the screen has room for that.
#include <QPoint>
#include <QRect>
#include <QSize>

struct PanelSurroundings {
    QRect View;     // the drawn view, global
    QRect Controls; // the control column, global
    QRect Window;   // the main window's frame, global
    QRect Screen;   // the screen's available area
};

// The top left corner of the panel's frame (of `frame` size): right of the
// view, else right or left of the window, below or above the view, each kept
// on the screen; the first that covers the least of the view, then of the
// controls.
QPoint PlaceBesideView(QSize frame, const PanelSurroundings& around);

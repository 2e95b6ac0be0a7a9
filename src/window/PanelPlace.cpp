#include "window/PanelPlace.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr int Gap = 6;

long long Covered(const QRect& a, const QRect& b)
{
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : static_cast<long long>(both.width()) * both.height();
}

QPoint OnScreen(QPoint corner, QSize frame, const QRect& screen)
{
    // Never past the right or bottom edge; then never past the left or top.
    corner.setX(std::max(screen.left(), std::min(corner.x(), screen.right() + 1 - frame.width())));
    corner.setY(std::max(screen.top(), std::min(corner.y(), screen.bottom() + 1 - frame.height())));
    return corner;
}

} // namespace

QPoint PlaceBesideView(QSize frame, const PanelSurroundings& around)
{
    const QRect& view = around.View;
    const std::array<QPoint, 5> wanted = {
        QPoint(view.right() + 1 + Gap, view.top()),
        QPoint(around.Window.right() + 1 + Gap, view.top()),
        QPoint(around.Window.left() - Gap - frame.width(), view.top()),
        QPoint(view.left(), view.bottom() + 1 + Gap),
        QPoint(view.left(), view.top() - Gap - frame.height()),
    };
    QPoint best = OnScreen(wanted.front(), frame, around.Screen);
    long long bestView = std::numeric_limits<long long>::max(), bestControls = 0;
    for (const QPoint& w : wanted) {
        const QPoint corner = OnScreen(w, frame, around.Screen);
        const QRect place(corner, frame);
        const long long onView = Covered(place, view), onControls = Covered(place, around.Controls);
        if (onView < bestView || (onView == bestView && onControls < bestControls)) {
            best = corner;
            bestView = onView;
            bestControls = onControls;
        }
    }
    return best;
}

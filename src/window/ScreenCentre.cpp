#include "window/ScreenCentre.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint CentredIn(const QRect& area, const QSize& size)
{
    const int left = area.left() + std::max(0, (area.width() - size.width()) / 2);
    const int top = area.top() + std::max(0, (area.height() - size.height()) / 2);
    return {left, top};
}

void CentreOnScreen(QWidget& window)
{
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window.ensurePolished();
    if (!window.testAttribute(Qt::WA_Resized))
        window.adjustSize();
    window.move(CentredIn(screen->availableGeometry(), window.frameGeometry().size()));
}

#pragma once
// Files dragged over a widget and dropped, as the desktop delivers them.
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

inline QList<QUrl> FileUrls(const QStringList& files)
{
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    return urls;
}

// True when the widget took the drag as it entered. The drop follows either
// way: a refused drag must change nothing even when dropped.
inline bool SendDrop(QWidget* target, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return enter.isAccepted();
}

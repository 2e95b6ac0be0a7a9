#pragma once
// What the window benches share: file dialogs answered from a list, and
// running the event loop until something holds.
#include "window/Prompts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <functional>

// Answers the window's file dialogs from a list; shows nothing else, and a
// message the window would show is printed and marks the run failed.
class ListPrompts final : public Prompts {
public:
    std::deque<QString> Files;
    bool failed = false;

    QString OpenFile(QWidget*, const FileDialogRequest&) override { return Next(); }
    QString SaveFile(QWidget*, const FileDialogRequest&) override { return Next(); }
    std::optional<QColor> PickColor(QWidget*, const QColor&) override { return std::nullopt; }
    QString PickFolder(QWidget*, const QString&, const QString&) override { return {}; }
    QMessageBox::StandardButton Ask(QWidget*, const QString&, const QString&, QMessageBox::StandardButtons) override
    {
        return QMessageBox::No;
    }
    void Tell(QWidget*, QMessageBox::Icon, const QString&, const QString& text) override
    {
        std::fprintf(stderr, "window said: %s\n", qPrintable(text));
        failed = true;
    }
    int Exec(QDialog&) override { return 0; }

private:
    QString Next()
    {
        if (Files.empty())
            return {};
        QString f = Files.front();
        Files.pop_front();
        return f;
    }
};

// Runs the event loop, looking every stepMs, until the condition holds;
// false on timeout.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int stepMs = 5)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(stepMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

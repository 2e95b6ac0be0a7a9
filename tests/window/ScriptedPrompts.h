#pragma once
// Answers the window's modal questions from a script, so no test waits on a
// real dialog. Every question is recorded.
#include "window/Prompts.h"

#include <QDialog>
#include <QStringList>

#include <deque>
#include <functional>

class ScriptedPrompts final : public Prompts {
public:
    std::deque<QString> Files;                 // answers to OpenFile / SaveFile ("" = cancel)
    std::deque<std::optional<QColor>> Colors;  // answers to PickColor
    std::deque<QString> Folders;               // answers to PickFolder
    std::deque<QMessageBox::StandardButton> Answers; // answers to Ask
    // Each runs one modal dialog: it may look at and press its controls, and
    // returns the result code. Without a script the dialog is rejected.
    std::deque<std::function<int(QDialog&)>> DialogScripts;
    QStringList Asked;                         // every question and message, in order
    std::vector<FileDialogRequest> FileRequests;

    QString OpenFile(QWidget*, const FileDialogRequest& request) override
    {
        FileRequests.push_back(request);
        Asked << QStringLiteral("open:") + request.Title;
        return Take(Files, QString());
    }
    QString SaveFile(QWidget*, const FileDialogRequest& request) override
    {
        FileRequests.push_back(request);
        Asked << QStringLiteral("save:") + request.Title;
        return Take(Files, QString());
    }
    std::optional<QColor> PickColor(QWidget*, const QColor&) override
    {
        Asked << QStringLiteral("color");
        return Take(Colors, std::optional<QColor>());
    }
    QString PickFolder(QWidget*, const QString& comment, const QString&) override
    {
        Asked << QStringLiteral("folder:") + comment;
        return Take(Folders, QString());
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString&, const QString& text,
                                    QMessageBox::StandardButtons) override
    {
        Asked << QStringLiteral("ask:") + text;
        return Take(Answers, QMessageBox::Cancel);
    }
    void Tell(QWidget*, QMessageBox::Icon, const QString&, const QString& text) override
    {
        Asked << QStringLiteral("tell:") + text;
    }

    int Exec(QDialog& dialog) override
    {
        Asked << QStringLiteral("dialog:") + dialog.windowTitle();
        if (DialogScripts.empty())
            return QDialog::Rejected;
        auto script = DialogScripts.front();
        DialogScripts.pop_front();
        return script(dialog);
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

#pragma once
// Answers the next real folder picker as a person would, from the event loop
// that runs it: the test opens the picker blocking and this finds it among
// the top-level windows, types a name and presses Enter or a button.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

enum class PickerKey { Enter, Choose, Cancel };

namespace picker_driver {

inline QFileDialog* OpenPicker()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// A refusal box would block the typing below; it is closed and counted as a failure.
inline void CloseRefusals(int triesLeft)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            ADD_FAILURE() << "the picker refused: " << box->text().toStdString();
            box->reject();
            return;
        }
    if (triesLeft > 0 && OpenPicker())
        QTimer::singleShot(20, [triesLeft] { CloseRefusals(triesLeft - 1); });
}

inline void Answer(const QString& typed, PickerKey key, const std::function<void(QFileDialog&)>& look,
                   int triesLeft)
{
    QFileDialog* dialog = OpenPicker();
    if (!dialog) {
        if (triesLeft > 0)
            QTimer::singleShot(20, [=] { Answer(typed, key, look, triesLeft - 1); });
        else
            ADD_FAILURE() << "no folder picker appeared";
        return;
    }
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (!edit || !box) {
        ADD_FAILURE() << "the picker has no name field or buttons";
        dialog->reject();
        return;
    }
    // Typed into a field without focus, Qt's picker replaces the text with
    // the names its completion selects; a person types into the focused field.
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog))
        ADD_FAILURE() << "the picker did not become active";
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, typed);
    if (look)
        look(*dialog);
    QTimer::singleShot(0, [] { CloseRefusals(100); });
    switch (key) {
    case PickerKey::Enter: QTest::keyClick(edit, Qt::Key_Return); break;
    case PickerKey::Choose: box->button(QDialogButtonBox::Open)->click(); break;
    case PickerKey::Cancel: box->button(QDialogButtonBox::Cancel)->click(); break;
    }
    if (dialog->isVisible()) {
        ADD_FAILURE() << "the picker stayed open after " << typed.toStdString();
        dialog->reject();
    }
}

} // namespace picker_driver

// Call just before the code that opens the picker; `look` sees it after typing.
inline void AnswerNextFolderPicker(const QString& typed, PickerKey key,
                                   std::function<void(QFileDialog&)> look = {})
{
    QTimer::singleShot(0, [=] { picker_driver::Answer(typed, key, look, 250); });
}

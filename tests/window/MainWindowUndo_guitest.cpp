// Undo and redo in the window: a whole drag or pick is one step, and a step
// back puts the document, its controls, previews and title back as they were.
#include "document/DocumentHistory.h"
#include "window/WindowFixture.h"

#include <QAction>
#include <QPixmap>
#include <QWheelEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

struct UndoTest : WindowFixture {
    QAction* UndoItem() const { return ui::Named<QAction>(*form, QStringLiteral("undoAction")); }
    QAction* RedoItem() const { return ui::Named<QAction>(*form, QStringLiteral("redoAction")); }
    DocumentSnapshot Now() const { return SnapshotOf(form->Document()); }

    static void Wheel(QWidget* widget)
    {
        QWheelEvent notch(QPointF(20, 20), widget->mapToGlobal(QPointF(20, 20)), {}, {0, 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(widget, &notch);
    }
    // A mouse drag in steps, each given the time a change takes to settle.
    static void Drag(QWidget* widget, QPoint from, QPoint by)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(widget, from + by * i / 4), QTest::qWait(30);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, from + by);
    }
};

TEST_F(UndoTest, EachChangeIsOneStepUndoneAndRedoneExactly)
{
    Start();
    ShowAndWaitForGL();
    const QString picture = WritePicture(QStringLiteral("front.bmp"), QSize(40, 30), Qt::red, Qt::blue);
    const QImage placeholder = ui::frontPreview(*form)->pixmap().toImage();
    using Change = std::function<void()>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"slider drag", [&] { Drag(ui::widthBar(*form), ui::ThumbOf(ui::widthBar(*form)).center(), {40, 0}); }},
        {"box drag", [&] { Drag(ui::view(*form), {40, 40}, {60, 20}); }},
        {"wheel notches", [&] { for (int i = 0; i < 5; ++i) Wheel(ui::view(*form)), QTest::qWait(60); }},
        {"cover", [&] { PickCover(0, picture); }},
        {"kind", [&] { ui::formBox(*form)->setCurrentIndex(6), Q_EMIT ui::formBox(*form)->activated(6); }},
        {"colour", [&] { prompts.Colors.push_back(QColor(10, 20, 30)), form->PickBackground(); }},
    };
    for (const auto& [name, change] : changes) {
        const DocumentSnapshot before = Now();
        const int widthShown = ui::widthBar(*form)->value();
        const QString title = form->windowTitle();
        change();
        ASSERT_TRUE(QTest::qWaitFor([&] { return UndoItem()->isEnabled(); }, 2000)) << name;
        const DocumentSnapshot after = Now();
        ASSERT_FALSE(after == before) << name;

        UndoItem()->trigger();
        WaitForCovers();
        EXPECT_TRUE(Now() == before) << name;
        EXPECT_EQ(ui::widthBar(*form)->value(), widthShown) << name;
        EXPECT_EQ(form->windowTitle(), title) << name;
        EXPECT_TRUE(RedoItem()->isEnabled()) << name;

        RedoItem()->trigger();
        WaitForCovers();
        EXPECT_TRUE(Now() == after) << name;
        EXPECT_FALSE(RedoItem()->isEnabled()) << name;
    }
    // Undone to the start, the cover's preview is the placeholder again and
    // nothing is left to save.
    while (UndoItem()->isEnabled()) {
        UndoItem()->trigger();
        WaitForCovers();
    }
    EXPECT_EQ(ui::frontPreview(*form)->pixmap().toImage(), placeholder);
    EXPECT_FALSE(form->Document().Modified());
    EXPECT_FALSE(form->windowTitle().contains(QLatin1Char('*')));
}

// The keys, and the menu's items greyed with nothing to undo or redo, as
// after a new project.
TEST_F(UndoTest, TheKeysStepAndANewProjectStartsAfresh)
{
    Start();
    ShowAndWaitForGL();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const int depth = form->Document().Position(Slider::Depth);
    ui::depthBar(*form)->setFocus();
    QTest::keyClick(ui::depthBar(*form), Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return UndoItem()->isEnabled(); }, 2000));
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Document().Position(Slider::Depth), depth);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Document().Position(Slider::Depth), depth + 1);

    prompts.Answers.push_back(QMessageBox::No);
    ui::newProjectAction(*form)->trigger();
    EXPECT_FALSE(UndoItem()->isEnabled());
    EXPECT_FALSE(RedoItem()->isEnabled());
}

} // namespace

// The window at its default size, used with the mouse and keyboard as a person would.
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

namespace {

using UsabilityTest = WindowFixture;

QList<QScrollBar*> AllBars(MainWindow& f)
{
    return {ui::resultWidthBar(f), ui::resultHeightBar(f), ui::widthBar(f), ui::heightBar(f), ui::thicknessBar(f),
            ui::verticalBar(f),   ui::horizontalBar(f),       ui::depthBar(f), ui::turnBar(f)};
}

QRect GrooveOf(QScrollBar* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, bar);
}

// Every bar has a real track and a small thumb; dragging the thumb moves the
// value by the distance dragged, not to an end.
TEST_F(UsabilityTest, EveryScrollBarCanBeDraggedAtTheDefaultSize)
{
    Start();
    ShowAndWaitForGL();
    for (QScrollBar* bar : AllBars(*form)) {
        SCOPED_TRACE(bar->objectName().toStdString());
        const QRect groove = GrooveOf(bar);
        const QRect thumb = ui::ThumbOf(bar);
        EXPECT_GE(groove.width(), 100);
        EXPECT_LE(thumb.width(), groove.width() / 3);
        EXPECT_TRUE(bar->rect().contains(thumb));
        EXPECT_EQ(bar->pageStep(), 1);

        // Somewhere in the middle, so a drag either way has room.
        bar->setValue((bar->minimum() + bar->maximum()) / 2);
        QTest::qWait(20);
        const int before = bar->value();
        const QPoint grip = ui::ThumbOf(bar).center();
        QTest::mousePress(bar, Qt::LeftButton, {}, grip);
        QTest::mouseMove(bar, grip + QPoint(1, 0));
        QTest::qWait(10);
        const int afterOnePixel = bar->value();
        const int perPixel = (bar->maximum() - bar->minimum()) / std::max(1, groove.width() - thumb.width()) + 1;
        EXPECT_LE(std::abs(afterOnePixel - before), 2 * perPixel);
        QTest::mouseMove(bar, grip + QPoint(20, 0));
        QTest::qWait(10);
        EXPECT_GT(bar->value(), before);
        EXPECT_LT(bar->value(), bar->maximum());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(20, 0));
        QTest::qWait(10);
    }
    // The box Width follows a drag in the view: a dragged width is never 1.
    EXPECT_GT(ui::widthBar(*form)->value(), 1);
    EXPECT_GT(ui::view(*form)->width(), 1);
}

TEST_F(UsabilityTest, TroughClicksAndPageKeysMoveOnePosition)
{
    Start();
    ShowAndWaitForGL();
    QScrollBar* bar = ui::depthBar(*form);
    bar->setValue(40);
    const QRect groove = GrooveOf(bar);
    const QRect thumb = ui::ThumbOf(bar);
    // Right of the thumb, inside the trough.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint((thumb.right() + groove.right()) / 2, groove.center().y()));
    EXPECT_EQ(bar->value(), 41);
    EXPECT_EQ(ui::depthLabel(*form)->text(), "41");
    bar->setFocus();
    // PageUp moves the thumb right, as a click right of it does.
    QTest::keyClick(bar, Qt::Key_PageUp);
    EXPECT_EQ(bar->value(), 42);
    QTest::keyClick(bar, Qt::Key_PageDown);
    QTest::keyClick(bar, Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), 40);
}

// The focused bar, the one the wheel moves, looks different from the others.
TEST_F(UsabilityTest, TheFocusedScrollBarShowsItsFocus)
{
    Start();
    ShowAndWaitForGL();
    QScrollBar* bar = ui::turnBar(*form);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ui::formBox(*form)->setFocus();
    QTest::qWait(20);
    const QImage plain = bar->grab().toImage();
    bar->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->hasFocus(); }, 2000));
    const QImage focused = bar->grab().toImage();
    ASSERT_EQ(plain.size(), focused.size());
    const QColor highlight = bar->palette().color(QPalette::Highlight);
    // The frame runs round the edge: the middle of each side takes the highlight.
    const int w = focused.width(), h = focused.height();
    for (QPoint p : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)}) {
        EXPECT_EQ(focused.pixelColor(p).rgb(), highlight.rgb()) << p.x() << "," << p.y();
        EXPECT_NE(plain.pixelColor(p).rgb(), highlight.rgb()) << p.x() << "," << p.y();
    }
}

// Each preview sits whole and centred in its group and shows the middle of a
// larger thumbnail.
TEST_F(UsabilityTest, CoverPreviewsAreWholeAndCentred)
{
    Start();
    ShowAndWaitForGL();
    // Left half red, right half blue: the middle column of the thumbnail is where they meet.
    PickCover(FrontBack, WritePicture("wide.bmp", {3000, 2000}, Qt::red, Qt::blue));
    PickCover(LeftRight, WritePicture("side.bmp", {3000, 2000}, Qt::red, Qt::blue));
    const struct {
        QLabel* preview;
        QSize size;
    } previews[] = {{ui::frontPreview(*form), {63, 44}}, {ui::sidePreview(*form), {56, 44}}, {ui::topPreview(*form), {56, 44}}};
    for (const auto& [preview, size] : previews) {
        SCOPED_TRACE(preview->objectName().toStdString());
        EXPECT_EQ(preview->size(), size);
        auto* group = qobject_cast<QGroupBox*>(preview->parentWidget());
        ASSERT_NE(group, nullptr);
        const QRect inGroup = preview->geometry();
        EXPECT_TRUE(group->contentsRect().contains(inGroup));
        EXPECT_LE(std::abs((inGroup.center().x() - group->rect().center().x())), 1);
        // And the group itself is whole inside the cover group.
        const QWidget* covers = group->parentWidget();
        EXPECT_TRUE(covers->rect().contains(group->geometry()));
    }
    // The loaded thumbnails are wider than the preview: both halves show, split in the middle.
    for (QLabel* preview : {ui::frontPreview(*form), ui::sidePreview(*form)}) {
        const QImage shown = preview->grab().toImage();
        const int y = shown.height() / 2;
        EXPECT_EQ(shown.pixelColor(2, y), QColor(Qt::red));
        EXPECT_EQ(shown.pixelColor(shown.width() - 3, y), QColor(Qt::blue));
        int split = 0;
        while (split < shown.width() && shown.pixelColor(split, y) == QColor(Qt::red))
            ++split;
        EXPECT_LE(std::abs(split - shown.width() / 2), 1) << preview->objectName().toStdString();
    }
}

// No caption, combo item or button text is cut short at the default size.
TEST_F(UsabilityTest, EveryCaptionShowsWhole)
{
    Start();
    ShowAndWaitForGL();
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->window() != form.get())
            continue;
        SCOPED_TRACE(w->objectName().toStdString() + " " + w->metaObject()->className());
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty() && label->pixmap().isNull()) {
            EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_GE(group->width(), group->minimumSizeHint().width()) << group->title().toStdString();
        }
    }
    QComboBox* mode = ui::formBox(*form);
    QStyleOptionComboBox option;
    option.initFrom(mode);
    const int textRoom =
        mode->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, mode).width();
    for (int i = 0; i < mode->count(); ++i)
        EXPECT_GE(textRoom, mode->fontMetrics().horizontalAdvance(mode->itemText(i)))
            << mode->itemText(i).toStdString();
}

// Text typed into "Size mode" and "Surrounding" is what is in force.
TEST_F(UsabilityTest, TypedComboTextIsAppliedAsItChanges)
{
    Start();
    ShowAndWaitForGL();
    QLineEdit* fog = ui::surroundingBox(*form)->lineEdit();
    ASSERT_NE(fog, nullptr);
    fog->setFocus();
    fog->selectAll();
    QTest::keyClicks(fog, "Dark");
    EXPECT_EQ(form->Params().FogMode, 3);
    fog->selectAll();
    QTest::keyClicks(fog, "natural VIEW");
    EXPECT_EQ(form->Params().FogMode, 1);
    QTest::keyClick(fog, Qt::Key_Return);
    EXPECT_EQ(form->Params().FogMode, 1);
    // Text that names no item: no item, fog mode 255.
    fog->selectAll();
    QTest::keyClicks(fog, "Foggy");
    EXPECT_EQ(ui::surroundingBox(*form)->currentText(), "Foggy");
    EXPECT_EQ(form->Params().FogMode, 255);
    QTest::keyClick(fog, Qt::Key_Return);
    EXPECT_EQ(form->Params().FogMode, 255);

    QLineEdit* size = ui::sizeModeBox(*form)->lineEdit();
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, "Tiny");
    EXPECT_EQ(form->Document().SizeClass(), -1);
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 100);
    EXPECT_EQ(ui::resultHeightBar(*form)->value(), 100);
    size->selectAll();
    QTest::keyClicks(size, "mEDIUM");
    EXPECT_EQ(form->Document().SizeClass(), 1);
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 300);
    EXPECT_EQ(ui::resultHeightBar(*form)->value(), 300);
    size->selectAll();
    QTest::keyClicks(size, "small");
    EXPECT_EQ(form->Document().SizeClass(), 0);
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 100);

    // Saved as shown: no item is stored as such.
    const QString project = Path("typed.pcf");
    ASSERT_TRUE(form->SaveProject(project));
    form->NewProjectClicked();
    prompts.Answers.push_back(QMessageBox::Ok);
    ASSERT_TRUE(form->OpenProjectFile(project));
    EXPECT_EQ(form->Params().FogMode, 255);
    EXPECT_EQ(ui::surroundingBox(*form)->currentText(), "");
}

// A press alone, or a press of another button, opens nothing; a left click does.
TEST_F(UsabilityTest, PreviewsAndColourPanelOpenTheirDialogsOnALeftClick)
{
    Start();
    ShowAndWaitForGL();
    for (QWidget* target : {static_cast<QWidget*>(ui::frontPreview(*form)), static_cast<QWidget*>(ui::colorPanel(*form))}) {
        SCOPED_TRACE(target->objectName().toStdString());
        prompts.Asked.clear();
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_TRUE(prompts.Asked.isEmpty());
        // Released outside: no click.
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(target->width() + 5, 3));
        EXPECT_TRUE(prompts.Asked.isEmpty());
        QTest::mouseClick(target, Qt::RightButton, {}, QPoint(3, 3));
        QTest::mouseClick(target, Qt::MiddleButton, {}, QPoint(3, 3));
        EXPECT_TRUE(prompts.Asked.isEmpty());
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_EQ(prompts.Asked.size(), 1);
    }
    EXPECT_EQ(prompts.Asked.value(0), "color");
}

// A tooltip looks like every other tooltip, whatever its widget's colours.
TEST_F(UsabilityTest, TooltipsUseThePlainSystemStyle)
{
    Start();
    ShowAndWaitForGL();
    const QColor base = QToolTip::palette().color(QPalette::ToolTipBase);
    for (QWidget* w : {static_cast<QWidget*>(ui::frontPreview(*form)), static_cast<QWidget*>(ui::writeButton(*form)),
                       static_cast<QWidget*>(ui::browseButton(*form))}) {
        SCOPED_TRACE(w->objectName().toStdString());
        QToolTip::showText(w->mapToGlobal(QPoint(2, 2)), w->toolTip(), w);
        QWidget* tip = nullptr;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top->inherits("QTipLabel") && top->isVisible())
                        tip = top;
                return tip != nullptr;
            },
            2000));
        EXPECT_FALSE(tip->font().bold());
        const QImage shown = tip->grab().toImage();
        EXPECT_EQ(shown.pixelColor(shown.width() - 4, shown.height() / 2).rgb(), base.rgb());
        QToolTip::hideText();
        QTest::qWait(20);
    }
}

} // namespace

// The window driven from the keyboard alone: bars, Tab, Space and Enter, the
// turn keys, the menus' letters and the wheel.
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <map>
#include <set>

namespace {

struct KeyboardTest : WindowFixture {
    void ShowActive()
    {
        ShowAndWaitForGL();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void Focus(QWidget* w)
    {
        w->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->hasFocus(); }, 2000)) << w->objectName().toStdString();
    }

    void OpenLookPanel()
    {
        QTest::mouseClick(ui::lookButton(*form), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ui::lookPanel(*form)));
        ui::lookPanel(*form)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(ui::lookPanel(*form)));
    }

    QList<QScrollBar*> AllBars()
    {
        MainWindow& f = *form;
        return {ui::resultWidthBar(f), ui::resultHeightBar(f), ui::widthBar(f),   ui::heightBar(f),
                ui::thicknessBar(f),   ui::verticalBar(f),     ui::horizontalBar(f), ui::depthBar(f),
                ui::turnBar(f),        ui::shadowBar(f),       ui::softnessBar(f),  ui::reflectionBar(f),
                ui::lightBar(f)};
    }

    // The named control that holds the focus (an editable box's line edit counts as its box).
    QString FocusName() const
    {
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
                return w->objectName();
        return QString();
    }

    // Tab from `first` until the focus comes back to it.
    QStringList TabChain(QWidget* first, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Focus(first);
        QStringList chain{FocusName()};
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            if (QApplication::focusWidget() == first)
                break;
            chain << FocusName();
        }
        return chain;
    }

    void Wheel(QWidget* target, int delta)
    {
        QWheelEvent e(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }
};

// Right, Up and PageUp move the value up and the thumb right; the look bars
// page by ten, the others by one.
TEST_F(KeyboardTest, EveryBarMovesWithTheKeysTheWayItsThumbMoves)
{
    Start();
    ShowActive();
    OpenLookPanel();
    for (QScrollBar* bar : AllBars()) {
        SCOPED_TRACE(bar->objectName().toStdString());
        bar->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(bar->window()));
        const int middle = (bar->minimum() + bar->maximum()) / 2;
        bar->setValue(middle);
        Focus(bar);
        const int thumbBefore = ui::ThumbOf(bar).left();
        QTest::keyClick(bar, Qt::Key_Right);
        EXPECT_EQ(bar->value(), middle + 1);
        QTest::keyClick(bar, Qt::Key_Up);
        EXPECT_EQ(bar->value(), middle + 2);
        EXPECT_GE(ui::ThumbOf(bar).left(), thumbBefore);
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_Down);
        EXPECT_EQ(bar->value(), middle);
        QTest::keyClick(bar, Qt::Key_PageUp);
        EXPECT_EQ(bar->value(), middle + bar->pageStep());
        QTest::keyClick(bar, Qt::Key_PageDown);
        EXPECT_EQ(bar->value(), middle);
        QTest::keyClick(bar, Qt::Key_End);
        EXPECT_EQ(bar->value(), bar->maximum());
        QTest::keyClick(bar, Qt::Key_Home);
        EXPECT_EQ(bar->value(), bar->minimum());
    }
    // What the keys set is what the document holds.
    EXPECT_EQ(form->Params().Looks.Light, ui::lightBar(*form)->minimum());
    EXPECT_EQ(form->Document().Position(Slider::Turn), ui::turnBar(*form)->minimum());
}

TEST_F(KeyboardTest, TabVisitsEveryControlInReadingOrder)
{
    Start();
    ShowActive();
    const QStringList window = {"newButton",    "openButton",    "saveButton",      "writeButton",
                                "sizeModeBox",  "resultWidthBar", "resultHeightBar", "browseButton",
                                "formBox",      "sidePreview",   "frontPreview",    "topPreview",
                                "colorPanel",   "surroundingBox", "lookButton",      "shapeButton",
                                "widthBar",     "heightBar",     "thicknessBar",    "view",
                                "eyeAngleBox",  "verticalBar",   "horizontalBar",   "fitButton",
                                "depthBar",     "turnBar"};
    EXPECT_EQ(TabChain(ui::newButton(*form)).join(' ').toStdString(), window.join(' ').toStdString());
    // Shift+Tab walks the same way back.
    QStringList back = window;
    std::reverse(back.begin() + 1, back.end());
    EXPECT_EQ(TabChain(ui::newButton(*form), Qt::ShiftModifier).join(' ').toStdString(), back.join(' ').toStdString());

    OpenLookPanel();
    EXPECT_EQ(TabChain(ui::shadowBar(*form)).join(' ').toStdString(),
              "shadowBar softnessBar reflectionBar lightBar lensBar smoothTexturesBox samplesBox");
}

TEST_F(KeyboardTest, SpaceOrEnterOpensWhatAClickOpens)
{
    Start();
    ShowActive();
    const std::pair<QWidget*, QString> targets[] = {{ui::sidePreview(*form), "open:"},
                                                    {ui::frontPreview(*form), "open:"},
                                                    {ui::topPreview(*form), "open:"},
                                                    {ui::colorPanel(*form), "color"}};
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        for (const auto& [target, asked] : targets) {
            SCOPED_TRACE(target->objectName().toStdString() + " key " + std::to_string(key));
            Focus(target);
            prompts.Asked.clear();
            QTest::keyClick(target, key);
            ASSERT_EQ(prompts.Asked.size(), 1);
            EXPECT_TRUE(prompts.Asked.front().startsWith(asked)) << prompts.Asked.front().toStdString();
        }
    }
    // The colour chosen from the keyboard is the document's.
    Focus(ui::colorPanel(*form));
    prompts.Colors.push_back(QColor(10, 20, 30));
    QTest::keyClick(ui::colorPanel(*form), Qt::Key_Space);
    EXPECT_EQ(form->Document().Background(), 10u | 20u << 8 | 30u << 16);
    // Other keys open nothing.
    prompts.Asked.clear();
    QTest::keyClick(ui::frontPreview(*form), Qt::Key_A);
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

// The previews and the colour panel frame themselves in the highlight colour while focused.
TEST_F(KeyboardTest, PreviewsAndTheColourPanelShowTheirFocus)
{
    Start();
    ShowActive();
    for (QWidget* target : {static_cast<QWidget*>(ui::sidePreview(*form)), static_cast<QWidget*>(ui::frontPreview(*form)),
                            static_cast<QWidget*>(ui::topPreview(*form)), static_cast<QWidget*>(ui::colorPanel(*form))}) {
        SCOPED_TRACE(target->objectName().toStdString());
        Focus(ui::formBox(*form));
        const QImage plain = target->grab().toImage();
        Focus(target);
        const QImage focused = target->grab().toImage();
        const QRgb highlight = target->palette().color(QPalette::Highlight).rgb();
        const int w = focused.width(), h = focused.height();
        for (QPoint p : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)}) {
            EXPECT_EQ(focused.pixelColor(p).rgb(), highlight) << p.x() << "," << p.y();
            EXPECT_NE(plain.pixelColor(p).rgb(), highlight) << p.x() << "," << p.y();
        }
    }
}

// The view cannot draw a frame into its own picture: its box draws one around it.
TEST_F(KeyboardTest, TheFocusedViewIsFramedInItsBox)
{
    Start();
    ShowActive();
    QWidget* box = ui::viewBox(*form);
    const QRect view = ui::view(*form)->geometry();
    ASSERT_GT(view.left(), 4);
    const QPoint besideLeft(view.left() - 2, view.center().y()), besideTop(view.center().x(), view.top() - 2);
    Focus(ui::thicknessBar(*form));
    const QImage plain = box->grab().toImage();
    QTest::keyClick(ui::thicknessBar(*form), Qt::Key_Tab);
    ASSERT_TRUE(ui::view(*form)->hasFocus());
    QTest::qWait(20);
    const QImage focused = box->grab().toImage();
    // Dark and light dashes along each side, so that one of them shows
    // whatever the background; none of either before.
    for (const bool alongTop : {false, true}) {
        int dark = 0, light = 0, before = 0;
        const int length = alongTop ? view.width() : view.height();
        for (int i = 0; i < length; ++i) {
            const QPoint p = alongTop ? QPoint(view.left() + i, besideTop.y()) : QPoint(besideLeft.x(), view.top() + i);
            const QColor c = focused.pixelColor(p);
            dark += c == QColor(Qt::black);
            light += c == QColor(Qt::white);
            before += plain.pixelColor(p) == QColor(Qt::black) || plain.pixelColor(p) == QColor(Qt::white);
        }
        EXPECT_GT(dark, length / 4) << alongTop;
        EXPECT_GT(light, length / 4) << alongTop;
        EXPECT_EQ(before, 0) << alongTop;
    }
}

// Ctrl+arrows anywhere in the window, and plain arrows in the focused view,
// turn the box as a drag of ten pixels does, one frame a step.
TEST_F(KeyboardTest, ArrowKeysTurnTheBoxAsADragDoes)
{
    Start();
    ShowActive();
    GLPanel* view = ui::view(*form);
    // The angles a drag of ten pixels right, then ten down, gives.
    const QPoint start(40, 40);
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    QTest::mouseMove(view, start + QPoint(10, 0));
    const float dragSide = form->Params().SideAngle;
    QTest::mouseMove(view, start + QPoint(10, 10));
    const float dragTilt = form->Params().TiltAngle;
    QTest::mouseMove(view, start);
    QTest::mouseRelease(view, Qt::LeftButton, {}, start);
    const float side = form->Params().SideAngle, tilt = form->Params().TiltAngle;
    ASSERT_NE(dragSide, side);

    view->SetActive(false); // only the key handler draws now
    std::vector<std::pair<float, float>> drawn;
    const auto draw = view->OnGLDraw;
    view->OnGLDraw = [&](GLPanel* p) {
        drawn.emplace_back(form->Params().SideAngle, form->Params().TiltAngle);
        draw(p);
    };
    Focus(ui::surroundingBox(*form)); // a line edit: Ctrl+Right would move a word
    const QString text = ui::surroundingBox(*form)->currentText();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(form->Params().SideAngle, dragSide);
    EXPECT_EQ(form->StatusText(0).toStdString(), "Side angle = " + QString::number(dragSide).toStdString());
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn.back().first, dragSide);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(form->Params().TiltAngle, dragTilt);
    EXPECT_EQ(drawn.size(), 2u);
    EXPECT_EQ(ui::surroundingBox(*form)->currentText().toStdString(), text.toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(form->Params().SideAngle, side);
    EXPECT_EQ(form->Params().TiltAngle, tilt);

    // The view takes plain arrows once Tab brought the focus to it.
    Focus(ui::thicknessBar(*form));
    const int thickness = ui::thicknessBar(*form)->value();
    QTest::keyClick(ui::thicknessBar(*form), Qt::Key_Tab);
    ASSERT_TRUE(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(form->Params().SideAngle, dragSide);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(form->Params().SideAngle, side);
    EXPECT_EQ(ui::thicknessBar(*form)->value(), thickness);
    EXPECT_EQ(drawn.size(), 6u);

    // A bar keeps its plain arrows; the eye box keeps its own.
    Focus(ui::depthBar(*form));
    QTest::keyClick(ui::depthBar(*form), Qt::Key_Right);
    EXPECT_EQ(form->Params().SideAngle, side);
    Focus(ui::eyeAngleBox(*form));
    const int eye = ui::eyeAngleBox(*form)->value();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(ui::eyeAngleBox(*form)->value(), eye + 1);
    EXPECT_EQ(form->Params().SideAngle, side);
}

// Alt and a menu's letter open it; every menu and item has its own letter.
TEST_F(KeyboardTest, MenusOpenWithAltAndTheirLetters)
{
    Start();
    ShowActive();
    // Every menu and item: exactly one letter, none twice in its menu (or the bar).
    std::set<QChar> menuLetters;
    for (QAction* m : form->menuBar()->actions()) {
        std::set<QChar> letters;
        for (QAction* a : m->menu()->actions()) {
            if (a->isSeparator())
                continue;
            ASSERT_EQ(a->text().count(QLatin1Char('&')), 1) << a->text().toStdString();
            const int amp = a->text().indexOf(QLatin1Char('&'));
            EXPECT_TRUE(letters.insert(a->text().at(amp + 1).toLower()).second) << a->text().toStdString();
        }
        ASSERT_EQ(m->text().count(QLatin1Char('&')), 1) << m->text().toStdString();
        EXPECT_TRUE(menuLetters.insert(m->text().at(m->text().indexOf(QLatin1Char('&')) + 1).toLower()).second);
    }
    EXPECT_EQ(ui::filesMenu(*form)->title(), "&Files");
    EXPECT_EQ(ui::helpMenu(*form)->title(), "&Help");

    Focus(ui::formBox(*form));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui::filesMenu(*form)->isVisible(); }, 2000));
    QTest::keyClick(ui::filesMenu(*form), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::filesMenu(*form)->isVisible(); }, 2000));

    // A harmless item by its letter: "Automatic update check" turns over.
    const bool automatic = ui::automaticCheckAction(*form)->isChecked();
    Focus(ui::formBox(*form));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui::helpMenu(*form)->isVisible(); }, 2000));
    QTest::keyClick(ui::helpMenu(*form), Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui::automaticCheckAction(*form)->isChecked() != automatic; }, 2000));
}

// The wheel moves the bar under the pointer, in the Look panel as in the window.
TEST_F(KeyboardTest, TheWheelMovesTheLookBarUnderThePointer)
{
    Start();
    ShowActive();
    OpenLookPanel();
    QScrollBar* shadow = ui::shadowBar(*form);
    Focus(shadow);
    shadow->setValue(50);
    ui::lightBar(*form)->setValue(10);
    Wheel(shadow, 120);
    EXPECT_EQ(shadow->value(), 51);
    EXPECT_EQ(form->Params().Looks.Shadow, 51);
    Wheel(ui::lightBar(*form), -240); // under the pointer, not focused: it moves
    EXPECT_EQ(shadow->value(), 51);
    EXPECT_EQ(ui::lightBar(*form)->value(), 8);
    Wheel(ui::lookPanel(*form), 120); // no bar under the pointer
    EXPECT_EQ(form->Params().Looks.Shadow, 51);
}

} // namespace

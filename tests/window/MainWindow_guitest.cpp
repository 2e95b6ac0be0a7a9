#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

using WindowTest = WindowFixture;

TEST_F(WindowTest, FirstStartUsesDefaultsCreatesAnIdAndWritesPreferencesOnExit)
{
    Start();
    EXPECT_EQ(form->windowTitle(), "Cubiform Classic version 1.2 (Freeware)");
    EXPECT_EQ(ui::sizeModeBox(*form)->currentIndex(), 1);
    EXPECT_EQ(ui::formBox(*form)->currentIndex(), 0);
    EXPECT_EQ(ui::surroundingBox(*form)->currentIndex(), 0);
    EXPECT_EQ(ui::formBox(*form)->count(), 10);
    EXPECT_EQ(form->Params().BackgroundRed, 1.0f);
    EXPECT_EQ(ui::resultWidthBar(*form)->value(), 300);
    EXPECT_EQ(ui::depthBar(*form)->value(), 25); // from the first box kind
    EXPECT_EQ(form->StatusText(0), "Side angle = 36");
    // Nothing is made beside the program; pictures go to the user's.
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Output")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Projects")));
    EXPECT_EQ(form->Document().OutputFolder(), QDir::toNativeSeparators(dir.path()) + "/home/Pictures/");
    // Tab follows the rows of the "Results" group: size mode, width, height, Browse.
    auto nextStop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && (w->focusProxy() || !(w->focusPolicy() & Qt::TabFocus) || from->isAncestorOf(w)))
            w = w->nextInFocusChain();
        return w;
    };
    EXPECT_EQ(nextStop(ui::sizeModeBox(*form)), static_cast<QWidget*>(ui::resultWidthBar(*form)));
    EXPECT_EQ(nextStop(ui::resultHeightBar(*form)), static_cast<QWidget*>(ui::browseButton(*form)));
    form.reset();

    QSettings s(SettingsFile(), QSettings::IniFormat);
    const QString id = s.value("Main/GUID").toString();
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$")
                    .match(id)
                    .hasMatch())
        << id.toStdString();
    s.beginGroup("Preference");
    EXPECT_EQ(s.childKeys().size(), 7);
    EXPECT_EQ(s.value("Size mode").toString(), "1");
    EXPECT_EQ(s.value("Background color").toString(), "16777215");
    s.endGroup();

    Start(); // a second start keeps the identifier
    form.reset();
    EXPECT_EQ(QSettings(SettingsFile(), QSettings::IniFormat).value("Main/GUID").toString(), id);
}

TEST_F(WindowTest, StoredPreferencesAreAppliedAtStart)
{
    Store("Preference/Size mode", "2");
    Store("Preference/Fog", "abc");
    Store("Preference/Background color", "255");
    Store("Preference/Form mode", "5");
    Start();
    EXPECT_EQ(ui::sizeModeBox(*form)->currentIndex(), 2);
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 450);
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(ui::surroundingBox(*form)->currentIndex(), 0);
    EXPECT_EQ(form->Params().FogMode, 0);
    EXPECT_EQ(form->Params().BackgroundRed, 1.0f);
    EXPECT_EQ(form->Params().BackgroundGreen, 0.0f);
    EXPECT_EQ(form->Params().BackgroundBlue, 0.0f);
    EXPECT_EQ(ui::formBox(*form)->currentText(), "CD jewel box");
}

TEST_F(WindowTest, IndexesOutsideTheListsReadNoTable)
{
    Store("Preference/Size mode", "7");
    Store("Preference/Form mode", "99");
    Store("Preference/Fog", "-4");
    Start();
    EXPECT_EQ(ui::sizeModeBox(*form)->currentIndex(), -1);
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 100);
    EXPECT_EQ(ui::formBox(*form)->currentIndex(), 0); // falls back to the first kind
    EXPECT_EQ(ui::surroundingBox(*form)->currentIndex(), -1);
    EXPECT_EQ(form->Params().FogMode, 255);
}

TEST_F(WindowTest, DragTurnsHalfADegreePerPixelFromTheDragsStart)
{
    Start();
    ShowAndWaitForGL();
    form->Document().SetAngles(30, 0);
    GLPanel* panel = ui::view(*form);
    const QPoint start(50, 50);
    QTest::mousePress(panel, Qt::LeftButton, {}, start);
    QTest::mouseMove(panel, start + QPoint(100, 0));
    EXPECT_EQ(form->StatusText(0), "Side angle = 80");
    EXPECT_EQ(form->StatusText(1), "Tilt angle = 0");
    QTest::mouseMove(panel, start + QPoint(100, 20));
    EXPECT_EQ(form->StatusText(1), "Tilt angle = 10");
    QTest::mouseMove(panel, start);
    EXPECT_EQ(form->Params().SideAngle, 30.0f);
    EXPECT_EQ(form->Params().TiltAngle, 0.0f);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, start);

    // Moving with no button down changes nothing.
    QTest::mouseMove(panel, start + QPoint(40, 40));
    EXPECT_EQ(form->Params().SideAngle, 30.0f);
}

TEST_F(WindowTest, WheelMovesTheScrollBarUnderThePointer)
{
    Start();
    ShowAndWaitForGL();
    auto wheel = [&](QWidget* target, int delta) {
        QWheelEvent e(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    };
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ui::depthBar(*form)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui::depthBar(*form)->hasFocus(); }, 2000));
    const int before = ui::depthBar(*form)->value();
    wheel(ui::depthBar(*form), 120);
    EXPECT_EQ(ui::depthBar(*form)->value(), before + 1);
    EXPECT_EQ(form->Params().Depth, static_cast<float>(before + 1));
    // Over the view: up brings the box nearer, down takes it farther.
    wheel(ui::view(*form), 120);
    wheel(ui::view(*form), -240);
    EXPECT_EQ(ui::depthBar(*form)->value(), before + 2);
    EXPECT_EQ(ui::horizontalBar(*form)->value(), 0);

    // The focus stays on the combo box; the wheel there changes nothing.
    ui::formBox(*form)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui::formBox(*form)->hasFocus(); }, 2000));
    ui::depthBar(*form)->setValue(80);
    wheel(ui::formBox(*form), -240);
    EXPECT_EQ(ui::formBox(*form)->currentIndex(), 0);
    EXPECT_EQ(ui::depthBar(*form)->value(), 80);
}

TEST_F(WindowTest, ScrollingABarDrawsTheNewPositionAtOnce)
{
    Start();
    ShowAndWaitForGL();
    ui::view(*form)->SetActive(false); // only the scroll handler draws now
    std::vector<float> drawnDepths;
    const auto draw = ui::view(*form)->OnGLDraw;
    ui::view(*form)->OnGLDraw = [&](GLPanel* p) {
        drawnDepths.push_back(form->Params().Depth);
        draw(p);
    };
    const int before = ui::depthBar(*form)->value();
    ui::depthBar(*form)->triggerAction(QAbstractSlider::SliderSingleStepAdd); // the right arrow
    ASSERT_FALSE(drawnDepths.empty());
    EXPECT_EQ(drawnDepths.back(), static_cast<float>(before + 1));
    EXPECT_EQ(ui::depthLabel(*form)->text(), QString::number(before + 1));
    ui::view(*form)->OnGLDraw = draw;
}

TEST_F(WindowTest, ColourPanelCancelChangesNothing)
{
    Start();
    prompts.Colors.push_back(std::nullopt);
    QTest::mouseClick(ui::colorPanel(*form), Qt::LeftButton);
    EXPECT_EQ(form->Params().BackgroundGreen, 1.0f);
    prompts.Colors.push_back(QColor(0, 255, 0));
    QTest::mouseClick(ui::colorPanel(*form), Qt::LeftButton);
    EXPECT_EQ(form->Params().BackgroundRed, 0.0f);
    EXPECT_EQ(form->Params().BackgroundGreen, 1.0f);
}

TEST_F(WindowTest, BoxFacesShowThePlaceholderColours)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2); // front view: the front faces the viewer
    form->FormChosen();
    ShowAndWaitForGL();
    const QImage frame = Frame();
    ASSERT_FALSE(frame.isNull());
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_NEAR(centre.red(), 255, 3);
    EXPECT_NEAR(centre.green(), 185, 3);
    EXPECT_NEAR(centre.blue(), 151, 3);
    EXPECT_EQ(frame.pixelColor(1, 1), QColor(255, 255, 255)); // background
}

} // namespace

namespace {

// Writes a picture of the window when CUBIFORM_SCREENSHOT names a file, with
// the project CUBIFORM_SCREENSHOT_PROJECT opened (scripts/make-docs-images.sh
// makes the documents' screenshot so); otherwise checks that it can be grabbed.
TEST_F(WindowTest, WindowCanBeGrabbed)
{
    Start();
    ShowAndWaitForGL();
    const QString project = qEnvironmentVariable("CUBIFORM_SCREENSHOT_PROJECT");
    if (!project.isEmpty()) {
        ASSERT_TRUE(form->OpenProjectFile(QFileInfo(project).absoluteFilePath()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CoverLoadsPending(); }, 30000));
        QTest::qWait(200);
    }
    const QRect screen = form->screen()->availableGeometry();
    if (form->frameGeometry().width() <= screen.width() &&
        form->frameGeometry().height() <= screen.height()) {
        EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 2);
    }
    ui::view(*form)->RenderNow();
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.size(), form->size() * form->devicePixelRatio());
    const QString target = qEnvironmentVariable("CUBIFORM_SCREENSHOT");
    if (!target.isEmpty()) {
        EXPECT_TRUE(shot.save(target));
    }
}

} // namespace

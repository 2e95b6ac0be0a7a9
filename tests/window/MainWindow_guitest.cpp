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
    EXPECT_EQ(form->sizeModeBox->currentIndex(), 1);
    EXPECT_EQ(form->formBox->currentIndex(), 0);
    EXPECT_EQ(form->surroundingBox->currentIndex(), 0);
    EXPECT_EQ(form->formBox->count(), 10);
    EXPECT_EQ(form->Params().BackgroundRed, 1.0f);
    EXPECT_EQ(form->resultWidthBar->value(), 300);
    EXPECT_EQ(form->depthBar->value(), 25); // from the first box kind
    EXPECT_EQ(form->StatusText(0), "Side angle = 36");
    EXPECT_TRUE(QDir(dir.filePath("Output")).exists());
    EXPECT_TRUE(QDir(dir.filePath("Projects")).exists());
    EXPECT_EQ(form->Folder.OutputFolder, QDir::toNativeSeparators(dir.path()) + "/Output/");
    // Tab follows the rows of the "Results" group: size mode, width, height, Browse.
    auto nextStop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && (w->focusProxy() || !(w->focusPolicy() & Qt::TabFocus) || from->isAncestorOf(w)))
            w = w->nextInFocusChain();
        return w;
    };
    EXPECT_EQ(nextStop(form->sizeModeBox), static_cast<QWidget*>(form->resultWidthBar));
    EXPECT_EQ(nextStop(form->resultHeightBar), static_cast<QWidget*>(form->browseButton));
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
    EXPECT_EQ(form->sizeModeBox->currentIndex(), 2);
    EXPECT_EQ(form->resultWidthBar->maximum(), 450);
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->surroundingBox->currentIndex(), 0);
    EXPECT_EQ(form->Params().FogMode, 0);
    EXPECT_EQ(form->Params().BackgroundRed, 1.0f);
    EXPECT_EQ(form->Params().BackgroundGreen, 0.0f);
    EXPECT_EQ(form->Params().BackgroundBlue, 0.0f);
    EXPECT_EQ(form->formBox->currentText(), "CD jewel box");
}

TEST_F(WindowTest, IndexesOutsideTheListsReadNoTable)
{
    Store("Preference/Size mode", "7");
    Store("Preference/Form mode", "99");
    Store("Preference/Fog", "-4");
    Start();
    EXPECT_EQ(form->sizeModeBox->currentIndex(), -1);
    EXPECT_EQ(form->resultWidthBar->maximum(), 100);
    EXPECT_EQ(form->formBox->currentIndex(), 0); // falls back to the first kind
    EXPECT_EQ(form->surroundingBox->currentIndex(), -1);
    EXPECT_EQ(form->Params().FogMode, 255);
}

TEST_F(WindowTest, DragTurnsHalfADegreePerPixelFromTheDragsStart)
{
    Start();
    ShowAndWaitForGL();
    form->Params().SideAngle = 30;
    form->Params().TiltAngle = 0;
    GLPanel* panel = form->view;
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

TEST_F(WindowTest, WheelMovesOnlyTheFocusedScrollBar)
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
    form->depthBar->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->depthBar->hasFocus(); }, 2000));
    const int before = form->depthBar->value();
    wheel(form->depthBar, 120);
    EXPECT_EQ(form->depthBar->value(), before + 1);
    EXPECT_EQ(form->Params().Depth, static_cast<float>(before + 1));
    form->depthBar->setValue(80);
    wheel(form->view, 120);
    EXPECT_EQ(form->depthBar->value(), 80);

    form->formBox->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->formBox->hasFocus(); }, 2000));
    wheel(form->formBox, -240);
    EXPECT_EQ(form->formBox->currentIndex(), 0);
    EXPECT_EQ(form->depthBar->value(), 80);
}

TEST_F(WindowTest, ScrollingABarDrawsTheNewPositionAtOnce)
{
    Start();
    ShowAndWaitForGL();
    form->view->SetActive(false); // only the scroll handler draws now
    std::vector<float> drawnDepths;
    const auto draw = form->view->OnGLDraw;
    form->view->OnGLDraw = [&](GLPanel* p) {
        drawnDepths.push_back(form->Params().Depth);
        draw(p);
    };
    const int before = form->depthBar->value();
    form->depthBar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // the right arrow
    ASSERT_FALSE(drawnDepths.empty());
    EXPECT_EQ(drawnDepths.back(), static_cast<float>(before + 1));
    EXPECT_EQ(form->depthLabel->text(), QString::number(before + 1));
    form->view->OnGLDraw = draw;
}

TEST_F(WindowTest, ColourPanelCancelChangesNothing)
{
    Start();
    prompts.Colors.push_back(std::nullopt);
    QTest::mouseClick(form->colorPanel, Qt::LeftButton);
    EXPECT_EQ(form->Params().BackgroundGreen, 1.0f);
    prompts.Colors.push_back(QColor(0, 255, 0));
    QTest::mouseClick(form->colorPanel, Qt::LeftButton);
    EXPECT_EQ(form->Params().BackgroundRed, 0.0f);
    EXPECT_EQ(form->Params().BackgroundGreen, 1.0f);
}

TEST_F(WindowTest, BoxFacesShowThePlaceholderColours)
{
    Start();
    form->formBox->setCurrentIndex(2); // front view: the front faces the viewer
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
// makes the README's screenshot so); otherwise checks that it can be grabbed.
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
    form->view->RenderNow();
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.size(), form->size() * form->devicePixelRatio());
    const QString target = qEnvironmentVariable("CUBIFORM_SCREENSHOT");
    if (!target.isEmpty()) {
        EXPECT_TRUE(shot.save(target));
    }
}

} // namespace

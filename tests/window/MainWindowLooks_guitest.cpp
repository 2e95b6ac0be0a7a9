// The "Look" group: its controls and the document agree, a change books a
// frame, and the looks travel with projects and preferences.
#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"

#include <QCheckBox>
#include <QFile>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QScreen>
#include <QToolButton>

namespace {

BoxLooks SomeLooks()
{
    BoxLooks l{.Shadow = 45, .ShadowSoftness = 10, .Reflection = 25,
               .Light = 70, .SmoothTextures = true, .Samples = 16};
    return l;
}

struct LooksTest : WindowFixture {
    // What the look controls show.
    BoxLooks Shown() const
    {
        BoxLooks l{.Shadow = ui::shadowBar(*form)->value(), .ShadowSoftness = ui::softnessBar(*form)->value(), .Reflection = ui::reflectionBar(*form)->value(),
                   .Light = ui::lightBar(*form)->value(), .SmoothTextures = ui::smoothTexturesBox(*form)->isChecked(), .Samples = ui::samplesBox(*form)->currentText().section(QLatin1Char(' '), 0, 0).toInt()};
        return l;
    }

    void Write(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
};

TEST_F(LooksTest, ALookChangedInTheGroupGoesToTheDocumentAndIsDrawn)
{
    Start();
    ShowAndWaitForGL();
    EXPECT_TRUE(form->Params().Looks.AllOff()); // a first start: the classic picture
    EXPECT_EQ(Shown(), form->Params().Looks);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::view(*form)->FramePending(); }, 5000));

    const int drawn = ui::view(*form)->FramesDrawn();
    ui::shadowBar(*form)->setValue(40);
    EXPECT_EQ(form->Params().Looks.Shadow, 40);
    EXPECT_EQ(ui::shadowLabel(*form)->text(), "40");
    EXPECT_TRUE(ui::view(*form)->FramePending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui::view(*form)->FramesDrawn() > drawn; }, 5000));

    ui::samplesBox(*form)->setCurrentIndex(5);
    EXPECT_EQ(form->Params().Looks.Samples, 32);
    ui::smoothTexturesBox(*form)->setChecked(true);
    EXPECT_TRUE(form->Params().Looks.SmoothTextures);
    ui::lightBar(*form)->setValue(100);
    ui::reflectionBar(*form)->setValue(5);
    ui::softnessBar(*form)->setValue(0);
    BoxLooks expected{.Shadow = 40, .ShadowSoftness = 0, .Reflection = 5,
                      .Light = 100, .SmoothTextures = true, .Samples = 32};
    EXPECT_EQ(form->Params().Looks, expected);

    // The other way: the document's looks show in the group.
    form->Document().SetLooks(SomeLooks());
    EXPECT_EQ(Shown(), SomeLooks());
    EXPECT_EQ(ui::lightLabel(*form)->text(), "70");
    EXPECT_EQ(form->Params().Looks, SomeLooks()); // showing them sets nothing back
}

TEST_F(LooksTest, LooksAreSavedWithTheProjectAndRestoredOnOpen)
{
    Start();
    const QString plain = Path("plain.pcf");
    ASSERT_TRUE(form->SaveProject(plain));
    QFile classic(plain);
    ASSERT_TRUE(classic.open(QIODevice::ReadOnly));
    const QByteArray classicBytes = classic.readAll();
    EXPECT_FALSE(classicBytes.contains("CFXB")); // looks off: the classic file

    form->Document().SetLooks(SomeLooks());
    const QString styled = Path("styled.pcf");
    ASSERT_TRUE(form->SaveProject(styled));

    form->Document().SetLooks(BoxLooks{});
    ASSERT_TRUE(form->OpenProjectFile(styled));
    EXPECT_EQ(form->Params().Looks, SomeLooks());
    EXPECT_EQ(Shown(), SomeLooks());

    // A project without looks opens with every look off.
    ASSERT_TRUE(form->OpenProjectFile(plain));
    EXPECT_EQ(form->Params().Looks, BoxLooks{});
    EXPECT_EQ(Shown(), BoxLooks{});
}

TEST_F(LooksTest, AMalformedLooksBlockLeavesTheWindowAsItWas)
{
    Start();
    ProjectData data;
    data.Form = 6;
    data.Looks = SomeLooks();
    QByteArray bytes = EncodeProject(data);
    // The block ends in six one-byte values; the shadow's becomes 101.
    bytes[bytes.size() - 11] = 101;
    Write(Path("bad.pcf"), bytes);

    form->Document().SetLooks(SomeLooks());
    form->Document().SetLooks([] { BoxLooks l; l.Reflection = 3; return l; }());
    const BoxLooks before = form->Params().Looks;
    const int formBefore = ui::formBox(*form)->currentIndex();
    EXPECT_FALSE(form->OpenProjectFile(Path("bad.pcf")));
    EXPECT_TRUE(prompts.Asked.last().contains("Invalid property value")) << prompts.Asked.last().toStdString();
    EXPECT_EQ(form->Params().Looks, before);
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(ui::formBox(*form)->currentIndex(), formBefore);
    EXPECT_EQ(form->ProjectFile(), "");

    // A cut block too.
    bytes = EncodeProject(data);
    Write(Path("cut.pcf"), bytes.left(bytes.size() - 3));
    EXPECT_FALSE(form->OpenProjectFile(Path("cut.pcf")));
    EXPECT_TRUE(prompts.Asked.last().contains("Stream read error"));
    EXPECT_EQ(form->Params().Looks, before);
}

TEST_F(LooksTest, TheLastLooksAreRememberedAndNewProjectKeepsThem)
{
    Start();
    form->Document().SetLooks(SomeLooks());
    form.reset(); // the window closes and stores its preferences
    QSettings raw(SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Looks/Samples")).toString(), "16");

    Start();
    EXPECT_EQ(form->Params().Looks, SomeLooks());
    EXPECT_EQ(Shown(), SomeLooks());

    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    EXPECT_EQ(form->Params().Looks, SomeLooks());
    EXPECT_EQ(Shown(), SomeLooks());
}

TEST_F(LooksTest, TheLookButtonOpensAPanelThatLeavesTheWindowUsable)
{
    Start();
    // The button costs the column no height: the window keeps its default size.
    EXPECT_LE(form->minimumSizeHint().height(), 650);
    EXPECT_LE(form->minimumSizeHint().width(), 900);
    ShowAndWaitForGL();
    EXPECT_FALSE(ui::lookPanel(*form)->isVisible());
    QTest::mouseClick(ui::lookButton(*form), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui::lookPanel(*form)));
    EXPECT_FALSE(ui::lookPanel(*form)->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Every control in the panel shows whole.
    for (QWidget* w : {static_cast<QWidget*>(ui::shadowBar(*form)), static_cast<QWidget*>(ui::lightBar(*form)),
                       static_cast<QWidget*>(ui::samplesBox(*form)), static_cast<QWidget*>(ui::smoothTexturesBox(*form))})
        EXPECT_GE(w->width(), w->minimumSizeHint().width());
    // The window goes on working while it is open.
    ui::widthBar(*form)->setValue(20);
    EXPECT_EQ(form->Document().Position(Slider::Width), 20);
    ui::reflectionBar(*form)->setValue(60);
    EXPECT_EQ(form->Params().Looks.Reflection, 60);
    // A click in the trough moves a look by a tenth of its range.
    const QRect track = ui::shadowBar(*form)->rect().adjusted(20, 0, -20, 0);
    QTest::mouseClick(ui::shadowBar(*form), Qt::LeftButton, {}, QPoint(track.right() - 4, track.center().y()));
    EXPECT_EQ(form->Params().Looks.Shadow, 10);
    ui::lookPanel(*form)->close();
    EXPECT_EQ(form->Params().Looks.Reflection, 60); // closing is no cancel
}

// At every size class the panel opens clear of the view, says "Look" once,
// and shows every caption and control whole with room between them.
TEST_F(LooksTest, TheLookPanelOpensBesideTheViewWithOneTitleAndRoom)
{
    Start();
    ShowAndWaitForGL();
    QDialog* panel = ui::lookPanel(*form);
    for (int sizeClass : {0, 1, 2}) {
        SCOPED_TRACE(sizeClass);
        form->Document().SetSizeClass(sizeClass);
        QTest::qWait(50);
        QTest::mouseClick(ui::lookButton(*form), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        GLPanel* view = ui::view(*form);
        const QRect shown = QRect(view->mapToGlobal(QPoint(0, 0)), view->size())
                                .intersected(QRect(ui::viewBox(*form)->mapToGlobal(QPoint(0, 0)), ui::viewBox(*form)->size()));
        EXPECT_FALSE(panel->frameGeometry().intersects(shown));
        EXPECT_TRUE(panel->screen()->availableGeometry().contains(panel->frameGeometry()));

        EXPECT_EQ(panel->windowTitle().toStdString(), "Look");
        for (const QGroupBox* group : panel->findChildren<QGroupBox*>())
            EXPECT_TRUE(group->title().isEmpty()) << group->title().toStdString();
        QList<QWidget*> parts;
        for (QWidget* w : ui::lookGroup(*form)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                parts << w;
        ASSERT_GE(parts.size(), 14);
        for (QWidget* w : parts) {
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_GE(w->width(), w->minimumSizeHint().width());
            EXPECT_GE(w->height(), w->minimumSizeHint().height());
            if (auto* label = qobject_cast<QLabel*>(w)) {
                EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()));
            }
            EXPECT_TRUE(ui::lookGroup(*form)->contentsRect().contains(w->geometry()));
            // Two controls are never closer than a few pixels.
            for (QWidget* other : parts) {
                if (other != w) {
                    EXPECT_FALSE(w->geometry().adjusted(-2, -2, 2, 2).intersects(other->geometry()))
                        << other->objectName().toStdString();
                }
            }
        }
        panel->close();
    }
}

} // namespace

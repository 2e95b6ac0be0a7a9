// The "Shape" panel: its controls and the document agree, an own back
// picture is drawn, cleared, saved and opened again, and a new project
// leaves the classic box.
#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

namespace {

struct ShapeTest : WindowFixture {
    QDialog* Panel() const { return ui::Named<QDialog>(*form, QStringLiteral("shapePanel")); }
    template <typename T>
    T* InPanel(const char* name) const
    {
        return ui::Named<T>(*Panel(), QString::fromLatin1(name));
    }
    // The colour in the middle of the view.
    QRgb Middle()
    {
        const QImage frame = Frame();
        return frame.pixel(frame.width() / 2, frame.height() / 2);
    }
};

TEST_F(ShapeTest, ThePanelsControlsAndTheDocumentAgree)
{
    Start();
    ShowAndWaitForGL();
    EXPECT_FALSE(Panel()->isVisible());
    ui::Named<QToolButton>(*form, QStringLiteral("shapeButton"))->click();
    EXPECT_TRUE(Panel()->isVisible());

    const int drawn = ui::view(*form)->FramesDrawn();
    InPanel<QScrollBar>("edgeRadiusBar")->setValue(30);
    EXPECT_EQ(form->Params().Shape.EdgeRadius, 30.0f);
    EXPECT_EQ(InPanel<QLabel>("edgeRadiusLabel")->text(), "30");
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui::view(*form)->FramesDrawn() > drawn; }, 5000));
    InPanel<QCheckBox>("bookPagesBox")->setChecked(true);
    EXPECT_TRUE(form->Params().Shape.BookPages);

    // The other way: a project's fraction shows as it is, and nothing is set back.
    form->Document().SetShape({.EdgeRadius = 12.5f, .BookPages = false});
    EXPECT_EQ(InPanel<QScrollBar>("edgeRadiusBar")->value(), 13);
    EXPECT_EQ(InPanel<QLabel>("edgeRadiusLabel")->text(), "12.5");
    EXPECT_FALSE(InPanel<QCheckBox>("bookPagesBox")->isChecked());
    EXPECT_EQ(form->Params().Shape.EdgeRadius, 12.5f);

    // A new project is the classic box again.
    prompts.Answers.push_back(QMessageBox::No); // not saved
    form->NewProjectClicked();
    EXPECT_TRUE(form->Params().Shape.AllOff());
    EXPECT_EQ(InPanel<QScrollBar>("edgeRadiusBar")->value(), 0);
}

TEST_F(ShapeTest, AnOwnBackIsDrawnClearedSavedAndOpenedAgain)
{
    Start();
    ShowAndWaitForGL();
    form->Document().SetAngles(180.0f, 0.0f);
    const QRgb pairColour = Middle(); // the front's placeholder, seen from behind
    const QString blue = WritePicture(QStringLiteral("back.bmp"), QSize(40, 40), QColor(20, 30, 220), QColor(20, 30, 220));

    PickCover(BackSide, blue);
    EXPECT_EQ(form->Document().Cover(BackSide).Path, QDir::toNativeSeparators(blue));
    EXPECT_TRUE(InPanel<QToolButton>("backClearButton")->isEnabled());
    EXPECT_FALSE(InPanel<QToolButton>("rightClearButton")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return qBlue(Middle()) > 200 && qRed(Middle()) < 40; }, 5000))
        << qRed(Middle()) << "," << qGreen(Middle()) << "," << qBlue(Middle());
    // The front's picture and its preview are untouched.
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.size(), QSize(80, 100));

    const QString project = Path(QStringLiteral("six.pcf"));
    ASSERT_TRUE(form->SaveProject(project));
    QFile saved(project);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(DecodeProject(saved.readAll()).Back, QDir::toNativeSeparators(blue));

    InPanel<QToolButton>("backClearButton")->click();
    EXPECT_TRUE(form->Document().Cover(BackSide).Path.isEmpty());
    EXPECT_FALSE(InPanel<QToolButton>("backClearButton")->isEnabled());
    EXPECT_EQ(Middle(), pairColour);

    ASSERT_TRUE(form->LoadProject(project));
    WaitForCovers();
    EXPECT_EQ(form->Document().Cover(BackSide).Path, QDir::toNativeSeparators(blue));
    form->Document().SetAngles(180.0f, 0.0f);
    EXPECT_TRUE(QTest::qWaitFor([&] { return qBlue(Middle()) > 200 && qRed(Middle()) < 40; }, 5000));

    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    form->Document().SetAngles(180.0f, 0.0f);
    EXPECT_TRUE(form->Document().Cover(BackSide).Path.isEmpty());
    EXPECT_EQ(Middle(), pairColour);
}

} // namespace

TEST_F(ShapeTest, ThePanelHasOneTitleAndOpensClearOfTheLookPanel)
{
    Start();
    ShowAndWaitForGL();
    QTest::mouseClick(ui::lookButton(*form), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui::lookPanel(*form)));
    QTest::mouseClick(ui::Named<QToolButton>(*form, QStringLiteral("shapeButton")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Panel()));

    EXPECT_EQ(Panel()->windowTitle().toStdString(), "Shape");
    for (const QGroupBox* group : Panel()->findChildren<QGroupBox*>())
        EXPECT_TRUE(group->title().isEmpty()) << group->title().toStdString();
    EXPECT_FALSE(Panel()->frameGeometry().intersects(ui::lookPanel(*form)->frameGeometry()));
    EXPECT_TRUE(Panel()->screen()->availableGeometry().contains(Panel()->frameGeometry()));
}

// The window made larger takes both panels along with the view, clear of it
// and of each other; a panel the user moved stays where it was put.
TEST_F(ShapeTest, ThePanelFollowsTheViewAsTheLookPanelDoes)
{
    Start();
    ShowAndWaitForGL();
    QDialog* look = ui::lookPanel(*form);
    QTest::mouseClick(ui::lookButton(*form), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(look));
    QTest::mouseClick(ui::Named<QToolButton>(*form, QStringLiteral("shapeButton")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Panel()));
    const auto shownView = [&] {
        GLPanel* view = ui::view(*form);
        return QRect(view->mapToGlobal(QPoint(0, 0)), view->size())
            .intersected(QRect(ui::viewBox(*form)->mapToGlobal(QPoint(0, 0)), ui::viewBox(*form)->size()));
    };
    const QRect viewBefore = shownView();
    const QPoint lookBefore = look->pos(), shapeBefore = Panel()->pos();

    const QRect room = form->screen()->availableGeometry();
    form->setGeometry(room.adjusted(0, 0, -room.width() / 3, -room.height() / 8));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownView() != viewBefore && look->pos() != lookBefore; }, 5000));
    QTest::qWait(50);
    EXPECT_NE(Panel()->pos(), shapeBefore);
    for (const QDialog* panel : {static_cast<const QDialog*>(look), static_cast<const QDialog*>(Panel())}) {
        SCOPED_TRACE(panel->objectName().toStdString());
        EXPECT_FALSE(panel->frameGeometry().intersects(shownView()));
        EXPECT_TRUE(room.contains(panel->frameGeometry()));
    }
    EXPECT_FALSE(Panel()->frameGeometry().intersects(look->frameGeometry()));

    const QPoint put = Panel()->pos() + QPoint(-40, 30);
    Panel()->move(put);
    const QRect viewThen = shownView();
    form->setGeometry(room.adjusted(0, 0, -room.width() / 4, -room.height() / 6));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownView() != viewThen; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(Panel()->pos(), put);
}


// "Save image as" beyond the captured result: other sizes, PNG, TGA and a
// transparent background, drawn off screen as the command line draws them.
#include "cli/CliRunner.h"
#include "document/SizeClass.h"
#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "window/SaveImageDialog.h"
#include "window/SaveImageShot.h"
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ShotTest : WindowFixture {
    // Runs the dialog as its modal run would, driven by body; when body
    // clicked OK, until the picture is written or the dialog stays open.
    void Answer(std::function<void(SaveImageDialog&)> body)
    {
        prompts.DialogScripts.push_back([body](QDialog& d) {
            auto& dlg = dynamic_cast<SaveImageDialog&>(d);
            dlg.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
            body(dlg);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible() || dlg.okButton->isEnabled(); }, 60000));
            if (dlg.isVisible())
                dlg.cancelButton->click();
            return dlg.result();
        });
    }

    // Writes from the window with the given format, size and transparency.
    QString WriteFromWindow(int format, QSize size, bool transparent = false, int quality = 70)
    {
        Answer([=](SaveImageDialog& dlg) {
            dlg.formatBox->setCurrentIndex(format);
            dlg.qualityBox->setValue(quality);
            dlg.widthBox->setValue(size.width());
            dlg.heightBox->setValue(size.height());
            dlg.transparentBox->setChecked(transparent);
            dlg.okButton->click();
        });
        const QString before = form->LastOutput();
        ui::writeButton(*form)->click();
        EXPECT_NE(form->LastOutput(), before);
        QTest::qWait(1100); // the file names count seconds
        return form->LastOutput();
    }

    // A project with a cover and every look on, saved by the command line.
    QString LookProject()
    {
        const QString cover = WritePicture(QStringLiteral("cover.bmp"), QSize(64, 80), QColor(200, 30, 40),
                                           QColor(20, 60, 220));
        const QString project = Path(QStringLiteral("looks.pcf"));
        const CliResult made = RunCubiform({"render", "--front", cover, "--shadow", "--reflection", "--light",
                                            "--smooth-textures", "--samples", "4", "--save-project", project},
                                           dir.path()); // the project's output folder
        EXPECT_TRUE(made.Err.isEmpty()) << made.Err.toStdString();
        EXPECT_EQ(made.Status, 0) << made.Err.toStdString();
        return project;
    }
};

TEST_F(ShotTest, WindowPicturesAreTheCommandLinesBytes)
{
    const QString project = LookProject();
    Start();
    ShowAndWaitForGL();
    ASSERT_TRUE(form->OpenProjectFile(project));
    WaitForCovers();
    ASSERT_EQ(form->Params().Looks.Samples, 4);

    struct Case {
        int Format;
        QSize Size;
        bool Transparent;
        QStringList Options;
        QString Reference;
    };
    const std::vector<Case> cases = {
        {SaveImageDialog::FormatPng, {320, 210}, false, {}, Path("ref.png")},
        {SaveImageDialog::FormatPng, {300, 300}, true, {"--transparent"}, Path("cut.png")},
        {SaveImageDialog::FormatTga, {150, 260}, true, {"--transparent"}, Path("cut.tga")},
        {SaveImageDialog::FormatJpeg, {500, 333}, false, {"--quality", "85"}, Path("ref.jpg")},
    };
    for (const Case& c : cases) {
        const QString size = QStringLiteral("%1x%2").arg(c.Size.width()).arg(c.Size.height());
        const CliResult cli =
            RunCubiform(QStringList{"render", project, "--size", size, "-o", c.Reference} + c.Options);
        ASSERT_EQ(cli.Status, 0) << cli.Err.toStdString();
        const QString written = WriteFromWindow(c.Format, c.Size, c.Transparent, c.Options.size() == 2 ? 85 : 70);
        ASSERT_TRUE(written.startsWith(QDir::toNativeSeparators(dir.path()))) << written.toStdString();
        EXPECT_EQ(QFileInfo(written).suffix(), QFileInfo(c.Reference).suffix());
        const QByteArray expected = Bytes(c.Reference);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_TRUE(Bytes(written) == expected) << written.toStdString() << " differs from " << c.Reference.toStdString();
    }
    // The looks' samples are the ones written with, and the view goes on.
    EXPECT_EQ(form->Params().Looks.Samples, 4);
    EXPECT_FALSE(form->DrawingSuspended());
}

TEST_F(ShotTest, ThePreviewFitsTheDialogAtEverySizeClass)
{
    Start();
    ShowAndWaitForGL();
    for (int sizeClass : {SizeClassSmall, SizeClassMedium, SizeClassLarge}) {
        ui::sizeModeBox(*form)->setCurrentIndex(sizeClass);
        ui::sizeModeBox(*form)->activated(sizeClass);
        QTest::qWait(100);
        const int side = SizeClassMaximum(sizeClass);
        Answer([&](SaveImageDialog& dlg) {
            ASSERT_EQ(dlg.preview->size(), QSize(side, side) / dlg.devicePixelRatioF());
            const QRect room = dlg.screen()->availableGeometry();
            EXPECT_TRUE(room.contains(dlg.frameGeometry())) << sizeClass;
            // Whole, unless the screen is too small for it: then the
            // dialog takes all the height there is.
            const QSize viewport = dlg.previewArea->viewport()->size();
            const bool whole = viewport.width() >= dlg.preview->width() && viewport.height() >= dlg.preview->height();
            EXPECT_TRUE(whole || dlg.frameGeometry().height() >= room.height() - 2)
                << sizeClass << ": " << viewport.width() << "x" << viewport.height();
            // The size offered is the size class's result.
            EXPECT_EQ(dlg.widthBox->value(), side);
            EXPECT_EQ(dlg.heightBox->value(), side);
        });
        ui::writeButton(*form)->click();
    }
}

struct ShotDialogTest : ::testing::Test {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<SettingsStore> store;
    QImage bitmap{40, 30, QImage::Format_RGB888};
    QWidget owner; // a running shot is left to it when the dialog goes
    BoxDocument document;
    const QDateTime noon{QDate(2005, 6, 1), QTime(12, 0)};

    void SetUp() override
    {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        store->OpenStore(QStringLiteral("\\Software\\Tralen\\Cubiform\\"));
        bitmap.fill(QColor(10, 90, 200));
        document.NewProject();
    }
    QString Folder() const { return QDir::toNativeSeparators(dir.path()) + QDir::separator(); }
    // The file OK writes in the folder, in the given format.
    QString Target(const char* extension) const
    {
        return dir.filePath(ResultFileStem(noon) + QLatin1String(extension));
    }

    std::unique_ptr<SaveImageDialog> Make()
    {
        auto dlg = std::make_unique<SaveImageDialog>(*store, prompts, &owner);
        dlg->SetResultBitmap(&bitmap);
        dlg->SetFolder(Folder());
        dlg->SetDocument(document, QString());
        dlg->Clock = [this] { return noon; };
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }
    bool ShotsRunning() const { return !owner.findChildren<ShotJob*>().isEmpty(); }
};

TEST_F(ShotDialogTest, FormatsSizeAndTransparencyAreOfferedWithABoxToDraw)
{
    auto dlg = Make();
    ASSERT_EQ(dlg->formatBox->count(), 4);
    EXPECT_EQ(dlg->formatBox->itemText(SaveImageDialog::FormatPng), "PNG image");
    EXPECT_EQ(dlg->formatBox->itemText(SaveImageDialog::FormatTga), "TGA image");
    EXPECT_TRUE(dlg->widthBox->isVisible());
    EXPECT_EQ(dlg->widthBox->maximum(), 16384);
    EXPECT_EQ(dlg->heightBox->maximum(), 16384);
    EXPECT_EQ(QSize(dlg->widthBox->value(), dlg->heightBox->value()), bitmap.size());
    for (int format : {0, 1, 2, 3}) {
        dlg->formatBox->setCurrentIndex(format);
        const bool alpha = format == SaveImageDialog::FormatPng || format == SaveImageDialog::FormatTga;
        EXPECT_EQ(dlg->transparentBox->isVisible(), alpha) << format;
        EXPECT_EQ(dlg->qualityBox->isVisible(), format == SaveImageDialog::FormatJpeg) << format;
    }
    EXPECT_EQ(dlg->transparentBox->text(), "Transparent background");
}

TEST_F(ShotDialogTest, APictureOverACoverIsRefusedAndTheCoverKept)
{
    for (const char* extension : {".jpg", ".png"}) { // the captured result and a drawn one
        const QString cover = Target(extension);
        QImage picture(16, 16, QImage::Format_RGB888);
        picture.fill(Qt::green);
        ASSERT_TRUE(picture.save(cover));
        const QByteArray before = Bytes(cover);
        document.SetCover(0, {cover, QString()});
        auto dlg = Make();
        dlg->formatBox->setCurrentIndex(extension == QLatin1String(".jpg") ? 0 : 2);
        dlg->okButton->click();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_TRUE(dlg->okButton->isEnabled());
        ASSERT_FALSE(prompts.Asked.isEmpty());
        EXPECT_TRUE(prompts.Asked.last().contains("is the front cover")) << prompts.Asked.last().toStdString();
        EXPECT_TRUE(dlg->WrittenPath().isEmpty());
        EXPECT_EQ(Bytes(cover), before);
    }
}

TEST_F(ShotDialogTest, ALargeShotRunsAsideAndCancelStopsItLeavingNoFile)
{
    auto dlg = Make();
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatPng);
    dlg->widthBox->setValue(2500);
    dlg->heightBox->setValue(2500);
    dlg->SetSamples(4);
    const QSize before = dlg->size();
    dlg->okButton->click();
    // OK came back at once: the dialog is live, busy, and says what it does.
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->okButton->isEnabled());
    EXPECT_FALSE(dlg->formatBox->isEnabled());
    EXPECT_TRUE(dlg->cancelButton->isEnabled());
    EXPECT_FALSE(dlg->progressLabel->text().isEmpty());
    ASSERT_TRUE(ShotsRunning());
    // The window goes on while it draws: the notes arrive.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->progressLabel->text().startsWith("Drawing 2500 x 2500"); }, 60000))
        << dlg->progressLabel->text().toStdString();
    EXPECT_TRUE(dlg->progressLabel->isVisible());
    EXPECT_EQ(dlg->size(), before); // the note takes the size fields' place
    dlg->cancelButton->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(dlg->WrittenPath().isEmpty());
    dlg.reset(); // the shot outlives its dialog
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ShotsRunning(); }, 120000));
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.png", ".*.part", "*.part"}, QDir::Files | QDir::Hidden).isEmpty())
        << QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    EXPECT_FALSE(prompts.Asked.join(' ').contains("tell:"));
}

TEST_F(ShotDialogTest, AShotThatFailsIsToldAndTheDialogStaysUsable)
{
    document.SetCover(1, {dir.filePath(QStringLiteral("gone.jpg")), QString()}); // deleted since it was picked
    auto dlg = Make();
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatTga);
    dlg->okButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->okButton->isEnabled(); }, 60000));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->formatBox->isEnabled());
    EXPECT_TRUE(dlg->progressLabel->text().isEmpty());
    ASSERT_FALSE(prompts.Asked.isEmpty());
    EXPECT_TRUE(prompts.Asked.last().startsWith("tell:")) << prompts.Asked.last().toStdString();
    EXPECT_TRUE(prompts.Asked.last().contains("gone.jpg")) << prompts.Asked.last().toStdString();
    EXPECT_FALSE(QFileInfo::exists(Target(".tga")));
    EXPECT_TRUE(dlg->WrittenPath().isEmpty());
}

} // namespace

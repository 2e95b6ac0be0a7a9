// "Save image as" with the ray tracer: the command line's bytes for the
// same seed and passes, the choice kept in the project, the picture shown
// as its passes come in, and Cancel stopping it with nothing written.
#include "cli/CliRunner.h"
#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "window/Checkerboard.h"
#include "window/SaveImageDialog.h"
#include "window/SaveImageShot.h"
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RayShotTest : WindowFixture {
    // Writes from the window as a PNG of the size, ray traced with the passes.
    QString WriteRayTraced(QSize size, int passes)
    {
        prompts.DialogScripts.push_back([=](QDialog& d) {
            auto& dlg = dynamic_cast<SaveImageDialog&>(d);
            dlg.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
            EXPECT_TRUE(dlg.rayBox->isVisible());
            EXPECT_FALSE(dlg.passesBox->isEnabled()); // the raster until chosen
            dlg.formatBox->setCurrentIndex(SaveImageDialog::FormatPng);
            dlg.widthBox->setValue(size.width());
            dlg.heightBox->setValue(size.height());
            dlg.rayBox->setChecked(true);
            EXPECT_TRUE(dlg.passesBox->isEnabled());
            EXPECT_FALSE(dlg.samplesBox->isEnabled()); // its passes are its anti-aliasing
            dlg.passesBox->setValue(passes);
            dlg.okButton->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible() || dlg.okButton->isEnabled(); }, 120000));
            if (dlg.isVisible())
                dlg.cancelButton->click();
            return dlg.result();
        });
        const QString before = form->LastOutput();
        ui::writeButton(*form)->click();
        EXPECT_NE(form->LastOutput(), before);
        return form->LastOutput();
    }
};

TEST_F(RayShotTest, TheRayTracedPictureIsTheCommandLinesAndTheProjectKeepsTheChoice)
{
    const QString cover = WritePicture(QStringLiteral("cover.bmp"), QSize(48, 64), QColor(200, 30, 40),
                                       QColor(20, 60, 220));
    const QString project = Path(QStringLiteral("box.pcf"));
    const CliResult made = RunCubiform({"render", "--front", cover, "--form", "2", "--save-project", project}, dir.path());
    ASSERT_EQ(made.Status, 0) << made.Err.toStdString();
    Start();
    ShowAndWaitForGL();
    ASSERT_TRUE(form->OpenProjectFile(project));
    WaitForCovers();
    ASSERT_FALSE(form->Document().Engine().RayTraced);

    const QString written = WriteRayTraced({90, 70}, 3);
    ASSERT_FALSE(written.isEmpty());
    const CliResult cli = RunCubiform(
        {"render", project, "--engine", "raytrace", "--passes", "3", "--size", "90x70", "-o", Path("ref.png")});
    ASSERT_EQ(cli.Status, 0) << cli.Err.toStdString();
    EXPECT_TRUE(Bytes(written) == Bytes(Path("ref.png"))) << written.toStdString();

    // The choice is the project's now; the view stays the raster's and goes on.
    EXPECT_EQ(form->Document().Engine(), (BoxEngine{true, 3, 0}));
    EXPECT_TRUE(form->Document().Modified());
    EXPECT_FALSE(form->DrawingSuspended());
}

struct RayShotDialogTest : ::testing::Test {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<SettingsStore> store;
    QImage bitmap{40, 30, QImage::Format_RGB888};
    QWidget owner; // a running shot is left to it when the dialog goes
    BoxDocument document;

    void SetUp() override
    {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        store->OpenStore(QStringLiteral("\\Software\\Tralen\\Cubiform\\"));
        bitmap.fill(QColor(10, 90, 200));
        document.NewProject();
    }
    std::unique_ptr<SaveImageDialog> Make()
    {
        auto dlg = std::make_unique<SaveImageDialog>(*store, prompts, &owner);
        dlg->SetResultBitmap(&bitmap);
        dlg->SetFolder(QDir::toNativeSeparators(dir.path()) + QDir::separator());
        dlg->SetDocument(document, QString());
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }
    bool ShotsRunning() const { return !owner.findChildren<ShotJob*>().isEmpty(); }
    QStringList Files() const { return QDir(dir.path()).entryList({"*.jpg", "*.png", "*.part", ".*.part"}, QDir::Files | QDir::Hidden); }
};

TEST_F(RayShotDialogTest, AProjectsEngineIsOfferedAndTheCapturedResultStaysTheRastersDefault)
{
    auto plain = Make();
    EXPECT_FALSE(plain->rayBox->isChecked());
    EXPECT_EQ(plain->Engine(), BoxEngine{});
    plain.reset();

    document.SetEngine({true, 700, 25});
    auto dlg = Make();
    EXPECT_TRUE(dlg->rayBox->isChecked());
    EXPECT_EQ(dlg->passesBox->value(), 700);
    EXPECT_EQ(dlg->Engine(), (BoxEngine{true, 700, 25})); // the gloss is the project's
    dlg->rayBox->setChecked(false);
    EXPECT_EQ(dlg->Engine(), (BoxEngine{false, 700, 25}));
}

TEST_F(RayShotDialogTest, ThePreviewFollowsThePassesAndCancelStopsAtOnceWritingNothing)
{
    auto dlg = Make();
    const qint64 captured = dlg->preview->pixmap().cacheKey();
    dlg->widthBox->setValue(900);
    dlg->heightBox->setValue(700);
    dlg->rayBox->setChecked(true);
    dlg->passesBox->setValue(EngineLimits::MaxPasses); // far more than the test waits for
    dlg->okButton->click();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->rayBox->isEnabled());
    EXPECT_FALSE(dlg->passesBox->isEnabled());
    ASSERT_TRUE(ShotsRunning());
    // A pass or two in, the preview shows the picture so far.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->preview->pixmap().cacheKey() != captured; }, 120000));
    // Larger than the dialog: shown whole, in its proportions.
    const QSize shown = dlg->preview->pixmap().size();
    EXPECT_LE(shown.width(), dlg->previewArea->viewport()->width() * dlg->devicePixelRatioF());
    EXPECT_LE(shown.height(), dlg->previewArea->viewport()->height() * dlg->devicePixelRatioF());
    EXPECT_NEAR(shown.width() * 700.0 / shown.height(), 900.0, 10.0);
    EXPECT_TRUE(dlg->progressLabel->text().startsWith("Ray tracing: pass ")) << dlg->progressLabel->text().toStdString();

    dlg->cancelButton->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    dlg.reset();
    // Stopped within a row, not after the hundred thousand passes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ShotsRunning(); }, 120000));
    EXPECT_TRUE(Files().isEmpty()) << Files().join(' ').toStdString();
    EXPECT_FALSE(prompts.Asked.join(' ').contains("tell:"));
}

} // namespace

// A transparent background shows as the checkerboard while it is traced,
// not as the preview's own colour.
TEST_F(RayShotDialogTest, ATransparentBackgroundIsShownOverTheCheckerboard)
{
    auto dlg = Make();
    const qint64 captured = dlg->preview->pixmap().cacheKey();
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatPng);
    dlg->transparentBox->setChecked(true);
    dlg->widthBox->setValue(160);
    dlg->heightBox->setValue(120);
    dlg->rayBox->setChecked(true);
    dlg->passesBox->setValue(EngineLimits::MaxPasses);
    dlg->okButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->preview->pixmap().cacheKey() != captured; }, 120000));
    // The top row is background: light and grey squares in turn (an early
    // pass may leave a little haze over some).
    const QImage shown = dlg->preview->pixmap().toImage();
    EXPECT_FALSE(shown.hasAlphaChannel());
    int light = 0, grey = 0;
    for (int x = 0; x < shown.width(); ++x) {
        light += shown.pixelColor(x, 1) == QColor(255, 255, 255);
        grey += shown.pixelColor(x, 1) == QColor(204, 204, 204);
    }
    EXPECT_GT(std::min(light, grey), CheckerCell);
    dlg->cancelButton->click();
    dlg.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ShotsRunning(); }, 120000));
}

TEST_F(RayShotDialogTest, TheDenoiserIsOfferedBesideThePassesAndKeptInTheEngine)
{
    auto fresh = Make();
    EXPECT_TRUE(fresh->denoiseBox->isChecked()); // on unless the project says off
    EXPECT_FALSE(fresh->denoiseBox->isEnabled()); // the raster has no grain
    fresh.reset();

    document.SetEngine({true, 24, 0, false});
    auto dlg = Make();
    EXPECT_FALSE(dlg->denoiseBox->isChecked());
    EXPECT_TRUE(dlg->denoiseBox->isEnabled());
    EXPECT_FALSE(dlg->Engine().Denoise);
    dlg->denoiseBox->setChecked(true);
    EXPECT_EQ(dlg->Engine(), (BoxEngine{true, 24, 0, true}));
}

TEST_F(RayShotDialogTest, TheApertureIsOfferedWithTheProjectsStopAndKeptInTheEngine)
{
    document.SetEngine({true, 24, 0, true, 3.5}); // a stop only the command line gives
    auto dlg = Make();
    EXPECT_TRUE(dlg->apertureBox->isEnabled());
    EXPECT_EQ(dlg->apertureBox->currentText(), QStringLiteral("f/3.5"));
    EXPECT_EQ(dlg->Engine().FNumber, 3.5);
    dlg->apertureBox->setCurrentIndex(0);
    EXPECT_EQ(dlg->Engine(), (BoxEngine{true, 24, 0, true, 0})); // all sharp
    dlg->rayBox->setChecked(false);
    EXPECT_FALSE(dlg->apertureBox->isEnabled()); // the raster has no lens
}

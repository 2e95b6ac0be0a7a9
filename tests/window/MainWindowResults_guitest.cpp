#include "support/ResultFiles.h"
#include "window/SaveImageDialog.h"
#include "window/UrlCatcher.h"
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

struct ResultsTest : WindowFixture {
    // What the panel shows: the output sits in the lower left of its framebuffer.
    QImage ShownFrame()
    {
        ui::view(*form)->RenderNow();
        const QImage whole = ui::view(*form)->grabFramebuffer();
        const QSize out = form->OutputPixelSize();
        return whole.copy(0, whole.height() - out.height(), out.width(), out.height())
            .convertToFormat(QImage::Format_RGB888);
    }

    QSize LabelSize() const
    {
        return QSize(ui::resultWidthLabel(*form)->text().toInt(), ui::resultHeightLabel(*form)->text().toInt());
    }

    QVariant Stored(const QString& key) const
    {
        return QSettings(SettingsFile(), QSettings::IniFormat).value(key);
    }

    // Runs the "Save image as" dialog as its modal run would: shown, then
    // driven by body; closed with Cancel unless body closed it.
    void Answer(std::function<void(SaveImageDialog&)> body)
    {
        prompts.DialogScripts.push_back([this, body](QDialog& d) {
            auto& dlg = dynamic_cast<SaveImageDialog&>(d);
            EXPECT_TRUE(form->DrawingSuspended());
            dlg.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
            body(dlg);
            if (dlg.isVisible())
                dlg.cancelButton->click();
            return dlg.result();
        });
    }
};

TEST_F(ResultsTest, WriteSavesTheShownFrameAtTheOutputSizeAndReportsIt)
{
    Start();
    ShowAndWaitForGL();
    ui::resultWidthBar(*form)->setValue(123); // odd sizes test the row padding and the scaling
    ui::resultHeightBar(*form)->setValue(77);
    QTest::qWait(50);
    const QImage shown = ShownFrame();
    ASSERT_EQ(shown.size(), QSize(123, 77));
    ASSERT_NE(shown, shown.mirrored(false, true)); // orientation is visible

    Answer([](SaveImageDialog& dlg) {
        dlg.formatBox->setCurrentIndex(1);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    const QString bmp = form->LastOutput();
    ASSERT_TRUE(bmp.startsWith(form->Document().OutputFolder())) << bmp.toStdString();
    ASSERT_TRUE(bmp.endsWith(".bmp"));
    EXPECT_EQ(form->StatusText(2), "Last output: " + bmp);
    const QImage written = ReadResultFile(bmp);
    EXPECT_EQ(written.size(), LabelSize());
    EXPECT_EQ(MaxPixelDifference(written, shown), 0);
    EXPECT_FALSE(form->DrawingSuspended());

    // The menu item does the same; JPEG within its loss.
    QTest::qWait(100); // the next time unit
    Answer([](SaveImageDialog& dlg) {
        dlg.formatBox->setCurrentIndex(0);
        dlg.qualityBox->setValue(100);
        dlg.okButton->click();
    });
    ui::writeAction(*form)->trigger();
    ASSERT_TRUE(form->LastOutput().endsWith(".jpg"));
    const QImage jpeg = ReadResultFile(form->LastOutput());
    EXPECT_EQ(jpeg.size(), LabelSize());
    // Flat areas survive nearly unchanged; corners are the background.
    const QColor corner = shown.pixelColor(2, 2);
    EXPECT_NEAR(jpeg.pixelColor(2, 2).red(), corner.red(), 8);
    EXPECT_NEAR(jpeg.pixelColor(2, 2).blue(), corner.blue(), 8);
    long long total = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            total += std::abs(jpeg.pixelColor(x, y).red() - shown.pixelColor(x, y).red()) +
                     std::abs(jpeg.pixelColor(x, y).blue() - shown.pixelColor(x, y).blue());
    EXPECT_LT(total / (shown.width() * shown.height() * 2), 6);
}

TEST_F(ResultsTest, AChangeWhoseFrameIsStillBookedIsInTheWrittenPicture)
{
    Start();
    ShowAndWaitForGL();
    ui::resultWidthBar(*form)->setValue(140);
    ui::resultHeightBar(*form)->setValue(90);
    QTest::qWait(50);
    // Write at once: the frame for the new depth is only booked so far.
    ui::depthBar(*form)->setValue(ui::depthBar(*form)->value() + 15);
    ASSERT_TRUE(ui::view(*form)->FramePending());
    Answer([](SaveImageDialog& dlg) {
        dlg.formatBox->setCurrentIndex(1);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    const QImage written = ReadResultFile(form->LastOutput());
    ASSERT_FALSE(written.isNull());
    const QImage shown = ShownFrame();
    EXPECT_EQ(written.size(), shown.size());
    EXPECT_EQ(MaxPixelDifference(written, shown), 0);
}

TEST_F(ResultsTest, ColoursAreNotSwappedInTheWrittenFile)
{
    Start();
    ShowAndWaitForGL();
    prompts.Colors.push_back(QColor(0, 0, 255)); // a blue surrounding
    form->PickBackground();
    ASSERT_EQ(ShownFrame().pixelColor(0, 0), QColor(0, 0, 255));
    Answer([](SaveImageDialog& dlg) {
        dlg.formatBox->setCurrentIndex(1);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    const QImage written = ReadResultFile(form->LastOutput());
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(written.pixelColor(written.width() - 1, written.height() - 1), QColor(0, 0, 255));
}

TEST_F(ResultsTest, CancelChangesNothingStoresTheDialogsSettingsAndDrawingResumes)
{
    Start();
    ShowAndWaitForGL();
    ui::statusPanel(*form, 2)->setText(QStringLiteral("before"));
    const QString folder = form->Document().OutputFolder();
    Answer([](SaveImageDialog& dlg) {
        dlg.qualityBox->setValue(40);
        dlg.folderEdit->setText(QStringLiteral("/elsewhere/"));
    });
    ui::writeButton(*form)->click();
    EXPECT_EQ(prompts.Asked.last(), "dialog:Save image as");
    EXPECT_EQ(form->StatusText(2), "before");
    EXPECT_TRUE(form->LastOutput().isEmpty());
    EXPECT_EQ(form->Document().OutputFolder(), folder);
    EXPECT_FALSE(form->DrawingSuspended());
    EXPECT_EQ(Stored("Preference/Quality").toString(), "40");
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());

    // The view draws again: a new background shows with the next frames.
    prompts.Colors.push_back(QColor(255, 0, 0));
    form->PickBackground();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ui::view(*form)->grabFramebuffer().pixelColor(1, 1) == QColor(255, 0, 0); }, 3000));
}

// Anti-aliased edges add in-between colours.
int DistinctColours(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            colours.insert(rgb.pixel(x, y));
    return static_cast<int>(colours.size());
}

TEST_F(ResultsTest, TheDialogsSampleChoiceRedrawsAndOkMakesItTheLooksCount)
{
    Start();
    ShowAndWaitForGL();
    ui::resultWidthBar(*form)->setValue(160);
    ui::resultHeightBar(*form)->setValue(120);
    QTest::qWait(50);
    ASSERT_EQ(form->Params().Looks.Samples, 1);
    QImage plain, smooth;
    Answer([&](SaveImageDialog& dlg) {
        EXPECT_TRUE(dlg.samplesBox->isVisible());
        EXPECT_EQ(dlg.samplesBox->currentText(), "1 (off)");
        // The dialog widens for the choice rather than squeezing the row.
        for (QWidget* w : {static_cast<QWidget*>(dlg.formatBox), static_cast<QWidget*>(dlg.qualityBox),
                           static_cast<QWidget*>(dlg.samplesLabel), static_cast<QWidget*>(dlg.samplesBox),
                           static_cast<QWidget*>(dlg.okButton), static_cast<QWidget*>(dlg.cancelButton)})
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        plain = dlg.preview->pixmap().toImage();
        dlg.samplesBox->setCurrentIndex(4); // 16
        smooth = dlg.preview->pixmap().toImage();
        EXPECT_EQ(form->Params().Looks.Samples, 1); // not before OK
        dlg.formatBox->setCurrentIndex(1);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    ASSERT_EQ(smooth.size(), QSize(160, 120));
    EXPECT_GT(DistinctColours(smooth), DistinctColours(plain) + 10);
    ASSERT_TRUE(form->LastOutput().endsWith(".bmp"));
    const QImage written = ReadResultFile(form->LastOutput());
    EXPECT_EQ(MaxPixelDifference(written, smooth), 0);
    EXPECT_GT(MaxPixelDifference(written, plain), 0);
    // The written count is the document's now: the Look panel shows it.
    EXPECT_EQ(form->Params().Looks.Samples, 16);
    EXPECT_EQ(ui::samplesBox(*form)->currentText(), "16");

    // The next write starts from it; a choice cancelled is forgotten.
    QImage two;
    Answer([&](SaveImageDialog& dlg) {
        EXPECT_EQ(dlg.samplesBox->currentText(), "16");
        EXPECT_EQ(MaxPixelDifference(dlg.preview->pixmap().toImage(), smooth), 0);
        dlg.samplesBox->setCurrentIndex(0);
        two = dlg.preview->pixmap().toImage();
    });
    ui::writeButton(*form)->click();
    EXPECT_EQ(MaxPixelDifference(two, plain), 0); // back to the frame shown
    EXPECT_EQ(form->Params().Looks.Samples, 16);
    EXPECT_EQ(ui::samplesBox(*form)->currentText(), "16");
    EXPECT_FALSE(form->DrawingSuspended());
}

TEST_F(ResultsTest, AFailedCaptureIsReportedBeforeTheDialogShows)
{
    Start(); // never shown: the panel has no context to read from
    ui::writeButton(*form)->click();
    ASSERT_FALSE(prompts.Asked.isEmpty());
    EXPECT_EQ(prompts.Asked.last(),
              "tell:Can not allocate enough video memory. Try again with a smaller image.");
    EXPECT_FALSE(prompts.Asked.join(' ').contains("dialog:"));
    EXPECT_TRUE(form->LastOutput().isEmpty());
    EXPECT_FALSE(form->DrawingSuspended());
    form.reset();
    EXPECT_FALSE(Stored("Preference/Quality").isValid());
    EXPECT_FALSE(Stored("Preference/Output format").isValid());
    EXPECT_FALSE(Stored("Preference/Transparent").isValid());
}

TEST_F(ResultsTest, AWriteThatFailsKeepsTheDialogOpenAndRecordsNothing)
{
    QFile blocker(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Start();
    ShowAndWaitForGL();
    const QString folder = form->Document().OutputFolder();
    const QString status = form->StatusText(2);
    bool stillOpen = false;
    Answer([&](SaveImageDialog& dlg) {
        dlg.folderEdit->setText(QDir::toNativeSeparators(dir.filePath(QStringLiteral("plain"))) +
                             QDir::separator());
        dlg.okButton->click();
        stillOpen = dlg.isVisible();
    });
    ui::writeButton(*form)->click();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(prompts.Asked.join('\n').contains("tell:" + QDir::toNativeSeparators(dir.filePath("plain"))))
        << prompts.Asked.join('\n').toStdString();
    EXPECT_TRUE(form->LastOutput().isEmpty());
    EXPECT_EQ(form->StatusText(2), status);
    EXPECT_EQ(form->Document().OutputFolder(), folder);
}

TEST_F(ResultsTest, AnOkThatWritesNothingRecordsNoLastOutput)
{
    Start();
    QSettings(SettingsFile(), QSettings::IniFormat).setValue("Preference/Output format", "9");
    ShowAndWaitForGL();
    const QString other = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Projects")));
    Answer([&](SaveImageDialog& dlg) {
        dlg.folderEdit->setText(other);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    EXPECT_TRUE(form->LastOutput().isEmpty());
    EXPECT_TRUE(form->StatusText(2).isEmpty());
    // The folder the user accepted is kept, ending with a separator.
    EXPECT_EQ(form->Document().OutputFolder(), other + QDir::separator());
}

TEST_F(ResultsTest, SizeClassesSetTheMaximumAndOnlyLargeMaximises)
{
    Start();
    ShowAndWaitForGL();
    ui::resultWidthBar(*form)->setValue(50);
    for (int index : {0, 1}) {
        ui::sizeModeBox(*form)->setCurrentIndex(index);
        ui::sizeModeBox(*form)->activated(index);
        EXPECT_FALSE(form->windowState() & Qt::WindowMaximized) << index;
    }
    EXPECT_EQ(ui::resultWidthBar(*form)->maximum(), 300);
    EXPECT_EQ(ui::resultWidthBar(*form)->value(), 300);
    EXPECT_EQ(ui::resultHeightBar(*form)->value(), 300);
    ui::sizeModeBox(*form)->setCurrentIndex(0);
    ui::sizeModeBox(*form)->activated(0);
    EXPECT_EQ(ui::resultHeightBar(*form)->maximum(), 100);
    EXPECT_EQ(ui::resultHeightBar(*form)->value(), 100);
    EXPECT_EQ(ui::resultHeightLabel(*form)->text(), "100");
    ui::sizeModeBox(*form)->setCurrentIndex(2);
    ui::sizeModeBox(*form)->activated(2);
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(ui::resultWidthBar(*form)->value(), 450);
    EXPECT_EQ(ui::resultWidthLabel(*form)->text(), "450");
}

TEST_F(ResultsTest, APanelLargerThanItsBoxIsCentredWithNegativeCorner)
{
    Start();
    ShowAndWaitForGL();
    ui::resultWidthBar(*form)->setValue(300);
    ui::resultHeightBar(*form)->setValue(300);
    // A box smaller than the panel (the window's layout keeps it larger).
    ui::viewBox(*form)->setMaximumSize(140, 120);
    const QWidget* box = ui::viewBox(*form);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->width() <= 140; }, 2000));
    QTest::qWait(50);
    const QRect panel = ui::view(*form)->geometry();
    EXPECT_EQ(panel.left(), (box->width() - panel.width()) / 2);
    EXPECT_EQ(panel.top(), (box->height() - panel.height()) / 2);
    // 300 pixels are at least 150 logical ones up to a scale of 2.
    EXPECT_LT(panel.left(), 0);
    EXPECT_LT(panel.top(), 0);
    EXPECT_GE(ui::view(*form)->PixelSize().width(), 300);
    if (ui::view(*form)->devicePixelRatioF() == 1.0) {
        EXPECT_EQ(panel.size(), QSize(300, 300));
    }
    // The smallest image: one pixel.
    ui::resultWidthBar(*form)->setValue(1);
    ui::resultHeightBar(*form)->setValue(1);
    QTest::qWait(50);
    EXPECT_EQ(ShownFrame().size(), QSize(1, 1));
}

TEST_F(ResultsTest, BrowseOpensTheOutputFolder)
{
    Start();
    UrlCatcher catcher({QStringLiteral("file")});
    ui::browseButton(*form)->click();
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0], QUrl::fromLocalFile(QDir::fromNativeSeparators(form->Document().OutputFolder())));
}

} // namespace

namespace {

// A cover that arrives while the result is being written changes neither the
// picture taken nor the frame the view keeps; the view shows it afterwards.
TEST_F(ResultsTest, WriteDuringACoverLoadSavesTheFrameShown)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2); // the front faces the viewer
    form->FormChosen();
    ShowAndWaitForGL();
    const QImage shown = ShownFrame();
    QImage red(2000, 1500, QImage::Format_RGB888);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(Path("red.jpg"), "JPG", 90));

    prompts.Files.push_back(Path("red.jpg"));
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    Answer([this](SaveImageDialog& dlg) {
        WaitForCovers(); // installed while the dialog is up
        EXPECT_EQ(form->Document().Cover(FrontBack).Path, Path("red.jpg"));
        dlg.formatBox->setCurrentIndex(1);
        dlg.okButton->click();
    });
    ui::writeButton(*form)->click();
    ASSERT_TRUE(form->LastOutput().endsWith(".bmp"));
    EXPECT_EQ(MaxPixelDifference(ReadResultFile(form->LastOutput()), shown), 0);

    const QImage after = ShownFrame();
    const QColor centre = after.pixelColor(after.width() / 2, after.height() / 2);
    EXPECT_GT(centre.red(), 240);
    EXPECT_LT(centre.green(), 15);
}

} // namespace

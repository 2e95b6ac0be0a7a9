#include "window/SaveImageDialog.h"

#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "support/ResultFiles.h"
#include "support/SaveImageDialogFixture.h"
#include "window/FolderPickerDriver.h"
#include "window/Prompts.h"
#include "window/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>
#include <QToolButton>

namespace {

// The real folder picker with the other questions answered from the script.
class RealPickerPrompts final : public Prompts {
public:
    explicit RealPickerPrompts(ScriptedPrompts& script) : script_(script) {}
    QString OpenFile(QWidget* p, const FileDialogRequest& r) override { return script_.OpenFile(p, r); }
    QString SaveFile(QWidget* p, const FileDialogRequest& r) override { return script_.SaveFile(p, r); }
    std::optional<QColor> PickColor(QWidget* p, const QColor& c) override { return script_.PickColor(p, c); }
    QString PickFolder(QWidget* p, const QString& comment, const QString& start) override
    {
        script_.Asked << QStringLiteral("folder:") + comment;
        return real_.PickFolder(p, comment, start);
    }
    QMessageBox::StandardButton Ask(QWidget* p, const QString& t, const QString& text,
                                    QMessageBox::StandardButtons b) override
    {
        return script_.Ask(p, t, text, b);
    }
    void Tell(QWidget* p, QMessageBox::Icon i, const QString& t, const QString& text) override
    {
        script_.Tell(p, i, t, text);
    }
    int Exec(QDialog& d) override { return script_.Exec(d); }

private:
    ScriptedPrompts& script_;
    QtPrompts real_;
};

TEST_F(SaveImageDlgTest, ANewFolderTypedIntoThePickerIsOfferedAndMade)
{
    RealPickerPrompts real(prompts);
    const QString start = Folder(QString());
    SaveImageDialog dlg(*store, real);
    dlg.SetResultBitmap(&bitmap);
    dlg.SetFolder(start);
    Show(dlg);

    // Declined: nothing made, the field unchanged.
    prompts.Answers.push_back(QMessageBox::Cancel);
    AnswerNextFolderPicker(QStringLiteral("not now"), PickerKey::Enter);
    dlg.setFolderButton->click();
    EXPECT_EQ(prompts.Asked.last(),
              "ask:Directory " + Folder(QStringLiteral("not now")) + " does not exists. Create it first?");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("not now"))));
    EXPECT_EQ(dlg.folderEdit->text(), start);

    // OK: made with its parent, and the field and OK follow.
    dlg.okButton->setEnabled(false);
    prompts.Answers.push_back(QMessageBox::Ok);
    AnswerNextFolderPicker(QStringLiteral("shots/june"), PickerKey::Choose);
    dlg.setFolderButton->click();
    const QString made = Folder(QStringLiteral("shots/june"));
    EXPECT_EQ(prompts.Asked.last(), "ask:Directory " + made + " does not exists. Create it first?");
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_EQ(dlg.folderEdit->text(), made);
    EXPECT_TRUE(dlg.okButton->isEnabled());
}

TEST_F(SaveImageDlgTest, ALargeResultOpensAtItsMiddleASmallOneWhole)
{
    // Each pixel tells where it is, so the view's middle tells what it shows.
    auto located = [](int w, int h) {
        QImage image(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), 90));
        return image;
    };
    auto middleShown = [](SaveImageDialog& dlg) {
        QWidget* view = dlg.previewArea->viewport();
        return view->grab().toImage().pixel(view->width() / 2, view->height() / 2);
    };

    bitmap = located(1500, 1100);
    auto large = Make(Folder(QString()));
    Show(*large);
    for (QScrollBar* bar : {large->previewArea->horizontalScrollBar(), large->previewArea->verticalScrollBar()}) {
        ASSERT_GT(bar->maximum(), 0);
        EXPECT_NEAR(bar->value(), bar->maximum() / 2, 1);
    }
    const QRgb middle = middleShown(*large);
    EXPECT_NEAR(qRed(middle), 127, 3);
    EXPECT_NEAR(qGreen(middle), 127, 3);
    // Resized untouched it stays on the middle; once the user scrolls it stays put.
    large->resize(600, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return large->previewArea->width() == 600; }, 2000));
    QApplication::processEvents();
    EXPECT_NEAR(qRed(middleShown(*large)), 127, 3);
    QScrollBar* across = large->previewArea->horizontalScrollBar();
    across->triggerAction(QAbstractSlider::SliderToMinimum);
    large->resize(500, 420);
    ASSERT_TRUE(QTest::qWaitFor([&] { return large->previewArea->width() == 500; }, 2000));
    QApplication::processEvents();
    EXPECT_EQ(across->value(), 0);

    // Wider than the view only: centred across, whole and centred down.
    bitmap = located(1500, 60);
    auto wide = Make(Folder(QString()));
    Show(*wide);
    const QScrollBar* wideAcross = wide->previewArea->horizontalScrollBar();
    EXPECT_NEAR(wideAcross->value(), wideAcross->maximum() / 2, 1);
    EXPECT_EQ(wide->previewArea->verticalScrollBar()->maximum(), 0);
    EXPECT_NEAR(qRed(middleShown(*wide)), 127, 3);
    EXPECT_NEAR(wide->preview->geometry().center().y(), wide->previewArea->viewport()->height() / 2, 1);

    // Smaller than the view: no scrolling, the whole result in the middle.
    bitmap = located(30, 20);
    auto small = Make(Folder(QString()));
    Show(*small);
    EXPECT_EQ(small->previewArea->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(small->previewArea->verticalScrollBar()->maximum(), 0);
    const QRect shown = small->preview->geometry();
    EXPECT_TRUE(small->previewArea->viewport()->rect().contains(shown));
    EXPECT_NEAR(shown.center().x(), small->previewArea->viewport()->width() / 2, 1);
    EXPECT_NEAR(shown.center().y(), small->previewArea->viewport()->height() / 2, 1);
}

TEST_F(SaveImageDlgTest, AFolderThatCannotBeMadeIsReportedAndNothingChanges)
{
    QFile blocker(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString start = Folder(QString());
    auto dlg = Make(start);
    Show(*dlg);
    prompts.Folders.push_back(Folder(QStringLiteral("plain/sub")));
    prompts.Answers.push_back(QMessageBox::Ok);
    dlg->setFolderButton->click();
    EXPECT_TRUE(prompts.Asked.last().startsWith("tell:Can not create directory ")) << prompts.Asked.last().toStdString();
    EXPECT_EQ(dlg->folderEdit->text(), start);
    EXPECT_TRUE(dlg->okButton->isEnabled());
}

TEST_F(SaveImageDlgTest, OkWritesAJpegOrBmpNamedAfterTheClock)
{
    const QString folder = Folder(QString());
    auto dlg = Make(folder);
    Show(*dlg);
    dlg->qualityBox->setValue(95);
    dlg->okButton->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    const QString jpg = folder + "38504500000.jpg"; // one separator only
    EXPECT_EQ(dlg->WrittenPath(), jpg);
    EXPECT_LE(MaxPixelDifference(ReadResultFile(jpg), bitmap), 6);

    // A folder typed without its separator gets one; BMP is exact.
    auto bmp = Make(QDir::toNativeSeparators(dir.path()));
    Show(*bmp);
    bmp->formatBox->setCurrentIndex(1);
    bmp->okButton->click();
    const QString bmpPath = folder + "38504500000.bmp";
    EXPECT_EQ(bmp->WrittenPath(), bmpPath);
    EXPECT_EQ(MaxPixelDifference(ReadResultFile(bmpPath), bitmap), 0);

    // The same time unit again: the same name, the file replaced once the
    // user says so.
    bitmap.fill(Qt::blue);
    auto again = Make(folder);
    again->Clock = [this] { return noon.addMSecs(30); };
    Show(*again);
    again->formatBox->setCurrentIndex(1);
    prompts.Answers = {QMessageBox::No, QMessageBox::Yes};
    again->okButton->click(); // No keeps the file and the dialog
    EXPECT_TRUE(again->isVisible());
    EXPECT_NE(ReadResultFile(bmpPath).pixelColor(0, 0), QColor(Qt::blue));
    again->okButton->click();
    EXPECT_EQ(prompts.Asked.last(), "ask:" + bmpPath + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(again->WrittenPath(), bmpPath);
    EXPECT_EQ(ReadResultFile(bmpPath).pixelColor(0, 0), QColor(Qt::blue));
}

TEST_F(SaveImageDlgTest, ASampleChoiceDrawsAnewAndAFailedDrawKeepsTheChoiceAndPicture)
{
    const QString folder = Folder(QString());
    auto dlg = Make(folder);
    QList<int> drawn;
    bool fail = false;
    bool busyWhileDrawing = false;
    // A picture whose red tells the count it was drawn with.
    dlg->Redraw = [&](int samples, QImage& result) {
        drawn << samples;
        busyWhileDrawing = QApplication::overrideCursor() &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (fail)
            return false;
        result = QImage(bitmap.size(), QImage::Format_RGB888);
        result.fill(QColor(samples * 7, 0, 0));
        return true;
    };
    dlg->SetSamples(4);
    Show(*dlg);
    const auto shown = [&] { return dlg->preview->pixmap().toImage().pixelColor(0, 0); };
    ASSERT_TRUE(dlg->samplesBox->isVisible());
    ASSERT_EQ(dlg->samplesBox->count(), 6);
    EXPECT_EQ(dlg->samplesBox->itemText(0), "1 (off)");
    EXPECT_EQ(dlg->samplesBox->currentText(), "4");
    EXPECT_TRUE(drawn.isEmpty()); // the given picture has that count already
    EXPECT_EQ(shown(), QColor(200, 40, 10));

    dlg->samplesBox->setCurrentIndex(3);
    EXPECT_EQ(drawn, QList<int>{8});
    EXPECT_TRUE(busyWhileDrawing);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dlg->Samples(), 8);
    EXPECT_EQ(shown(), QColor(56, 0, 0));
    EXPECT_EQ(bitmap.pixelColor(0, 0), QColor(200, 40, 10)); // the caller's stays

    fail = true;
    dlg->samplesBox->setCurrentIndex(5);
    EXPECT_EQ(drawn, (QList<int>{8, 32}));
    ASSERT_FALSE(prompts.Asked.isEmpty());
    EXPECT_EQ(prompts.Asked.last(), "tell:Can not allocate enough video memory. Try again with a smaller image.");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dlg->samplesBox->currentText(), "8");
    EXPECT_EQ(dlg->Samples(), 8);
    EXPECT_EQ(shown(), QColor(56, 0, 0));

    // OK writes the picture shown.
    dlg->formatBox->setCurrentIndex(1);
    dlg->okButton->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(ReadResultFile(dlg->WrittenPath()).pixelColor(0, 0), QColor(56, 0, 0));
    EXPECT_EQ(drawn.size(), 2);
}

TEST_F(SaveImageDlgTest, AFailedWriteIsShownAndTheDialogStaysOpen)
{
    QFile blocker(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    ASSERT_TRUE(dlg->okButton->isEnabled());
    const QString bad = Folder(QStringLiteral("plain"));
    dlg->folderEdit->setText(bad); // typed: OK stays as it was
    dlg->okButton->click();
    ASSERT_FALSE(prompts.Asked.isEmpty());
    EXPECT_EQ(prompts.Asked.last(), "tell:" + QDir::toNativeSeparators(dir.filePath("plain")) + " is a file, not a folder.");
    EXPECT_TRUE(dlg->okButton->isEnabled());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->WrittenPath().isEmpty());
    EXPECT_FALSE(QFile::exists(bad + "38504500000.jpg"));

    // Another folder then works.
    dlg->folderEdit->setText(Folder(QString()));
    dlg->okButton->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(QFile::exists(dlg->WrittenPath()));
}

TEST_F(SaveImageDlgTest, AStoredFormatOutsideTheListWritesNothing)
{
    Store("Output format", "7");
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    EXPECT_EQ(dlg->formatBox->currentIndex(), -1);
    EXPECT_FALSE(dlg->qualityBox->isVisible());
    dlg->okButton->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(dlg->WrittenPath().isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"settings.ini"});
}

TEST_F(SaveImageDlgTest, AStoredValueOfTheWrongKindIsReportedAndTheDefaultUsed)
{
    {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Preference/Quality"), QVariant(QStringList{"a", "b"}));
    }
    store = std::make_unique<SettingsStore>(SettingsFile());
    store->OpenStore(QStringLiteral("\\Software\\Tralen\\Cubiform\\"));
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    EXPECT_EQ(dlg->qualityBox->value(), 70);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.Asked.isEmpty(); }, 2000));
    EXPECT_TRUE(prompts.Asked.last().contains("Quality")) << prompts.Asked.last().toStdString();
}

} // namespace

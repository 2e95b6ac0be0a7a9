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

TEST_F(SaveImageDlgTest, LayoutFollowsTheDialogAndTheFormatListIsFixed)
{
    auto dlg = Make(Folder(QString()));
    EXPECT_EQ(dlg->windowTitle(), "Save image as");
    EXPECT_EQ(dlg->size(), QSize(444, 381));
    ASSERT_EQ(dlg->formatBox->count(), 4); // the classic two keep their places
    EXPECT_EQ(dlg->formatBox->itemText(0), "JPG image");
    EXPECT_EQ(dlg->formatBox->itemText(1), "BMP image");
    EXPECT_EQ(dlg->formatBox->itemText(2), "PNG image");
    EXPECT_EQ(dlg->formatBox->itemText(3), "TGA image");
    EXPECT_FALSE(dlg->formatBox->isEditable());
    EXPECT_FALSE(dlg->okButton->isEnabled()); // until shown
    EXPECT_EQ(dlg->setFolderButton->text(), "Set");
    EXPECT_EQ(dlg->qualityBox->minimum(), 10);
    EXPECT_EQ(dlg->qualityBox->maximum(), 100);
    EXPECT_EQ(dlg->qualityBox->singleStep(), 5);
    EXPECT_TRUE(dlg->qualityBox->findChild<QLineEdit*>()->isReadOnly());
    EXPECT_EQ(dlg->previewArea->palette().color(QPalette::Window), QColor(64, 128, 128));

    Show(*dlg);
    auto fits = [&] {
        return dlg->folderEdit->width() == dlg->folderRow->width() - dlg->setPanel->width() - 16 &&
               dlg->folderEdit->x() == 8;
    };
    EXPECT_TRUE(fits());
    dlg->resize(700, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->folderRow->width() > 600; }, 2000));
    EXPECT_TRUE(fits());
    EXPECT_EQ(dlg->setPanel->geometry().right(), dlg->folderRow->width() - 1);
    // The preview is the bitmap at 1:1.
    EXPECT_EQ(dlg->preview->size(), bitmap.size());
    EXPECT_FALSE(dlg->transparentBox->isVisible());
    // Nothing to draw anew with: no sample choice.
    EXPECT_FALSE(dlg->samplesBox->isVisible());
    EXPECT_FALSE(dlg->samplesLabel->isVisible());
}

TEST_F(SaveImageDlgTest, PreferencesAreReadWhenShownAndStoredOnCloseOnlyIfShown)
{
    {
        auto dlg = Make(Folder(QString()));
        dlg->formatBox->setCurrentIndex(1);
        dlg->qualityBox->setValue(35);
    } // never shown: stores nothing
    EXPECT_FALSE(Stored("Quality").isValid());
    EXPECT_FALSE(Stored("Output format").isValid());

    Store("Output format", "1");
    Store("Quality", "5");
    Store("Transparent", "1");
    {
        auto dlg = Make(Folder(QString()));
        Show(*dlg);
        EXPECT_EQ(dlg->formatBox->currentIndex(), 1);
        EXPECT_EQ(dlg->qualityBox->value(), 10); // clamped to the spin range
        EXPECT_TRUE(dlg->transparentBox->isChecked());
        EXPECT_FALSE(dlg->transparentBox->isVisible());
        EXPECT_FALSE(dlg->qualityBox->isVisible());
        dlg->formatBox->setCurrentIndex(0);
        dlg->qualityBox->setValue(85);
        dlg->cancelButton->click(); // cancel stores too
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
    }
    EXPECT_EQ(Stored("Output format").toString(), "0");
    EXPECT_EQ(Stored("Quality").toString(), "85");
    EXPECT_EQ(Stored("Transparent").toString(), "1");

    Store("Quality", "150");
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    EXPECT_EQ(dlg->qualityBox->value(), 100);
}

TEST_F(SaveImageDlgTest, QualityControlsShowOnlyForJpeg)
{
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    ASSERT_EQ(dlg->formatBox->currentIndex(), 0);
    EXPECT_TRUE(dlg->qualityLabel->isVisible());
    EXPECT_TRUE(dlg->qualityBox->isVisible());
    dlg->formatBox->setCurrentIndex(1);
    EXPECT_FALSE(dlg->qualityLabel->isVisible());
    EXPECT_FALSE(dlg->qualityBox->isVisible());
    dlg->formatBox->setCurrentIndex(0);
    EXPECT_TRUE(dlg->qualityLabel->isVisible());
    EXPECT_TRUE(dlg->qualityBox->isVisible());
    // Spin steps of five, held at the limits.
    dlg->qualityBox->setValue(95);
    dlg->qualityBox->stepUp();
    dlg->qualityBox->stepUp();
    EXPECT_EQ(dlg->qualityBox->value(), 100);
}

TEST_F(SaveImageDlgTest, OkStaysUsableAndAMissingFolderIsToldOnOk)
{
    auto missing = Make(Folder(QStringLiteral("nowhere")));
    Show(*missing);
    EXPECT_TRUE(missing->okButton->isEnabled());
    missing->okButton->click();
    EXPECT_EQ(prompts.Asked.last(), "tell:The folder " + QDir::toNativeSeparators(dir.filePath("nowhere")) +
                                        " does not exist. Choose another with Set, which can also make it.");
    EXPECT_TRUE(missing->isVisible());
    EXPECT_TRUE(missing->okButton->isEnabled());
}

TEST_F(SaveImageDlgTest, SetAsksBeforeCreatingAMissingFolder)
{
    const QString start = Folder(QString());
    auto dlg = Make(start);
    Show(*dlg);
    const QString wanted = Folder(QStringLiteral("a/b"));

    // Cancelled picker: nothing.
    dlg->setFolderButton->click();
    EXPECT_EQ(prompts.Asked.last(), "folder:Select output folder");
    EXPECT_EQ(dlg->folderEdit->text(), start);

    // Declined: nothing made, the field unchanged.
    prompts.Folders.push_back(wanted);
    prompts.Answers.push_back(QMessageBox::Cancel);
    dlg->setFolderButton->click();
    EXPECT_EQ(prompts.Asked.last(), "ask:Directory " + wanted + " does not exists. Create it first?");
    EXPECT_EQ(dlg->folderEdit->text(), start);
    EXPECT_FALSE(QDir(wanted).exists());

    // Accepted: made with its parents; the field ends with a separator.
    dlg->okButton->setEnabled(false);
    prompts.Folders.push_back(QDir::toNativeSeparators(dir.filePath(QStringLiteral("a/b"))));
    prompts.Answers.push_back(QMessageBox::Ok);
    dlg->setFolderButton->click();
    EXPECT_TRUE(QDir(wanted).exists());
    EXPECT_EQ(dlg->folderEdit->text(), wanted);
    EXPECT_TRUE(dlg->okButton->isEnabled());

    // An existing folder is taken without a question.
    const int questions = static_cast<int>(prompts.Asked.size());
    prompts.Folders.push_back(start);
    dlg->setFolderButton->click();
    EXPECT_EQ(prompts.Asked.size(), questions + 1); // only the picker
    EXPECT_EQ(dlg->folderEdit->text(), start);
}

} // namespace

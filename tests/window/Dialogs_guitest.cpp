#include "services/MailLinks.h"
#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "window/AboutDialog.h"
#include "window/ConfirmDialog.h"
#include "window/ErrorReport.h"
#include "window/FolderPicker.h"
#include "window/FolderPickerDriver.h"
#include "window/Prompts.h"
#include "window/ScreenCentre.h"
#include "window/ScriptedPrompts.h"
#include "window/UrlCatcher.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

struct ConfirmTest : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("settings.ini"));
    SettingsStore store{file};
    ScriptedPrompts prompts;
    ConfirmMessage message{ConfirmMessage::Confirmation, QStringLiteral("AutoUpdateCheck"),
                           QStringLiteral("First line\nSecond line")};

    ConfirmTest() { store.OpenStore(QString(ProductInfo::RegistryKey)); }

    bool Ask() { return AskConfirmation(message, nullptr, store, prompts); }

    // Presses a button of the dialog, optionally ticking "Don't show this message again".
    void Answer(bool ok, bool noMore = false)
    {
        prompts.DialogScripts.push_back([ok, noMore](QDialog& dialog) {
            auto& confirm = dynamic_cast<ConfirmDialog&>(dialog);
            confirm.dontAskAgainBox->setChecked(noMore);
            (ok ? confirm.okButton : confirm.cancelButton)->click();
            return confirm.result();
        });
    }

    QVariant Stored(const QString& key) { return QSettings(file, QSettings::IniFormat).value(key); }
};

TEST_F(ConfirmTest, OneLinePerPieceWithQuestionPictureAndBothButtons)
{
    prompts.DialogScripts.push_back([](QDialog& dialog) {
        auto& confirm = dynamic_cast<ConfirmDialog&>(dialog);
        EXPECT_EQ(confirm.windowTitle(), "Confirmation");
        EXPECT_EQ(confirm.textView->document()->blockCount(), 2);
        EXPECT_EQ(confirm.textView->document()->findBlockByNumber(1).text(), "Second line");
        EXPECT_TRUE(confirm.textView->isReadOnly());
        EXPECT_EQ(confirm.textView->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(confirm.dontAskAgainBox->text(), "Don't show this message again");
        EXPECT_FALSE(confirm.cancelButton->isHidden());
        EXPECT_FALSE(confirm.questionIcon->isHidden());
        EXPECT_TRUE(confirm.informationIcon->isHidden());
        EXPECT_FALSE(confirm.questionIcon->pixmap().isNull());
        confirm.okButton->click();
        return confirm.result();
    });
    EXPECT_TRUE(Ask());
    EXPECT_EQ(prompts.Asked, QStringList({"dialog:Confirmation"}));
    EXPECT_FALSE(Stored(QStringLiteral("Dialogs/AutoUpdateCheck")).isValid());
}

TEST_F(ConfirmTest, NoMoreWithCancelSaysNoNowAndYesSilentlyLater)
{
    Answer(false, true);
    EXPECT_FALSE(Ask());
    EXPECT_EQ(Stored(QStringLiteral("Dialogs/AutoUpdateCheck")).toString(), "1");
    EXPECT_TRUE(Ask());
    EXPECT_TRUE(Ask());
    EXPECT_EQ(prompts.Asked.size(), 1); // shown once only

    // Another key still asks.
    message.key = QStringLiteral("Other");
    Answer(false);
    EXPECT_FALSE(Ask());
    EXPECT_EQ(prompts.Asked.size(), 2);
    EXPECT_FALSE(Stored(QStringLiteral("Dialogs/Other")).isValid());
}

TEST_F(ConfirmTest, CancelWithoutNoMoreAsksAgain)
{
    Answer(false);
    Answer(true);
    EXPECT_FALSE(Ask());
    EXPECT_TRUE(Ask());
    EXPECT_EQ(prompts.Asked.size(), 2);
}

TEST_F(ConfirmTest, InformationKindHasOnlyOkWhereCancelWas)
{
    const QPoint cancelPlace = ConfirmDialog().cancelButton->pos();
    message.kind = ConfirmMessage::Information;
    prompts.DialogScripts.push_back([cancelPlace](QDialog& dialog) {
        auto& confirm = dynamic_cast<ConfirmDialog&>(dialog);
        EXPECT_EQ(confirm.windowTitle(), "Information");
        EXPECT_TRUE(confirm.cancelButton->isHidden());
        EXPECT_FALSE(confirm.okButton->isHidden());
        EXPECT_EQ(confirm.okButton->pos(), cancelPlace);
        EXPECT_TRUE(confirm.questionIcon->isHidden());
        EXPECT_FALSE(confirm.informationIcon->isHidden());
        confirm.okButton->click();
        return confirm.result();
    });
    EXPECT_TRUE(Ask());
}

TEST_F(ConfirmTest, ADamagedStoredChoiceIsAnErrorNotAnAnswer)
{
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(QStringLiteral("Dialogs/AutoUpdateCheck"), QByteArray("\x01\x02", 2));
    }
    SettingsStore reopened(file);
    reopened.OpenStore(QString(ProductInfo::RegistryKey));
    EXPECT_THROW(AskConfirmation(message, nullptr, reopened, prompts), RegistryError);
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

struct FolderPickerTest : ::testing::Test {
    QTemporaryDir dir;
    FolderPicker picker;
    QString shownFolder;

    FolderPickerTest()
    {
        // Records where the picker opened, then chooses what `choose` names.
        picker.Run = [this](QFileDialog& dialog) {
            shownFolder = dialog.directory().absolutePath();
            if (choose.isEmpty())
                return int(QDialog::Rejected);
            dialog.setDirectory(choose);
            return int(QDialog::Accepted);
        };
    }
    QString choose;
};

TEST_F(FolderPickerTest, StartsInAnExistingFolderAndReturnsItWithASeparator)
{
    const QString start = dir.filePath(QStringLiteral("start"));
    QDir().mkpath(start);
    picker.Directory = start;
    picker.Comment = QStringLiteral("Select result folder");
    choose = dir.filePath(QStringLiteral("start"));
    ASSERT_TRUE(picker.Execute());
    EXPECT_EQ(shownFolder, QDir(start).absolutePath());
    EXPECT_EQ(picker.Directory, QDir::toNativeSeparators(start) + QDir::separator());
    EXPECT_EQ(picker.DisplayName(), "start");
}

TEST_F(FolderPickerTest, AMissingStartFolderLeavesTheDefault)
{
    const QString defaultFolder = QFileDialog().directory().absolutePath();
    picker.Directory = dir.filePath(QStringLiteral("not/there"));
    EXPECT_FALSE(picker.Execute()); // cancelled
    EXPECT_EQ(shownFolder, defaultFolder);
    EXPECT_EQ(picker.Directory, dir.filePath(QStringLiteral("not/there"))); // unchanged on cancel
}

TEST_F(FolderPickerTest, PickerTitleAndMode)
{
    picker.Comment = QStringLiteral("Choose a folder");
    QFileDialog dialog;
    picker.Prepare(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Choose a folder");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
    picker.ShowFiles = true;
    picker.Prepare(dialog);
    EXPECT_FALSE(dialog.testOption(QFileDialog::ShowDirsOnly));
}

// The picker a person sees: typed names, Enter and its buttons.
struct RealFolderPickerTest : ::testing::Test {
    QTemporaryDir dir;
    QtPrompts prompts;
    QString start = dir.filePath(QStringLiteral("start"));

    RealFolderPickerTest() { QDir().mkpath(start + QStringLiteral("/old")); }

    QString Pick() { return prompts.PickFolder(nullptr, QStringLiteral("Select output folder"), start); }
    QString Native(const QString& relative) const
    {
        return QDir::toNativeSeparators(start + QLatin1Char('/') + relative) + QDir::separator();
    }
};

TEST_F(RealFolderPickerTest, ATypedFolderThatDoesNotExistIsReturnedNotRefused)
{
    bool chooseEnabled = false;
    QString title;
    AnswerNextFolderPicker(QStringLiteral("brand new"), PickerKey::Enter, [&](QFileDialog& picker) {
        title = picker.windowTitle();
        chooseEnabled = picker.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->isEnabled();
    });
    EXPECT_EQ(Pick(), Native(QStringLiteral("brand new")));
    EXPECT_EQ(title, "Select output folder");
    EXPECT_TRUE(chooseEnabled); // a person can click it, not only press Enter
    EXPECT_FALSE(QFileInfo::exists(start + QStringLiteral("/brand new"))); // the caller asks first

    // Nested names and the button work as well.
    AnswerNextFolderPicker(QStringLiteral("a/b"), PickerKey::Choose);
    EXPECT_EQ(Pick(), Native(QStringLiteral("a/b")));
    AnswerNextFolderPicker(dir.filePath(QStringLiteral("elsewhere")), PickerKey::Enter);
    EXPECT_EQ(Pick(), QDir::toNativeSeparators(dir.filePath(QStringLiteral("elsewhere"))) + QDir::separator());
}

TEST_F(RealFolderPickerTest, ExistingFoldersAndCancelBehaveAsBefore)
{
    AnswerNextFolderPicker(QStringLiteral("old"), PickerKey::Enter);
    EXPECT_EQ(Pick(), Native(QStringLiteral("old")));
    AnswerNextFolderPicker(QStringLiteral("never made"), PickerKey::Cancel);
    EXPECT_EQ(Pick(), QString());
    EXPECT_FALSE(QFileInfo::exists(start + QStringLiteral("/never made")));
    // A plain file is no folder: the picker stays open (the driver closes it).
    QFile plain(start + QStringLiteral("/plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    bool stayedOpen = false;
    AnswerNextFolderPicker(QStringLiteral("plain"), PickerKey::Cancel, [&](QFileDialog& picker) {
        picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setFocus();
        QTest::keyClick(picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
        stayedOpen = picker.isVisible();
    });
    EXPECT_EQ(Pick(), QString());
    EXPECT_TRUE(stayedOpen);
}

TEST(FolderWithSeparator, OneTrailingSeparatorAndNoneAdded)
{
    const QString sep = QDir::separator();
    EXPECT_EQ(FolderWithSeparator(QStringLiteral("/")), sep);
    EXPECT_EQ(FolderWithSeparator(QStringLiteral("/home/user")), sep + "home" + sep + "user" + sep);
    EXPECT_EQ(FolderWithSeparator(QStringLiteral("/home/user/")), sep + "home" + sep + "user" + sep);
    EXPECT_EQ(FolderWithSeparator(QString()), "");
}

TEST(CentredIn, MiddleOfTheWorkAreaNeverOffItsTopLeft)
{
    EXPECT_EQ(CentredIn(QRect(0, 0, 1280, 1000), QSize(200, 100)), QPoint(540, 450));
    EXPECT_EQ(CentredIn(QRect(100, 30, 1180, 970), QSize(200, 100)), QPoint(590, 465));
    EXPECT_EQ(CentredIn(QRect(0, 0, 300, 200), QSize(400, 300)), QPoint(0, 0));
}

TEST(Question, EscapeOnAYesNoQuestionAnswersNeither)
{
    QMessageBox box;
    PrepareQuestion(box, QMessageBox::Yes | QMessageBox::No);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QAbstractButton* neither = box.button(QMessageBox::Cancel);
    EXPECT_TRUE(neither == nullptr || !neither->isVisible()); // only Yes and No are offered
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_EQ(box.standardButton(box.clickedButton()), QMessageBox::Cancel);
}

struct ErrorReportTest : ::testing::Test {
    ScriptedPrompts prompts;
    UrlCatcher catcher{{QStringLiteral("mailto")}};

    void Close(bool sendMail)
    {
        prompts.DialogScripts.push_back([sendMail](QDialog& dialog) {
            auto& report = dynamic_cast<ErrorReport&>(dialog);
            report.sendMailBox->setChecked(sendMail);
            report.okButton->click();
            return report.result();
        });
    }
};

TEST_F(ErrorReportTest, ShowsTheMessageAsPlainText)
{
    const QString message = QStringLiteral("<b>Bad</b> & broken");
    prompts.DialogScripts.push_back([message](QDialog& dialog) {
        auto& report = dynamic_cast<ErrorReport&>(dialog);
        EXPECT_EQ(report.windowTitle(), "Error encountered");
        EXPECT_EQ(report.headingLabel->text(), "Congratulation. You have spot an error in this program");
        EXPECT_EQ(report.hintLabel->text(), "Error:");
        EXPECT_EQ(report.messageLabel->text(), message);
        EXPECT_EQ(report.messageLabel->textFormat(), Qt::PlainText);
        EXPECT_EQ(report.sendMailBox->text(), "Send email report to the author");
        EXPECT_FALSE(report.sendMailBox->isChecked());
        report.okButton->click();
        return report.result();
    });
    ReportError(message, nullptr, prompts);
    EXPECT_EQ(prompts.Asked, QStringList({"dialog:Error encountered"}));
    EXPECT_TRUE(catcher.Opened.isEmpty()); // no mail unless asked for
}

TEST_F(ErrorReportTest, TheMailDecodesBackToTheExactMessage)
{
    const QString message = QStringLiteral("Can not open \"a&b?.pcf\"\nsecond line #2 50%");
    Close(true);
    ReportError(message, nullptr, prompts);
    ASSERT_EQ(catcher.Opened.size(), 1);
    const QUrl url = catcher.Opened.first();
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), QString(ProductInfo::SupportMail));
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), "Error report");
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              "Dear author,\n\n\nAn error has been encountered with the message:" + message + "\n");
    EXPECT_EQ(query.queryItems().size(), 2);
}

struct AboutTest : ::testing::Test {
    UrlCatcher catcher;
    AboutDialog about;

    AboutTest()
    {
        about.CpuSpeed = [] { return QString(); };
    }
    void Show()
    {
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    }
};

TEST_F(AboutTest, LooksAndReadsAsDesigned)
{
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(about.palette().color(QPalette::Window), QColor(0, 128, 192));
    EXPECT_EQ(about.productLabel->text(), "Cubiform");
    EXPECT_EQ(about.productShadowLabel->text(), "Cubiform");
    EXPECT_EQ(about.productShadowLabel->pos(), about.productLabel->pos() + QPoint(2, 1));
    EXPECT_FALSE(about.logo->pixmap().isNull());
    EXPECT_TRUE(about.textView->isReadOnly());
    Show();
    EXPECT_EQ(about.versionLabel->text(), "Version 1.2");
    EXPECT_EQ(about.cpuSpeedLabel->text(), "CPU speed:"); // unknown clock: nothing after the colon
    EXPECT_EQ(about.mailLink->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(AboutTest, ShowsTheClockRightAfterTheColon)
{
    about.CpuSpeed = [] { return QStringLiteral("2400 MHz"); };
    Show();
    EXPECT_EQ(about.cpuSpeedLabel->text(), "CPU speed:2400 MHz");
}

TEST_F(AboutTest, TheLinksOpenAndKeepTheBoxOpen)
{
    Show();
    QTest::mouseClick(about.mailLink, Qt::LeftButton);
    QTest::mouseClick(about.webLink, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    ASSERT_EQ(catcher.Opened.size(), 2);
    EXPECT_EQ(catcher.Opened[0], QUrl(QStringLiteral("mailto:support@cubiform.example.com")));
    EXPECT_EQ(catcher.Opened[1], QUrl(QStringLiteral("https://www.cubiform.example.com")));
}

TEST_F(AboutTest, AKeyPressCloses)
{
    Show();
    QTest::keyClick(&about, Qt::Key_Space);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(AboutTest, AClickOnThePictureTheLabelsOrTheFormCloses)
{
    for (QWidget* target : std::initializer_list<QWidget*>{about.logo, about.versionLabel, about.productLabel,
                                                           about.banner, &about}) {
        Show();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_FALSE(about.isVisible()) << target->objectName().toStdString();
    }
    EXPECT_TRUE(catcher.Opened.isEmpty());
}

} // namespace

#include "moc_UrlCatcher.cpp"

// "Save image as" names the file, refuses a name that cannot be written before
// drawing, and refuses a size beyond the engine's limit as it is typed.
#include "window/SaveImageDialog.h"

#include "support/SaveImageDialogFixture.h"
#include "window/SaveImageShot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

// Types into a field as a person does, replacing what it holds.
void Type(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

TEST_F(SaveImageDlgTest, TheTypedNameIsWrittenAndItsExtensionFollowsTheFormat)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    struct Case {
        QString Typed; // empty: the classic numbered default
        int Chosen;    // the format picked after typing, or -1
        QString Name;  // the field then, the file written
        int Format;
    };
    const std::vector<Case> cases = {
        {"", -1, "38504500000.jpg", SaveImageDialog::FormatJpeg},
        {"cover", SaveImageDialog::FormatBmp, "cover.bmp", SaveImageDialog::FormatBmp},
        {"cover.jpg", SaveImageDialog::FormatPng, "cover.png", SaveImageDialog::FormatPng},
        {"sub/cover.tga", -1, "sub/cover.tga", SaveImageDialog::FormatTga}, // the extension chose
    };
    for (const Case& c : cases) {
        Store("Output format", "0");
        auto dlg = Make(Folder(QString()));
        Show(*dlg);
        if (!c.Typed.isEmpty())
            Type(dlg->nameEdit, c.Typed);
        if (c.Chosen >= 0)
            dlg->formatBox->setCurrentIndex(c.Chosen);
        EXPECT_EQ(dlg->nameEdit->text(), c.Name);
        EXPECT_EQ(dlg->formatBox->currentIndex(), c.Format) << c.Name.toStdString();
        dlg->okButton->click();
        EXPECT_EQ(dlg->WrittenPath(), Folder(QString()) + QDir::toNativeSeparators(c.Name));
        EXPECT_TRUE(QFileInfo::exists(dlg->WrittenPath())) << c.Name.toStdString();
    }
}

TEST_F(SaveImageDlgTest, ANameThatCannotBeWrittenIsRefusedBeforeDrawingAndOkStaysUsable)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    const QString at = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    const std::vector<std::pair<QString, QString>> cases = {
        {"", "Type a name for the picture's file."},
        {"out", at + "out is a folder. Type a name for the picture's file."},
        {"nowhere/shot.png", "The folder " + at + "nowhere does not exist. Choose another with Set, which can also make it."},
    };
    auto dlg = MakeWithBox(Folder(QString()));
    Show(*dlg);
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatPng); // drawn off screen
    for (const auto& [typed, told] : cases) {
        Type(dlg->nameEdit, typed);
        dlg->okButton->click();
        EXPECT_TRUE(dlg->findChildren<ShotJob*>().isEmpty()) << typed.toStdString(); // nothing drawn
        EXPECT_EQ(prompts.Asked.last(), "tell:" + told);
        EXPECT_TRUE(dlg->okButton->isEnabled());
    }
    Type(dlg->nameEdit, QStringLiteral("out/box"));
    dlg->okButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->isVisible(); }, 60000));
    EXPECT_EQ(dlg->WrittenPath(), Folder("out") + "box.png");
    EXPECT_EQ(QImage(dlg->WrittenPath()).size(), bitmap.size());
}

TEST_F(SaveImageDlgTest, ASizeBeyondTheEnginesLimitIsRefusedAsTyped)
{
    auto dlg = MakeWithBox(Folder(QString()));
    dlg->SetSamples(16);
    dlg->SetDrawingLimits(0, 50'000'000); // the ray tracer: a million pixels
    Show(*dlg);
    EXPECT_EQ(dlg->limitLabel->text(), "Up to 5792 x 5792 pixels with 16 samples");
    Type(dlg->widthBox, QStringLiteral("6000"));
    Type(dlg->heightBox, QStringLiteral("6000"));
    EXPECT_TRUE(dlg->limitLabel->text().startsWith("6000 x 6000 is too large: with 16 samples"));
    EXPECT_FALSE(dlg->okButton->isEnabled());
    Type(dlg->heightBox, QStringLiteral("5000"));
    EXPECT_TRUE(dlg->okButton->isEnabled());

    // The ray tracer's own limit, and back within it.
    dlg->rayBox->setChecked(true);
    EXPECT_TRUE(dlg->limitLabel->text().startsWith("6000 x 5000 is too large: the ray tracer"));
    EXPECT_FALSE(dlg->okButton->isEnabled());
    Type(dlg->widthBox, QStringLiteral("200"));
    Type(dlg->heightBox, QStringLiteral("200"));
    EXPECT_EQ(dlg->limitLabel->text(), "Up to 472 x 472 pixels ray traced"); // the denoiser's buffers too
    EXPECT_TRUE(dlg->okButton->isEnabled());
    dlg->denoiseBox->setChecked(false);
    EXPECT_EQ(dlg->limitLabel->text(), "Up to 1000 x 1000 pixels ray traced");
}

} // namespace

// "Save image as" names the file: the typed name, its extension following the
// format, a name that cannot be written refused before anything is drawn,
// a warning before replacing; and the size refused as typed beyond the limit.
#include "window/SaveImageDialog.h"

#include "support/SaveImageDialogFixture.h"
#include "window/SaveImageShot.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

// Types into a field as a person does, replacing what it holds.
void Type(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

bool Drawing(const SaveImageDialog& dlg) { return !dlg.findChildren<ShotJob*>().isEmpty(); }

TEST_F(SaveImageDlgTest, TheTypedNameIsWrittenAndItsExtensionFollowsTheFormat)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    struct Case {
        QString Typed;
        int Format;   // chosen after typing; -1 keeps the one the name chose
        QString Shown; // the name field then
        QString Written;
    };
    const std::vector<Case> cases = {
        {"38504500000.jpg", -1, "38504500000.jpg", "38504500000.jpg"}, // the classic default
        {"cover", SaveImageDialog::FormatBmp, "cover.bmp", "cover.bmp"},
        {"cover.jpg", SaveImageDialog::FormatPng, "cover.png", "cover.png"},
        {"cover.v2", SaveImageDialog::FormatBmp, "cover.v2.bmp", "cover.v2.bmp"},
        {"shot.JPEG", -1, "shot.JPEG", "shot.JPEG"},
        {"sub/cover.tga", -1, "sub/cover.tga", "sub/cover.tga"}, // the extension chose TGA
        {"plain", -1, "plain", "plain.jpg"},                     // added when writing
    };
    for (const Case& c : cases) {
        Store("Output format", "0");
        auto dlg = Make(Folder(QString()));
        Show(*dlg);
        EXPECT_EQ(dlg->nameEdit->text(), "38504500000.jpg");
        if (c.Typed != dlg->nameEdit->text())
            Type(dlg->nameEdit, c.Typed);
        if (c.Format >= 0)
            dlg->formatBox->setCurrentIndex(c.Format);
        EXPECT_EQ(dlg->nameEdit->text(), c.Shown) << c.Typed.toStdString();
        dlg->okButton->click();
        const QString expected = Folder(QString()) + QDir::toNativeSeparators(c.Written);
        EXPECT_EQ(dlg->WrittenPath(), expected) << c.Typed.toStdString();
        EXPECT_GT(QFileInfo(expected).size(), 0) << c.Typed.toStdString();
    }
    // The format a typed extension chose is what was written: a true-colour TGA.
    QFile tga(dir.filePath("sub/cover.tga"));
    ASSERT_TRUE(tga.open(QIODevice::ReadOnly));
    EXPECT_EQ(tga.read(3).at(2), 2);
}

TEST_F(SaveImageDlgTest, ANameThatCannotBeWrittenIsRefusedBeforeDrawingAndOkStaysUsable)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out/shot3000.png")));
    const QString sep = QDir::separator();
    const QString base = QDir::toNativeSeparators(dir.path());
    struct Case {
        QString Typed;
        QString Told;
    };
    const std::vector<Case> cases = {
        {"", "Type a name for the picture's file."},
        {"out", base + sep + "out is a folder. Type a name for the picture's file."},
        {"out/shot3000.png", base + sep + "out" + sep + "shot3000.png is a folder. Type a name for the picture's file."},
        {"nowhere/shot.png", "The folder " + base + sep +
                                 "nowhere does not exist. Choose another with Set, which can also make it."},
    };
    auto dlg = MakeWithBox(Folder(QString()));
    Show(*dlg);
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatPng); // drawn off screen
    for (const Case& c : cases) {
        Type(dlg->nameEdit, c.Typed);
        dlg->okButton->click();
        EXPECT_FALSE(Drawing(*dlg)) << c.Typed.toStdString();
        ASSERT_FALSE(prompts.Asked.isEmpty());
        EXPECT_EQ(prompts.Asked.last(), "tell:" + c.Told);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_TRUE(dlg->okButton->isEnabled()) << c.Typed.toStdString();
        EXPECT_TRUE(dlg->WrittenPath().isEmpty());
    }
    // A name that can be written then is drawn and written.
    Type(dlg->nameEdit, QStringLiteral("out/box"));
    dlg->okButton->click();
    EXPECT_TRUE(Drawing(*dlg));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->isVisible(); }, 60000));
    EXPECT_EQ(dlg->WrittenPath(), Folder("out") + "box.png");
    EXPECT_EQ(QImage(dlg->WrittenPath()).size(), bitmap.size());
}

TEST_F(SaveImageDlgTest, ReplacingAFileIsAskedAndNoKeepsIt)
{
    const QString target = Folder(QString()) + "38504500000.bmp";
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    auto dlg = Make(Folder(QString()));
    Show(*dlg);
    dlg->formatBox->setCurrentIndex(SaveImageDialog::FormatBmp);
    prompts.Answers.push_back(QMessageBox::No);
    dlg->okButton->click();
    EXPECT_EQ(prompts.Asked.last(), "ask:" + target + " already exists.\nDo you want to replace it?");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->okButton->isEnabled());
    EXPECT_TRUE(dlg->WrittenPath().isEmpty());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "keep me");
}

TEST_F(SaveImageDlgTest, ASizeBeyondTheEnginesLimitIsRefusedAsTyped)
{
    struct Case {
        int Samples;
        bool Ray;
        int GLSide;
        std::int64_t Memory;
        QSize Size;
        QString Shown; // the note under the size; its start
        bool Ok;
    };
    const std::vector<Case> cases = {
        {16, false, 0, 0, {5000, 5000}, "Up to 5792 x 5792 pixels with 16 samples", true},
        {16, false, 0, 0, {6000, 6000}, "6000 x 6000 is too large: with 16 samples the raster's video memory holds "
                                        "33.6 megapixels (5792 x 5792); fewer samples allow more.", false},
        {16, false, 0, 0, {8000, 3000}, "Up to 5792 x 5792", true}, // the area counts, not the side
        {1, false, 4096, 0, {5000, 300}, "5000 x 300 is too large: this OpenGL draws at most 4096 pixels a side.", false},
        {16, true, 4096, 50'000'000, {1000, 1000}, "Up to 1000 x 1000 pixels ray traced", true},
        {16, true, 4096, 50'000'000, {1200, 1000}, "1200 x 1000 is too large: the ray tracer takes 50 bytes", false},
    };
    for (const Case& c : cases) {
        auto dlg = MakeWithBox(Folder(QString()));
        dlg->SetSamples(c.Samples);
        dlg->SetDrawingLimits(c.GLSide, c.Memory);
        Show(*dlg);
        dlg->rayBox->setChecked(c.Ray);
        ASSERT_TRUE(dlg->limitLabel->isVisible());
        Type(dlg->widthBox, QString::number(c.Size.width()));
        Type(dlg->heightBox, QString::number(c.Size.height()));
        EXPECT_EQ(QSize(dlg->widthBox->value(), dlg->heightBox->value()), c.Size);
        EXPECT_TRUE(dlg->limitLabel->text().startsWith(c.Shown)) << dlg->limitLabel->text().toStdString();
        EXPECT_EQ(dlg->okButton->isEnabled(), c.Ok) << dlg->limitLabel->text().toStdString();
        // Back within the limit, OK comes back.
        Type(dlg->widthBox, QStringLiteral("40"));
        EXPECT_TRUE(dlg->okButton->isEnabled());
        EXPECT_TRUE(dlg->limitLabel->text().startsWith("Up to ")) << dlg->limitLabel->text().toStdString();
    }
}

} // namespace

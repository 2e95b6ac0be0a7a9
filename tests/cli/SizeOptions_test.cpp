// --box-size, --trim, --pages and --paper: read and refused where they make
// no sense, applied under the kind, and the whole command with its notes,
// the project it saves and what info shows of it.
#include "support/CliErrors.h"
#include "cli/CliRunner.h"
#include "engine/HeadlessBox.h"
#include "engine/RenderOptions.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SizeOptions, CombinationsThatLeaveTheSizeUnclearAreWrongUse)
{
    struct Case {
        QStringList Given;
        int Status;
        const char* Says;
    } const cases[] = {
        {Args({"--box-size", "6x9x1in", "--trim", "A5"}), ExitUsage, "give one of them"},
        {Args({"--box-size", "6x9x1in", "--width", "40"}), ExitUsage, "--width, --height and --thickness"},
        {Args({"--box-size", "6x9x1in", "--pages", "200"}), ExitUsage, "not --box-size"},
        {Args({"--trim", "A5", "--paper", "cream"}), ExitUsage, "--paper needs --pages"},
        {Args({"--trim", "A5", "--pages", "200", "--paper", "glossy"}), ExitBadInput, "white, cream, coated"},
        {Args({"--box-size", "6x9in"}), ExitBadInput, "152x229x22mm"},
        {Args({"--trim", "A9"}), ExitBadInput, "B-format"},
        {Args({"--trim", "A5", "--pages", "1"}), ExitBadInput, "--pages"},
    };
    for (const Case& c : cases) {
        QStringList args = c.Given;
        args << QStringLiteral("-o") << QStringLiteral("x.png");
        const auto [status, text] = ParseFailure(args);
        EXPECT_EQ(status, c.Status) << args.join(' ').toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(c.Says))) << text.toStdString();
    }
}

TEST(SizeOptions, AppliedUnderTheKindOrRefusedWithNothingChanged)
{
    HeadlessBox box;
    box.NewProject();
    std::vector<QString> notes;
    RenderOptions o = ParseRenderArguments(Args({"--form", "Hard cover book", "--trim", "US trade", "--pages", "320",
                                                 "--paper", "cream", "-o", "x.png"}));
    o.Note = [&](const QString& text) { notes.push_back(text); };
    box.ApplyOptions(o);
    EXPECT_NEAR(box.Document.Real().Depth, 25.32, 1e-9); // 320 x 127 um / 2 and two boards of 2.5 mm
    EXPECT_TRUE(box.Document.Params.Shape.BookPages);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes[0], QString::fromUtf8("--pages: the spine: 320 pages x 127 \u00B5m / 2 = 20.32 mm + boards "
                                          "5.00 mm = 25.32 mm"));

    HeadlessBox pizza;
    pizza.NewProject();
    const std::string refused = CommandErrorOf([&] {
        pizza.ApplyOptions(ParseRenderArguments(Args({"--form", "Pizza box", "--trim", "A5", "-o", "x.png"})));
    });
    EXPECT_NE(refused.find("for the book kinds, not a Pizza box"), std::string::npos) << refused;
    const std::string tooLarge = CommandErrorOf([] {
        HeadlessBox b;
        b.NewProject();
        b.ApplyOptions(ParseRenderArguments(Args({"--form", "CD jewel box", "--box-size", "142x125x10cm", "-o", "x.png"})));
    });
    EXPECT_NE(tooLarge.find("out of range for a CD jewel box"), std::string::npos) << tooLarge;
}

// The whole command: the notes on standard error, the project kept, info.
TEST(SizeOptions, ACommandMakesABookFromItsPrintValues)
{
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("book.pcf"));
    CliResult r = RunCubiform({QStringLiteral("render"), QStringLiteral("--form"), QStringLiteral("Soft cover book"),
                               QStringLiteral("--trim"), QStringLiteral("6x9in"), QStringLiteral("--pages"),
                               QStringLiteral("320"), QStringLiteral("--paper"), QStringLiteral("cream"),
                               QStringLiteral("--save-project"), project});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("= 20.32 mm"))) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("the width 6.000 in is drawn as 6.027 in"))) << r.Err.toStdString();

    r = RunCubiform({QStringLiteral("info"), project});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QJsonObject sides = QJsonDocument::fromJson(r.Out.toUtf8()).object()[QStringLiteral("sides")].toObject();
    EXPECT_EQ(sides[QStringLiteral("width")].toDouble(), 153.1); // the window's millimetres
    EXPECT_EQ(sides[QStringLiteral("thickness")].toDouble(), 20.2);
    const QJsonObject given = sides[QStringLiteral("given")].toObject();
    EXPECT_EQ(given[QStringLiteral("unit")].toString(), QStringLiteral("in"));
    EXPECT_EQ(given[QStringLiteral("width")].toDouble(), 6.0);
    EXPECT_EQ(given[QStringLiteral("pages")].toInt(), 320);
    EXPECT_EQ(given[QStringLiteral("spine")].toDouble(), 20.32);
    EXPECT_TRUE(QJsonDocument::fromJson(r.Out.toUtf8()).object()[QStringLiteral("shape")].toObject()[QStringLiteral("bookPages")].toBool());
}

} // namespace

// Real sizes and the classic sliders: sizes read from their words, sides
// taken to the nearest slider position and back, a book's spine from its
// pages and paper, and the document keeping a real size until a slider moves.
#include "document/BoxDocument.h"
#include "document/PrintBook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

TEST(RealSize, SidesAreReadInTheirUnit)
{
    struct Case {
        const char* Text;
        int Count;
        Sides Mm;
        SizeUnit Unit;
    } const cases[] = {
        {"152x229x22mm", 3, {152, 229, 22}, SizeUnit::Millimetre},
        {"6x9x0.87in", 3, {152.4, 228.6, 22.098}, SizeUnit::Inch},
        {"15.2 x 22.9 x 2.2 CM", 3, {152, 229, 22}, SizeUnit::Centimetre},
        {"6x9in", 2, {152.4, 228.6, 0}, SizeUnit::Inch},
    };
    for (const Case& c : cases) {
        const ParsedSides p = ParseSides(QLatin1String(c.Text), c.Count);
        ASSERT_TRUE(p.Error.isEmpty()) << c.Text << ": " << p.Error.toStdString();
        EXPECT_EQ(p.Unit, c.Unit) << c.Text;
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(p.Millimetres[i], c.Mm[i], 1e-9) << c.Text;
    }
    for (const char* bad : {"152x229mm", "152x229x22", "152x229x22ft", "0x9x1in", "ax9x1in", "6x9x-1in", ""})
        EXPECT_FALSE(ParseSides(QLatin1String(bad), 3).Error.isEmpty()) << bad;
}

TEST(RealSize, TrimsByNameOrSize)
{
    for (const auto& [text, width, height] : {std::tuple{"A5", 148.0, 210.0}, std::tuple{"b-format", 129.0, 198.0},
                                              std::tuple{"US trade", 152.4, 228.6}, std::tuple{"5.5x8.5in", 139.7, 215.9}}) {
        const ParsedSides p = ParseTrim(QLatin1String(text));
        EXPECT_NEAR(p.Millimetres[0], width, 1e-9) << text;
        EXPECT_NEAR(p.Millimetres[1], height, 1e-9) << text;
    }
    EXPECT_TRUE(ParseTrim(QStringLiteral("A9")).Error.contains(QLatin1String("B-format")));
}

// Every slider position of every kind gives a side that comes back to it, exactly.
TEST(RealSize, SlidersToSidesAndBack)
{
    BoxDocument doc;
    for (const BoxForm& form : doc.Forms())
        for (int scale : {form.WidthScale, form.HeightScale, form.ThicknessScale})
            for (int position = 1; position <= 100; ++position) {
                const SideFit fit = FitSide(SideMillimetres(position, 100, scale), 100, scale);
                EXPECT_TRUE(fit.Exact && fit.InRange) << form.Name.toStdString() << " " << position;
                if (scale > 0) {
                    EXPECT_EQ(fit.Position, position) << form.Name.toStdString();
                }
            }
    // One label step is 2 mm of side: the hard cover's width scale 78 at 50 is label 78, 156.2 mm.
    EXPECT_NEAR(SideMillimetres(50, 100, 78), 156.2, 1e-4);
}

TEST(RealSize, NearestPositionAndRange)
{
    struct Case {
        double Mm;
        int Scale, Position;
        bool Exact, InRange;
    } const cases[] = {
        {152.4, 78, 49, false, true}, {153.08, 78, 49, true, true}, {312.2, 78, 100, true, true},
        {313.5, 78, 100, false, true}, {320, 78, 100, false, false}, {1, 78, 1, false, false},
        {0.2, 0, 1, true, true},      {22, 0, 1, false, false},
    };
    for (const Case& c : cases) {
        const SideFit fit = FitSide(c.Mm, 100, c.Scale);
        EXPECT_EQ(fit.Position, c.Position) << c.Mm;
        EXPECT_EQ(fit.Exact, c.Exact) << c.Mm;
        EXPECT_EQ(fit.InRange, c.InRange) << c.Mm;
    }
}

TEST(RealSize, SpineFromPagesAndPaper)
{
    struct Case {
        int Pages;
        const char* Paper;
        bool Hard;
        double Spine;
    } const cases[] = {
        {320, "cream", false, 20.32},  // 0.8 in, the printers' 0.0025 in a page
        {320, "cream", true, 25.32},   // and two boards of 2.5 mm
        {300, "white", false, 17.16},  // 0.002252 in a page
        {200, "coated", false, 11.92}, // 0.002347 in a page
        {100, "90", false, 4.5},
    };
    for (const Case& c : cases) {
        const std::optional<double> caliper = ParsePaper(QLatin1String(c.Paper));
        ASSERT_TRUE(caliper) << c.Paper;
        const RealSize book = BookSize(152.4, 228.6, SizeUnit::Inch, c.Pages, *caliper, c.Hard);
        EXPECT_NEAR(book.Depth, c.Spine, 1e-9) << c.Pages << " " << c.Paper;
        EXPECT_NEAR(book.Width, c.Hard ? 155.4 : 152.4, 1e-9);
        EXPECT_NEAR(book.Height, c.Hard ? 234.6 : 228.6, 1e-9);
    }
    for (const char* bad : {"glossy", "5", "5000", "nan"})
        EXPECT_FALSE(ParsePaper(QLatin1String(bad))) << bad;
}

struct SizedDocument : ::testing::Test {
    BoxDocument doc;
    void SetUp() override
    {
        doc.NewProject();
        doc.SetForm(9); // soft cover book: 78, 107, 10
    }
};

TEST_F(SizedDocument, NearestPositionsNotedAndKeptUntilASliderMoves)
{
    RealSize size{152.4, 228.6, 20.32, SizeUnit::Inch};
    QStringList notes;
    EXPECT_TRUE(doc.SetRealSize(size, &notes).isEmpty());
    EXPECT_EQ(doc.Position(Slider::Width), 49);
    EXPECT_EQ(doc.Position(Slider::Height), 53);
    EXPECT_EQ(doc.Position(Slider::Thickness), 50);
    EXPECT_EQ(doc.Real(), size);
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[0], QStringLiteral("the width 6.000 in is drawn as 6.027 in, the nearest a Soft cover book holds "
                                       "(size slider 49)"));
    EXPECT_EQ(doc.SizeLabel(Slider::Width, SizeLabels::Millimetres), QStringLiteral("153.1 mm"));
    EXPECT_EQ(doc.SizeLabel(Slider::Width, SizeLabels::Classic), QStringLiteral("77"));
    doc.SetPosition(Slider::Height, 60);
    EXPECT_FALSE(doc.Real().Given());
}

TEST_F(SizedDocument, OutOfRangeChangesNothing)
{
    const int width = doc.Position(Slider::Width);
    const QString refused = doc.SetRealSize({152, 229, 60, SizeUnit::Millimetre});
    EXPECT_EQ(refused, QStringLiteral("a depth of 60.0 mm is out of range for a Soft cover book: 0.6 mm to 40.2 mm"));
    EXPECT_EQ(doc.Position(Slider::Width), width);
    EXPECT_FALSE(doc.Real().Given());
    doc.SetForm(3); // a card has no depth to give
    EXPECT_TRUE(doc.SetRealSize({100, 140, 5, SizeUnit::Millimetre}).contains(QLatin1String("is a card")));
}

} // namespace

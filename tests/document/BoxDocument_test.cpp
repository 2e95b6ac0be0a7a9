#include "document/BoxDocument.h"

#include "document/Numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

struct BoxDocumentTest : ::testing::Test {
    BoxDocument doc;
    int angleChanges = 0;

    void SetUp() override
    {
        doc.OnChanged = [this](unsigned changes) {
            if (changes & DocumentChange::Angles)
                ++angleChanges;
        };
        doc.SetForm(0);
    }
};

TEST(BoxParametersTest, ValuesBeforeTheFirstRecompute)
{
    const BoxParameters p;
    EXPECT_FLOAT_EQ(p.HalfWidth, 0.8f);
    EXPECT_FLOAT_EQ(p.HalfHeight, 1.0f);
    EXPECT_FLOAT_EQ(p.HalfThickness, 0.3f);
    EXPECT_EQ(p.EyeAngle, 0);
    EXPECT_FLOAT_EQ(p.Depth, 50.0f);
    EXPECT_FLOAT_EQ(p.SideAngle, 30.0f);
    EXPECT_FLOAT_EQ(p.BackgroundRed, 1.0f);
    EXPECT_EQ(p.FogMode, 0);
    EXPECT_EQ(p.CurrentForm.WidthScale, 0);
}

TEST_F(BoxDocumentTest, TableHoldsTheTenKindsInOrder)
{
    const QStringList captions = FormCaptions();
    ASSERT_EQ(captions.size(), 10);
    const char* names[] = {"Top view vertical box", "Side view vertical box",
                           "Front view vertical box", "vertical rotated image",
                           "horizontal rotated image", "CD jewel box", "Pizza box", "Shoes box",
                           "Hard cover book", "Soft cover book"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(captions[i], QString::fromLatin1(names[i]));
        EXPECT_EQ(doc.Forms()[static_cast<std::size_t>(i)].Name, QString::fromLatin1(names[i]));
    }
    const BoxForm& shoes = doc.Forms()[7];
    EXPECT_EQ((std::array{shoes.WidthScale, shoes.HeightScale, shoes.ThicknessScale, shoes.Depth,
                          shoes.Vertical, shoes.Horizontal, shoes.SideAngle, shoes.TiltAngle,
                          shoes.Turn, shoes.Eye}),
              (std::array{40, 26, 80, 21, 4, -16, 34, 6, 0, 20}));
    const BoxForm& hard = doc.Forms()[8];
    EXPECT_EQ((std::array{hard.WidthScale, hard.HeightScale, hard.ThicknessScale, hard.Depth,
                          hard.TiltAngle, hard.Eye}),
              (std::array{78, 107, 18, 32, -25, 8}));
}

TEST_F(BoxDocumentTest, HalfExtentsAndLabelsFollowTheSizeSliders)
{
    // Top view: width scale 70, height 100, thickness 30, sliders at 50.
    EXPECT_FLOAT_EQ(doc.Params.HalfWidth, 0.701f);
    EXPECT_FLOAT_EQ(doc.Params.HalfHeight, 1.001f);
    EXPECT_FLOAT_EQ(doc.Params.HalfThickness, 0.301f);
    EXPECT_EQ(doc.ValueText(Slider::Width), "70");
    EXPECT_EQ(doc.ValueText(Slider::Height), "100");
    EXPECT_EQ(doc.ValueText(Slider::Thickness), "30");

    doc.SetPosition(Slider::Width, 100);
    EXPECT_FLOAT_EQ(doc.Params.HalfWidth, 1.401f);
    EXPECT_EQ(doc.ValueText(Slider::Width), "140");

    doc.SetPosition(Slider::Width, 1);
    EXPECT_FLOAT_EQ(doc.Params.HalfWidth, static_cast<float>(1.0 / 100 * 140 / 100 + 0.001));
    // 0.015 in single precision is just below it, so the label reads 1, not 2.
    EXPECT_EQ(doc.ValueText(Slider::Width), "1");
}

TEST_F(BoxDocumentTest, LabelsRoundHalvesToEven)
{
    // Ties come from the offsets and turn.
    doc.SetPosition(Slider::Turn, -25); // -2.5 degrees -> -2
    doc.SetPosition(Slider::Horizontal, -300);
    EXPECT_EQ(doc.ValueText(Slider::Turn), "-2");
    EXPECT_EQ(doc.ValueText(Slider::Horizontal), "-300");
    doc.SetPosition(Slider::Turn, 35); // 3.5 -> 4
    EXPECT_EQ(doc.ValueText(Slider::Turn), "4");
    doc.SetPosition(Slider::Turn, -1800);
    EXPECT_EQ(doc.ValueText(Slider::Turn), "-180");

    // Angles read from a damaged project reach the status bar as they are.
    EXPECT_EQ(RoundedText(-2.5), "-2");
    EXPECT_EQ(RoundedText(1e30), "1000000000000000019884624838656");
    EXPECT_EQ(RoundedText(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(RoundedText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundHalfEven(1e30), std::numeric_limits<long long>::max());
}

TEST_F(BoxDocumentTest, FlatCardFormsKeepTheThicknessAtTheMinimum)
{
    for (int form : {3, 4}) {
        doc.SetForm(form);
        for (int pos : {1, 50, 100}) {
            doc.SetPosition(Slider::Thickness, pos);
            EXPECT_EQ(doc.Params.HalfThickness, 0.001f);
            EXPECT_EQ(doc.ValueText(Slider::Thickness), "0");
        }
    }
}

TEST_F(BoxDocumentTest, ChoosingTheJewelBoxAfterTheTopView)
{
    EXPECT_EQ(doc.Position(Slider::Depth), 25);
    doc.SetForm(5);
    EXPECT_FLOAT_EQ(doc.Params.HalfWidth, 0.801f);
    EXPECT_FLOAT_EQ(doc.Params.HalfHeight, 0.041f);
    EXPECT_FLOAT_EQ(doc.Params.HalfThickness, 0.801f);
    EXPECT_EQ(doc.Position(Slider::Depth), 28);
    EXPECT_EQ(doc.Position(Slider::Vertical), -1);
    EXPECT_EQ(doc.Position(Slider::Horizontal), -6);
    EXPECT_EQ(doc.Position(Slider::Eye), 12);
    EXPECT_EQ(doc.Params.EyeAngle, 12);
    EXPECT_EQ(doc.Params.SideAngle, 31.0f);
    EXPECT_EQ(doc.Params.TiltAngle, 16.0f);
    EXPECT_EQ(doc.Params.Depth, 28.0f);
    EXPECT_EQ(doc.ValueText(Slider::Depth), "28");
    EXPECT_GE(angleChanges, 2);
}

TEST_F(BoxDocumentTest, FormChangeKeepsSizeSlidersAndZeroesTheTurn)
{
    doc.SetPosition(Slider::Width, 80);
    doc.SetPosition(Slider::Height, 20);
    doc.SetPosition(Slider::Thickness, 3);
    doc.SetPosition(Slider::Turn, 900);
    for (int form = 0; form < FormCount; ++form) {
        doc.SetForm(form);
        EXPECT_EQ(doc.Position(Slider::Width), 80);
        EXPECT_EQ(doc.Position(Slider::Height), 20);
        EXPECT_EQ(doc.Position(Slider::Thickness), 3);
        EXPECT_EQ(doc.Position(Slider::Turn), 0);
        EXPECT_EQ(doc.Params.Turn, 0.0f);
    }
}

TEST_F(BoxDocumentTest, SelectionOutsideTheTableFallsBackToTheFirstKind)
{
    doc.SetForm(8);
    doc.SelectForm(12); // a stored index beyond the list: no selection
    EXPECT_EQ(doc.Form(), -1);
    doc.ApplyForm();
    EXPECT_EQ(doc.Form(), 0);
    EXPECT_EQ(doc.Params.CurrentForm.Name, "Top view vertical box");
    EXPECT_EQ(doc.Position(Slider::Depth), 25);
    doc.SetForm(-1);
    EXPECT_EQ(doc.Form(), 0);
}

TEST_F(BoxDocumentTest, ResetRestoresSizesEyeColourAndSelections)
{
    int coverResets = 0;
    doc.OnChanged = [&](unsigned c) { coverResets += (c & DocumentChange::CoversReset) ? 1 : 0; };
    doc.SetForm(6);
    doc.SelectSizeClass(2);
    doc.SelectFog(3);
    doc.SelectBackground(0x123456);
    doc.SetPosition(Slider::Width, 7);
    doc.SetPosition(Slider::Height, 99);
    doc.SetPosition(Slider::Thickness, 1);
    const int depth = doc.Position(Slider::Depth);

    doc.ResetProject();
    EXPECT_EQ(doc.SizeClass(), 1);
    EXPECT_EQ(doc.Form(), 0);
    EXPECT_EQ(doc.Fog(), 0);
    EXPECT_EQ(doc.Background(), 0xFFFFFFu);
    EXPECT_EQ(coverResets, 1);
    EXPECT_EQ(doc.Position(Slider::Width), 50);
    EXPECT_EQ(doc.Position(Slider::Height), 50);
    EXPECT_EQ(doc.Position(Slider::Thickness), 50);
    EXPECT_EQ(doc.Position(Slider::Eye), 30);
    EXPECT_EQ(doc.Position(Slider::Depth), depth); // left for the kind applied next
}

TEST_F(BoxDocumentTest, FogIndexIsTruncatedToAByte)
{
    std::vector<int> sent;
    doc.OnChanged = [&](unsigned c) {
        if (c & DocumentChange::FogMode)
            sent.push_back(doc.Params.FogMode);
    };
    doc.SetFog(3);
    doc.SetFog(-1);
    EXPECT_EQ(doc.Params.FogMode, 255);
    doc.SetFog(7); // beyond the list: none
    EXPECT_EQ(doc.Fog(), -1);
    EXPECT_EQ(sent, (std::vector<int>{3, 255, 255}));
}

TEST_F(BoxDocumentTest, BackgroundComponentsComeFromTheColour)
{
    doc.SetBackground(255); // pure red as 0x00BBGGRR
    EXPECT_EQ(doc.Params.BackgroundRed, 1.0f);
    EXPECT_EQ(doc.Params.BackgroundGreen, 0.0f);
    EXPECT_EQ(doc.Params.BackgroundBlue, 0.0f);
    doc.SetBackground(0xFF800000); // the high byte is not a colour
    EXPECT_EQ(doc.Background(), 0x800000u);
    EXPECT_FLOAT_EQ(doc.Params.BackgroundBlue, 128.0f / 255.0f);
    // Selecting alone leaves the drawing's colour until it is applied.
    doc.SelectBackground(0);
    EXPECT_FLOAT_EQ(doc.Params.BackgroundBlue, 128.0f / 255.0f);
}

TEST_F(BoxDocumentTest, SizeClassSetsBothResultSlidersToItsMaximum)
{
    int maximised = 0;
    std::vector<std::pair<int, int>> sizes;
    doc.OnChanged = [&](unsigned c) {
        maximised += (c & DocumentChange::Maximize) ? 1 : 0;
        if (c & DocumentChange::OutputSize)
            sizes.emplace_back(doc.Position(Slider::ImageWidth), doc.Position(Slider::ImageHeight));
    };
    const std::pair<int, int> cases[] = {{0, 100}, {1, 300}, {2, 450}, {-1, 100}};
    for (auto [index, maximum] : cases) {
        doc.SetPosition(Slider::ImageWidth, 5);
        doc.SetSizeClass(index);
        EXPECT_EQ(doc.Range(Slider::ImageWidth).Maximum, maximum);
        EXPECT_EQ(doc.Position(Slider::ImageWidth), maximum);
        EXPECT_EQ(doc.Position(Slider::ImageHeight), maximum);
        EXPECT_EQ(doc.ValueText(Slider::ImageHeight), QString::number(maximum));
        ASSERT_FALSE(sizes.empty());
        EXPECT_EQ(sizes.back(), std::make_pair(maximum, maximum));
    }
    EXPECT_EQ(maximised, 1);
    doc.SetPosition(Slider::ImageWidth, 0);
    EXPECT_EQ(doc.Position(Slider::ImageWidth), 1);
}

// Positions stay in their ranges; only a move counts as a change, and a
// shrinking range that clamps the position is one.
TEST_F(BoxDocumentTest, PositionsClampAndOnlyMovesCountAsChanges)
{
    int changes = 0;
    std::vector<std::pair<int, int>> sizes;
    doc.OnChanged = [&](unsigned c) {
        changes += (c & DocumentChange::Sliders) ? 1 : 0;
        if (c & DocumentChange::OutputSize)
            sizes.emplace_back(doc.Position(Slider::ImageWidth), doc.Position(Slider::ImageHeight));
    };
    doc.SetPosition(Slider::Depth, doc.Position(Slider::Depth));
    EXPECT_EQ(changes, 0);
    doc.SetPosition(Slider::Depth, 200);
    EXPECT_EQ(doc.Position(Slider::Depth), 80);
    doc.SetPosition(Slider::Depth, 81);
    EXPECT_EQ(changes, 1);
    doc.SetPosition(Slider::Eye, -5);
    EXPECT_EQ(doc.Position(Slider::Eye), 0);
    EXPECT_EQ(doc.Params.EyeAngle, 0);

    doc.SetPosition(Slider::ImageWidth, 250);
    sizes.clear();
    doc.SelectSizeClass(0);
    doc.ApplySizeClass();
    // The shrink clamps 250 to 100 and reports the new size before the positions are set.
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front().first, 100);
}

TEST_F(BoxDocumentTest, NewProjectAppliesTheResetSelections)
{
    doc.SetForm(7);
    doc.SetFog(2);
    doc.SetSizeClass(0);
    doc.SetBackground(0x00FF00);
    doc.NewProject();
    EXPECT_EQ(doc.Params.CurrentForm.Name, "Top view vertical box");
    EXPECT_EQ(doc.Params.FogMode, 0);
    EXPECT_EQ(doc.Position(Slider::ImageWidth), 300);
    EXPECT_EQ(doc.Params.BackgroundGreen, 1.0f);
    EXPECT_EQ(doc.Params.BackgroundRed, 1.0f);
    EXPECT_EQ(doc.Params.SideAngle, 36.0f);
}

TEST_F(BoxDocumentTest, LooksAreClampedAndOnlyRealChangesAreTold)
{
    std::vector<unsigned> told;
    doc.OnChanged = [&](unsigned changes) { told.push_back(changes); };
    BoxLooks wanted{.Shadow = 140, .ShadowSoftness = -3, .Reflection = 30,
                    .Light = 101, .SmoothTextures = true, .Samples = 12};
    doc.SetLooks(wanted);
    EXPECT_EQ(doc.Params.Looks.Shadow, 100);
    EXPECT_EQ(doc.Params.Looks.ShadowSoftness, 0);
    EXPECT_EQ(doc.Params.Looks.Reflection, 30);
    EXPECT_EQ(doc.Params.Looks.Light, 100);
    EXPECT_TRUE(doc.Params.Looks.SmoothTextures);
    EXPECT_EQ(doc.Params.Looks.Samples, 8); // the count at or below
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], DocumentChange::Looks | DocumentChange::View);

    // The same looks again, even asked for with other out-of-range values, change nothing.
    wanted.Shadow = 1000;
    doc.SetLooks(wanted);
    EXPECT_EQ(told.size(), 1u);

    for (auto [asked, got] : {std::pair{0, 1}, std::pair{-7, 1}, std::pair{3, 2}, std::pair{32, 32},
                              std::pair{33, 32}, std::pair{std::numeric_limits<int>::max(), 32}}) {
        BoxLooks l;
        l.Samples = asked;
        doc.SetLooks(l);
        EXPECT_EQ(doc.Params.Looks.Samples, got) << asked;
    }
}

TEST_F(BoxDocumentTest, NewProjectKeepsTheLooksInForce)
{
    BoxLooks looks;
    looks.Shadow = 40;
    looks.Samples = 16;
    doc.SetLooks(looks);
    doc.NewProject();
    EXPECT_EQ(doc.Params.Looks, looks);
    // and they are never part of what a recompute or a box kind sets
    doc.SetForm(5);
    doc.SetSizeClass(2);
    EXPECT_EQ(doc.Params.Looks, looks);
}

} // namespace

#include "app/BoxModel.h"
#include "app/Numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct BoxModelTest : ::testing::Test {
    PlainBoxControls plain;
    BoxModel model{plain.Controls()};
    int angleStatusCalls = 0;

    void SetUp() override
    {
        model.OnAngleStatus = [this] { ++angleStatusCalls; };
        model.FillFormTable();
        plain.cbMode.SetItemIndex(0);
        model.cbModeChange();
    }

    void SelectForm(int index)
    {
        plain.cbMode.SetItemIndex(index);
        model.cbModeChange();
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

TEST_F(BoxModelTest, TableHoldsTheTenKindsInOrder)
{
    ASSERT_EQ(plain.cbMode.Count(), 10);
    const char* names[] = {"Top view vertical box", "Side view vertical box",
                           "Front view vertical box", "vertical rotated image",
                           "horizontal rotated image", "CD jewel box", "Pizza box", "Shoes box",
                           "Hard cover book", "Soft cover book"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(plain.cbMode.ItemText(i), QString::fromLatin1(names[i]));
        EXPECT_EQ(model.FormModeTable[static_cast<std::size_t>(i)].Name, QString::fromLatin1(names[i]));
    }
    const BoxForm& shoes = model.FormModeTable[7];
    EXPECT_EQ((std::array{shoes.WidthScale, shoes.HeightScale, shoes.ThicknessScale, shoes.Depth,
                          shoes.Vertical, shoes.Horizontal, shoes.SideAngle, shoes.TiltAngle,
                          shoes.Turn, shoes.Eye}),
              (std::array{40, 26, 80, 21, 4, -16, 34, 6, 0, 20}));
    const BoxForm& hard = model.FormModeTable[8];
    EXPECT_EQ((std::array{hard.WidthScale, hard.HeightScale, hard.ThicknessScale, hard.Depth,
                          hard.TiltAngle, hard.Eye}),
              (std::array{78, 107, 18, 32, -25, 8}));
}

TEST_F(BoxModelTest, AddBoxFormRefusesRowsOutsideTheTable)
{
    const BoxForm before = model.FormModeTable[9];
    EXPECT_FALSE(model.AddBoxForm(10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, QStringLiteral("x")));
    EXPECT_FALSE(model.AddBoxForm(-1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, QStringLiteral("x")));
    EXPECT_EQ(plain.cbMode.Count(), 10);
    EXPECT_EQ(model.FormModeTable[9].Name, before.Name);
}

TEST_F(BoxModelTest, HalfExtentsAndLabelsFollowTheSizeBars)
{
    // Top view: width scale 70, height 100, thickness 30, bars at 50.
    EXPECT_FLOAT_EQ(model.Params.HalfWidth, 0.701f);
    EXPECT_FLOAT_EQ(model.Params.HalfHeight, 1.001f);
    EXPECT_FLOAT_EQ(model.Params.HalfThickness, 0.301f);
    EXPECT_EQ(plain.lbBreed.Text(), "70");
    EXPECT_EQ(plain.lbHeight.Text(), "100");
    EXPECT_EQ(plain.lbThick.Text(), "30");

    plain.tbBreed.SetPosition(100);
    model.tbThickChange();
    EXPECT_FLOAT_EQ(model.Params.HalfWidth, 1.401f);
    EXPECT_EQ(plain.lbBreed.Text(), "140");

    plain.tbBreed.SetPosition(1);
    model.tbThickChange();
    EXPECT_FLOAT_EQ(model.Params.HalfWidth, static_cast<float>(1.0 / 100 * 140 / 100 + 0.001));
    // 0.015 in single precision is just below it, so the label reads 1, not 2.
    EXPECT_EQ(plain.lbBreed.Text(), "1");
}

TEST_F(BoxModelTest, LabelsRoundHalvesToEven)
{
    // Width scale 70 at position 25: 0.35 + 0.001 -> 35.1; at 75: 1.051 -> 105.1.
    // Thickness 30 at 25: 0.151 -> 15.1. Ties come from the offsets and turn.
    plain.tbTurn.SetPosition(-25); // -2.5 degrees -> -2
    plain.tbHoriz.SetPosition(-300);
    model.tbThickChange();
    EXPECT_EQ(plain.lbTurn.Text(), "-2");
    EXPECT_EQ(plain.lbHoriz.Text(), "-300");
    plain.tbTurn.SetPosition(35); // 3.5 -> 4
    model.tbThickChange();
    EXPECT_EQ(plain.lbTurn.Text(), "4");
    plain.tbTurn.SetPosition(-1800);
    model.tbThickChange();
    EXPECT_EQ(plain.lbTurn.Text(), "-180");

    // Angles read from a damaged project reach the status bar as they are.
    EXPECT_EQ(RoundedText(-2.5), "-2");
    EXPECT_EQ(RoundedText(1e30), "1000000000000000019884624838656");
    EXPECT_EQ(RoundedText(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(RoundedText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundHalfEven(1e30), std::numeric_limits<long long>::max());
}

TEST_F(BoxModelTest, FlatCardFormsKeepTheThicknessAtTheMinimum)
{
    for (int form : {3, 4}) {
        SelectForm(form);
        for (int pos : {1, 50, 100}) {
            plain.tbThick.SetPosition(pos);
            model.tbThickChange();
            EXPECT_EQ(model.Params.HalfThickness, 0.001f);
            EXPECT_EQ(plain.lbThick.Text(), "0");
        }
    }
}

TEST_F(BoxModelTest, ChoosingTheJewelBoxAfterTheTopView)
{
    EXPECT_EQ(plain.tbDepth.Position(), 25);
    SelectForm(5);
    EXPECT_FLOAT_EQ(model.Params.HalfWidth, 0.801f);
    EXPECT_FLOAT_EQ(model.Params.HalfHeight, 0.041f);
    EXPECT_FLOAT_EQ(model.Params.HalfThickness, 0.801f);
    EXPECT_EQ(plain.tbDepth.Position(), 28);
    EXPECT_EQ(plain.tbVertical.Position(), -1);
    EXPECT_EQ(plain.tbHoriz.Position(), -6);
    EXPECT_EQ(plain.seEye.Position(), 12);
    EXPECT_EQ(model.Params.EyeAngle, 12);
    EXPECT_EQ(model.Params.SideAngle, 31.0f);
    EXPECT_EQ(model.Params.TiltAngle, 16.0f);
    EXPECT_EQ(model.Params.Depth, 28.0f);
    EXPECT_EQ(plain.lbDepth.Text(), "28");
    EXPECT_GE(angleStatusCalls, 2);
}

TEST_F(BoxModelTest, FormChangeKeepsSizeBarsAndZeroesTheTurn)
{
    plain.tbBreed.SetPosition(80);
    plain.tbHeight.SetPosition(20);
    plain.tbThick.SetPosition(3);
    plain.tbTurn.SetPosition(900);
    for (int form = 0; form < FormCount; ++form) {
        SelectForm(form);
        EXPECT_EQ(plain.tbBreed.Position(), 80);
        EXPECT_EQ(plain.tbHeight.Position(), 20);
        EXPECT_EQ(plain.tbThick.Position(), 3);
        EXPECT_EQ(plain.tbTurn.Position(), 0);
        EXPECT_EQ(model.Params.Turn, 0.0f);
    }
}

TEST_F(BoxModelTest, SelectionOutsideTheTableFallsBackToTheFirstKind)
{
    SelectForm(8);
    plain.cbMode.SetItemIndex(12); // a stored index beyond the list: no selection
    EXPECT_EQ(plain.cbMode.ItemIndex(), -1);
    model.cbModeChange();
    EXPECT_EQ(plain.cbMode.ItemIndex(), 0);
    EXPECT_EQ(model.Params.CurrentForm.Name, "Top view vertical box");
    EXPECT_EQ(plain.tbDepth.Position(), 25);
}

TEST_F(BoxModelTest, ResetRestoresSizesEyeColourAndSelections)
{
    int coverResets = 0;
    model.OnResetCoverImages = [&] { ++coverResets; };
    SelectForm(6);
    plain.cbClass.SetItemIndex(2);
    plain.cbFog.SetItemIndex(3);
    plain.pColor.SetColor(0x123456);
    plain.tbBreed.SetPosition(7);
    plain.tbHeight.SetPosition(99);
    plain.tbThick.SetPosition(1);
    const int depth = plain.tbDepth.Position();

    model.ResetProject();
    EXPECT_EQ(plain.cbClass.ItemIndex(), 1);
    EXPECT_EQ(plain.cbMode.ItemIndex(), 0);
    EXPECT_EQ(plain.cbFog.ItemIndex(), 0);
    EXPECT_EQ(plain.pColor.Color(), 0xFFFFFFu);
    EXPECT_EQ(coverResets, 1);
    EXPECT_EQ(plain.tbBreed.Position(), 50);
    EXPECT_EQ(plain.tbHeight.Position(), 50);
    EXPECT_EQ(plain.tbThick.Position(), 50);
    EXPECT_EQ(plain.seEye.Position(), 30);
    EXPECT_EQ(plain.tbDepth.Position(), depth); // left for the kind applied next
}

TEST_F(BoxModelTest, FogIndexIsTruncatedToAByte)
{
    std::vector<int> sent;
    model.OnFogMode = [&](std::uint8_t m) { sent.push_back(m); };
    plain.cbFog.SetItemIndex(3);
    model.cbFogChange();
    plain.cbFog.SetItemIndex(-1);
    model.cbFogChange();
    EXPECT_EQ(model.Params.FogMode, 255);
    EXPECT_EQ(sent, (std::vector<int>{3, 255}));
}

TEST_F(BoxModelTest, BackgroundComponentsComeFromTheColour)
{
    plain.pColor.SetColor(255); // pure red as 0x00BBGGRR
    model.UpdateBackgroundColor();
    EXPECT_EQ(model.Params.BackgroundRed, 1.0f);
    EXPECT_EQ(model.Params.BackgroundGreen, 0.0f);
    EXPECT_EQ(model.Params.BackgroundBlue, 0.0f);
    plain.pColor.SetColor(0x800000);
    model.UpdateBackgroundColor();
    EXPECT_FLOAT_EQ(model.Params.BackgroundBlue, 128.0f / 255.0f);
}

TEST_F(BoxModelTest, SizeClassSetsBothBarsToItsMaximum)
{
    int maximised = 0;
    model.OnMaximize = [&] { ++maximised; };
    const std::pair<int, int> cases[] = {{0, 100}, {1, 300}, {2, 450}, {-1, 100}};
    for (auto [index, maximum] : cases) {
        plain.tbImageWidth.SetPosition(5);
        plain.cbClass.SetItemIndex(index);
        model.cbClassChange();
        EXPECT_EQ(plain.tbImageWidth.Maximum(), maximum);
        EXPECT_EQ(plain.tbImageWidth.Position(), maximum);
        EXPECT_EQ(plain.tbImageHeight.Position(), maximum);
    }
    EXPECT_EQ(maximised, 1);
    plain.tbImageWidth.SetPosition(0);
    EXPECT_EQ(plain.tbImageWidth.Position(), 1);
}

TEST(PlainControlsTest, RangeClampsAndRaisesChangeOnlyOnMovement)
{
    PlainRange bar(2, 80, 4);
    int changes = 0;
    bar.OnChange = [&] { ++changes; };
    bar.SetPosition(4);
    EXPECT_EQ(changes, 0);
    bar.SetPosition(200);
    EXPECT_EQ(bar.Position(), 80);
    bar.SetPosition(81);
    EXPECT_EQ(changes, 1);
    bar.SetMaximum(50);
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_EQ(changes, 2);
}

} // namespace

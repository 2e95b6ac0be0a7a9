// Books with pages drawn for real: page edges where a book has them, the
// spine where it has none, and the option leaving every other kind alone.
#include "render/BookMesh.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

constexpr int Side = 240;
constexpr int HardCoverForm = 8;
constexpr int SoftCoverForm = 9;
const QRgb FrontColor = PlaceholderColors[0];
const QRgb SpineColor = PlaceholderColors[1];
const QRgb TopColor = PlaceholderColors[2];

// The page edges' paper, unlit: light, a little warm, lines of pages in it.
bool Paper(QRgb c)
{
    return qRed(c) >= 205 && qRed(c) <= 250 && qGreen(c) >= 200 && qGreen(c) <= 245 && qBlue(c) >= 185 &&
           qBlue(c) <= 235 && qRed(c) >= qBlue(c) + 8;
}

struct BookPagesTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SetForm(HardCoverForm);
        model.ApplyBackground();
        Prepare(Side);
    }
    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }

    // The book straight on from one side: the side angle turns it about its
    // height, the tilt about its width.
    QImage View(int form, float side, float tilt, bool pages = true, float depth = 0)
    {
        model.SetForm(form);
        model.Params.Shape.BookPages = pages;
        model.SetAngles(side, tilt);
        if (depth > 0)
            model.Params.Depth = depth;
        renderer.DrawFrame(model.Params, Textures(), flags);
        return context->ReadImage();
    }

    static int Count(const QImage& image, const std::function<bool(QRgb)>& test)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += test(image.pixel(x, y)) ? 1 : 0;
        return n;
    }
    static int CountNear(const QImage& image, QRgb color)
    {
        return Count(image, [color](QRgb c) { return NearColor(c, color, 3); });
    }
};

TEST_F(BookPagesTest, PageEdgesOnTopBottomAndForeEdgeTheSpineShowsItsPicture)
{
    struct Seen {
        const char* Name;
        float Side, Tilt;
        bool Pages; // page edges face the eye
    };
    const Seen views[] = {{"top", 0, 90, true},        {"bottom", 0, 270, true},
                          {"fore-edge", 270, 0, true}, {"spine", 90, 0, false},
                          {"front", 0, 0, false},      {"back", 180, 0, false}};
    for (const int form : {HardCoverForm, SoftCoverForm}) {
        for (const Seen& v : views) {
            const QImage book = View(form, v.Side, v.Tilt);
            const QImage classic = View(form, v.Side, v.Tilt, false);
            const QRgb centre = book.pixel(Side / 2, Side / 2);
            if (v.Pages) {
                EXPECT_TRUE(Paper(centre)) << form << " " << v.Name << ": " << ColorText{centre};
                EXPECT_GT(Count(book, Paper), 300) << form << " " << v.Name;
                // Where the classic box shows its top or side picture.
                EXPECT_GT(CountNear(classic, v.Side == 0 ? TopColor : SpineColor), 300) << form << " " << v.Name;
            } else {
                EXPECT_EQ(Count(book, Paper), 0) << form << " " << v.Name;
            }
            // The top picture has no place on a book.
            EXPECT_EQ(CountNear(book, TopColor), 0) << form << " " << v.Name;
        }
        EXPECT_TRUE(NearColor(View(form, 90, 0).pixel(Side / 2, Side / 2), SpineColor, 3)) << form;
        EXPECT_TRUE(NearColor(View(form, 0, 0).pixel(Side / 2, Side / 2), FrontColor, 3)) << form;
    }
}

TEST_F(BookPagesTest, HardCoverBoardsReachPastThePagesSoftCoverIsFlush)
{
    // Seen from the fore-edge, the whole book in the picture: the paper's
    // first and last rows against the book's.
    const auto overhang = [&](int form) {
        const QImage image = View(form, 270, 0, true, 45);
        const QRgb background = image.pixel(0, 0);
        int bookTop = Side, bookBottom = -1, paperTop = Side, paperBottom = -1;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const QRgb c = image.pixel(x, y);
                if (c != background) {
                    bookTop = std::min(bookTop, y);
                    bookBottom = std::max(bookBottom, y);
                }
                if (Paper(c)) {
                    paperTop = std::min(paperTop, y);
                    paperBottom = std::max(paperBottom, y);
                }
            }
        return std::min(paperTop - bookTop, bookBottom - paperBottom);
    };
    EXPECT_GE(overhang(HardCoverForm), 2);
    EXPECT_LE(overhang(SoftCoverForm), 1);
}

TEST_F(BookPagesTest, OtherKindsAndTheOptionOffDrawTheClassicFrame)
{
    for (const int form : {0, 2, 5, 7, HardCoverForm, SoftCoverForm}) {
        const bool book = form == HardCoverForm || form == SoftCoverForm;
        const float side = 320, tilt = 25; // the top and the right (the fore-edge) in view
        const QImage classic = View(form, side, tilt, false);
        const QImage pages = View(form, side, tilt, true);
        EXPECT_EQ(classic == pages, !book) << form;
    }
}

} // namespace

// Rounded edges drawn for real (software GL, no window), judged by the
// pixels: the silhouette's corners go to the background, the round is
// shaded without a step, no crack opens where the pictures meet, and a box
// without a radius stays the classic picture.
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "render/EyeLift.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

constexpr int Side = 200;
const QRgb Grey = qRgb(128, 128, 128);

struct RoundedTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SetForm(0); // front, side and top in sight
        model.SelectBackground(0x00808080);
        model.ApplyBackground();
        Prepare(Side);
    }

    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }

    QImage Frame(float radius, const BoxLooks& looks = {})
    {
        BoxParameters p = model.Params;
        p.Shape.EdgeRadius = radius;
        p.Looks = looks;
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }

    void PaintAll(QRgb colour)
    {
        QImage plain(16, 16, QImage::Format_RGB888);
        plain.fill(colour);
        for (auto& slot : slots)
            slot->Upload(PictureOfImage(plain));
    }

    static int Luma(QRgb c) { return (qRed(c) * 3 + qGreen(c) * 6 + qBlue(c)) / 10; }
};

TEST_F(RoundedTest, NoRadiusIsTheClassicFrameByteForByteAlsoAfterARoundedOne)
{
    const QImage classic = Frame(0);
    BoxLooks all{70, 40, 50, 60, true, 1};
    const QImage classicLooks = Frame(0, all);
    const QImage rounded = Frame(40, all);
    EXPECT_NE(rounded, classicLooks);
    EXPECT_EQ(Frame(0), classic);
    EXPECT_EQ(Frame(0, all), classicLooks);
}

TEST_F(RoundedTest, EveryPixelInsideTheSilhouetteShowsTheCoverWithoutACrack)
{
    // One colour on every side: a crack between the faces' triangles, or a
    // seam where two pictures meet, would let the grey through or blend it in.
    const QRgb cover = qRgb(250, 200, 40);
    PaintAll(cover);
    for (const float radius : {8.0f, 30.0f}) {
        const QImage image = Frame(radius);
        int rows = 0;
        for (int y = 0; y < image.height(); ++y) {
            int left = INT_MAX, right = -1;
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != Grey) {
                    left = std::min(left, x);
                    right = x;
                }
            if (right < 0)
                continue;
            ++rows;
            // The outermost pixels of a row may be cut by the edge.
            for (int x = left + 1; x < right; ++x)
                ASSERT_EQ(image.pixel(x, y), cover)
                    << "radius " << radius << " at " << x << "," << y;
        }
        EXPECT_GT(rows, Side / 3);
    }
}

TEST_F(RoundedTest, LightShadesTheRoundWithoutAStep)
{
    PaintAll(qRgb(255, 255, 255));
    BoxLooks light;
    light.Light = 100;
    // Across the vertical edge between the front and the side, at mid height.
    const auto largestStep = [&](const QImage& image) {
        int step = 0, y = Side / 2, last = -1;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == Grey) {
                last = -1;
                continue;
            }
            if (last >= 0)
                step = std::max(step, std::abs(Luma(c) - last));
            last = Luma(c);
        }
        return step;
    };
    const int sharp = largestStep(Frame(0, light));
    const int round = largestStep(Frame(30, light));
    ASSERT_GT(sharp, 30) << "the sharp edge shows the two faces' light apart";
    EXPECT_LT(round, sharp / 4);
}

// The rounded box stands on its lowest point: under every kind at its own
// angles the mirror image follows the box at once where it rests, with no
// floor between.
TEST_F(RoundedTest, EveryKindMeetsItsReflectionWithoutAGap)
{
    const QRgb cover = qRgb(200, 40, 40);
    PaintAll(cover);
    BoxLooks mirror;
    mirror.Reflection = 60;
    for (int form = 0; form < FormCount; ++form)
        for (const bool leaning : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "form " << form << (leaning ? ", leaning forward" : ""));
            model.SetForm(form);
            if (leaning) {
                // Resting on a round, higher than the sharp corner was.
                model.Params.SideAngle = -35;
                model.Params.TiltAngle = 12;
            }
            // Beside a card's round corner the floor shows between the card and
            // its image, as it would in a real mirror: keep those corners small.
            const bool card = model.Params.HalfThickness <= ThinCardLimit;
            const QImage image = Frame(card ? 5 : 30, mirror);
            int left = Side, right = -1;
            for (int y = 0; y < Side; ++y)
                for (int x = 0; x < Side; ++x)
                    if (image.pixel(x, y) == cover) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            ASSERT_LT(left, right);
            int columns = 0;
            // Leaning forward, it rests on one point of a round: the lowest
            // one. Else on a flat bottom, under the middle half.
            int first = left + (right - left) / 4, last = right - (right - left) / 4;
            if (leaning) {
                int deepest = -1;
                for (int y = 0; y < Side; ++y)
                    for (int x = 0; x < Side; ++x)
                        if (image.pixel(x, y) == cover && y >= deepest) {
                            deepest = y;
                            first = last = x;
                        }
            }
            for (int x = first; x <= last; ++x) {
                int lowest = -1;
                for (int y = 0; y < Side; ++y)
                    if (image.pixel(x, y) == cover)
                        lowest = y;
                if (lowest < 0 || lowest + 1 >= Side)
                    continue;
                ++columns;
                // A point of contact may fall between pixels' centres: at most
                // one row of floor may show beside it.
                const int reach = leaning ? 1 : 0;
                bool touches = false;
                for (int dy = 1; dy <= 1 + reach && lowest + dy < Side; ++dy)
                    for (int dx = std::max(0, x - reach); dx <= std::min(Side - 1, x + reach); ++dx)
                        touches = touches || image.pixel(dx, lowest + dy) != Grey;
                EXPECT_TRUE(touches) << "a gap under column " << x;
            }
            EXPECT_GT(columns, leaning ? 0 : 3);
        }
}

// The command line's transparent picture: where the sharp box covers the
// silhouette's corners, the rounded one leaves them to the background.
QImage TransparentShot(float radius, int form)
{
    HeadlessBox box;
    box.NewProject();
    box.Document.SetForm(form);
    box.Document.Params.Shape.EdgeRadius = radius;
    PendingCovers covers(box);
    RenderRequest request;
    request.Size = QSize(160, 160);
    request.Transparent = true;
    PhaseClock clock;
    return RenderBox(box, covers, request, clock).convertToFormat(QImage::Format_ARGB32);
}

TEST(RoundedCornersTest, TheSilhouettesCornersGoToTheBackground)
{
    for (const int form : {2, 3, 8}) { // a box, the card, a book leaning back
        const QImage sharp = TransparentShot(0, form);
        const QImage round = TransparentShot(100, form);
        ASSERT_EQ(sharp.size(), round.size());
        // The silhouette's extreme pixels towards each diagonal.
        for (const QPoint dir : {QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1), QPoint(1, 1)}) {
            QPoint corner;
            int best = INT_MIN;
            for (int y = 0; y < sharp.height(); ++y)
                for (int x = 0; x < sharp.width(); ++x)
                    if (qAlpha(sharp.pixel(x, y)) == 255 && dir.x() * x + dir.y() * y > best) {
                        best = dir.x() * x + dir.y() * y;
                        corner = {x, y};
                    }
            ASSERT_GT(best, INT_MIN) << form;
            // A little way in from the corner, still inside the sharp box.
            const QPoint inside = corner - dir;
            EXPECT_EQ(qAlpha(sharp.pixel(inside)), 255) << form;
            EXPECT_EQ(qAlpha(round.pixel(corner)), 0)
                << "form " << form << " at " << corner.x() << "," << corner.y();
            EXPECT_EQ(qAlpha(round.pixel(inside)), 0) << "form " << form;
        }
        // Rounding only takes away: nothing shows outside the sharp box.
        int taken = 0, kept = 0;
        for (int y = 0; y < sharp.height(); ++y)
            for (int x = 0; x < sharp.width(); ++x) {
                const int a = qAlpha(sharp.pixel(x, y)), b = qAlpha(round.pixel(x, y));
                ASSERT_LE(b, a + 1) << form << " at " << x << "," << y;
                taken += a == 255 && b == 0;
                kept += b == 255;
            }
        EXPECT_GT(taken, 8) << form;
        EXPECT_GT(kept, taken) << form;
    }
}

} // namespace

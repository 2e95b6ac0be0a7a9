// The box on its floor, drawn at 2000 px for every kind: right under the
// edge it rests on, its mirror image begins, with no band of the bottom's
// colour and no background in between. And through a tilt sweep the
// reflection comes and goes smoothly, never at a jump.
#include "render/StudioLooks.h"
#include "render/StudioLooksFloor.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

constexpr int Side = 2000;
constexpr int Strength = 60;
const QRgb Grey = qRgb(128, 128, 128);
// Front, side, top and bottom: each flat, the top one strong colour.
const QRgb Faces[3] = {qRgb(208, 32, 32), qRgb(32, 32, 208), qRgb(0, 255, 0)};

struct View {
    const char* Name;
    bool Own;        // the kind's own angles
    float Side, Tilt; // else these
};
const View Views[] = {{"own angles", true, 0, 0},        {"upright, turned", false, 50, 0},
                      {"leaning forward", false, -35, 12}, {"leaning back a little", false, 35, -6},
                      {"leaning back", false, -20, -15},   {"leaning far forward", false, 25, 40}};

QRgb Mirrored(QRgb face)
{
    const auto mix = [](int c, int g) { return (c * Strength + g * (100 - Strength) + 50) / 100; };
    return qRgb(mix(qRed(face), qRed(Grey)), mix(qGreen(face), qGreen(Grey)), mix(qBlue(face), qBlue(Grey)));
}

int FaceAt(QRgb c)
{
    for (int i = 0; i < 3; ++i)
        if (NearColor(c, Faces[i], 3))
            return i;
    return -1;
}

// Flat covers on a grey background, drawn at side x side.
struct FloorScene : HeadlessScene {
    int side = 0;
    void Start(int pixels)
    {
        side = pixels;
        Open(side);
        if (::testing::Test::HasFatalFailure())
            return;
        model.SelectBackground(0x00808080);
        model.ApplyBackground();
        Prepare(side);
        for (int i = 0; i < 3; ++i) {
            QImage cover(64, 64, QImage::Format_RGB888);
            cover.fill(Faces[i]);
            slots[i]->Upload(PictureOfImage(cover));
        }
    }

    void Finish()
    {
        renderer.ReleaseGL();
        Close();
    }

    QImage Draw(BoxParameters p)
    {
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }

    // Where a point of the pose's frame lands in the picture (x right, y down).
    QPointF Project(const BoxPose& pose, Vec3 point) const
    {
        const Vec3 e = pose.Eye * Vec3{point.x - pose.Camera.x, point.y - pose.Camera.y, point.z - pose.Camera.z};
        const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
        const double x = f * e.x / -e.z, y = f * e.y / -e.z;
        return {(x + 1) / 2 * side, (1 - y) / 2 * side};
    }
};

struct FloorContactTest : ::testing::Test, FloorScene {
    void SetUp() override { Start(Side); }
    void TearDown() override { Finish(); }
};

// Per column under the edge (or base) the box rests on: the lowest pixel of
// the box, then at once the mirror image of that same face.
TEST_F(FloorContactTest, EveryKindMeetsItsReflectionWithoutBandOrGap)
{
    for (int form = 0; form < FormCount; ++form)
        for (const View& view : Views) {
            SCOPED_TRACE(::testing::Message() << "form " << form << ", " << view.Name);
            model.SetForm(form);
            BoxParameters p = model.Params;
            if (!view.Own) {
                p.SideAngle = view.Side;
                p.TiltAngle = view.Tilt;
            }
            p.Looks.Reflection = Strength;
            const QImage image = Draw(p);

            // The corners on the floor the box stands on, as the picture shows them.
            const FloorChoice floor = ChooseFloor(p);
            EXPECT_EQ(floor.Weight, 1.0f) << "every view here is well above its floor";
            const BoxPose pose = PoseOf(p, floor.Tilt);
            // The floor tilts with the box: leaning far forward, the eye
            // looks almost straight down, where the mirror image lies under
            // the box and its edge is a sliver; nothing to follow there.
            if (EyeElevation(pose) > 55.0f)
                continue;
            float low = 1e9f;
            for (const Vec3& c : pose.Corners)
                low = std::min(low, c.y);
            std::vector<QPointF> contact;
            for (const Vec3& c : pose.Corners)
                if (c.y < low + 1e-4f)
                    contact.push_back(Project(pose, c));
            double left = 1e9, right = -1e9;
            for (const QPointF& c : contact) {
                left = std::min(left, c.x());
                right = std::max(right, c.x());
            }
            // The lower envelope of the contact at a column's centre.
            const auto contactRow = [&](double x) {
                double row = -1e9;
                for (const QPointF& a : contact)
                    for (const QPointF& b : contact)
                        if (a.x() < b.x() && a.x() <= x && x <= b.x())
                            row = std::max(row, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
                return row;
            };

            int checked = 0, hidden = 0;
            std::ostringstream bad;
            int badCount = 0;
            const int first = std::max(3, static_cast<int>(std::ceil(left)) + 3);
            const int last = std::min(Side - 4, static_cast<int>(right) - 3);
            for (int x = first; x <= last; ++x) {
                int lowest = -1;
                for (int y = Side - 1; y >= 0 && lowest < 0; --y)
                    if (FaceAt(image.pixel(x, y)) >= 0)
                        lowest = y;
                const double expected = contactRow(x + 0.5);
                if (lowest < 0 || std::abs(lowest + 0.5 - expected) > 2.0) {
                    ++hidden; // the contact lies behind the box in this column
                    continue;
                }
                if (lowest + 2 >= Side)
                    continue; // the floor is out of the picture here
                ++checked;
                // The face that meets the floor here, or its neighbour at a
                // corner, where the box's edge and its mirror's slant apart.
                std::vector<QRgb> allowed;
                for (int dx = -3; dx <= 3; ++dx)
                    for (int dy = -4; dy <= 0; ++dy)
                        if (const int f = FaceAt(image.pixel(x + dx, lowest + dy)); f >= 0)
                            allowed.push_back(Mirrored(Faces[f]));
                for (int dy = 1; dy <= 2; ++dy) {
                    const QRgb c = image.pixel(x, lowest + dy);
                    const bool ok = std::any_of(allowed.begin(), allowed.end(),
                                                [&](QRgb m) { return NearColor(c, m, 14); });
                    if (!ok && ++badCount <= 5)
                        bad << " (" << x << "," << lowest + dy << ")=" << ColorText{c} << " under "
                            << ColorText{image.pixel(x, lowest)};
                }
            }
            EXPECT_EQ(badCount, 0) << badCount << " pixels between the box and its reflection:" << bad.str();
            EXPECT_GT(checked, 100) << "where the box touches its floor: " << hidden << " columns hidden";
        }
}

} // namespace

struct FloorSweepTest : ::testing::Test, FloorScene {
    void SetUp() override { Start(200); }
    void TearDown() override { Finish(); }

    // How much the reflection adds to the picture: the summed difference
    // from the same frame without it.
    double ReflectionSum(BoxParameters p)
    {
        p.Looks.Reflection = Strength;
        const QImage with = Draw(p);
        p.Looks.Reflection = 0;
        const QImage without = Draw(p);
        double sum = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QRgb a = with.pixel(x, y), b = without.pixel(x, y);
                sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
            }
        return sum;
    }
};

// The eye a little over the box's lowest corner: tilting back, the box's
// bottom turns to the eye and the level floor then rises past it. Where a
// floor hands over or the eye meets its plane, the reflection fades.
TEST_F(FloorSweepTest, ReflectionChangesSmoothlyThroughATiltSweep)
{
    model.SetForm(2);
    BoxParameters p = model.Params;
    p.VerticalOffset = 9.5f; // the eye just over the bottom of the upright box
    constexpr float Step = 0.1f;
    std::vector<double> sums;
    for (int i = 0; i <= 700; ++i) {
        p.TiltAngle = 10 - Step * static_cast<float>(i);
        sums.push_back(ReflectionSum(p));
    }
    const double most = *std::max_element(sums.begin(), sums.end());
    ASSERT_GT(most, 0);
    double jump = 0;
    std::size_t at = 0;
    for (std::size_t i = 1; i < sums.size(); ++i)
        if (std::abs(sums[i] - sums[i - 1]) > jump) {
            jump = std::abs(sums[i] - sums[i - 1]);
            at = i;
        }
    EXPECT_LT(jump, 0.1 * most) << "the reflection jumps between tilt " << 10 - Step * (at - 1) << " and "
                                << 10 - Step * at;
    // It is there at the start, and gone once the eye is under the floor.
    EXPECT_GT(sums.front(), 0.2 * most);
    EXPECT_EQ(sums.back(), 0);
}

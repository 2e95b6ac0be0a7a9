// The box on its floor, drawn at 2000 px for every kind: right under the
// edge it rests on, its mirror image begins, with no band of the bottom's
// colour and no background in between.
#include "render/StudioLooks.h"
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
const View Views[] = {{"own angles", true, 0, 0},
                      {"upright, turned", false, 50, 0},
                      {"leaning forward", false, -35, 12}};

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

struct FloorContactTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SelectBackground(0x00808080);
        model.ApplyBackground();
        Prepare(Side);
        for (int i = 0; i < 3; ++i) {
            QImage cover(64, 64, QImage::Format_RGB888);
            cover.fill(Faces[i]);
            slots[i]->LoadFromBitmap(cover);
            slots[i]->Upload();
        }
    }

    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }

    // Where a world point lands in the picture (x right, y down).
    static QPointF Project(const BoxPose& pose, Vec3 world)
    {
        const Vec3 e = pose.Eye * Vec3{world.x - pose.Camera.x, world.y - pose.Camera.y, world.z - pose.Camera.z};
        const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
        const double x = f * e.x / -e.z, y = f * e.y / -e.z;
        return {(x + 1) / 2 * Side, (1 - y) / 2 * Side};
    }
};

// Per column under the edge (or base) the box rests on: the lowest pixel of
// the box, then at once the mirror image of that same face.
TEST_F(FloorContactTest, EveryKindMeetsItsReflectionWithoutBandOrGap)
{
    for (int form = 0; form < FormCount; ++form)
        for (const View& view : Views) {
            SCOPED_TRACE(::testing::Message() << "form " << form << ", " << view.Name);
            // These two lean back onto the far edge of a bottom the eye does
            // not see: what shows under their near edge is the floor's
            // mirror of that bottom, as under any box resting on one edge.
            if (view.Own && (form == 1 || form == 8))
                continue;
            model.SetForm(form);
            BoxParameters p = model.Params;
            if (!view.Own) {
                p.SideAngle = view.Side;
                p.TiltAngle = view.Tilt;
            }
            p.Looks.Reflection = Strength;
            renderer.DrawFrame(p, Textures(), flags);
            const QImage image = context->ReadImage().convertToFormat(QImage::Format_RGB32);

            // The corners on the floor, as the picture shows them.
            const BoxPose pose = PoseOf(p);
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
            const int first = std::max(2, static_cast<int>(std::ceil(left)) + 3);
            const int last = std::min(Side - 3, static_cast<int>(right) - 3);
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
                // The face that meets the floor here, or its neighbour at a corner.
                std::vector<QRgb> allowed;
                for (int dx = -1; dx <= 1; ++dx)
                    for (int dy = -1; dy <= 0; ++dy)
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

// Adaptive sampling: pixels whose estimate has converged stop, their
// neighbours' noise keeps them going, and stopping early neither biases the
// picture nor makes it depend on the threads.
#include "raytrace/PixelBudget.h"
#include "raytrace/RayRender.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Feeds every pixel of a budget one sample per pass, the way RayRender does.
struct Fed {
    int W, H;
    PixelBudget Budget;
    std::vector<float> Sums;
    Fed(int w, int h, int least) : W(w), H(h), Budget(w, h, least), Sums(static_cast<std::size_t>(w * h) * 4) {}
    template <typename F> void Pass(F valueAt)
    {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const auto i = static_cast<std::size_t>(y * W + x);
                if (!Budget.Running(i))
                    continue;
                const float v = valueAt(x, y);
                const RaySample s{{v, v, v}, 1.0f};
                Sums[i * 4] += v;
                Sums[i * 4 + 1] += v;
                Sums[i * 4 + 2] += v;
                Sums[i * 4 + 3] += 1.0f;
                Budget.Add(i, s);
            }
        Budget.Settle(Sums);
    }
    bool Running(int x, int y) const { return Budget.Running(static_cast<std::size_t>(y * W + x)); }
};

RaySettings Settings(int passes, bool adaptive)
{
    RaySettings s;
    s.Passes = passes;
    s.Adaptive = adaptive;
    return s;
}

BoxParameters SmallBoxOnGrey()
{
    BoxParameters p;
    p.Depth = 140; // far off: most of the picture is background and floor
    p.EyeAngle = 15;
    p.BackgroundRed = p.BackgroundGreen = p.BackgroundBlue = 0.6f;
    return p;
}

} // namespace

TEST(PixelBudgetTest, ACalmPixelStopsAfterTheLeastPassesUnlessANeighbourIsNoisy)
{
    Fed fed(7, 5, 4);
    int pass = 0;
    const auto noisyAtCentre = [&](int x, int y) {
        return x == 3 && y == 2 ? ((pass & 1) ? 0.55f : 0.45f) : 0.5f;
    };
    for (; pass < 3; ++pass)
        fed.Pass(noisyAtCentre);
    EXPECT_EQ(fed.Budget.RunningCount(), 35) << "nobody stops before the least passes";
    fed.Pass(noisyAtCentre);
    ++pass;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(fed.Running(x, y), std::abs(x - 3) <= 1 && std::abs(y - 2) <= 1) << x << "," << y;
    // Once the centre is calm as well, its neighbourhood stops with it;
    // the stopped pixels keep the samples they had.
    while (pass < 400 && fed.Budget.RunningCount() > 0) {
        fed.Pass([&](int, int) { return 0.5f; });
        ++pass;
    }
    EXPECT_EQ(fed.Budget.RunningCount(), 0);
    EXPECT_EQ(fed.Budget.Samples(0), 4);
    EXPECT_GT(fed.Budget.Samples(3 + 2 * 7), 4);
}

TEST(PixelBudgetTest, DarkPixelsNeedASmallerSpreadThanLightOnesToStop)
{
    // The same spread in linear light is many more written steps in the dark.
    const int n = 16;
    const auto error = [&](double mean, double spread) {
        // n samples, half at mean - spread, half at mean + spread.
        const double squares = n / 2.0 * ((mean - spread) * (mean - spread) + (mean + spread) * (mean + spread));
        return PixelBudget::ErrorInSteps(mean * n, squares, n, true);
    };
    EXPECT_LT(error(0.8, 0.004), PixelBudget::Tolerance);
    EXPECT_GT(error(0.02, 0.004), PixelBudget::Tolerance);
    EXPECT_EQ(error(0.3, 0.0), 0.0f);
}

TEST(PixelBudgetTest, TheBackgroundStopsEarlyWithoutChangingThePicture)
{
    const BoxParameters p = SmallBoxOnGrey();
    const QSize size(48, 48);
    RayRender adaptive(p, PlaceholderCovers(), Settings(32, true), size);
    EXPECT_EQ(adaptive.Run(), 32) << "the passes count as done when every pixel has stopped";
    RayRender full(p, PlaceholderCovers(), Settings(32, false), size);
    full.Run();
    EXPECT_EQ(full.Paths(), 32 * 48 * 48);
    EXPECT_LT(adaptive.Paths(), full.Paths() / 2);

    // Stopped pixels are as good as the full ones: the two pictures differ
    // by well under a step on average and nowhere by much.
    const QImage a = adaptive.Picture(), b = full.Picture();
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int d = std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            sum += d;
            worst = std::max(worst, d);
        }
    EXPECT_LT(sum / (size.width() * size.height()), 1.0);
    EXPECT_LE(worst, 12);
}

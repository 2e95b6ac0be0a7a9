// --fit as drawn: the box of what a person sees in a transparent picture
// (alpha at least 8 of 255, about 3%) sits at the asked
// margin (within one percent of the picture) for every kind, looks off and
// on; a batch of kinds at one margin lines up; a turntable keeps one
// framing that holds every frame; a fitted deep, wide view keeps its
// background; without --fit nothing changes.
#include "cli/CliRunner.h"
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/RenderOptions.h"
#include "engine/RenderSession.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Each side's margin in parts of the picture; all 1 for an empty picture.
struct Margins {
    double Left = 1, Right = 1, Top = 1, Bottom = 1;
};

Margins MarginsOf(const QImage& picture, bool byAlpha, QRgb background = 0)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (byAlpha ? qAlpha(p) < 8 : (p & 0xFFFFFFu) == (background & 0xFFFFFFu))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    Margins m;
    if (right < 0)
        return m;
    const double w = image.width(), h = image.height();
    m.Left = left / w;
    m.Right = (w - 1 - right) / w;
    m.Top = top / h;
    m.Bottom = (h - 1 - bottom) / h;
    return m;
}

// The margin on the tightest side, centred on the other.
void ExpectFitted(const Margins& m, double margin, const std::string& what)
{
    SCOPED_TRACE(what);
    const double horizontal = std::min(m.Left, m.Right), vertical = std::min(m.Top, m.Bottom);
    const bool wide = horizontal <= vertical;
    const double a = wide ? m.Left : m.Top, b = wide ? m.Right : m.Bottom;
    const double c = wide ? m.Top : m.Left, d = wide ? m.Bottom : m.Right;
    EXPECT_NEAR(a, margin, 0.01) << "tight side";
    EXPECT_NEAR(b, margin, 0.01) << "tight side";
    EXPECT_NEAR(c, d, 0.02) << "centred on the other";
    EXPECT_GE(std::min(c, d), margin - 0.01);
}

struct FitTest : TempFiles {
    RenderSession session;

    // What "cubiform render ARGS -o x.png" draws, in this one session.
    QImage Render(const QString& args)
    {
        const RenderOptions options = ParseRenderArguments(
            QProcess::splitCommand(args) + QStringList{QStringLiteral("-o"), Path(QStringLiteral("x.png"))});
        HeadlessBox box;
        box.NewProject();
        box.ApplyOptions(options);
        PhaseClock clock;
        return session.Render(box, RenderRequestOf(box, options, box.OutputSize(options)), clock);
    }
};

} // namespace

TEST_F(FitTest, EveryKindSitsAtTheMarginWithLooksOffAndOn)
{
    const char* looks[] = {"", " --shadow --reflection --light", " --shadow 90 --shadow-softness 100 --fog 1"};
    for (int form = 0; form < FormCount; ++form)
        for (const char* look : looks)
            for (const char* size : {"300x300", "400x240"}) {
                const QString args =
                    QStringLiteral("--form %1 --size %2 --transparent --fit%3").arg(form).arg(QLatin1String(size), QLatin1String(look));
                ExpectFitted(MarginsOf(Render(args), true), 0.08, args.toStdString());
            }
}

TEST_F(FitTest, AnyMarginInTheRangeAndAViewThatCutTheBoxOff)
{
    for (const int margin : {0, 20, 45}) {
        const QString args = QStringLiteral("--form 5 --shadow --size 320x240 --transparent --fit %1").arg(margin);
        ExpectFitted(MarginsOf(Render(args), true), margin / 100.0, args.toStdString());
    }
    // Near and off to the side: most of the box is outside the picture.
    const QString away = QStringLiteral("--form 2 --depth 2 --horizontal 300 --vertical -300 --size 300x300 --transparent --fit 10");
    ExpectFitted(MarginsOf(Render(away), true), 0.10, away.toStdString());
}

// At its own angles at 900 x 900 the hard-cover book all but touches the
// bottom edge, and its reflection and shadow are cut off there; fitted,
// the whole of it sits at the margin.
TEST_F(FitTest, TheHardCoverBookKeepsItsBottomEdge)
{
    const QString book = QStringLiteral("--form 8 --size 900x900 --transparent");
    EXPECT_LT(MarginsOf(Render(book), true).Bottom, 0.02);
    const QString looks = book + QStringLiteral(" --shadow --reflection");
    EXPECT_EQ(MarginsOf(Render(looks), true).Bottom, 0.0) << "the classic view cuts it off";
    ExpectFitted(MarginsOf(Render(book + QStringLiteral(" --fit")), true), 0.08, "fitted");
    ExpectFitted(MarginsOf(Render(looks + QStringLiteral(" --fit")), true), 0.08, "fitted with its looks");
}

// Deeper than the classic background quad reaches, and wide: the
// background still fills the picture (the classic view at such a depth
// shows the clear colour around its quad, and still does).
TEST_F(FitTest, AFittedDeepWideViewKeepsItsBackground)
{
    const QImage fitted = Render(QStringLiteral("--form 5 --background #203040 --size 400x100 --fit 40"));
    const QRgb background = qRgb(0x20, 0x30, 0x40);
    for (const QPoint corner : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 99), QPoint(399, 99)})
        EXPECT_EQ(fitted.pixel(corner) & 0xFFFFFFu, background & 0xFFFFFFu) << corner.x() << "," << corner.y();
    ExpectFitted(MarginsOf(fitted, false, background), 0.40, "deep and wide");
    const QImage classic = Render(QStringLiteral("--form 5 --background #203040 --depth 80 --size 400x100"));
    EXPECT_EQ(classic.pixel(0, 0) & 0xFFFFFFu, 0u);
}

TEST_F(FitTest, WithoutFitThePictureIsTheClassicOne)
{
    for (const char* args : {"--form 8 --size 200x200 --shadow", "--form 3 --size 160x120 --transparent --reflection"}) {
        const QString plain = QString::fromLatin1(args);
        const QImage once = Render(plain);
        // A fitted render in between leaves nothing behind in the session.
        Render(plain + QStringLiteral(" --fit 20"));
        EXPECT_EQ(Render(plain), once) << args;
    }
}

// One batch of different kinds and box sizes at one margin: every box's
// tight sides on the same lines. A row with fit "no" is the classic picture.
TEST_F(FitTest, ABatchAtOneMarginLinesUp)
{
    Write(Path(QStringLiteral("rows.csv")),
          "form,width,height,thickness,shadow,fit,output,size,transparent\n"
          "CD jewel box,,,,yes,12,cd.png,240x240,yes\n"
          "Hard cover book,40,100,30,,12,book.png,240x240,yes\n"
          "Pizza box,,,,yes,12,pizza.png,240x240,yes\n"
          "Shoes box,90,20,60,,12,shoes.png,240x240,yes\n"
          "Pizza box,,,,yes,no,classic.png,240x240,yes\n");
    Write(Path(QStringLiteral("rows.jsonl")),
          "{\"form\": \"Soft cover book\", \"fit\": true, \"output\": \"soft.png\", \"size\": \"240x240\", \"transparent\": true}\n");
    for (const char* manifest : {"rows.csv", "rows.jsonl"}) {
        const CliResult r = RunCubiform({QStringLiteral("batch"), Path(QLatin1String(manifest)), QStringLiteral("-j"), QStringLiteral("1")});
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    }
    for (const char* name : {"cd.png", "book.png", "pizza.png", "shoes.png"})
        ExpectFitted(MarginsOf(QImage(Path(QLatin1String(name))), true), 0.12, name);
    ExpectFitted(MarginsOf(QImage(Path(QStringLiteral("soft.png"))), true), 0.08, "bare fit in JSON");
    RenderPicture(QProcess::splitCommand(QStringLiteral("--form 6 --shadow --size 240x240 --transparent")),
                  Path(QStringLiteral("plain.png")));
    EXPECT_EQ(Read(Path(QStringLiteral("classic.png"))), Read(Path(QStringLiteral("plain.png"))));
}

// The whole turn in one framing: no frame leaves the margin, the frames
// together reach it on the tight side, and the box does not move between
// frames (a plain turn of the same view).
TEST_F(FitTest, ATurntableKeepsOneFramingThatHoldsEveryFrame)
{
    const QString frames = Path(QStringLiteral("spin-%02d.png"));
    const CliResult r = RunCubiform({QStringLiteral("turntable"), QStringLiteral("--form"), QStringLiteral("8"),
                                     QStringLiteral("--tilt"), QStringLiteral("--shadow"), QStringLiteral("--frames"),
                                     QStringLiteral("8"), QStringLiteral("--size"), QStringLiteral("200x160"),
                                     QStringLiteral("--transparent"), QStringLiteral("--fit"), QStringLiteral("10"),
                                     QStringLiteral("-o"), frames});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    Margins all;
    for (int k = 0; k < 8; ++k) {
        const Margins m = MarginsOf(QImage(Path(QStringLiteral("spin-%1.png").arg(k, 2, 10, QLatin1Char('0')))), true);
        for (const double side : {m.Left, m.Right, m.Top, m.Bottom})
            EXPECT_GE(side, 0.10 - 0.01) << "frame " << k;
        all = {std::min(all.Left, m.Left), std::min(all.Right, m.Right), std::min(all.Top, m.Top),
               std::min(all.Bottom, m.Bottom)};
    }
    ExpectFitted(all, 0.10, "the turn's union");
}

// Many renders through one session give exactly the pixels of fresh
// one-shot renders, whatever came before them in the session.
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/RenderOptions.h"
#include "engine/RenderSession.h"
#include "support/RefusedThreads.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

namespace {

QImage Stripes(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 50) & 255, (y * 5 + seed * 90) & 255,
                                      ((x + y) % 3 == 0) ? 240 : seed * 30));
    return image;
}

struct SessionTest : TempFiles {
    void SetUp() override
    {
        ASSERT_TRUE(Stripes(64, 48, 1).save(Path(QStringLiteral("one.jpg")), "JPG", 90));
        ASSERT_TRUE(Stripes(40, 64, 2).save(Path(QStringLiteral("two.jpg")), "JPG", 90));
        ASSERT_TRUE(Stripes(16, 48, 3).save(Path(QStringLiteral("side.bmp")), "BMP"));
        Write(Path(QStringLiteral("damaged.jpg")), Read(Path(QStringLiteral("one.jpg"))).left(300));
    }

    // The box and request "cubiform render ARGS" would make.
    struct Shot {
        HeadlessBox Box;
        RenderRequest Request;
    };
    std::unique_ptr<Shot> Prepare(const QString& args)
    {
        QStringList words = QProcess::splitCommand(args);
        for (QString& word : words)
            if (word.endsWith(QLatin1String(".jpg")) || word.endsWith(QLatin1String(".bmp")))
                word = Path(word);
        const RenderOptions options =
            ParseRenderArguments(words + QStringList{QStringLiteral("-o"), Path(QStringLiteral("x.png"))});
        auto shot = std::make_unique<Shot>();
        shot->Box.NewProject();
        shot->Box.ApplyOptions(options);
        shot->Request.Size = shot->Box.OutputSize(options);
        shot->Request.Samples = options.Samples;
        shot->Request.Transparent = options.Transparent;
        return shot;
    }

    QImage OneShot(const QString& args)
    {
        auto shot = Prepare(args);
        PhaseClock clock;
        PendingCovers covers(shot->Box);
        GLTeardown teardown;
        return RenderBox(shot->Box, covers, shot->Request, clock, &teardown);
    }

    static QImage InSession(RenderSession& session, Shot& shot)
    {
        PhaseClock clock;
        return session.Render(shot.Box, shot.Request, clock);
    }
    QImage InSession(RenderSession& session, const QString& args) { return InSession(session, *Prepare(args)); }

    // The error a call throws, or nothing.
    static std::optional<JobError> Failure(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const JobError& e) {
            return e;
        }
        return std::nullopt;
    }
};

TEST_F(SessionTest, EveryRenderMatchesAFreshOneWhateverCameBefore)
{
    RenderSession session;
    const QString sequence[] = {
        QStringLiteral("--front one.jpg --side side.bmp --size 96x80"),
        // Another size, kind and fog: the covers stay, the context is resized.
        QStringLiteral("--front one.jpg --side side.bmp --form 3 --fog 2 --size 120x100"),
        QStringLiteral("--front two.jpg --form 1 --fog 3 --transparent --background #F0E0C0 --size 64x72"),
        QStringLiteral("--front one.jpg --top one.jpg --samples 4 --size 80x80"),
        // Looks on a cached cover, then the same cover classic again.
        QStringLiteral("--front one.jpg --shadow --reflection --light --smooth-textures --samples 8 --size 80x80"),
        QStringLiteral("--front one.jpg --top one.jpg --size 80x80"),
        QStringLiteral("--side-angle 400 --tilt-angle 365 --form 8 --size 96x80 --samples 4"),
        QStringLiteral("--front two.jpg --side side.bmp --top one.jpg --fog 1 --transparent --size 90x70"),
        QStringLiteral("--size 48x48"),
    };
    for (const QString& args : sequence) {
        const QImage expected = OneShot(args);
        ASSERT_FALSE(expected.isNull()) << args.toStdString();
        EXPECT_EQ(InSession(session, args), expected) << args.toStdString();
    }
    // Resized rather than made anew, whatever the sample count.
    EXPECT_EQ(session.ContextsMade(), 1);
}

// Without a thread to spare, the covers are read and the GL is freed on the
// caller's thread: the picture is the same and nothing waits forever.
TEST_F(SessionTest, AOneShotWithoutThreadsDrawsTheSamePicture)
{
    const QString args = QStringLiteral("--front one.jpg --side side.bmp --samples 4 --size 96x80");
    const QImage expected = OneShot(args);
    ASSERT_FALSE(expected.isNull());
    ThreadPool refusing(StartsRefusedAfter(0));
    const UseThreadPool use(refusing);
    EXPECT_EQ(OneShot(args), expected);
    EXPECT_EQ(OneShot(args), expected); // a second teardown after the first
    EXPECT_EQ(refusing.Threads(), 0);
}

TEST_F(SessionTest, ACoverIsReadOnceUntilItsFileChanges)
{
    RenderSession session;
    InSession(session, QStringLiteral("--front one.jpg --side side.bmp --size 64x64"));
    EXPECT_EQ(session.CoversRead(), 2);
    InSession(session, QStringLiteral("--front one.jpg --side side.bmp --form 2 --size 80x64"));
    InSession(session, QStringLiteral("--front side.bmp --side one.jpg --size 80x64")); // slots swapped
    EXPECT_EQ(session.CoversRead(), 2);
    InSession(session, QStringLiteral("--front two.jpg --top two.jpg --size 64x64")); // one file, two slots
    EXPECT_EQ(session.CoversRead(), 3);

    // Rewritten under the same name: read again, and the new picture shows.
    ASSERT_TRUE(Stripes(64, 48, 5).save(Path(QStringLiteral("one.jpg")), "JPG", 90));
    const QString args = QStringLiteral("--front one.jpg --size 64x64");
    EXPECT_EQ(InSession(session, args), OneShot(args));
    EXPECT_EQ(session.CoversRead(), 4);
}

TEST_F(SessionTest, CoversBeyondTheCacheAreForgottenOldestFirst)
{
    RenderSession session;
    session.SetCoverCacheBytes(0); // only the last render's covers stay
    InSession(session, QStringLiteral("--front one.jpg --size 32x32"));
    InSession(session, QStringLiteral("--front two.jpg --size 32x32"));
    InSession(session, QStringLiteral("--front two.jpg --side side.bmp --size 32x32"));
    EXPECT_EQ(session.CoversRead(), 3);
    const QString args = QStringLiteral("--front one.jpg --size 32x32");
    EXPECT_EQ(InSession(session, args), OneShot(args));
    EXPECT_EQ(session.CoversRead(), 4);
}

TEST_F(SessionTest, CoversUsedOnceAreDroppedAfterTheirRenderAndTheRestKept)
{
    RenderSession session;
    const QString once = QFileInfo(Path(QStringLiteral("one.jpg"))).absoluteFilePath();
    session.SetUsedOnce([&](const QString& file) { return file == once; });
    InSession(session, QStringLiteral("--front one.jpg --side side.bmp --size 32x32"));
    EXPECT_EQ(session.CoversRead(), 2);
    // The shared side cover is still there; the one-off front is read again
    // (were it asked for after all) and still draws as a fresh session does.
    const QString args = QStringLiteral("--front one.jpg --side side.bmp --form 3 --size 32x32");
    EXPECT_EQ(InSession(session, args), OneShot(args));
    EXPECT_EQ(session.CoversRead(), 3);
}

TEST_F(SessionTest, AFailedRenderFailsAsTheOneShotDoesAndTheNextOneIsRight)
{
    RenderSession session;
    const QString good = QStringLiteral("--front one.jpg --side side.bmp --size 64x64");
    EXPECT_EQ(InSession(session, good), OneShot(good));

    const QString bad[] = {
        QStringLiteral("--front one.jpg --side damaged.jpg --size 64x64"),
        QStringLiteral("--front missing.jpg --size 64x64"),
        QStringLiteral("--front two.jpg --size 16384x16384 --samples 16"), // refused before the driver
        QStringLiteral("--front damaged.jpg --size 16384x16384 --samples 16"), // the cover is named first
    };
    for (const QString& args : bad) {
        const std::optional<JobError> fresh = Failure([&] { OneShot(args); });
        const std::optional<JobError> kept = Failure([&] { InSession(session, args); });
        ASSERT_TRUE(fresh && kept) << args.toStdString();
        EXPECT_EQ(kept->Status(), fresh->Status());
        EXPECT_EQ(kept->Text(), fresh->Text());
        EXPECT_EQ(InSession(session, good), OneShot(good)) << "after " << args.toStdString();
    }
    // A damaged file is not remembered as read: it fails every time.
    EXPECT_TRUE(Failure([&] { InSession(session, QStringLiteral("--front damaged.jpg --size 32x32")); }));
    EXPECT_TRUE(Failure([&] { InSession(session, QStringLiteral("--front damaged.jpg --size 32x32")); }));
}

TEST_F(SessionTest, SessionsOnSeveralThreadsRenderAtOnce)
{
    const QString jobs[2][3] = {
        {QStringLiteral("--front one.jpg --size 96x64"), QStringLiteral("--front two.jpg --fog 2 --size 64x96"),
         QStringLiteral("--front one.jpg --form 4 --transparent --size 80x80")},
        {QStringLiteral("--side side.bmp --form 1 --size 72x72"), QStringLiteral("--front two.jpg --samples 4 --size 64x64"),
         QStringLiteral("--top one.jpg --side side.bmp --form 5 --size 100x60")},
    };
    // Boxes are made here: the document has no business with threads.
    std::unique_ptr<Shot> shots[2][3];
    QImage expected[2][3], actual[2][3];
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 3; ++i) {
            expected[t][i] = OneShot(jobs[t][i]);
            shots[t][i] = Prepare(jobs[t][i]);
        }
    std::thread workers[2];
    for (int t = 0; t < 2; ++t)
        workers[t] = std::thread([&, t] {
            RenderSession session;
            for (int round = 0; round < 2; ++round)
                for (int i = 0; i < 3; ++i)
                    actual[t][i] = InSession(session, *shots[t][i]);
        });
    for (std::thread& worker : workers)
        worker.join();
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(actual[t][i], expected[t][i]) << jobs[t][i].toStdString();
}

} // namespace

// "cubiform batch" as a library call: it draws its rows and leaves the
// process's environment and settings to the program that called it.
#include "cli/Batch.h"
#include "concurrency/ThreadPool.h"
#include "formats/PictureWriter.h"
#include "support/RefusedThreads.h"
#include "support/TempFiles.h"

#include <QByteArray>
#include <QImage>

#include <cstdio>

namespace {

class BatchInProcessTest : public TempFiles {};

TEST_F(BatchInProcessTest, LeavesTheGLThreadCountToTheProgram)
{
    const bool had = qEnvironmentVariableIsSet("LP_NUM_THREADS");
    const QByteArray saved = qgetenv("LP_NUM_THREADS");
    qunsetenv("LP_NUM_THREADS");

    QImage cover(32, 32, QImage::Format_RGBA8888);
    cover.fill(qRgb(40, 160, 90));
    Write(Path(QStringLiteral("c.jpg")), EncodeJpeg(RgbaRows::Of(cover), 90, QStringLiteral("c.jpg")));
    Write(Path(QStringLiteral("m.csv")), "front,size,output\nc.jpg,48x48,out/a.png\nc.jpg,40x40,out/b.png\n");
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(RunBatch({Path(QStringLiteral("m.csv")), QStringLiteral("-j"), QStringLiteral("2")}, err, false), 0);
    std::fclose(err);
    EXPECT_FALSE(QImage(Path(QStringLiteral("out/a.png"))).isNull());
    EXPECT_FALSE(QImage(Path(QStringLiteral("out/b.png"))).isNull());
    EXPECT_FALSE(qEnvironmentVariableIsSet("LP_NUM_THREADS")) << "set by the batch, for the whole process";

    if (had)
        qputenv("LP_NUM_THREADS", saved);
}

// Workers whose threads cannot start: the ones there are draw every row.
TEST_F(BatchInProcessTest, DrawsEveryRowWhenWorkersCannotStart)
{
    QImage cover(32, 32, QImage::Format_RGBA8888);
    cover.fill(qRgb(200, 60, 30));
    Write(Path(QStringLiteral("c.jpg")), EncodeJpeg(RgbaRows::Of(cover), 90, QStringLiteral("c.jpg")));
    QByteArray manifest = "front,size,output\n";
    for (int i = 0; i < 5; ++i)
        manifest += QByteArrayLiteral("c.jpg,40x30,out/") + QByteArray::number(i) + ".png\n";
    Write(Path(QStringLiteral("m.csv")), manifest);
    for (const int started : {0, 1}) {
        ThreadPool pool(StartsRefusedAfter(started));
        const UseThreadPool use(pool);
        std::FILE* err = std::tmpfile();
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(RunBatch({Path(QStringLiteral("m.csv")), QStringLiteral("-j"), QStringLiteral("4")}, err, false), 0)
            << started << " thread(s) started";
        std::fclose(err);
        for (int i = 0; i < 5; ++i) {
            const QString output = Path(QStringLiteral("out/%1.png").arg(i));
            EXPECT_EQ(QImage(output).size(), QSize(40, 30)) << started << " thread(s) started, row " << i;
            QFile::remove(output);
        }
        EXPECT_EQ(pool.Threads(), started);
    }
}

} // namespace

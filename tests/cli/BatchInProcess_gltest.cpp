// "cubiform batch" as a library call: it draws its rows and leaves the
// process's environment and settings to the program that called it.
#include "cli/Batch.h"
#include "formats/PictureWriter.h"
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

} // namespace

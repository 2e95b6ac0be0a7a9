// "cubiform render --dpi": the whole program writes the same file as
// without it but for the density fields.
#include "cli/CliRunner.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

TEST(PrintResolutionRender, OnlyTheDensityFieldsDiffer)
{
    QTemporaryDir dir;
    const auto render = [&](const QString& name, QStringList more) {
        const CliResult r = RunCubiform(QStringList{QStringLiteral("render"), QStringLiteral("--size"),
                                                    QStringLiteral("64x48"), QStringLiteral("-o"),
                                                    dir.filePath(name)} + more);
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        return Bytes(dir.filePath(name));
    };
    const QStringList dpi{QStringLiteral("--dpi"), QStringLiteral("300")};

    const QByteArray png = render(QStringLiteral("a.png"), {});
    const QByteArray png300 = render(QStringLiteral("b.png"), dpi);
    // pHYs: length 9, type, 11811 twice, unit 1, then its CRC.
    const QByteArray phys("\0\0\0\x09pHYs\0\0\x2E\x23\0\0\x2E\x23\x01", 17);
    const qsizetype at = png300.indexOf(phys);
    ASSERT_GT(at, 0);
    EXPECT_EQ(png.indexOf("pHYs"), -1);
    EXPECT_EQ(png300.left(at) + png300.mid(at + 21), png);

    const QByteArray jpg = render(QStringLiteral("a.jpg"), {});
    const QByteArray jpg300 = render(QStringLiteral("b.jpg"), dpi);
    EXPECT_EQ(jpg.mid(13, 5), QByteArray("\0\0\x01\0\x01", 5));
    EXPECT_EQ(jpg300.mid(13, 5), QByteArray("\x01\x01\x2C\x01\x2C", 5));
    EXPECT_EQ(jpg300.left(13) + jpg.mid(13, 5) + jpg300.mid(18), jpg);

    const QByteArray bmp = render(QStringLiteral("a.bmp"), {});
    const QByteArray bmp300 = render(QStringLiteral("b.bmp"), dpi);
    EXPECT_EQ(bmp.mid(38, 8), QByteArray("\xC4\x0E\0\0\xC4\x0E\0\0", 8)); // 3780: 96 dpi as always
    EXPECT_EQ(bmp300.mid(38, 8), QByteArray("\x23\x2E\0\0\x23\x2E\0\0", 8));
    EXPECT_EQ(bmp300.left(38) + bmp.mid(38, 8) + bmp300.mid(46), bmp);

    const CliResult tga = RunCubiform({QStringLiteral("render"), QStringLiteral("--dpi"), QStringLiteral("300"),
                                       QStringLiteral("-o"), dir.filePath(QStringLiteral("c.tga"))});
    EXPECT_EQ(tga.Status, 2);
    EXPECT_TRUE(tga.Err.startsWith(QStringLiteral("cubiform: --dpi is for .jpg, .png and .bmp"))) << tga.Err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("c.tga"))));
}

} // namespace

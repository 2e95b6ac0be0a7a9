// A real size only moves the sliders (and a book's turns its pages on): the
// picture is byte for byte the one the same slider positions draw.
#include "cli/CliRunner.h"
#include "support/TempFiles.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(SizeOptionsRender, TheSamePictureAsTheSlidersItSets)
{
    QTemporaryDir dir;
    int n = 0;
    const auto render = [&](const QStringList& more) {
        const QString name = dir.filePath(QStringLiteral("%1.png").arg(n++));
        const CliResult r = RunCubiform(QStringList{QStringLiteral("render"), QStringLiteral("--size"),
                                                    QStringLiteral("96x96"), QStringLiteral("-o"), name} + more);
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        return TempFiles::Read(name);
    };
    struct Case {
        QStringList Sized, Sliders;
    } const cases[] = {
        {{"--box-size", "151.4x228.2x21.8mm"}, {"--width", "54", "--height", "57", "--thickness", "18"}},
        {{"--form", "Soft cover book", "--trim", "6x9in", "--pages", "320", "--paper", "cream"},
         {"--form", "Soft cover book", "--width", "49", "--height", "53", "--thickness", "50", "--book-pages"}},
    };
    for (const Case& c : cases) {
        const QByteArray sized = render(c.Sized);
        EXPECT_FALSE(sized.isEmpty());
        EXPECT_EQ(sized, render(c.Sliders)) << c.Sized.join(' ').toStdString();
    }
}

} // namespace

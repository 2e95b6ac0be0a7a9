// Errors that say what is wrong: the one line and a pointer to --help, each
// command's own help, mistyped commands, and the real cause where a reader's
// classic text alone would mislead.
#include "support/CliErrors.h"
#include "cli/CliRunner.h"
#include "cli/CommandHelp.h"
#include "engine/RenderOptions.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace {

const QString TryLine = QStringLiteral("Try 'cubiform --help'.\n");

struct CommandErrors : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};


TEST_F(CommandErrors, WrongUseIsOneLineAndAPointerToHelp)
{
    for (const QStringList& args :
         {QStringList{"render", "--frnot", "a.bmp", "-o", "x.png"}, QStringList{"info"}, QStringList{"--rendr"},
          QStringList{"batch"}, QStringList{"turntable", "-o", "spin.png"}}) {
        const CliResult r = RunCubiform(args);
        EXPECT_EQ(r.Status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.Err.count(QLatin1Char('\n')), 2) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.startsWith("cubiform: ")) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.endsWith(TryLine)) << r.Err.toStdString();
    }
    // Bad input stays one line, with no pointer to the help.
    const CliResult r = RunCubiform({"info", Path("none.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.count(QLatin1Char('\n')), 1) << r.Err.toStdString();
}

TEST_F(CommandErrors, EachCommandHasItsOwnHelp)
{
    const struct {
        const char* command;
        const char* has;
        const char* hasNot;
    } cases[] = {
        {"render", "--shadow [S]", "--shard K/N"},
        {"turntable", "--fps F", "--shard K/N"},
        {"batch", "--shard K/N", "--shadow [S]"},
        {"info", "cubiform info PROJECT.pcf", "--shadow [S]"},
    };
    for (const auto& c : cases)
        for (const char* help : {"--help", "-h"}) {
            // Also after other arguments: "render box.pcf --help".
            for (const QStringList& args : {QStringList{c.command, help}, QStringList{c.command, "x.pcf", help}}) {
                const CliResult r = RunCubiform(args);
                EXPECT_EQ(r.Status, 0) << args.join(' ').toStdString() << r.Err.toStdString();
                EXPECT_TRUE(r.Err.isEmpty());
                EXPECT_TRUE(r.Out.startsWith("Usage:\n  cubiform " + QString::fromUtf8(c.command)))
                    << r.Out.toStdString();
                EXPECT_TRUE(r.Out.contains(QString::fromUtf8(c.has))) << c.command;
                EXPECT_FALSE(r.Out.contains(QString::fromUtf8(c.hasNot))) << c.command;
            }
        }
    // Every line of a command's help is a line of the whole usage: one text, not two.
    for (const QString& command : CommandNames())
        for (const QString& line : CommandHelp(command).split(QLatin1Char('\n')))
            EXPECT_TRUE(UsageText().contains(line)) << line.toStdString();
}

TEST_F(CommandErrors, AMistypedCommandIsNamedWithoutTheWindow)
{
    CliResult r = RunCubiform({"rendr", "x.pcf", "-o", "a.png"}, dir.path());
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "cubiform: unknown command \"rendr\" (did you mean \"render\"?)\n" + TryLine);
    r = RunCubiform({"trntable"}, dir.path());
    EXPECT_EQ(r.Err, "cubiform: unknown command \"trntable\" (did you mean \"turntable\"?)\n" + TryLine);
    r = RunCubiform({"frobnicate"}, dir.path());
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "cubiform: unknown command \"frobnicate\"\n" + TryLine);

    // A file that is there, or a name that plainly is a project's, still
    // goes to the window (which needs a display here, and says so).
    Write(QStringLiteral("rendr"), EncodeProject(ProjectData{}));
    for (const QString& window : {QStringLiteral("rendr"), QStringLiteral("missing.pcf"), QStringLiteral("sub/box")}) {
        r = RunCubiform({window}, dir.path());
        EXPECT_EQ(r.Status, 1) << window.toStdString();
        EXPECT_TRUE(r.Err.contains("no display")) << r.Err.toStdString();
    }
}

TEST_F(CommandErrors, APictureGivenAsTheProjectIsCalledOne)
{
    QImage picture(4, 4, QImage::Format_RGB888);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(Path("cover.jpg"), "PNG")); // the content counts, not the name
    const CliResult r = RunCubiform({"render", Path("cover.jpg"), "-o", Path("x.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: a PNG picture, not a project; to put it on the box, use --front "
                                    "%1\n")
                         .arg(Path("cover.jpg")));
    EXPECT_FALSE(QFile::exists(Path("x.png")));
}

TEST_F(CommandErrors, AProjectCutShortIsSaidToBe)
{
    const QByteArray good = EncodeProject(ProjectData{});
    Write(QStringLiteral("cut.pcf"), good.left(good.size() / 2));
    Write(QStringLiteral("empty.pcf"), QByteArray());
    CliResult r = RunCubiform({"info", Path("cut.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: the project is cut short (Stream read error)\n").arg(Path("cut.pcf")));
    r = RunCubiform({"info", Path("empty.pcf")});
    EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: the project file is empty (Stream read error)\n").arg(Path("empty.pcf")));
}

TEST_F(CommandErrors, ALooksValueThatIsNoWholeNumberIsCalledThat)
{
    for (const QStringList& args : {QStringList{"--shadow", "abc", "-o", "x.png"},
                                    QStringList{"p.pcf", "--light", "50.5", "-o", "x.png"},
                                    QStringList{"--reflection", ".5", "-o", "x.png"}, QStringList{"--shadow=abc", "-o", "x.png"}}) {
        const auto [status, text] = ParseFailure(args);
        EXPECT_EQ(status, ExitBadInput) << args.join(' ').toStdString();
        EXPECT_TRUE(text.endsWith(": not a whole number 0..100")) << text.toStdString();
    }
    EXPECT_EQ(ParseFailure({"--shadow", "abc", "-o", "x.png"}).second, "--shadow \"abc\": not a whole number 0..100");

    // A file that is there, or a project's name, follows a bare look.
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    Write(QStringLiteral("box"), EncodeProject(ProjectData{}));
    const RenderOptions there = ParseRenderArguments({"--shadow", "box", "-o", "x.png"});
    const RenderOptions named = ParseRenderArguments({"--light", "gone.pcf", "-o", "x.png"});
    QDir::setCurrent(current);
    EXPECT_EQ(there.Project, "box");
    EXPECT_EQ(there.Looks.Shadow, 60);
    EXPECT_EQ(named.Project, "gone.pcf");
    EXPECT_EQ(named.Looks.Light, 50);

    // The command line agrees: the value is named, not taken for a project.
    const CliResult r = RunCubiform({"render", "--shadow", "abc", "-o", Path("x.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "cubiform: --shadow \"abc\": not a whole number 0..100\n");
}

TEST_F(CommandErrors, AnAbsurdlyLongPathIsTooLongAndShownShort)
{
    const QString longPath = dir.path() + QLatin1Char('/') + QString(100000, QLatin1Char('a')) + QStringLiteral(".pcf");
    const auto [status, text] = ParseFailure({longPath, "-o", "x.png"});
    EXPECT_EQ(status, ExitBadInput);
    EXPECT_LT(text.size(), 200);
    EXPECT_TRUE(text.contains(QStringLiteral("the path is too long (%1 characters)").arg(longPath.size())))
        << text.toStdString();
    EXPECT_TRUE(text.startsWith(longPath.left(60) + QChar(0x2026) + longPath.right(20))) << text.toStdString();

    // In a project a cover's path may be any length: refused as too long, shown short.
    ProjectData data;
    data.FrontBack = QString(5 << 20, QLatin1Char('c')) + QStringLiteral(".jpg");
    Write(QStringLiteral("p.pcf"), EncodeProject(data));
    const CliResult r = RunCubiform({"render", Path("p.pcf"), "--save-project", Path("o.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_LT(r.Err.size(), 300);
    EXPECT_TRUE(r.Err.contains("the path is too long")) << r.Err.left(300).toStdString();
    // Only a name beyond the system's limits is too long.
    EXPECT_EQ(ParseFailure({QString(200, QLatin1Char('b')) + ".pcf", "-o", "x.png"}).first, 0);
}

TEST_F(CommandErrors, MistakesAreToldInTheirOwnWords)
{
    Write(QStringLiteral("empty.jpg"), QByteArray());
    Write(QStringLiteral("header.csv"), "front,output\r\n\r\n");
    const struct {
        QStringList args;
        int status;
        QString said; // the first line, after "cubiform: "
    } cases[] = {
        // An empty cover is named as one, not by a decoder's complaint.
        {{"render", "--front", "empty.jpg", "-o", "x.png"}, 1, Path("empty.jpg") + ": empty file"},
        // A size is quoted whole: "0" alone would not say which side.
        {{"render", "--size", "0x0", "-o", "x.png"}, 1, "--size \"0x0\": out of range 1..16384 for each side"},
        {{"render", "--size", "20x99999", "-o", "x.png"}, 1,
         "--size \"20x99999\": out of range 1..16384 for each side"},
        // One option given twice: which one was meant?
        {{"render", "--size", "100x100", "--size", "200x200", "-o", "x.png"}, 2, "--size is given twice"},
        {{"render", "-o", "a.png", "-o", "b.png"}, 2, "-o is given twice"},
        {{"render", "--output=a.png", "-o", "b.png"}, 2, "-o is given twice"},
        {{"render", "--shadow", "-o", "a.png", "--shadow=20"}, 2, "--shadow is given twice"},
        {{"turntable", "--frames", "3", "--frames", "4", "-o", "s.gif"}, 2, "--frames is given twice"},
        {{"turntable", "-o", "s.gif", "--output", "t.gif"}, 2, "--output is given twice"},
        {{"turntable", "--width", "30", "--width", "40", "-o", "s.gif"}, 2, "--width is given twice"},
        {{"batch", "--report", "a.csv", "--report", "b.csv", "header.csv"}, 2, "--report is given twice"},
        {{"batch", "-j", "2", "-j", "3", "header.csv"}, 2, "-j is given twice"},
        {{"batch", "--jobs=2", "-j3", "header.csv"}, 2, "-j is given twice"},
        {{"serve", "--port", "0", "--port", "0"}, 2, "--port is given twice"},
        // A header alone is as empty as a JSON lines manifest with no line.
        {{"batch", "header.csv"}, 1, "header.csv: the manifest is empty (it has no rows)"},
        // A render option without its command is wrong use, not a project for the window.
        {{"-o", "a.png"}, 2, "-o needs a command: cubiform render ... -o a.png"},
        {{"--size=40x30", "box.pcf"}, 2, "--size needs a command: cubiform render ... --size=40x30"},
        {{"--transparent"}, 2, "--transparent needs a command: cubiform render ... --transparent"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCubiform(c.args, dir.path());
        EXPECT_EQ(r.Status, c.status) << c.args.join(' ').toStdString() << "\n" << r.Err.toStdString();
        EXPECT_EQ(r.Err.section(QLatin1Char('\n'), 0, 0).toStdString(), ("cubiform: " + c.said).toStdString());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"empty.jpg", "header.csv"}));

    // The toolkit's own options and a project still go to the window (which
    // needs a display here, and says so).
    for (const QStringList& window : {QStringList{"-style", "fusion"}, QStringList{"-geometry", "100x100", "box.pcf"}}) {
        const CliResult r = RunCubiform(window, dir.path());
        EXPECT_EQ(r.Status, 1) << window.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains("no display")) << r.Err.toStdString();
    }
}

} // namespace

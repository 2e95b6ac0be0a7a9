// The manual's command-line examples, run as written on the demo project and
// its covers under the names the manual uses: each must succeed and leave a
// picture that can be read.
#include "cli/CliRunner.h"
#include "render/CoverImage.h"
#include "support/JpegBytes.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

QString Text(const char* path)
{
    QFile file(QString::fromUtf8(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return QString::fromUtf8(file.readAll());
}

QString Manual()
{
    return Text(CUBIFORM_MANUAL);
}

// The manual's "Command line" section, up to the next top-level heading.
QString CommandLineSection(const QString& manual)
{
    const qsizetype start = manual.indexOf(QStringLiteral("\n## Command line\n"));
    const qsizetype end = manual.indexOf(QStringLiteral("\n## "), start + 1);
    EXPECT_GE(start, 0);
    return manual.mid(start, end - start);
}

// The "cubiform ..." lines of a text's sh blocks.
QStringList ShellLines(const QString& text)
{
    QStringList lines;
    bool inBlock = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("```")))
            inBlock = !inBlock && line == QLatin1String("```sh");
        else if (inBlock && line.startsWith(QLatin1String("cubiform ")))
            lines << line;
    }
    return lines;
}

// Words as the shell splits them: quotes group, "#" outside them starts a comment.
QStringList ShellWords(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (const QChar c : line) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else if (c == QLatin1Char('#') && !inWord) {
            break;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

// Every "cubiform ..." line of the command-line section's sh blocks (the
// turntable's among them) and the one-line turntable example in its text.
std::vector<QStringList> Examples()
{
    const QString section = CommandLineSection(Manual());
    QStringList lines = ShellLines(section);
    static const QRegularExpression inText(QStringLiteral("`(cubiform turntable [^`]*)`"));
    for (auto it = inText.globalMatch(section); it.hasNext();)
        lines << it.next().captured(1);
    std::vector<QStringList> examples;
    for (const QString& line : lines)
        examples.push_back(ShellWords(line).mid(1));
    return examples;
}

// The picture an example writes: after -o, else its --save-project, else its model.
QString OutputOf(const QStringList& args)
{
    for (const char* option : {"-o", "--save-project", "--export-model"})
        if (const qsizetype at = args.indexOf(QString::fromUtf8(option)); at >= 0 && at + 1 < args.size())
            return QString(args[at + 1]).replace(QStringLiteral("%03d"), QStringLiteral("000")); // a first frame
    return {};
}

struct ManualExamples : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    void SetUp() override
    {
        const QFileInfo demo(QStringLiteral(CUBIFORM_DEMO_PROJECT));
        ASSERT_TRUE(demo.isFile()) << "build the demo target first";
        // The bundle examples' projects are the demo too.
        for (const char* name : {"box.pcf", "cd.pcf", "book.pcf", "a.pcf", "b.pcf", "c.pcf"})
            ASSERT_TRUE(QFile::copy(demo.filePath(), Path(name)));
        const QString front = demo.dir().filePath(QStringLiteral("front.jpg"));
        ASSERT_TRUE(QFile::copy(front, Path("cover.jpg")));
        QImage cover;
        ASSERT_TRUE(ReadImageToBitmap(front, cover));
        ASSERT_TRUE(cover.save(Path("cover.png"), "PNG"));
    }
};

TEST_F(ManualExamples, EveryCommandLineExampleWorksAsWritten)
{
    const std::vector<QStringList> examples = Examples();
    ASSERT_GE(examples.size(), 13u); // eight in the first block, two looks, three turntables
    for (const QStringList& args : examples) {
        const std::string shown = args.join(' ').toStdString();
        const CliResult r = RunCubiform(args, dir.path());
        EXPECT_EQ(r.Status, 0) << shown << "\n" << r.Err.toStdString();
        const QString output = OutputOf(args);
        if (output.isEmpty()) {
            EXPECT_FALSE(r.Out.isEmpty()) << shown; // info and --help print
            continue;
        }
        const QString written = dir.filePath(output);
        ASSERT_TRUE(QFile::exists(written)) << shown;
        if (output.endsWith(QLatin1String(".pcf")) || output.endsWith(QLatin1String(".mp4")))
            continue; // a video is probed where turntables are tested
        if (output.endsWith(QLatin1String(".glb"))) {
            QFile model(written);
            ASSERT_TRUE(model.open(QIODevice::ReadOnly)) << shown;
            EXPECT_EQ(model.read(4), QByteArray("glTF")) << shown;
            continue;
        }
        // Read back with the program's own readers.
        QImage picture;
        EXPECT_TRUE(ReadImageToBitmap(written, picture)) << shown;
        EXPECT_FALSE(picture.isNull()) << shown;
    }
}

TEST_F(ManualExamples, TheCdExampleShowsTheCoverOnItsLargeFace)
{
    std::vector<QStringList> cd;
    for (const QStringList& args : Examples())
        if (args.contains(QStringLiteral("CD jewel box")))
            cd.push_back(args);
    ASSERT_EQ(cd.size(), 1u);
    // A cover of one strong colour in place of the demo's artwork.
    std::vector<std::uint8_t> green(64 * 64 * 3);
    for (std::size_t i = 0; i < green.size(); i += 3)
        green[i + 1] = 255;
    QFile cover(Path("cover.jpg"));
    ASSERT_TRUE(cover.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cover.write(EncodeJpeg(green.data(), 64, 64, TJPF_RGB, TJSAMP_444, 95));
    cover.close();

    const CliResult r = RunCubiform(cd.front(), dir.path());
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QImage picture;
    ASSERT_TRUE(ReadImageToBitmap(dir.filePath(OutputOf(cd.front())), picture));
    const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_GT(centre.green(), 150) << centre.name().toStdString();
    EXPECT_LT(centre.red(), 90) << centre.name().toStdString();
    EXPECT_LT(centre.blue(), 90) << centre.name().toStdString();
}

// The README's tour of the commands shows one line per command; each is one
// of the manual's examples, word for word, so it is run or shown there.
TEST(ReadmeTour, EveryLineIsOneOfTheManualsExamples)
{
    const QStringList tour = ShellLines(Text(CUBIFORM_README));
    ASSERT_EQ(tour.size(), 5);
    std::vector<QStringList> manual;
    for (const QString& line : ShellLines(Manual()))
        manual.push_back(ShellWords(line));
    for (const QString& line : tour)
        EXPECT_NE(std::find(manual.begin(), manual.end(), ShellWords(line)), manual.end()) << line.toStdString();
}

} // namespace

// Outputs that never replace inputs, resumes that notice what changed, and
// leftovers of killed runs cleared whatever their process numbers: render,
// turntable and batch run as a script runs them.
#include "cli/CliRunner.h"
#include "formats/PictureWriter.h"
#include "support/TempFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <map>

namespace {

class OutputSafety : public TempFiles {
public:
    QString Cover(const QString& name, QRgb colour)
    {
        QImage image(48, 48, QImage::Format_RGBA8888);
        image.fill(colour);
        const QString path = Path(name);
        Write(path, name.endsWith(QLatin1String(".png")) ? EncodePng(RgbaRows::Of(image), false, 6, path)
                                                         : EncodeJpeg(RgbaRows::Of(image), 90, path));
        return path;
    }
    CliResult Run(const QString& command, const QStringList& args)
    {
        return RunCubiform(QStringList{command} + args, dir.path());
    }
    // Line number -> "ok", "skipped (up to date)" or "failed: ...".
    static std::map<int, QString> Rows(const QString& err)
    {
        static const QRegularExpression pattern(QStringLiteral("^line (\\d+): (?:.*?: )?(ok|skipped.*|failed: .*)$"),
                                                QRegularExpression::MultilineOption);
        std::map<int, QString> rows;
        for (auto it = pattern.globalMatch(err); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            rows[m.captured(1).toInt()] = m.captured(2);
        }
        return rows;
    }
    static void SetTime(const QString& path, const QDateTime& time)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
};

// One line on standard error, naming both files, and exit status 1.
void ExpectRefused(const CliResult& r, const QString& output, const QString& input)
{
    EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
    EXPECT_EQ(r.Err.count(QLatin1Char('\n')), 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(output) && r.Err.contains(input)) << r.Err.toStdString();
}

TEST_F(OutputSafety, RenderAndTurntableNeverWriteOverTheirInputs)
{
    const QString v = Cover(QStringLiteral("v.jpg"), qRgb(200, 40, 40));
    const QByteArray artwork = Read(v);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(QFile::link(v, Path(QStringLiteral("link.jpg"))));
    for (const char* output : {"v.jpg", "./sub/../v.jpg", "link.jpg", "sub/../link.jpg"}) {
        SCOPED_TRACE(output);
        ExpectRefused(Run(QStringLiteral("render"), {QStringLiteral("--front"), QStringLiteral("v.jpg"), QStringLiteral("-o"),
                                                     QLatin1String(output)}),
                      QLatin1String(output), QStringLiteral("front cover"));
    }
    // A project's own cover, and the project itself.
    ASSERT_EQ(Run(QStringLiteral("render"), {QStringLiteral("--top"), QStringLiteral("v.jpg"), QStringLiteral("--save-project"),
                                             QStringLiteral("box.pcf")})
                  .Status,
              0);
    const QByteArray project = Read(Path(QStringLiteral("box.pcf")));
    ExpectRefused(Run(QStringLiteral("render"), {QStringLiteral("box.pcf"), QStringLiteral("-o"), QStringLiteral("sub/../v.jpg")}),
                  QStringLiteral("sub/../v.jpg"), QStringLiteral("top cover"));
    ExpectRefused(Run(QStringLiteral("render"), {QStringLiteral("box.pcf"), QStringLiteral("--eye"), QStringLiteral("20"),
                                                 QStringLiteral("--save-project"), QStringLiteral("./box.pcf")}),
                  QStringLiteral("./box.pcf"), QStringLiteral("project"));
    // Numbered frames (frame 1 is the cover) and a GIF that is a link to it.
    const QString frame = Cover(QStringLiteral("f-001.png"), qRgb(20, 90, 200));
    const QByteArray frameBytes = Read(frame);
    ExpectRefused(Run(QStringLiteral("turntable"), {QStringLiteral("--front"), QStringLiteral("f-001.png"), QStringLiteral("--frames"),
                                                    QStringLiteral("3"), QStringLiteral("-o"), QStringLiteral("f-%03d.png")}),
                  QStringLiteral("f-001.png"), QStringLiteral("front cover"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("f-000.png"))));
    ASSERT_TRUE(QFile::link(v, Path(QStringLiteral("spin.gif"))));
    ExpectRefused(Run(QStringLiteral("turntable"), {QStringLiteral("box.pcf"), QStringLiteral("--frames"), QStringLiteral("2"),
                                                    QStringLiteral("-o"), QStringLiteral("spin.gif")}),
                  QStringLiteral("spin.gif"), QStringLiteral("top cover"));

    EXPECT_EQ(Read(v), artwork);
    EXPECT_EQ(Read(frame), frameBytes);
    EXPECT_EQ(Read(Path(QStringLiteral("box.pcf"))), project);
    EXPECT_EQ(Run(QStringLiteral("render"), {QStringLiteral("box.pcf"), QStringLiteral("-o"), QStringLiteral("shot.png")}).Status, 0);
}

TEST_F(OutputSafety, ABatchRowOverItsOwnCoverFailsAndOneOverAnotherRowsInputStopsTheManifest)
{
    const QString v = Cover(QStringLiteral("v.jpg"), qRgb(200, 40, 40));
    Cover(QStringLiteral("w.jpg"), qRgb(40, 200, 40));
    const QByteArray artwork = Read(v);
    Write(Path(QStringLiteral("own.csv")), "front,output,size\nv.jpg,v.jpg,64x64\nw.jpg,out/w.png,64x64\n");
    CliResult r = Run(QStringLiteral("batch"), {QStringLiteral("own.csv"), QStringLiteral("-j1")});
    EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
    std::map<int, QString> rows = Rows(r.Err);
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("failed: ")) && rows[2].contains(QStringLiteral("is the front cover")))
        << r.Err.toStdString();
    EXPECT_EQ(rows[3], QStringLiteral("ok"));
    EXPECT_EQ(Read(v), artwork);

    // Line 3 draws what line 2 reads, once as a cover, once through the
    // template's cover: refused before anything is drawn, with any workers.
    ASSERT_EQ(Run(QStringLiteral("render"), {QStringLiteral("--side"), QStringLiteral("v.jpg"), QStringLiteral("--save-project"),
                                             QStringLiteral("box.pcf")})
                  .Status,
              0);
    for (const QByteArray& manifest : {QByteArray("front,output\nout/made.png,out/a.png\nw.jpg,out/./made.png\n"),
                                       QByteArray("project,output\nbox.pcf,out/b.png\n,v.jpg\n")}) {
        for (const char* jobs : {"1", "2"}) {
            QDir(Path(QStringLiteral("out"))).removeRecursively();
            Write(Path(QStringLiteral("m.csv")), manifest);
            r = Run(QStringLiteral("batch"), {QStringLiteral("m.csv"), QStringLiteral("-j"), QLatin1String(jobs)});
            EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
            EXPECT_TRUE(r.Err.contains(QStringLiteral("line 3 writes")) && r.Err.contains(QStringLiteral("line 2 reads")))
                << r.Err.toStdString();
            EXPECT_TRUE(Rows(r.Err).empty()) << r.Err.toStdString();
            EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("out"))));
        }
    }
    EXPECT_EQ(Read(v), artwork);
    // Nor may the report replace the manifest.
    ExpectRefused(Run(QStringLiteral("batch"), {QStringLiteral("own.csv"), QStringLiteral("--report"), QStringLiteral("./own.csv")}),
                  QStringLiteral("./own.csv"), QStringLiteral("manifest"));
}

TEST_F(OutputSafety, EveryFaceRefusesAnOutputThatIsAnInputOrAnotherOutputBeforeAnyWork)
{
    Cover(QStringLiteral("v.jpg"), qRgb(200, 40, 40));
    ASSERT_EQ(Run(QStringLiteral("render"), {QStringLiteral("--top"), QStringLiteral("v.jpg"), QStringLiteral("--save-project"),
                                             QStringLiteral("box.pcf")})
                  .Status,
              0);
    Write(Path(QStringLiteral("m.csv")), "project,front,size,output\nbox.pcf,v.jpg,32x32,out/1.png\n");
    Write(Path(QStringLiteral("m.png")), "front,size,output\nv.jpg,32x32,m.png\n"); // a manifest by its content
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("reports/failed.csv")));
    const QStringList kept{QStringLiteral("v.jpg"), QStringLiteral("box.pcf"), QStringLiteral("m.csv"), QStringLiteral("m.png")};
    std::map<QString, QByteArray> before;
    for (const QString& name : kept)
        before[name] = Read(Path(name));

    struct Case {
        QStringList args;
        QString said;
    };
    const auto words = [](const char* line) { return QString::fromLatin1(line).split(QLatin1Char(' ')); };
    const Case cases[] = {
        {words("batch m.csv --report v.jpg"), QStringLiteral("v.jpg: is the front cover ")},
        {words("batch m.csv --report ./box.pcf"), QStringLiteral("./box.pcf: is the project ")},
        {words("batch m.csv --report out/../out/1.png"), QStringLiteral("the report and line 2's picture")},
        {words("batch m.csv --report reports/failed.csv"), QStringLiteral("reports/failed.csv: is a folder")},
        {words("batch m.png"), QStringLiteral("m.png, which is the manifest m.png")},
        {words("render box.pcf -o out.png --save-project out.png"), QStringLiteral("out.png: the project and the picture ")},
        {words("render box.pcf --save-project m.glb --export-model ./m.glb"), QStringLiteral("the model and the project ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CliResult r = RunCubiform(c.args, dir.path());
        EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.said)) << r.Err.toStdString();
        EXPECT_TRUE(Rows(r.Err).empty()) << r.Err.toStdString();
        for (const QString& name : kept)
            EXPECT_EQ(Read(Path(name)), before[name]) << name.toStdString();
        for (const char* made : {"out", "out.png", "m.glb"})
            EXPECT_FALSE(QFileInfo::exists(Path(QLatin1String(made)))) << made;
    }
}

TEST_F(OutputSafety, BatchRowsNameFilesAsTheSystemResolvesThem)
{
    Cover(QStringLiteral("v.jpg"), qRgb(200, 40, 40));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("shots")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("deep/er")));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("shots")), Path(QStringLiteral("alias"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("deep/er")), Path(QStringLiteral("L"))));
    // Line 3 is line 2's picture through a link; "L/.." is the parent of
    // where L leads, as for render and the shell.
    Write(Path(QStringLiteral("m.csv")), "front,size,output\nv.jpg,32x32,shots/x.png\nv.jpg,32x32,alias/x.png\n"
                                         "v.jpg,32x32,L/../z.png\n");
    for (int run = 0; run < 2; ++run) {
        const CliResult r = Run(QStringLiteral("batch"), {QStringLiteral("m.csv"), QStringLiteral("--skip-existing")});
        EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
        std::map<int, QString> rows = Rows(r.Err);
        EXPECT_EQ(rows[2], run == 0 ? QStringLiteral("ok") : QStringLiteral("skipped (up to date)")) << r.Err.toStdString();
        EXPECT_EQ(rows[3], QStringLiteral("failed: the same output as line 2")) << r.Err.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("deep/z.png"))));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("z.png"))));
}

TEST_F(OutputSafety, SkipExistingRedrawsARowWhenAnythingThatMakesItChanged)
{
    Cover(QStringLiteral("a.jpg"), qRgb(200, 40, 40));
    Cover(QStringLiteral("b.jpg"), qRgb(40, 40, 200));
    ASSERT_EQ(Run(QStringLiteral("render"), {QStringLiteral("--save-project"), QStringLiteral("box.pcf")}).Status, 0);
    const auto manifest = [&](const char* size) {
        Write(Path(QStringLiteral("m.csv")), QStringLiteral("project,front,size,output\n"
                                                            "box.pcf,a.jpg,64x64,out/1.png\n"
                                                            ",b.jpg,%1,out/2.png\n"
                                                            ",a.jpg,64x64,out/3.png\n")
                                                 .arg(QLatin1String(size))
                                                 .toUtf8());
    };
    const auto resume = [&] {
        const CliResult r = Run(QStringLiteral("batch"), {QStringLiteral("m.csv"), QStringLiteral("--skip-existing")});
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        QString done;
        for (const auto& [line, what] : Rows(r.Err))
            done += what == QLatin1String("ok") ? QLatin1Char('d') : QLatin1Char('s');
        return done;
    };
    manifest("64x64");
    EXPECT_EQ(resume(), QStringLiteral("ddd"));
    EXPECT_EQ(resume(), QStringLiteral("sss"));
    manifest("80x64"); // the row's options
    EXPECT_EQ(resume(), QStringLiteral("sds"));
    EXPECT_EQ(QImage(Path(QStringLiteral("out/2.png"))).size(), QSize(80, 64));
    // The project's content (the same path, a later time would be caught anyway).
    const QDateTime projectTime = QFileInfo(Path(QStringLiteral("box.pcf"))).lastModified();
    ASSERT_EQ(Run(QStringLiteral("render"), {QStringLiteral("box.pcf"), QStringLiteral("--eye"), QStringLiteral("30"),
                                             QStringLiteral("--save-project"), QStringLiteral("box2.pcf")})
                  .Status,
              0);
    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("box.pcf"))));
    ASSERT_TRUE(QFile::rename(Path(QStringLiteral("box2.pcf")), Path(QStringLiteral("box.pcf"))));
    SetTime(Path(QStringLiteral("box.pcf")), projectTime);
    EXPECT_EQ(resume(), QStringLiteral("dss"));
    // A cover's content under its old time, then its time alone.
    const QDateTime coverTime = QFileInfo(Path(QStringLiteral("b.jpg"))).lastModified();
    Cover(QStringLiteral("b.jpg"), qRgb(40, 200, 200));
    SetTime(Path(QStringLiteral("b.jpg")), coverTime);
    EXPECT_EQ(resume(), QStringLiteral("sds"));
    SetTime(Path(QStringLiteral("a.jpg")), coverTime.addSecs(-3600)); // older, not newer
    EXPECT_EQ(resume(), QStringLiteral("dsd"));
    // A damaged record: everything is drawn again, and nothing fails.
    Write(Path(QStringLiteral("out/.cubiform-batch.json")), "{\"pictures\": {\"1.png\": ");
    EXPECT_EQ(resume(), QStringLiteral("ddd"));
    EXPECT_EQ(resume(), QStringLiteral("sss"));
}

TEST_F(OutputSafety, LeftoversOfKilledRunsGoWhateverTheirProcessNumbers)
{
    // Process 1 always runs (and in a container every batch may be number 1).
    Cover(QStringLiteral("a.jpg"), qRgb(200, 40, 40));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    Write(Path(QStringLiteral("out/.1.png.1-0.part")), "half a picture");
    Write(Path(QStringLiteral("out/..cubiform-batch.json.1-3.part")), "half a record");
    Write(Path(QStringLiteral("m.csv")), "front,size,output\na.jpg,48x48,out/1.png\n");
    CliResult r = Run(QStringLiteral("batch"), {QStringLiteral("m.csv")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("removed 2 temporary file(s)"))) << r.Err.toStdString();
    EXPECT_EQ(QDir(Path(QStringLiteral("out"))).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());

    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("frames/.turntable-1-aB3xYz")));
    Write(Path(QStringLiteral("frames/.turntable-1-aB3xYz/.lock")), "");
    Write(Path(QStringLiteral("frames/.turntable-1-aB3xYz/spin-000.png")), "a frame");
    r = Run(QStringLiteral("turntable"), {QStringLiteral("--front"), QStringLiteral("a.jpg"), QStringLiteral("--size"),
                                          QStringLiteral("32x32"), QStringLiteral("--frames"), QStringLiteral("2"),
                                          QStringLiteral("-o"), QStringLiteral("frames/spin-%03d.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(QDir(Path(QStringLiteral("frames"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("spin-000.png"), QStringLiteral("spin-001.png")}));
}

TEST_F(OutputSafety, TheReportsFolderIsMadeAsThePicturesAre)
{
    Cover(QStringLiteral("a.jpg"), qRgb(200, 40, 40));
    Write(Path(QStringLiteral("m.csv")), "front,size,output\na.jpg,48x48,out/1.png\nmissing.jpg,48x48,out/2.png\n");
    const CliResult r = Run(QStringLiteral("batch"), {QStringLiteral("m.csv"), QStringLiteral("--report"),
                                                      QStringLiteral("reports/shard-1/failed.csv")});
    EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
    const QByteArray report = Read(Path(QStringLiteral("reports/shard-1/failed.csv")));
    EXPECT_TRUE(report.startsWith("line,output,reason\r\n3,out/2.png,")) << report.toStdString();
}

} // namespace

// The service's pictures are "cubiform render"'s, byte for byte, and the
// real program stops in order on SIGTERM.
#include "cli/CliRunner.h"
#include "support/ServeHarness.h"
#include "support/TempFiles.h"

#include <QProcess>
#include <QRegularExpression>

#include <future>

namespace {

class ServeRenderTest : public TempFiles {
protected:
    // Each cover as a file for render and as bytes for the service.
    QString SaveCover(const char* name, const std::string& bytes)
    {
        const QString path = Path(QString::fromLatin1(name));
        Write(path, QByteArray::fromStdString(bytes));
        return path;
    }
};

struct Case {
    std::vector<std::pair<std::string, std::string>> Fields;
    const char* Extension;
};

} // namespace

TEST_F(ServeRenderTest, AnswersAreTheBytesRenderWrites)
{
    const std::string front = CoverBytes(PaintedCover(320, 400, QColor(200, 40, 40)), OutputFormat::Jpeg);
    const std::string side = CoverBytes(PaintedCover(80, 400, QColor(40, 160, 40)), OutputFormat::Png);
    const std::string top = CoverBytes(PaintedCover(320, 80, QColor(40, 40, 200)), OutputFormat::Bmp);
    const std::string back = CoverBytes(PaintedCover(320, 400, QColor(230, 200, 40)), OutputFormat::Tga);
    const std::map<std::string, QString> files = {{"front", SaveCover("f.jpg", front)}, {"side", SaveCover("s.png", side)},
                                                  {"top", SaveCover("t.bmp", top)}, {"back", SaveCover("b.tga", back)}};
    const std::map<std::string, std::pair<std::string, std::string>> parts = {
        {"front", {front, "f.jpg"}}, {"side", {side, "s.png"}}, {"top", {top, "t.bmp"}}, {"back", {back, "b.tga"}}};

    const std::vector<Case> cases = {
        {{{"size", "1500x1500"}}, "png"}, // large enough for a PNG compressed in parts
        {{{"width", "70"}, {"shadow", "yes"}, {"light", "40"}, {"format", "jpg"}, {"quality", "90"}}, "jpg"},
        {{{"transparent", "true"}, {"reflection", "50"}, {"size", "500x400"}, {"samples", "4"}}, "png"},
        {{{"format", "bmp"}, {"dpi", "300"}, {"form", "2"}, {"turn", "150"}}, "bmp"},
        {{{"format", "tga"}, {"edge-radius", "12"}, {"side-angle", "200"}, {"size", "1400x1000"}}, "tga"},
    };
    ServeSettings settings;
    settings.Workers = 2;
    ServeHarness serve(settings);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        QStringList arguments{QStringLiteral("render")};
        httplib::MultipartFormDataItems items;
        for (const auto& [slot, file] : files) {
            arguments << QStringLiteral("--") + QString::fromStdString(slot) << file;
            items.push_back(FilePart(slot, parts.at(slot).first, parts.at(slot).second));
        }
        for (const auto& [name, value] : cases[c].Fields) {
            if (name != "format") {
                const QString option = QStringLiteral("--") + QString::fromStdString(name);
                const bool bare = value == "yes" || value == "true";
                arguments << (bare ? option : option + QLatin1Char('=') + QString::fromStdString(value));
            }
            items.push_back(Field(name, value));
        }
        const QString output = Path(QStringLiteral("render-%1.%2").arg(c).arg(QLatin1String(cases[c].Extension)));
        const CliResult rendered = RunCubiform(arguments << QStringLiteral("-o") << output);
        ASSERT_EQ(rendered.Status, 0) << rendered.Err.toStdString();

        const httplib::Result answer = serve.Client(120)->Post("/render", items);
        ASSERT_TRUE(answer) << c;
        ASSERT_EQ(answer->status, 200) << c << answer->body;
        const QByteArray expected = Read(output);
        EXPECT_EQ(answer->body.size(), static_cast<std::size_t>(expected.size())) << c;
        EXPECT_TRUE(answer->body == expected.toStdString()) << "case " << c << " differs from " << output.toStdString();
    }
}

TEST_F(ServeRenderTest, CoversNamedByIdGiveTheBytesOfCoversSentWhole)
{
    const std::string front = CoverBytes(PaintedCover(320, 400, QColor(200, 40, 40)), OutputFormat::Jpeg);
    const std::string back = CoverBytes(PaintedCover(320, 400, QColor(230, 200, 40)), OutputFormat::Tga);
    const QString frontFile = SaveCover("f.jpg", front);
    const QString backFile = SaveCover("b.tga", back);
    ServeSettings settings;
    settings.Workers = 1;
    ServeHarness serve(settings);
    std::string ids[2];
    const std::pair<std::string, std::string> sent[] = {{front, "f.jpg"}, {back, "b.tga"}};
    for (int i = 0; i < 2; ++i) {
        const httplib::Result r = serve.Client()->Post(
            "/covers", httplib::MultipartFormDataItems{FilePart("cover", sent[i].first, sent[i].second)});
        ASSERT_TRUE(r);
        ASSERT_EQ(r->status, 201) << r->body;
        ids[i] = "cover:" + r->body.substr(7, 64);
    }
    const QString output = Path(QStringLiteral("by-id.png"));
    const CliResult rendered = RunCubiform({QStringLiteral("render"), QStringLiteral("--front"), frontFile,
                                            QStringLiteral("--back"), backFile, QStringLiteral("--size=700x500"),
                                            QStringLiteral("--shadow"), QStringLiteral("-o"), output});
    ASSERT_EQ(rendered.Status, 0) << rendered.Err.toStdString();
    const httplib::Result byId = serve.Client(120)->Post(
        "/render", httplib::MultipartFormDataItems{Field("front", ids[0]), Field("back", ids[1]), Field("size", "700x500"),
                                                   Field("shadow", "yes")});
    const httplib::Result whole = serve.Client(120)->Post(
        "/render", httplib::MultipartFormDataItems{FilePart("front", front, "f.jpg"), FilePart("back", back, "b.tga"),
                                                   Field("size", "700x500"), Field("shadow", "yes")});
    for (const httplib::Result* r : {&byId, &whole}) {
        ASSERT_TRUE(*r);
        ASSERT_EQ((*r)->status, 200) << (*r)->body;
        EXPECT_TRUE((*r)->body == Read(output).toStdString());
    }
}

TEST_F(ServeRenderTest, ModelAnswersAreTheBytesExportModelWrites)
{
    // A plain JPEG is embedded as its bytes, a PNG decoded and written anew.
    const std::string front = CoverBytes(PaintedCover(320, 400, QColor(200, 40, 40)), OutputFormat::Jpeg);
    const std::string side = CoverBytes(PaintedCover(80, 400, QColor(40, 160, 40)), OutputFormat::Png);
    const QString frontFile = SaveCover("f.jpg", front);
    const QString sideFile = SaveCover("s.png", side);
    const std::vector<Case> cases = {
        {{{"size", "800x400"}}, "glb"}, // the camera takes the picture's aspect
        {{{"form", "7"}, {"width", "55"}, {"turn", "150"}, {"format", "jpg"}}, "glb"},
        {{{"fit", "true"}, {"edge-radius", "12"}, {"size", "500x700"}}, "glb"}, // a view found by drawing
    };
    ServeSettings settings;
    settings.Workers = 1;
    ServeHarness serve(settings);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        QStringList arguments{QStringLiteral("render"), QStringLiteral("--front"), frontFile, QStringLiteral("--side"), sideFile};
        httplib::MultipartFormDataItems items{FilePart("front", front, "f.jpg"), FilePart("side", side, "s.png")};
        for (const auto& [name, value] : cases[c].Fields) {
            if (name == "fit")
                arguments << QStringLiteral("--fit");
            else if (name != "format")
                arguments << QStringLiteral("--%1=%2").arg(QString::fromStdString(name), QString::fromStdString(value));
            items.push_back(Field(name, value));
        }
        const QString model = Path(QStringLiteral("model-%1.glb").arg(c));
        const CliResult exported = RunCubiform(arguments << QStringLiteral("--export-model") << model);
        ASSERT_EQ(exported.Status, 0) << exported.Err.toStdString();

        const httplib::Result answer = serve.Client(120)->Post("/model", items);
        ASSERT_TRUE(answer) << c;
        ASSERT_EQ(answer->status, 200) << c << answer->body;
        EXPECT_EQ(answer->get_header_value("Content-Type"), "model/gltf-binary");
        EXPECT_TRUE(answer->body == Read(model).toStdString()) << "case " << c << " differs from " << model.toStdString();
    }
    // A damaged cover is refused as /render refuses it, by its slot.
    std::string broken = side;
    broken.resize(broken.size() / 3);
    const httplib::Result refused =
        serve.Client(120)->Post("/model", httplib::MultipartFormDataItems{FilePart("side", broken, "s.png")});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 422) << refused->body;
    EXPECT_NE(refused->body.find("the side cover"), std::string::npos) << refused->body;
}

TEST_F(ServeRenderTest, ADamagedCoverIs422NamedByItsSlotAndTheServiceGoesOn)
{
    std::string png = CoverBytes(PaintedCover(300, 300, Qt::red), OutputFormat::Png);
    png.resize(png.size() / 3);
    ServeSettings settings;
    settings.Workers = 1;
    ServeHarness serve(settings);
    const httplib::Result r = serve.Client(120)->Post("/render", httplib::MultipartFormDataItems{FilePart("side", png)});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 422) << r->body;
    EXPECT_NE(r->body.find("the side cover"), std::string::npos) << r->body;
    EXPECT_EQ(r->body.find("cubiform-serve"), std::string::npos) << r->body; // no private folder named
    const httplib::Result fine = serve.Client(120)->Post("/render", "{\"width\":60}", "application/json");
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->status, 200);
}

TEST(ServeProgramTest, SigtermFinishesTheRequestInFlightAndExitsZero)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.setReadChannel(QProcess::StandardError);
    program.start(QStringLiteral(CUBIFORM_EXE), {QStringLiteral("serve"), QStringLiteral("--port"), QStringLiteral("0"),
                                                 QStringLiteral("--workers"), QStringLiteral("1"),
                                                 QStringLiteral("--stop-after-seconds"), QStringLiteral("90")});
    ASSERT_TRUE(program.waitForStarted(10000));
    QByteArray said;
    int port = 0;
    static const QRegularExpression serving(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/"));
    while (port == 0 && program.waitForReadyRead(30000)) {
        said += program.readAllStandardError();
        const QRegularExpressionMatch m = serving.match(QString::fromLocal8Bit(said));
        if (m.hasMatch())
            port = m.captured(1).toInt();
    }
    ASSERT_GT(port, 0) << said.toStdString();

    auto client = [port] {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
        c->set_read_timeout(120, 0);
        return c;
    };
    // A picture large enough to be drawing when the signal comes.
    std::future<httplib::Result> drawing = std::async(std::launch::async, [&] {
        return client()->Post("/render", R"({"size":"3000x3000","samples":4,"shadow":true,"format":"bmp"})", "application/json");
    });
    bool inFlight = false;
    for (int i = 0; i < 3000 && !inFlight; ++i) {
        const httplib::Result m = client()->Get("/metrics");
        inFlight = m && m->body.find("cubiform_renders_in_progress 1\n") != std::string::npos;
        if (!inFlight)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(inFlight);
    program.terminate(); // SIGTERM
    const httplib::Result r = drawing.get();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->body.substr(0, 2), "BM");
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_FALSE(client()->Get("/healthz")); // no longer listening
}

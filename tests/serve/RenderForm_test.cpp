#include "formats/ProjectFile.h"
#include "serve/CoverBytes.h"
#include "serve/RenderForm.h"
#include "support/ServeHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Part {
    std::string Name, FileName, Type, Content;
};

constexpr std::string_view Multipart = "multipart/form-data; boundary=x";

RenderForm Read(const std::vector<Part>& given, const FormLimits& limits = {})
{
    std::vector<FormPart> parts;
    for (const Part& p : given)
        parts.push_back({p.Name, p.FileName, p.Type, p.Content});
    return ReadRenderForm(Multipart, {}, parts, limits);
}

// The status a request is refused with, or 200.
int Status(const std::vector<Part>& parts, const FormLimits& limits = {})
{
    try {
        Read(parts, limits);
        return 200;
    } catch (const ServeError& e) {
        return e.Status();
    }
}

int JsonStatus(std::string_view body, std::string_view type = "application/json")
{
    try {
        ReadRenderForm(type, body, {}, {});
        return 200;
    } catch (const ServeError& e) {
        return e.Status();
    }
}

Part Cover(const char* slot, OutputFormat format, int w = 40, int h = 30, const char* name = "c.bin")
{
    return {slot, name, "application/octet-stream", CoverBytes(PaintedCover(w, h, Qt::red), format)};
}

// A PNG's signature and header claiming a size, and nothing more.
std::string PngHeader(std::uint32_t w, std::uint32_t h)
{
    std::string b("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (std::uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8)
            b += static_cast<char>((v >> shift) & 0xFF);
    return b + std::string(17, '\0');
}

} // namespace

TEST(RenderFormTest, FieldsAreTheCommandLinesOptions)
{
    const RenderForm form = Read({{"width", "", "", "70"}, {"shadow", "", "", "yes"}, {"light", "", "", "40"},
                                  {"transparent", "", "", "true"}, {"smooth-textures", "", "", "false"},
                                  {"reflection", "", "", "off"}, {"book-pages", "", "", ""}, {"eye", "", "", ""},
                                  {"form", "", "", "2"}, {"size", "", "", "600x400"}});
    EXPECT_EQ(form.Options.Sliders.Width, 70);
    EXPECT_EQ(form.Options.Looks.Shadow, LookLimits::DefaultShadow); // alone: the bare value
    EXPECT_EQ(form.Options.Looks.Light, 40);
    EXPECT_TRUE(form.Options.Transparent);
    EXPECT_FALSE(form.Options.Looks.SmoothTextures);
    EXPECT_EQ(form.Options.Looks.Reflection, 0); // off over the project's, as a manifest's "no"
    EXPECT_FALSE(form.Options.Shape.BookPages);
    EXPECT_FALSE(form.Options.Sliders.Eye); // empty: not given
    EXPECT_EQ(form.Options.Form, 2);
    EXPECT_EQ(form.OutputSize, QSize(600, 400));
    EXPECT_EQ(form.Options.Format, OutputFormat::Png);
    EXPECT_STREQ(form.MimeType, "image/png");
}

TEST(RenderFormTest, OneJsonObjectAsBodyOrPartGivesTheSameOptions)
{
    const std::string json = R"({"width":70,"shadow":true,"reflection":false,"side-angle":12.5,"format":"jpg","quality":90})";
    const RenderForm body = ReadRenderForm("application/json", json, {}, {});
    const RenderForm part = Read({{"options", "", "application/json", json}});
    for (const RenderForm* form : {&body, &part}) {
        EXPECT_EQ(form->Options.Sliders.Width, 70);
        EXPECT_EQ(form->Options.Looks.Shadow, LookLimits::DefaultShadow);
        EXPECT_EQ(form->Options.Looks.Reflection, 0);
        EXPECT_FLOAT_EQ(*form->Options.SideAngle, 12.5f);
        EXPECT_EQ(form->Options.Format, OutputFormat::Jpeg);
        EXPECT_EQ(form->Options.Quality, 90);
        EXPECT_STREQ(form->MimeType, "image/jpeg");
    }
}

TEST(RenderFormTest, MalformedRequestsAndUnknownOptionsAre400)
{
    EXPECT_EQ(Status({{"bogus", "", "", "1"}}), 400);
    // Options that name files or only measure have no place in a request.
    for (const char* pathOption : {"output", "save-project", "export-model", "timings", "o", "-o", "--width"})
        EXPECT_EQ(Status({{pathOption, "", "", "x.png"}}), 400) << pathOption;
    // A cover is its bytes, never a path: a field is read as a picture, a
    // JSON value refused.
    EXPECT_EQ(Status({{"front", "", "", "/etc/passwd"}}), 415);
    EXPECT_EQ(JsonStatus(R"({"front":"/etc/passwd"})"), 400);
    EXPECT_EQ(Status({{"width", "", "", "20"}, {"width", "", "", "30"}}), 400);
    EXPECT_EQ(Status({Cover("front", OutputFormat::Png), Cover("front", OutputFormat::Png)}), 400);
    EXPECT_EQ(Status({{"picture", "a.png", "image/png", "x"}}), 400);
    EXPECT_EQ(JsonStatus("{\"width\":"), 400);
    EXPECT_EQ(JsonStatus("[1,2]"), 400);
    // A key given twice is refused as a field given twice is; nested and
    // escaped names are told apart from the top level's.
    const struct {
        const char* Json;
        int Status;
    } keys[] = {
        {R"({"width":1,"width":2})", 400},
        {R"({"width":1, "w\u0069dth":2})", 400},
        {R"({"width":1,"shadow":true})", 200},
        {R"({"shadow":"yes","light":"40","shadow":"no"})", 400},
        {R"({"width":[1,{"width":2}]})", 422},
        {R"({"form":"CD, \"width\":","width":2})", 422},
    };
    for (const auto& k : keys)
        EXPECT_EQ(JsonStatus(k.Json), k.Status) << k.Json;
}

TEST(RenderFormTest, ValuesOutOfRangeOrMeaninglessAre422)
{
    EXPECT_EQ(Status({{"width", "", "", "500"}}), 422);
    EXPECT_EQ(Status({{"width", "", "", "wide"}}), 422);
    EXPECT_EQ(Status({{"samples", "", "", "3"}}), 422);
    EXPECT_EQ(Status({{"format", "", "", "gif"}}), 422);
    EXPECT_EQ(Status({{"quality", "", "", "90"}}), 422); // a PNG has no quality
    EXPECT_EQ(Status({{"transparent", "", "", "maybe"}}), 422);
    EXPECT_EQ(Status({{"shadow", "", "", "strong"}}), 422);
    EXPECT_EQ(Status({{"format", "", "", "tga"}, {"dpi", "", "", "300"}}), 422);
    EXPECT_EQ(JsonStatus(R"({"width":[1]})"), 422);
    EXPECT_EQ(JsonStatus(R"({"width":true})"), 422);
}

TEST(RenderFormTest, TheOutputIsHeldToItsLimit)
{
    EXPECT_EQ(Status({{"size", "", "", "4096x4096"}}), 200);
    EXPECT_EQ(Status({{"size", "", "", "4097x10"}}), 422);
    EXPECT_EQ(Status({{"size", "", "", "1000x1000"}, {"scale", "", "", "5"}}), 422);
    EXPECT_EQ(Status({{"size", "", "", "600x600"}}, {50'000'000, 500}), 422);
}

TEST(RenderFormTest, OtherBodiesAre415)
{
    EXPECT_EQ(JsonStatus("width=70", "application/x-www-form-urlencoded"), 415);
    EXPECT_EQ(JsonStatus("hello", "text/plain"), 415);
    EXPECT_EQ(JsonStatus("", ""), 200); // nothing at all: the new project's picture
}

TEST(RenderFormTest, CoversAreToldByTheirBytesAndHeldToThePixelLimit)
{
    const RenderForm form = Read({Cover("front", OutputFormat::Jpeg), Cover("top", OutputFormat::Bmp),
                                  Cover("bottom", OutputFormat::Tga, 40, 30, "b.TGA"), Cover("side", OutputFormat::Png)});
    EXPECT_EQ(form.Covers[0]->Kind, PictureKind::Jpeg);
    EXPECT_EQ(form.Covers[1]->Kind, PictureKind::Png);
    EXPECT_EQ(form.Covers[2]->Kind, PictureKind::Bmp);
    EXPECT_FALSE(form.Covers[3] || form.Covers[4]);
    EXPECT_EQ(form.Covers[5]->Kind, PictureKind::Tga);
    EXPECT_FALSE(form.Options.Covers[0]); // no path until the service stores the bytes

    // A Targa has no signature: without its name it is no picture.
    EXPECT_EQ(Status({Cover("front", OutputFormat::Tga)}), 415);
    EXPECT_EQ(Status({{"front", "f.jpg", "image/jpeg", "not a picture"}}), 415);
    EXPECT_EQ(Status({{"front", "f.png", "image/png", PngHeader(20000, 20000)}}), 413);
    EXPECT_EQ(Status({{"front", "f.png", "image/png", PngHeader(7000, 7000)}}), 200);
    EXPECT_EQ(Status({{"front", "f.png", "image/png", PngHeader(7000, 7000)}}, {40'000'000, 4096}), 413);
    EXPECT_EQ(Status({{"front", "f.png", "image/png", PngHeader(0, 10)}}), 422);
    EXPECT_EQ(Status({{"front", "f.png", "image/png", PngHeader(10, 10).substr(0, 20)}}), 422);
    EXPECT_EQ(Status({{"side", "f.jpg", "image/jpeg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)}}), 422);
    // An empty part is said to be one, whatever it was called.
    for (const char* name : {"f.jpg", "f.tga"}) {
        try {
            Read({{"front", name, "", ""}});
            ADD_FAILURE() << name;
        } catch (const ServeError& e) {
            EXPECT_EQ(e.Status(), 422);
            EXPECT_EQ(e.Text(), QStringLiteral("the front cover is an empty file"));
        }
    }
}

TEST(RenderFormTest, CoverHeadersGiveTheSizesTheWritersWrote)
{
    for (OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Bmp, OutputFormat::Tga}) {
        const std::string bytes = CoverBytes(PaintedCover(321, 123, Qt::blue), format);
        const CoverHeader h = ReadCoverHeader(bytes, true);
        EXPECT_TRUE(h.SizeKnown) << int(format);
        EXPECT_EQ(h.Width, 321) << int(format);
        EXPECT_EQ(h.Height, 123) << int(format);
    }
}

TEST(RenderFormTest, AnUploadedProjectMayNameNoFiles)
{
    ProjectData data;
    data.Breed = 80;
    const QByteArray clean = EncodeProject(data);
    const RenderForm form = Read({{"project", "p.pcf", "", clean.toStdString()}, {"height", "", "", "60"}});
    ASSERT_TRUE(form.Project);
    EXPECT_EQ(form.Project->Breed, 80);
    EXPECT_EQ(form.Options.Sliders.Height, 60);

    for (QString ProjectData::*slot : {&ProjectData::FrontBack, &ProjectData::TopBottom, &ProjectData::Back}) {
        ProjectData naming = data;
        naming.*slot = QStringLiteral("/home/someone/secret.jpg");
        EXPECT_EQ(Status({{"project", "p.pcf", "", EncodeProject(naming).toStdString()}}), 422);
    }
    EXPECT_EQ(Status({{"project", "p.pcf", "", clean.left(clean.size() / 2).toStdString()}}), 422);
}

// The workers only rasterise: the ray tracer, asked for or stored, is
// refused rather than quietly drawn another way.
TEST(RenderFormTest, TheRayTracerIsRefusedNotSwappedForTheRaster)
{
    EXPECT_EQ(Status({{"engine", "", "", "raytrace"}}), 422);
    EXPECT_EQ(JsonStatus(R"({"engine":"raytrace","passes":8})"), 422);
    EXPECT_NO_THROW(Read({{"engine", "", "", "raster"}}));
    ProjectData traced;
    traced.Engine.RayTraced = true;
    EXPECT_EQ(Status({{"project", "p.pcf", "", EncodeProject(traced).toStdString()}}), 422);
    traced.Engine.RayTraced = false;
    EXPECT_NO_THROW(Read({{"project", "p.pcf", "", EncodeProject(traced).toStdString()}}));
}

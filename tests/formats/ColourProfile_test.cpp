// Covers with an embedded colour profile are decoded into sRGB: an Adobe RGB
// cover (PNG or JPEG, whole or row by row) reads within 2 levels of the same
// cover converted to sRGB beforehand, a CMYK JPEG with a profile as
// LittleCMS converts it, and a profile that is sRGB keeps the bytes. The
// profile's pieces in a JPEG are joined in order, and incomplete ones ignored.
#include "formats/ColourProfile.h"
#include "formats/JpegCodec.h"
#include "formats/JpegRows.h"
#include "formats/PngCodec.h"
#include "support/TempFiles.h"

#include <QFile>

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <lcms2.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int Block = 8;
// Inside both gamuts, off their edges: near 0 the sRGB curve is so steep that
// JPEG's own rounding alone would move a channel by more than 2.
const std::vector<std::array<std::uint8_t, 3>> Colours = {
    {220, 40, 40}, {40, 180, 60}, {40, 60, 220}, {200, 150, 50}, {30, 60, 90}, {128, 128, 128}, {250, 250, 250}};

std::vector<std::uint8_t> Saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<std::uint8_t> AdobeRgbProfile()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return Saved(profile);
}

std::vector<std::uint8_t> SrgbProfile() { return Saved(cmsCreate_sRGBProfile()); }

// A made-up press profile: CMYK to Lab through a table of the simple ink
// formula on a paper that is not white and a black that is not black, so
// that it reads other than the conversion used without a profile.
int InkToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab)
{
    const double k = in[3] / 65535.0;
    double rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = 0.08 + 0.85 * (1.0 - in[c] / 65535.0) * (1.0 - k);
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

std::vector<std::uint8_t> CmykProfile()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 5, 4, 3, nullptr);
    cmsStageSampleCLut16bit(table, InkToLab, toLab, 0);
    // The A-to-B form wants curves on both sides of the table: none that change anything.
    cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, table);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return Saved(profile);
}

// Colours through a transform from `from` (as `inFormat`) to sRGB, or the reverse.
std::vector<std::uint8_t> Transformed(const std::vector<std::uint8_t>& pixels, const std::vector<std::uint8_t>& from,
                                      cmsUInt32Number inFormat, bool toProfile)
{
    cmsHPROFILE profile = cmsOpenProfileFromMem(from.data(), static_cast<cmsUInt32Number>(from.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = toProfile ? cmsCreateTransform(srgb, TYPE_RGB_8, profile, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                                     cmsFLAGS_BLACKPOINTCOMPENSATION)
                                : cmsCreateTransform(profile, inFormat, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                                     cmsFLAGS_BLACKPOINTCOMPENSATION);
    std::vector<std::uint8_t> out(pixels.size() / (T_CHANNELS(inFormat) + T_EXTRA(inFormat)) * 3);
    cmsDoTransform(t, pixels.data(), out.data(), static_cast<cmsUInt32Number>(out.size() / 3));
    cmsDeleteTransform(t);
    cmsCloseProfile(profile);
    cmsCloseProfile(srgb);
    return out;
}

// One block of each colour in a row, as `channels` bytes a pixel.
std::vector<std::uint8_t> Blocks(const std::vector<std::vector<std::uint8_t>>& colours, int channels)
{
    const int width = Block * static_cast<int>(colours.size());
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < Block; ++y)
        for (int x = 0; x < width; ++x)
            pixels.insert(pixels.end(), colours[static_cast<std::size_t>(x / Block)].begin(),
                          colours[static_cast<std::size_t>(x / Block)].begin() + channels);
    return pixels;
}

void WriteJpeg(const QString& path, const std::vector<std::uint8_t>& pixels, int width, bool cmyk,
               const std::vector<std::uint8_t>& profile)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = Block;
    info.input_components = cmyk ? 4 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < info.num_components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    if (!profile.empty())
        jpeg_write_icc_profile(&info, profile.data(), static_cast<unsigned>(profile.size()));
    const int stride = width * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + info.next_scanline * static_cast<unsigned>(stride));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void WritePng(const QString& path, const std::vector<std::uint8_t>& rgb, int width, const std::vector<std::uint8_t>& profile)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), Block, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!profile.empty())
        png_set_iCCP(png, info, "cover", 0, profile.data(), static_cast<png_uint_32>(profile.size()));
    png_write_info(png, info);
    for (int y = 0; y < Block; ++y)
        png_write_row(png, rgb.data() + static_cast<std::size_t>(y * width * 3));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

enum class Reader { WholePng, WholeJpeg, JpegRows };

// The decoded picture's top row, RGB.
std::vector<std::uint8_t> TopRow(const QString& path, Reader reader)
{
    std::vector<std::uint8_t> rgba;
    int width = 0;
    if (reader == Reader::JpegRows) {
        JpegRowReader rows(path);
        width = rows.Width();
        rgba.resize(static_cast<std::size_t>(width) * 4);
        std::vector<std::uint8_t> row(rgba.size());
        rows.ReadRows([&](int) { return row.data(); },
                      [&](int top, std::uint8_t* done) {
                          if (top == 0)
                              std::copy(done, done + rgba.size(), rgba.begin());
                      },
                      [] { return false; });
    } else {
        std::vector<std::uint8_t> all;
        (reader == Reader::WholePng ? DecodePng : DecodeJpeg)(path, [&](std::int64_t w, std::int64_t h) {
            width = static_cast<int>(w);
            all.resize(static_cast<std::size_t>(w * h * 4));
            return all.data();
        });
        rgba.assign(all.end() - width * 4, all.end()); // bottom row first: the top is last
    }
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return rgb;
}

std::vector<std::vector<std::uint8_t>> AsRows(const std::vector<std::array<std::uint8_t, 3>>& colours)
{
    std::vector<std::vector<std::uint8_t>> rows;
    for (const auto& c : colours)
        rows.push_back({c[0], c[1], c[2]});
    return rows;
}

struct ColourProfileTest : TempFiles {};

} // namespace

TEST_F(ColourProfileTest, AdobeRgbCoversReadAsTheSameCoverConvertedBeforehand)
{
    const std::vector<std::uint8_t> adobe = AdobeRgbProfile();
    const std::vector<std::uint8_t> srgb = Blocks(AsRows(Colours), 3);
    const std::vector<std::uint8_t> stored = Transformed(srgb, adobe, TYPE_RGB_8, true);
    const int width = Block * static_cast<int>(Colours.size());
    WritePng(Path(QStringLiteral("adobe.png")), stored, width, adobe);
    WriteJpeg(Path(QStringLiteral("adobe.jpg")), stored, width, false, adobe);
    for (const auto& [file, reader] : {std::pair{"adobe.png", Reader::WholePng}, {"adobe.jpg", Reader::WholeJpeg},
                                       {"adobe.jpg", Reader::JpegRows}}) {
        const std::vector<std::uint8_t> read = TopRow(Path(QString::fromLatin1(file)), reader);
        ASSERT_EQ(read.size(), static_cast<std::size_t>(width) * 3) << file;
        int worst = 0;
        for (std::size_t i = 0; i < read.size(); ++i)
            worst = std::max(worst, std::abs(int{read[i]} - int{srgb[i]}));
        EXPECT_LE(worst, 2) << file << " reader " << static_cast<int>(reader);
    }
}

TEST_F(ColourProfileTest, CmykWithAProfileIsConvertedAsLittleCmsDoesAndSrgbKeepsItsBytes)
{
    const std::vector<std::uint8_t> press = CmykProfile();
    const std::vector<std::vector<std::uint8_t>> inks = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 200, 40, 0}, {30, 30, 30, 200}, {10, 90, 160, 20}};
    const int width = Block * static_cast<int>(inks.size());
    // libjpeg writes Adobe's marker with CMYK: the bytes are read inverted.
    const std::vector<std::uint8_t> stored = Blocks(inks, 4);
    WriteJpeg(Path(QStringLiteral("press.jpg")), stored, width, true, press);
    const std::vector<std::uint8_t> topRow(stored.begin(), stored.begin() + width * 4);
    const std::vector<std::uint8_t> expected = Transformed(topRow, press, TYPE_CMYK_8_REV, false);
    for (const Reader reader : {Reader::WholeJpeg, Reader::JpegRows}) {
        const std::vector<std::uint8_t> read = TopRow(Path(QStringLiteral("press.jpg")), reader);
        ASSERT_EQ(read.size(), expected.size());
        for (std::size_t i = 0; i < read.size(); ++i)
            ASSERT_LE(std::abs(int{read[i]} - int{expected[i]}), 2) << "byte " << i;
    }

    // sRGB in all but name: the bytes of the file without a profile.
    const std::vector<std::uint8_t> plain = Blocks(AsRows(Colours), 3);
    const int colourWidth = Block * static_cast<int>(Colours.size());
    WritePng(Path(QStringLiteral("tagged.png")), plain, colourWidth, SrgbProfile());
    WritePng(Path(QStringLiteral("plain.png")), plain, colourWidth, {});
    const std::vector<std::uint8_t> top(plain.begin(), plain.begin() + colourWidth * 3);
    EXPECT_EQ(TopRow(Path(QStringLiteral("tagged.png")), Reader::WholePng), top);
    EXPECT_EQ(TopRow(Path(QStringLiteral("plain.png")), Reader::WholePng), top);
}

TEST(JpegProfileTest, PiecesAreJoinedInTheirOrderAndIncompleteOnesIgnored)
{
    const auto segment = [](int sequence, int count, const std::string& body) {
        std::vector<std::uint8_t> s = {0xFF, 0xE2, 0, 0};
        const std::string tag("ICC_PROFILE", 12); // with its NUL
        s.insert(s.end(), tag.begin(), tag.end());
        s.insert(s.end(), {static_cast<std::uint8_t>(sequence), static_cast<std::uint8_t>(count)});
        s.insert(s.end(), body.begin(), body.end());
        const std::size_t length = s.size() - 2;
        s[2] = static_cast<std::uint8_t>(length >> 8);
        s[3] = static_cast<std::uint8_t>(length);
        return s;
    };
    struct Case {
        std::vector<std::vector<std::uint8_t>> Segments;
        std::string Profile;
    };
    const Case cases[] = {
        {{segment(2, 2, "world"), segment(1, 2, "hello ")}, "hello world"},
        {{segment(1, 2, "hello ")}, ""},                          // the second piece missing
        {{segment(1, 2, "a"), segment(1, 2, "b")}, ""},           // a piece twice
        {{segment(1, 1, "whole"), {0xFF, 0xDA}, segment(1, 1, "late")}, "whole"}, // after the scan: not read
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = {0xFF, 0xD8};
        for (const auto& s : c.Segments)
            file.insert(file.end(), s.begin(), s.end());
        const std::vector<std::uint8_t> profile = JpegProfile(file.data(), file.size());
        EXPECT_EQ(std::string(profile.begin(), profile.end()), c.Profile);
    }
}

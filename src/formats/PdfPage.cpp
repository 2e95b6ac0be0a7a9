#include "formats/PdfPage.h"

#include "formats/ImageCodec.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr double PointsPerInch = 72.0;
constexpr double MmPerInch = 25.4;

struct FirstPage {
    std::unique_ptr<poppler::document> Document;
    std::unique_ptr<poppler::page> Page;
};

FirstPage OpenFirstPage(const QString& fileName)
{
    // Poppler's own complaints about a damaged file go nowhere: the refusal
    // below names the file and says what is wrong in the program's words.
    static const bool quiet = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        return true;
    }();
    (void)quiet;
    // Poppler reads the name as bytes of the local encoding.
    FirstPage first;
    first.Document.reset(poppler::document::load_from_file(fileName.toLocal8Bit().toStdString()));
    if (!first.Document)
        throw FileFailure(fileName, QStringLiteral("not a PDF that can be read"));
    if (first.Document->is_locked())
        throw FileFailure(fileName, QStringLiteral("the PDF is locked by a password"));
    if (first.Document->pages() < 1)
        throw FileFailure(fileName, QStringLiteral("the PDF has no page"));
    first.Page.reset(first.Document->create_page(0));
    if (!first.Page)
        throw FileFailure(fileName, QStringLiteral("the PDF's first page cannot be read"));
    return first;
}

QSizeF PointsOf(const poppler::page& page)
{
    const poppler::rectf box = page.page_rect(poppler::crop_box);
    QSizeF size(std::fabs(box.width()), std::fabs(box.height()));
    if (page.orientation() == poppler::page::landscape || page.orientation() == poppler::page::seascape)
        size.transpose();
    return size;
}

} // namespace

QSizeF PdfPageSizeMm(const QString& fileName)
{
    const FirstPage first = OpenFirstPage(fileName);
    const QSizeF points = PointsOf(*first.Page);
    if (!(points.width() > 0 && points.height() > 0))
        throw FileFailure(fileName, QStringLiteral("the PDF's first page has no size"));
    return points * (MmPerInch / PointsPerInch);
}

QImage PdfFirstPage(const QString& fileName, double dotsPerInch)
{
    const FirstPage first = OpenFirstPage(fileName);
    const QSizeF points = PointsOf(*first.Page);
    const double scale = dotsPerInch / PointsPerInch;
    if (!(dotsPerInch > 0) || !(points.width() > 0 && points.height() > 0))
        throw FileFailure(fileName, QStringLiteral("the PDF's first page has no size"));
    // Refused before Poppler allocates anything.
    CheckImageSize(std::llround(points.width() * scale), std::llround(points.height() * scale), fileName);

    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    renderer.set_paper_color(0xFFFFFFFF);
    const poppler::image drawn = renderer.render_page(first.Page.get(), dotsPerInch, dotsPerInch);
    if (!drawn.is_valid() || drawn.width() <= 0 || drawn.height() <= 0)
        throw FileFailure(fileName, QStringLiteral("the PDF's first page could not be drawn"));
    CheckImageSize(drawn.width(), drawn.height(), fileName);
    QImage picture(drawn.width(), drawn.height(), QImage::Format_RGB32);
    if (picture.isNull())
        throw FileFailure(fileName, QStringLiteral("not enough memory for the PDF's page"));
    const auto rowBytes = static_cast<std::size_t>(drawn.width()) * 4;
    for (int y = 0; y < drawn.height(); ++y)
        std::memcpy(picture.scanLine(y), drawn.const_data() + static_cast<std::ptrdiff_t>(y) * drawn.bytes_per_row(),
                    rowBytes);
    return picture;
}

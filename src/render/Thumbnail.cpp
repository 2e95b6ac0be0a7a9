#include "render/Thumbnail.h"

#include "formats/RgbaPicture.h"

#include <algorithm>
#include <new>

namespace {

QSize NearSize(PictureSize base, QSize fit)
{
    return {std::min(base.Width, fit.width() * 8), std::min(base.Height, fit.height() * 8)};
}

QImage Smoothed(const QImage& reduced, QSize fit)
{
    return reduced.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .mirrored(false, true)
        .convertToFormat(QImage::Format_RGB888);
}

// Which of `from` lines Qt's nearest-neighbour scaling keeps for each of
// `to`. It picks whole rows and whole columns of an opaque picture, each
// way independently of the other, so a picture one pixel across whose
// lines hold their own numbers tells which.
std::vector<int> LinesKept(int from, int to, bool rows)
{
    std::vector<int> kept(static_cast<std::size_t>(to));
    if (from == to) {
        for (int i = 0; i < to; ++i)
            kept[static_cast<std::size_t>(i)] = i;
        return kept;
    }
    QImage numbered(rows ? 1 : from, rows ? from : 1, QImage::Format_RGBA8888);
    if (numbered.isNull())
        throw std::bad_alloc();
    const auto at = [rows](QImage& image, int i) { return rows ? image.scanLine(i) : image.scanLine(0) + i * 4; };
    for (int i = 0; i < from; ++i) {
        std::uint8_t* p = at(numbered, i);
        p[0] = static_cast<std::uint8_t>(i);
        p[1] = static_cast<std::uint8_t>(i >> 8);
        p[2] = static_cast<std::uint8_t>(i >> 16);
        p[3] = 255;
    }
    QImage picked = numbered.scaled(rows ? 1 : to, rows ? to : 1, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                        .convertToFormat(QImage::Format_RGBA8888);
    if (picked.size() != QSize(rows ? 1 : to, rows ? to : 1))
        throw std::bad_alloc();
    for (int i = 0; i < to; ++i) {
        const std::uint8_t* p = at(picked, i);
        kept[static_cast<std::size_t>(i)] = std::clamp(p[0] | p[1] << 8 | p[2] << 16, 0, from - 1);
    }
    return kept;
}

} // namespace

// Nearest samples down to a few times the thumbnail, then a smooth filter:
// as good as smoothing the whole picture at this size, for a fraction of it.
QImage ThumbnailOf(const RgbaPicture& picture, QSize fit)
{
    const QImage bottomUp(picture.Pixels.get(), picture.Width, picture.Height, picture.Width * 4,
                          QImage::Format_RGBA8888);
    const QSize near = NearSize({picture.Width, picture.Height}, fit);
    const QImage reduced = near == bottomUp.size()
                               ? bottomUp
                               : bottomUp.scaled(near, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return Smoothed(reduced, fit);
}

ThumbnailRows::ThumbnailRows(PictureSize base, QSize fit) : fit_(fit)
{
    const QSize near = NearSize(base, fit);
    reduced_ = QImage(near, QImage::Format_RGBA8888);
    if (reduced_.isNull())
        throw std::bad_alloc();
    columns_ = LinesKept(base.Width, near.width(), false);
    uses_.resize(static_cast<std::size_t>(base.Height));
    const std::vector<int> rows = LinesKept(base.Height, near.height(), true);
    for (int r = 0; r < near.height(); ++r)
        uses_[static_cast<std::size_t>(rows[static_cast<std::size_t>(r)])].push_back(r);
    missing_ = near.height();
}

void ThumbnailRows::Take(int row, const std::uint8_t* pixels)
{
    if (row < 0 || row >= static_cast<int>(uses_.size()))
        return;
    std::vector<int>& uses = uses_[static_cast<std::size_t>(row)];
    for (const int r : uses) {
        auto* out = reinterpret_cast<std::uint32_t*>(reduced_.scanLine(r));
        const auto* in = reinterpret_cast<const std::uint32_t*>(pixels);
        for (std::size_t c = 0; c < columns_.size(); ++c)
            out[c] = in[columns_[c]];
        --missing_;
    }
    uses.clear(); // a row taken twice counts once
}

QImage ThumbnailRows::Finish() const { return Smoothed(reduced_, fit_); }

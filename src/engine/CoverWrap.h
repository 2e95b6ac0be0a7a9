#pragma once
// A printer's cover wrap: back, spine and front side by side on one sheet,
// with bleed around it. Where each face lies on the sheet, in millimetres
// from its top left corner, for a book of a known trim and (if known) spine.
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

struct WrapSizes {
    QSizeF TrimMm;                 // one cover's width and height
    std::optional<double> SpineMm; // none: measured from the sheet
    double BleedMm = 3.0;          // on every outer edge
};

struct WrapFaces {
    QRectF Back, Spine, Front; // millimetres on the sheet
    double SpineMm = 0;
};

// How far a sheet may be off the size the book asks for: what a PDF's
// rounding to points or a picture's rounding to pixels leaves.
inline constexpr double WrapToleranceMm = 1.0;

// Throws JobError with the numbers when `sheetMm` does not fit the trim,
// the spine (given) and the bleed, or leaves no room for a spine.
WrapFaces CutWrap(QSizeF sheetMm, const WrapSizes& sizes, const QString& what);

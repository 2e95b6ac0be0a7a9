#include "engine/CoverWrap.h"

#include "engine/JobError.h"

#include <cmath>

namespace {

QString Mm(double mm) { return QString::number(mm, 'f', 1) + QStringLiteral(" mm"); }

} // namespace

WrapFaces CutWrap(QSizeF sheetMm, const WrapSizes& sizes, const QString& what)
{
    const double bleed = sizes.BleedMm, trimW = sizes.TrimMm.width(), trimH = sizes.TrimMm.height();
    if (!(trimW > 0 && trimH > 0 && bleed >= 0))
        throw BadInput(QStringLiteral("%1: the book's trim size is not known").arg(what));
    const double height = trimH + 2 * bleed;
    if (std::fabs(sheetMm.height() - height) > WrapToleranceMm)
        throw BadInput(QStringLiteral("%1: the wrap is %2 high; a %3 trim with %4 bleed needs %5")
                           .arg(what, Mm(sheetMm.height()), Mm(trimH), Mm(bleed), Mm(height)));
    const double covers = 2 * trimW + 2 * bleed;
    WrapFaces faces;
    if (sizes.SpineMm) {
        faces.SpineMm = *sizes.SpineMm;
        const double width = covers + faces.SpineMm;
        if (std::fabs(sheetMm.width() - width) > WrapToleranceMm)
            throw BadInput(QStringLiteral("%1: the wrap is %2 wide; two %3 covers, a %4 spine and %5 bleed need %6")
                               .arg(what, Mm(sheetMm.width()), Mm(trimW), Mm(faces.SpineMm), Mm(bleed), Mm(width)));
    } else {
        faces.SpineMm = sheetMm.width() - covers;
        if (faces.SpineMm < 0.5)
            throw BadInput(QStringLiteral("%1: the wrap is %2 wide, no wider than two %3 covers with %4 bleed (%5): "
                                          "there is no spine")
                               .arg(what, Mm(sheetMm.width()), Mm(trimW), Mm(bleed), Mm(covers)));
    }
    // Scaled to the sheet as it is, so a sheet within the tolerance is cut evenly.
    const double sx = sheetMm.width() / (covers + faces.SpineMm), sy = sheetMm.height() / height;
    const double top = bleed * sy, faceH = trimH * sy;
    faces.Back = QRectF(bleed * sx, top, trimW * sx, faceH);
    faces.Spine = QRectF((bleed + trimW) * sx, top, faces.SpineMm * sx, faceH);
    faces.Front = QRectF((bleed + trimW + faces.SpineMm) * sx, top, trimW * sx, faceH);
    return faces;
}

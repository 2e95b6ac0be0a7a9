#include "engine/SizeOptions.h"

#include "engine/OptionValues.h"

#include "document/PrintBook.h"

namespace {

using Value = std::optional<QString>;
using S = RenderOptionEntry;
using A = OptionArity;
using K = OptionKind;
using Sec = OptionSection;
using J = InfoBlock;
constexpr std::nullopt_t None = std::nullopt;

ParsedSides ReadSides(const QString& option, const QString& value, bool trim)
{
    ParsedSides parsed = trim ? ParseTrim(value) : ParseSides(value, 3);
    if (!parsed.Error.isEmpty())
        throw BadInput(QStringLiteral("%1 %2: %3").arg(option, value, parsed.Error));
    return parsed;
}

void Tell(const RenderOptions& o, const QString& text)
{
    if (o.Note)
        o.Note(text);
}

} // namespace

std::vector<RenderOptionEntry> SizeOptionEntries()
{
    return {
        {"box-size", nullptr, A::Required, K::Text, "WxHxDUNIT", None, None, None, Sec::Box,
         "the box's real sides in mm, cm or in (152x229x22mm,\n6x9x0.87in); the sliders take the nearest",
         0, 0, J::None, nullptr, nullptr, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Real.BoxSize = ReadSides(a, *v, false);
             o.Real.BoxSizeText = *v;
         }},
        {"trim", nullptr, A::Required, K::Text, "WxHUNIT|NAME", None, None, None, Sec::Box,
         "a book's trim (6x9in, 148x210mm, A5, B-format, US trade,\n...): the book kinds' width and height",
         0, 0, J::None, nullptr, nullptr, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Real.Trim = ReadSides(a, *v, true);
             o.Real.TrimText = *v;
         }},
        {"pages", nullptr, A::Required, K::Integer, "N", OptionRange{MinPages, MaxPages}, None, None, Sec::Box,
         "a book's page count {min}..{max}: its spine follows", 0, 0, J::None, nullptr, nullptr,
         true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Real.Pages = IntegerIn(a, *v, s.Range->Min, s.Range->Max);
         }},
        {"paper", nullptr, A::Required, K::Text, "white|cream|coated|UM", None, None, None, Sec::Box,
         "the pages' paper: a leaf's thickness in micrometres,\nor white (114.4, the default), cream (127), "
         "coated (119.2)",
         0, 0, J::None, nullptr, nullptr, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Real.Caliper = ParsePaper(*v);
             if (!o.Real.Caliper)
                 throw BadInput(QStringLiteral("%1 %2: white, cream, coated or a leaf's thickness of %3..%4 "
                                               "micrometres")
                                    .arg(a, *v)
                                    .arg(PaperCaliper::Min)
                                    .arg(PaperCaliper::Max));
         }, None, nullptr, "white"},
    };
}

void CheckSizeOptions(const RenderOptions& o)
{
    const RealSizeOptions& r = o.Real;
    if (r.BoxSize && r.Trim)
        throw UsageError(QStringLiteral("--box-size and --trim both set the size; give one of them"));
    if ((r.BoxSize || r.Trim) && (o.Sliders.Width || o.Sliders.Height || o.Sliders.Thickness))
        throw UsageError(QStringLiteral("%1 sets the size sliders; --width, --height and --thickness go without it")
                             .arg(r.BoxSize ? QStringLiteral("--box-size") : QStringLiteral("--trim")));
    if (r.Pages && r.BoxSize)
        throw UsageError(QStringLiteral("--pages goes with --trim, not --box-size: the spine follows from it"));
    if (r.Caliper && !r.Pages)
        throw UsageError(QStringLiteral("--paper needs --pages"));
}

QString SpineText(const RealSize& size)
{
    QString text = QStringLiteral("the spine: %1 pages x %2 \u00B5m / 2 = %3 mm")
                       .arg(size.Pages)
                       .arg(size.Caliper)
                       .arg(QString::number(PageBlockMillimetres(size.Pages, size.Caliper), 'f', 2));
    if (size.Boards > 0)
        text += QStringLiteral(" + boards %1 mm = %2 mm")
                    .arg(QString::number(size.Boards, 'f', 2), QString::number(size.Depth, 'f', 2));
    return text;
}

void ApplySizeOptions(BoxDocument& document, const RenderOptions& o)
{
    const RealSizeOptions& r = o.Real;
    QStringList notes;
    if (r.BoxSize) {
        const Sides& mm = r.BoxSize->Millimetres;
        RealSize size;
        size.Width = mm[0];
        size.Height = mm[1];
        size.Depth = mm[2];
        size.Unit = r.BoxSize->Unit;
        if (const QString refused = document.SetRealSize(size, &notes); !refused.isEmpty())
            throw BadInput(QStringLiteral("--box-size %1: %2").arg(r.BoxSizeText, refused));
        for (const QString& note : notes)
            Tell(o, QStringLiteral("--box-size: ") + note);
        return;
    }
    if (!r.Trim && !r.Pages)
        return;
    const BookCover cover = BookCoverOf(document.Params.CurrentForm);
    if (cover == BookCover::None)
        throw BadInput(QStringLiteral("--trim, --pages and --paper are for the book kinds, not a %1; "
                                      "add --form \"Hard cover book\" or --form \"Soft cover book\"")
                           .arg(document.Params.CurrentForm.Name));
    // Without --trim the book keeps its width and height (a hard cover's less its squares).
    const double square = cover == BookCover::Hard ? HardCover::Square : 0.0;
    const Sides drawn = document.DrawnSides();
    const Sides trim = r.Trim ? r.Trim->Millimetres : Sides{drawn[0] - square, drawn[1] - 2 * square, 0.0};
    const SizeUnit unit = r.Trim ? r.Trim->Unit : SizeUnit::Millimetre;
    RealSize size = BookSize(trim[0], trim[1], unit, r.Pages.value_or(0),
                             r.Caliper.value_or(PaperCaliper::White), cover == BookCover::Hard);
    if (!r.Pages) {
        // No page count: the spine stays as the slider has it.
        size.Pages = 0;
        size.Caliper = 0;
        size.Boards = 0;
        size.Depth = drawn[2];
    }
    if (const QString refused = document.SetRealSize(size, &notes); !refused.isEmpty())
        throw BadInput(r.Trim ? QStringLiteral("--trim %1: %2").arg(r.TrimText, refused)
                              : QStringLiteral("--pages %1: %2").arg(*r.Pages).arg(refused));
    if (size.Pages > 0)
        Tell(o, QStringLiteral("--pages: ") + SpineText(size));
    for (const QString& note : notes)
        Tell(o, (r.Trim ? QStringLiteral("--trim: ") : QStringLiteral("--pages: ")) + note);
    BoxShape shape = document.Params.Shape;
    shape.BookPages = true;
    document.SetShape(shape);
}

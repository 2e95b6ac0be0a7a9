#include "document/PrintBook.h"

#include <array>

namespace {

struct NamedTrim {
    const char* Name;
    double Width; // in its unit
    double Height;
    SizeUnit Unit;
};

constexpr std::array<NamedTrim, 12> NamedTrims{{
    {"A4", 210, 297, SizeUnit::Millimetre},
    {"A5", 148, 210, SizeUnit::Millimetre},
    {"A6", 105, 148, SizeUnit::Millimetre},
    {"B5", 176, 250, SizeUnit::Millimetre},
    {"A-format", 110, 178, SizeUnit::Millimetre},
    {"B-format", 129, 198, SizeUnit::Millimetre},
    {"Demy", 138, 216, SizeUnit::Millimetre},
    {"Royal", 156, 234, SizeUnit::Millimetre},
    {"US trade", 6, 9, SizeUnit::Inch},
    {"Digest", 5.5, 8.5, SizeUnit::Inch},
    {"Mass market", 4.25, 6.87, SizeUnit::Inch},
    {"US letter", 8.5, 11, SizeUnit::Inch},
}};

// "US trade", "us-trade" and "USTRADE" are one name.
QString Folded(const QString& name)
{
    QString folded;
    for (QChar c : name)
        if (c != QLatin1Char(' ') && c != QLatin1Char('-') && c != QLatin1Char('_'))
            folded += c.toLower();
    return folded;
}

} // namespace

BookCover BookCoverOf(const BoxForm& form)
{
    if (form.Name == QLatin1String("Hard cover book"))
        return BookCover::Hard;
    if (form.Name == QLatin1String("Soft cover book"))
        return BookCover::Soft;
    return BookCover::None;
}

ParsedSides ParseTrim(const QString& text)
{
    for (const NamedTrim& trim : NamedTrims) {
        if (Folded(text) == Folded(QLatin1String(trim.Name))) {
            const double per = MillimetresPer(trim.Unit);
            return {{trim.Width * per, trim.Height * per, 0.0}, trim.Unit, QString()};
        }
    }
    ParsedSides parsed = ParseSides(text, 2);
    if (!parsed.Error.isEmpty())
        parsed.Error += QStringLiteral(", or a name: ") + TrimNames().join(QStringLiteral(", "));
    return parsed;
}

QStringList TrimNames()
{
    QStringList names;
    for (const NamedTrim& trim : NamedTrims)
        names << QLatin1String(trim.Name);
    return names;
}

std::optional<double> ParsePaper(const QString& text)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("white"))
        return PaperCaliper::White;
    if (word == QLatin1String("cream"))
        return PaperCaliper::Cream;
    if (word == QLatin1String("coated"))
        return PaperCaliper::Coated;
    bool ok = false;
    const double microns = word.toDouble(&ok);
    if (!ok || !(microns >= PaperCaliper::Min && microns <= PaperCaliper::Max))
        return std::nullopt;
    return microns;
}

double PageBlockMillimetres(int pages, double caliper)
{
    return pages * caliper / 2.0 / 1000.0;
}

RealSize BookSize(double trimWidth, double trimHeight, SizeUnit unit, int pages, double caliper, bool hardCover)
{
    RealSize size;
    size.Unit = unit;
    size.Pages = pages;
    size.Caliper = caliper;
    size.Boards = hardCover ? 2 * HardCover::Board : 0.0;
    const double square = hardCover ? HardCover::Square : 0.0;
    size.Width = trimWidth + square;
    size.Height = trimHeight + 2 * square;
    size.Depth = PageBlockMillimetres(pages, caliper) + size.Boards;
    return size;
}

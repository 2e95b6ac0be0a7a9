#pragma once
// A box's real size and the classic size sliders. The scene unit is 0.1 m
// and a slider's label shows a half side in hundredths of a unit, so one
// label step is 2 mm of side; the box kind's scale decides how far one
// slider position moves it. Sliders are whole positions 1..100: a real size
// is held by the nearest position, and how near is said.
#include "document/BoxForm.h"

#include <QString>

#include <array>
#include <optional>

enum class SizeUnit { Millimetre, Centimetre, Inch };
// What the window's size labels show: the classic numbers (the default),
// or the sides in millimetres or inches.
enum class SizeLabels { Classic, Millimetres, Inches };

// Millimetres in one unit, and its suffix ("mm", "cm", "in").
double MillimetresPer(SizeUnit unit);
QString UnitSuffix(SizeUnit unit);
std::optional<SizeUnit> UnitOfSuffix(const QString& suffix);

// The size a project keeps beside its sliders: the one asked for, in
// millimetres, with the unit it was given in; and, for a book made from
// its print values, the pages and the paper. Nothing given: all zero.
struct RealSize {
    double Width = 0;  // mm
    double Height = 0; // mm
    double Depth = 0;  // mm
    SizeUnit Unit = SizeUnit::Millimetre;
    int Pages = 0;        // 0: not a book made from its pages
    double Caliper = 0;   // micrometres a leaf (two pages)
    double Boards = 0;    // mm the spine has beyond its pages (a hard cover's boards)

    bool Given() const { return Width > 0; }
    bool operator==(const RealSize&) const = default;
};

// The three sides in the order of the sliders: width, height, thickness.
using Sides = std::array<double, 3>;

// A side's half extent in scene units, as the document draws it.
float HalfExtentOf(int position, int maximum, int scale);
// The side the box has at `position`, in millimetres.
double SideMillimetres(int position, int maximum, int scale);

// "152x229x22mm", "6x9x0.87in", "15.2x22.9x2.2cm": three sides and a unit
// (for a trim, two). Empty Error: read.
struct ParsedSides {
    Sides Millimetres{};
    SizeUnit Unit = SizeUnit::Millimetre;
    QString Error;
};
ParsedSides ParseSides(const QString& text, int count);

// A side as the nearest slider position holds it.
struct SideFit {
    int Position = 0;
    double Drawn = 0; // mm at that position
    bool Exact = false; // within a hundredth of a millimetre
    bool InRange = false; // within half a step of the slider's ends
};
SideFit FitSide(double millimetres, int maximum, int scale);

// A number of millimetres shown in `unit`, as the window's labels write it
// ("152.4 mm", "6.00 in"); `fine` takes a decimal more, enough to tell a
// side asked for from the one drawn ("20.32 mm", "0.800 in").
QString SideText(double millimetres, SizeUnit unit, bool fine = false);

#pragma once
// A book's size from its print values: the trim, the page count and the
// paper. The spine is the leaves' thickness (a leaf holds two pages), plus
// a hard cover's boards; a hard cover's case also stands past the pages.
#include "document/RealSize.h"

#include <QString>
#include <QStringList>

// Print-on-demand papers, micrometres a leaf: the page-count spine figures
// printers publish (0.002252 in a page on white, 0.0025 in on cream,
// 0.002347 in on coated colour paper), twice over.
namespace PaperCaliper {
inline constexpr double White = 114.4;
inline constexpr double Cream = 127.0;
inline constexpr double Coated = 119.2;
inline constexpr double Min = 20.0;
inline constexpr double Max = 1000.0;
} // namespace PaperCaliper

namespace HardCover {
inline constexpr double Board = 2.5;   // mm, each of the two boards
inline constexpr double Square = 3.0;  // mm the case stands past the pages at top, bottom and fore-edge
} // namespace HardCover

// The two book kinds of the document's table, by their fixed names.
enum class BookCover { None, Hard, Soft };
BookCover BookCoverOf(const BoxForm& form);

inline constexpr int MinPages = 2;
inline constexpr int MaxPages = 2000;

// "6x9in", "148x210mm" or a name ("A5", "B-format", "US trade", ...; any
// letter case, spaces and hyphens alike). Empty Error: read.
ParsedSides ParseTrim(const QString& text);
// The names a trim may be given by, with their sizes, for the usage.
QStringList TrimNames();

// "white", "cream", "coated" or micrometres a leaf; nothing when neither.
std::optional<double> ParsePaper(const QString& text);

// The spine of `pages` on paper of `caliper` micrometres a leaf, in mm,
// boards not counted.
double PageBlockMillimetres(int pages, double caliper);

// The box of a book from its trim (width and height, mm), pages and paper:
// a hard cover adds its boards to the spine and its squares to the trim.
RealSize BookSize(double trimWidth, double trimHeight, SizeUnit unit, int pages, double caliper, bool hardCover);

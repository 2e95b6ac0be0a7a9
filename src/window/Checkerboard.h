#pragma once
// How a picture with transparent parts is shown on screen: over a grey and
// white checkerboard, as picture editors show it. Only what a preview shows;
// the pictures themselves are never changed.
#include <QImage>

inline constexpr int CheckerCell = 8; // pixels of one square

// The picture over the checkerboard, opaque; a picture without an alpha
// channel comes back as it is.
QImage OverCheckerboard(const QImage& picture, int cell = CheckerCell);

#pragma once
// Small helpers for tests that look at rendered pixels.
#include <QImage>

#include <cstdlib>
#include <ostream>

// Equal within tol per channel (rasterisers may round differently).
inline bool NearColor(QRgb a, QRgb b, int tol = 2)
{
    return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
           std::abs(qBlue(a) - qBlue(b)) <= tol;
}

inline int Brightness(QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); }

struct ColorText {
    QRgb c;
};
inline std::ostream& operator<<(std::ostream& os, ColorText t)
{
    return os << '(' << qRed(t.c) << ',' << qGreen(t.c) << ',' << qBlue(t.c) << ')';
}

#pragma once
// Output size classes: the item index of the "Size mode" box gives the
// largest output side in pixels.
inline constexpr int SizeClassSmall = 0;
inline constexpr int SizeClassMedium = 1;
inline constexpr int SizeClassLarge = 2;

// 100, 300 or 450 pixels; a box without a selection counts as "Small".
constexpr int SizeClassMaximum(int index)
{
    switch (index) {
    case SizeClassMedium: return 300;
    case SizeClassLarge: return 450;
    default: return 100;
    }
}

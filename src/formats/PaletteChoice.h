#pragma once
// A palette of its own for one picture (alpha ignored). A picture of at most
// `most` colours keeps every one exactly. Otherwise its colours are cut into
// `most` groups, each time the group with the largest squared error split
// where the split lowers it most, along whichever of red, green or blue
// lowers it most; each group's mean is then refined by a few rounds of
// moving every colour to its nearest mean and taking the means again.
// Counted by pixel, so a large plain background keeps its exact colour and
// a smooth gradient gets its colours spread evenly along it. Deterministic:
// the same pixels give the same palette.
#include "formats/NearestColour.h"
#include "formats/PictureWriter.h"

#include <vector>

// 1..`most` colours (most 1..256); the picture must have at least one pixel.
std::vector<PaletteColour> ChoosePalette(const RgbaRows& picture, int most = 256);

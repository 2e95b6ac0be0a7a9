#pragma once
// The levels under a texture's base level, made by halving with a 2 x 2 box
// filter: smooth minification for the studio look, without GLU.
#include <cstdint>
#include <vector>

struct MipLevel {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels; // RGBA, Width x Height x 4
};

// The level under an RGBA picture: each side halved (never below 1), each
// texel the rounded mean of the two or four it covers. Rows are shared out
// among `workers` threads when the picture is large.
MipLevel HalveLevel(const std::uint8_t* pixels, int width, int height, int workers = 1);

// Every level under the base, down to 1 x 1.
std::vector<MipLevel> LevelsUnder(const std::uint8_t* pixels, int width, int height, int workers = 1);

#pragma once
// The rescaler's vector loops, written once over Highway and compiled for
// every instruction set the processor may have; the best one present is
// picked when called. Each does the GLU builder's float operations in its
// order, lane by lane, so every instruction set gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace baselevel {

// How the vector loop that will run takes its source rows. Wide vectors
// (AVX-512, and the one-lane fallback) read rows split into planes, one
// channel at a time, a vector of output pixels per channel; narrower ones
// read rows widened with a pixel's four channels side by side, one pixel
// per 128 bits, and load each source pixel directly: no lane shuffles.
struct GroupShape {
    int Lanes = 0;        // floats in one vector
    int Pixels = 0;       // output pixels in one group
    int Window = 0;       // source columns a group may reach from its Base
    bool Planes = false;  // rows as planes (SplitPlanes), else widened (WidenRow)
};
GroupShape ShapeOfGroups();

// Output columns that each read at most three source columns (first,
// middle, last) of a row, gathered into groups of `Shape.Pixels` whose
// source columns all lie within `Shape.Window` columns of the group's first.
struct ColumnGroups {
    struct Group {
        int Base;     // first source column read
        int First;    // first output column
        int Count;    // output columns, up to Shape.Pixels
        int LastHigh; // last source column read
    };
    GroupShape Shape; // the loop they are laid out for
    std::vector<Group> Groups;
    // Per group, three rows of Shape.Pixels each (first, middle, last
    // column): source columns from Base, and their weights (0 in unused
    // pixels), each weight repeated for the four channels when the rows
    // are widened.
    std::vector<std::int32_t> Index;
    std::vector<float> Factors;
};

// A row of RGBA bytes as 4 * width floats.
void WidenRow(const std::uint8_t* bytes, int width, float* to);

// A row of RGBA bytes as four planes of floats, one per channel, `stride`
// apart; at least `width` + the window's floats each, the rest left zero.
void SplitPlanes(const std::uint8_t* bytes, int width, float* to, std::size_t stride);

// The GLU sums for the first `count` groups of one output row: 1 to 3
// source rows (as planes or widened, as the groups' shape says), the
// row's weights for its first and last row, GLU's area divisor. Writes
// RGBA bytes at each group's first column; returns the groups done (none
// if they were laid out for another instruction set).
struct FootprintRows {
    int Rows;
    const float* Low;
    const float* Middle;
    const float* High;
    std::size_t Stride; // between planes
    float LowPart, HighPart, Area;
};
std::size_t ScaleGroups(const ColumnGroups& groups, std::size_t count, const FootprintRows& rows, std::uint8_t* out);

// The instruction sets compiled in that this processor runs, best first,
// and a way to make one of them the one used (0: the best again). For tests
// that check each against the GLU builder.
std::vector<std::int64_t> CompiledTargets();
void UseTarget(std::int64_t target);
const char* TargetName(std::int64_t target);

} // namespace baselevel

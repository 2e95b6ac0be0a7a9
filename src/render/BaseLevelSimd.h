#pragma once
// The rescaler's vector loops, written once over Highway and compiled for
// every instruction set the processor may have; the best one present is
// picked when called. Each does the GLU builder's float operations in its
// order, lane by lane, so every instruction set gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace baselevel {

// Output columns that each read at most three source columns (first,
// middle, last) of a row, gathered into groups of one vector's lanes whose
// source columns all lie within `Window` columns of the group's first.
struct ColumnGroups {
    struct Group {
        int Base;     // first source column read
        int First;    // first output column
        int Count;    // output columns, up to Lanes
        int LastHigh; // last source column read
    };
    int Lanes = 0;  // the vector width they are laid out for
    int Window = 0; // columns a group may reach from its Base
    std::vector<Group> Groups;
    // Per group, three rows of Lanes each (first, middle, last column):
    // source columns from Base, and their weights (0 in unused lanes).
    std::vector<std::int32_t> Index;
    std::vector<float> Factors;
};

// Lanes and window of the vector loop that will run.
void GroupShape(int& lanes, int& window);

// A row of RGBA bytes as 4 * width floats.
void WidenRow(const std::uint8_t* bytes, int width, float* to);

// A row of RGBA bytes as four planes of floats, one per channel, `stride`
// apart; at least `width` + the window's floats each, the rest left zero.
void SplitPlanes(const std::uint8_t* bytes, int width, float* to, std::size_t stride);

// The GLU sums for the first `count` groups of one output row: `rows` (1
// to 3) source rows as planes, the row's weights for its first and last
// row, GLU's area divisor. Writes RGBA bytes at each group's first column;
// returns the groups done (none if they were laid out for other lanes).
struct RowPlanes {
    int Rows;
    const float* Low;
    const float* Middle;
    const float* High;
    std::size_t Stride;
    float LowPart, HighPart, Area;
};
std::size_t ScaleGroups(const ColumnGroups& groups, std::size_t count, const RowPlanes& planes, std::uint8_t* out);

// The instruction sets compiled in that this processor runs, best first,
// and a way to make one of them the one used (0: the best again). For tests
// that check each against the GLU builder.
std::vector<std::int64_t> CompiledTargets();
void UseTarget(std::int64_t target);
const char* TargetName(std::int64_t target);

} // namespace baselevel

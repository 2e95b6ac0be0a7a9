#pragma once
// A cover's thumbnail: its base level reduced with Qt's nearest-neighbour
// scaling to at most eight times the preview, then smoothly to the preview.
// Made from the whole base level, or from its rows while they are made (the
// window keeps only a few megabytes of them at a time): the first step reads
// a few hundred of the thousands of rows, and which ones is known up front.
#include "render/BaseLevel.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

struct RgbaPicture;

// From a whole opaque base level (bottom row first): Format_RGB888, `fit` in
// size, top row first.
QImage ThumbnailOf(const RgbaPicture& picture, QSize fit);

// The same thumbnail from the rows of an opaque base level as they come.
class ThumbnailRows {
public:
    ThumbnailRows(PictureSize base, QSize fit);

    // Row `row` of the base level (bottom-first, as it is stored), `pixels`
    // RGBA; rows the thumbnail does not read are passed over.
    void Take(int row, const std::uint8_t* pixels);
    // Every row the thumbnail reads has been taken.
    bool Complete() const { return missing_ == 0; }
    // Once complete: the same image as ThumbnailOf gives.
    QImage Finish() const;

private:
    QSize fit_;
    QImage reduced_;                    // the nearest-neighbour step, rows as stored
    std::vector<int> columns_;          // the base column of each reduced column
    std::vector<std::vector<int>> uses_; // the reduced rows each base row becomes
    int missing_ = 0;
};

#pragma once
// Between the box document and a project record: what a save takes from
// the document, and what a load puts back into it.
#include "document/ProjectData.h"

#include <QString>

#include <array>

class BoxDocument;

// Cover paths in slot order: FrontBack, LeftRight, TopBottom, then the own
// Back, Right and Bottom pictures (empty: none).
using CoverPaths = std::array<QString, 6>;

ProjectData CaptureProject(const BoxDocument& document, const CoverPaths& covers,
                           const QString& outputFolder);

// Puts a decoded record into the document in the order that makes the saved
// values win: the size class and the box kind reset sliders and angles, and
// the values after them restore what was saved; a record without a shape
// has it off. Cover paths and the output
// folder are left to the caller, as is reloading the covers.
void ApplyProject(BoxDocument& document, const ProjectData& data);

// The paths the document's slots name, as a save stores them.
CoverPaths CoverPathsOf(const BoxDocument& document);

inline CoverPaths CoverPathsOf(const ProjectData& data)
{
    return {data.FrontBack, data.LeftRight, data.TopBottom, data.Back, data.Right, data.Bottom};
}

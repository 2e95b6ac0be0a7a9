#pragma once
// A project's values as a record: what a project file holds and what the
// document takes from it and gives to it; formats/ProjectFile.h reads and
// writes it.
#include "document/BoxEngine.h"
#include "document/BoxLooks.h"
#include "document/BoxShape.h"
#include "document/RealSize.h"

#include <QString>

#include <cstdint>

inline constexpr std::int32_t ProjectFormatVersion = 11;

// The values in file order. Indexes are those of the list boxes (-1: none).
struct ProjectData {
    std::int32_t Version = ProjectFormatVersion;
    QString FrontBack;
    QString LeftRight;
    QString TopBottom;
    QString OutputFolder;
    std::int32_t SizeClass = 1;
    std::int32_t Fog = 0;
    std::int32_t Form = 0;
    std::int32_t BackgroundColor = 0xFFFFFF; // 0x00BBGGRR
    std::int32_t ImageWidth = 300;
    std::int32_t ImageHeight = 300;
    std::int32_t Breed = 50;
    std::int32_t Height = 50;
    std::int32_t Thick = 50;
    std::int32_t Depth = 25;
    std::int32_t Vertical = 0;
    std::int32_t Horizontal = 0;
    std::int32_t Turn = 0;
    std::int32_t Eye = 40;
    float SideAngle = 36.0f;
    float TiltAngle = 0.0f;
    // From the "Looks" block; written only when not all at their defaults,
    // so a classic project's bytes never change.
    BoxLooks Looks;
    // From the "Shape" block, likewise written only when some value is set:
    // the shape and the pictures of the sides that have their own (empty:
    // the classic pair's picture), stored as the classic covers are.
    BoxShape Shape;
    QString Back;
    QString Right;
    QString Bottom;
    // From the "Engine" block, written only when not at its defaults: how
    // the final picture is made (the live view is always the raster); its
    // Denoise from the "Denoise" block, written only when off; its FNumber
    // from the "Aperture" block, written only when on.
    BoxEngine Engine;
    // From the "Size" block, written only when a real size was given: the
    // size asked for and its unit (the sliders hold the nearest of it).
    RealSize Size;

    bool operator==(const ProjectData&) const = default;
};

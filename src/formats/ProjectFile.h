#pragma once
// The project file (.pcf): 21 tagged values in a fixed order, no header
// but the leading version. Encoding and decoding work on whole buffers; the
// file functions store and fetch those buffers.
//
// Values beyond the classic ones follow value 21 in extension blocks, which
// a classic reader never looks at. Each block is tagged values:
//   String "CFXB"   marks an extension block
//   String name     "Looks", "Shape", "Engine"; blocks of unknown names are skipped
//   Integer version 1; later versions only append values
//   Integer length  bytes of the values that follow
//   values          a reader takes those it knows and skips the rest
// Only whole blocks may follow value 21; a classic reader stops before
// them, so its view of a file is the same either way.
#include "document/BoxEngine.h"
#include "document/BoxLooks.h"
#include "document/BoxShape.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

inline constexpr std::int32_t ProjectFormatVersion = 11;
// A project is a few hundred bytes; anything this big is not one.
inline constexpr qsizetype MaxProjectFileSize = 16 * 1024 * 1024;

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
    // the final picture is made (the live view is always the raster).
    BoxEngine Engine;

    bool operator==(const ProjectData&) const = default;
};

// Always writes the current format version, whatever data.Version says.
QByteArray EncodeProject(const ProjectData& data);

// Reads and checks all 21 values and every extension block before
// returning, so a caller never applies half a file. Throws ProjectError:
// kind NewerVersion (version above 11, nothing after it is read),
// InvalidPropertyValue (also a look, shape or engine value out of its
// range, or a second block of one name), StreamRead (also a block cut
// anywhere, its mark included, or one that claims more bytes than there
// are), DamagedAfterClassic (other bytes between or after the blocks) or
// NotAProject (no value's tag at all where the version or the value after
// it starts: text, a picture, noise).
ProjectData DecodeProject(const QByteArray& bytes);

// Replaces the file only once the new one is complete, so a failed save
// keeps the old project. Returns false when an existing file at the path
// cannot be replaced (show FileInUseText); throws ProjectError
// (CannotCreate) when the new file cannot be written.
bool SaveProjectFile(const QString& path, const QByteArray& bytes);

// The whole file, or nothing when no file is at the path. Throws ProjectError
// (CannotRead) when it cannot be read or is larger than MaxProjectFileSize.
std::optional<QByteArray> LoadProjectBytes(const QString& path);

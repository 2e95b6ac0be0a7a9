#pragma once
// The project file (.pcf): 21 tagged values in a fixed order, no header
// but the leading version. Encoding and decoding work on whole buffers; the
// file functions store and fetch those buffers.
//
// Values beyond the classic ones follow value 21 in extension blocks, which
// a classic reader never looks at. Each block is tagged values:
//   String "CFXB"   marks an extension block
//   String name     "Looks", "Shape", "Engine", "Denoise", "Size"; blocks of unknown names are skipped
//   Integer version 1; later versions only append values
//   Integer length  bytes of the values that follow
//   values          a reader takes those it knows and skips the rest
// Only whole blocks may follow value 21; a classic reader stops before
// them, so its view of a file is the same either way.
#include "document/ProjectData.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// A project is a few hundred bytes; anything this big is not one.
inline constexpr qsizetype MaxProjectFileSize = 16 * 1024 * 1024;

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

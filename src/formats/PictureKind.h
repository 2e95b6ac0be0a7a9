#pragma once
// What a picture file holds, told by its first bytes: a cover is read by its
// content, whatever its name says.
#include <QString>

enum class PictureKind { Unknown, Jpeg, Png, Gif, Bmp, Tga };

// By the file's signature; Unknown when it has none of them (a Targa has
// none) or cannot be read.
PictureKind SniffPictureKind(const QString& fileName);

// By the extension (.jpg or .jpeg, .png, .gif, .bmp, .tga in any letter case).
PictureKind PictureKindOfName(const QString& fileName);

// The signature's kind, else the extension's.
PictureKind CoverPictureKind(const QString& fileName);

// "JPEG", "PNG", "GIF", "BMP", "Targa"; empty for Unknown.
QString PictureKindName(PictureKind kind);

#pragma once
// "render --export-model": the box as it was drawn (or would be), as a
// binary glTF file written atomically.
#include <QByteArray>
#include <QSize>
#include <QString>

class HeadlessBox;

// The covers the box's slots name, read for the model; JobError
// naming the file when one is missing or damaged, or when the file cannot
// be written. `size` is the picture's: the camera takes its aspect.
void WriteModel(const HeadlessBox& box, const QString& path, QSize size);

// The bytes WriteModel writes, for a caller that sends them elsewhere (the
// service). Errors as WriteModel's; `name` is what they call the model.
QByteArray ModelBytes(const HeadlessBox& box, QSize size, const QString& name);

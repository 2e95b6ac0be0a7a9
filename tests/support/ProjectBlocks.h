#pragma once
// Hand-made extension blocks for project files, and the kind of error a
// decode ends in, for the tests of each block.
#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// A block as the writer lays it out; `claimed` puts another length in its
// header than its values have.
inline QByteArray ExtensionBlock(const QString& name, std::int32_t version, const QByteArray& values,
                                 std::optional<std::int32_t> claimed = std::nullopt)
{
    ValueWriter w;
    w.WriteString(QStringLiteral("CFXB"));
    w.WriteString(name);
    w.WriteInteger(version);
    w.WriteInteger(claimed.value_or(static_cast<std::int32_t>(values.size())));
    return w.Bytes() + values;
}

// The error a decode of `bytes` ends in, if any.
inline std::optional<ProjectError::Kind> DecodeErrorKind(const QByteArray& bytes)
{
    try {
        DecodeProject(bytes);
    } catch (const ProjectError& e) {
        return e.kind();
    }
    return std::nullopt;
}

// The worked example: no covers, a seven-character output folder, Medium,
// first surrounding and kind, white, 300 x 300, side angle 30.
inline ProjectData ExampleProject()
{
    ProjectData d;
    d.OutputFolder = QStringLiteral("C:\\Out\\");
    d.SizeClass = 1;
    d.Fog = 0;
    d.Form = 0;
    d.BackgroundColor = 0xFFFFFF;
    d.ImageWidth = 300;
    d.ImageHeight = 300;
    d.Breed = 50;
    d.Height = 50;
    d.Thick = 50;
    d.Depth = 25;
    d.Vertical = 0;
    d.Horizontal = 0;
    d.Turn = 0;
    d.Eye = 40;
    d.SideAngle = 30.0f;
    d.TiltAngle = 0.0f;
    return d;
}

// Every value in a form other than the shortest: paths of each string kind,
// integers of each width.
inline ProjectData VariedProject()
{
    ProjectData d = ExampleProject();
    d.FrontBack = QStringLiteral("/home/\u00E9l\u00E8ve/front.jpg");
    d.LeftRight = QString(300, QLatin1Char('s'));
    d.TopBottom = QStringLiteral("top.bmp");
    d.SizeClass = 2;
    d.Fog = 3;
    d.Form = 9;
    d.BackgroundColor = 0x123456;
    d.ImageWidth = 450;
    d.ImageHeight = 1;
    d.Vertical = -129;
    d.Horizontal = 300;
    d.Turn = -1800;
    d.SideAngle = -12.5f;
    d.TiltAngle = 0.1f;
    return d;
}

inline std::optional<ProjectError> ProjectDecodeError(const QByteArray& bytes)
{
    try {
        DecodeProject(bytes);
    } catch (const ProjectError& e) {
        return e;
    }
    return std::nullopt;
}

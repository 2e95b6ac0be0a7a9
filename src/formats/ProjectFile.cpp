#include "formats/ProjectFile.h"

#include "formats/AtomicFile.h"
#include "formats/Extended80.h"
#include "formats/ProjectError.h"
#include "formats/ValueStream.h"

#include <QFile>
#include <QFileInfo>

QByteArray EncodeProject(const ProjectData& data)
{
    ValueWriter w;
    w.WriteInteger(ProjectFormatVersion);
    w.WriteString(data.FrontBack);
    w.WriteString(data.LeftRight);
    w.WriteString(data.TopBottom);
    w.WriteString(data.OutputFolder);
    w.WriteInteger(data.SizeClass);
    w.WriteInteger(data.Fog);
    w.WriteInteger(data.Form);
    w.WriteInteger(data.BackgroundColor);
    for (std::int32_t position : {data.ImageWidth, data.ImageHeight, data.Breed, data.Height,
                                  data.Thick, data.Depth, data.Vertical, data.Horizontal,
                                  data.Turn, data.Eye})
        w.WriteInteger(position);
    w.WriteFloat(static_cast<double>(data.SideAngle));
    w.WriteFloat(static_cast<double>(data.TiltAngle));
    return w.Bytes();
}

ProjectData DecodeProject(const QByteArray& bytes)
{
    ValueReader r(bytes);
    ProjectData d;
    d.Version = r.ReadInteger();
    // Refuse before reading on: a newer layout may differ from here on.
    if (d.Version > ProjectFormatVersion)
        throw ProjectError(ProjectError::Kind::NewerVersion, NewerVersionText());
    d.FrontBack = r.ReadString();
    d.LeftRight = r.ReadString();
    d.TopBottom = r.ReadString();
    d.OutputFolder = r.ReadString();
    d.SizeClass = r.ReadInteger();
    d.Fog = r.ReadInteger();
    d.Form = r.ReadInteger();
    d.BackgroundColor = r.ReadInteger();
    for (std::int32_t* position : {&d.ImageWidth, &d.ImageHeight, &d.Breed, &d.Height, &d.Thick,
                                   &d.Depth, &d.Vertical, &d.Horizontal, &d.Turn, &d.Eye})
        *position = r.ReadInteger();
    d.SideAngle = DoubleToFloat(r.ReadFloat());
    d.TiltAngle = DoubleToFloat(r.ReadFloat());
    return d;
}

namespace {

[[noreturn]] void ThrowCannotCreate(const QString& path, const QString& reason)
{
    throw ProjectError(ProjectError::Kind::CannotCreate,
                       QStringLiteral("Cannot create file ") + path + QStringLiteral(". ") + reason);
}

} // namespace

bool SaveProjectFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const bool exists = target.exists() || target.isSymLink();
    // A folder or a write-protected file at the path is never replaced.
    if (exists && (target.isDir() || !target.isWritable()))
        return false;

    // The new content goes to a temporary file beside the target and is
    // renamed over it only when complete; a regular file is never written into.
    try {
        WriteFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        using Step = FileWriteError::Step;
        const bool replacing = e.FailedStep() != Step::Write;
        if (exists && replacing)
            return false;
        ThrowCannotCreate(path, e.Reason());
    }
    return true;
}

std::optional<QByteArray> LoadProjectBytes(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ProjectError(ProjectError::Kind::CannotRead,
                           QStringLiteral("Cannot open file ") + path + QStringLiteral(". ") +
                               file.errorString());
    const QString tooLarge =
        QStringLiteral("File ") + path + QStringLiteral(" is too large for a project file.");
    if (file.size() > MaxProjectFileSize)
        throw ProjectError(ProjectError::Kind::CannotRead, tooLarge);
    // The size can change or lie (special files): read at most one byte more.
    QByteArray bytes = file.read(MaxProjectFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw ProjectError(ProjectError::Kind::CannotRead,
                           QStringLiteral("Cannot read file ") + path + QStringLiteral(". ") +
                               file.errorString());
    if (bytes.size() > MaxProjectFileSize)
        throw ProjectError(ProjectError::Kind::CannotRead, tooLarge);
    return bytes;
}

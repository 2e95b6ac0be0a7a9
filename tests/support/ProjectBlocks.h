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

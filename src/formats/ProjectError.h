#pragma once
// Errors of reading, writing and storing project files. The text is what the
// user sees; the kind lets a caller tell the newer-version refusal and the
// file-level failures apart from a malformed file.
#include <QString>

#include <stdexcept>

class ProjectError : public std::runtime_error {
public:
    enum class Kind {
        InvalidPropertyValue, // a value of an unexpected type
        StreamRead,           // the data ended inside a value
        NewerVersion,         // written by a newer program; nothing else was read
        CannotCreate,         // the new file could not be written
        CannotRead,           // the file could not be read (or is far too large)
        NotAProject,          // starts like no project: some other file
        DamagedAfterClassic,  // bytes after the 21 values that are no whole block
    };

    ProjectError(Kind kind, const QString& text)
        : std::runtime_error(text.toStdString()), kind_(kind), text_(text)
    {
    }

    Kind kind() const { return kind_; }
    const QString& Text() const { return text_; }

private:
    Kind kind_;
    QString text_;
};

// The program's fixed texts (the doubled "than" is part of the text).
inline QString InvalidPropertyValueText() { return QStringLiteral("Invalid property value"); }
inline QString StreamReadErrorText() { return QStringLiteral("Stream read error"); }
inline QString NewerVersionText()
{
    return QStringLiteral("File version is higher than than the program's. Get an update.");
}
inline QString FileInUseText(const QString& path)
{
    return QStringLiteral("Can not overwrite. File ") + path + QStringLiteral(" is in use.");
}

// Ours, where a classic text would mislead.
inline QString NotAProjectText() { return QStringLiteral("Not a Cubiform project"); }
inline QString DamagedAfterClassicText() { return QStringLiteral("Project damaged after its classic values"); }

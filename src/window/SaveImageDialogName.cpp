// Where the result goes: the output folder, the file's name and its
// extension following the format, and what makes a path unusable.
#include "window/SaveImageDialog.h"

#include "window/Prompts.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace {

bool EndsWithSeparator(const QString& folder)
{
    return folder.endsWith(QDir::separator()) || folder.endsWith(QLatin1Char('/'));
}

QString WithSeparator(QString folder)
{
    folder = QDir::toNativeSeparators(folder);
    if (!folder.isEmpty() && !EndsWithSeparator(folder))
        folder += QDir::separator();
    return folder;
}

bool FolderExists(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}

const char* ExtensionOf(int format)
{
    switch (format) {
    case SaveImageDialog::FormatBmp: return ".bmp";
    case SaveImageDialog::FormatPng: return ".png";
    case SaveImageDialog::FormatTga: return ".tga";
    default: return ".jpg";
    }
}

// The format a file's extension names; -1 for none of them.
int FormatOfSuffix(const QString& suffix)
{
    const QString s = suffix.toLower();
    if (s == QLatin1String("jpg") || s == QLatin1String("jpeg"))
        return SaveImageDialog::FormatJpeg;
    if (s == QLatin1String("bmp"))
        return SaveImageDialog::FormatBmp;
    if (s == QLatin1String("png"))
        return SaveImageDialog::FormatPng;
    if (s == QLatin1String("tga"))
        return SaveImageDialog::FormatTga;
    return -1;
}

// The suffix after the last dot of the name's last part ("" for none).
QString SuffixOf(const QString& name)
{
    const QString last = name.section(QLatin1Char('/'), -1);
    const int dot = last.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? last.mid(dot + 1) : QString();
}

// How a folder is named in a message: as given, without its last separator.
QString Shown(const QString& folder)
{
    QString shown = QDir::toNativeSeparators(folder);
    while (shown.size() > 1 && EndsWithSeparator(shown))
        shown.chop(1);
    return shown;
}

} // namespace

void SaveImageDialog::SetFolderClicked()
{
    QString folder =
        prompts_.PickFolder(this, QStringLiteral("Select output folder"), folderEdit->text());
    if (folder.isEmpty())
        return;
    folder = WithSeparator(folder);
    if (!FolderExists(folder)) {
        const auto answer = prompts_.Ask(
            this, QStringLiteral("Confirm"),
            QStringLiteral("Directory ") + folder + QStringLiteral(" does not exists. Create it first?"),
            QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return;
        if (!QDir().mkpath(folder) || !FolderExists(folder)) {
            prompts_.Tell(this, QMessageBox::Critical, windowTitle(),
                          QStringLiteral("Can not create directory ") + folder + QStringLiteral("."));
            return;
        }
    }
    folderEdit->setText(folder);
    UpdateOk();
}

void SaveImageDialog::FollowFormat()
{
    const int format = formatBox->currentIndex();
    const QString name = nameEdit->text();
    if (format < FormatJpeg || format > FormatTga || name.trimmed().isEmpty())
        return;
    const QString suffix = SuffixOf(QDir::fromNativeSeparators(name));
    if (FormatOfSuffix(suffix) == format)
        return; // ".jpeg" stays as typed
    QString stem = name;
    if (FormatOfSuffix(suffix) >= 0)
        stem.chop(suffix.size() + 1);
    nameEdit->setText(stem + QLatin1String(ExtensionOf(format)));
}

void SaveImageDialog::NameEdited(const QString& text)
{
    const int named = FormatOfSuffix(SuffixOf(QDir::fromNativeSeparators(text)));
    if (named >= 0 && named != formatBox->currentIndex())
        formatBox->setCurrentIndex(named);
}

QString SaveImageDialog::TargetPath() const
{
    QString name = QDir::fromNativeSeparators(nameEdit->text().trimmed());
    if (name.isEmpty())
        return QString();
    const int format = formatBox->currentIndex();
    // A name that ends like a folder gets no extension: it is refused as one.
    if (!name.endsWith(QLatin1Char('/')) && format >= FormatJpeg && format <= FormatTga &&
        FormatOfSuffix(SuffixOf(name)) != format)
        name += QLatin1String(ExtensionOf(format));
    return InFolder(name);
}

QString SaveImageDialog::InFolder(const QString& name) const
{
    if (QDir::isAbsolutePath(name))
        return QDir::toNativeSeparators(name);
    return WithSeparator(folderEdit->text()) + QDir::toNativeSeparators(name);
}

QString SaveImageDialog::PathProblem(const QString& path) const
{
    if (path.isEmpty())
        return QStringLiteral("Type a name for the picture's file.");
    // Also a folder's name as typed, before the extension is added.
    const QString name = QDir::fromNativeSeparators(nameEdit->text().trimmed());
    for (const QString& named : {InFolder(name), path})
        if (EndsWithSeparator(named) || QFileInfo(named).isDir())
            return QStringLiteral("%1 is a folder. Type a name for the picture's file.").arg(Shown(named));
    if (folderEdit->text().trimmed().isEmpty() && !QDir::isAbsolutePath(name))
        return QStringLiteral("Choose the folder the picture goes to.");
    const QString folder = QFileInfo(path).path();
    const QFileInfo where(folder);
    if (!where.exists())
        return QStringLiteral("The folder %1 does not exist. Choose another with Set, which can also make it.")
            .arg(Shown(folder));
    if (!where.isDir())
        return QStringLiteral("%1 is a file, not a folder.").arg(Shown(folder));
    if (!where.isWritable())
        return QStringLiteral("The folder %1 can not be written to.").arg(Shown(folder));
    return QString();
}

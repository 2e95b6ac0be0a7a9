#include "window/FolderPicker.h"

#include "window/ScreenCentre.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

QString FolderWithSeparator(const QString& path)
{
    QString folder = QDir::toNativeSeparators(path);
    if (!folder.isEmpty() && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

namespace {

QString UserFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return FolderWithSeparator(folder);
    return FolderWithSeparator(QDir::homePath());
}

} // namespace

QString UserPicturesFolder()
{
    return UserFolder(QStandardPaths::PicturesLocation);
}

QString UserDocumentsFolder()
{
    return UserFolder(QStandardPaths::DocumentsLocation);
}

QString ExistingFolderOr(const QString& folder, const QString& fallback)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

namespace {

// Qt's own picker refuses a typed folder that does not exist ("Directory not
// found") and greys out its button; this one hands such a folder back, so the
// caller can offer to create it.
class NewFolderPicker final : public QFileDialog {
public:
    explicit NewFolderPicker(QWidget* owner) : QFileDialog(owner) {}

    void accept() override
    {
        if (TypedMissingFolder().isEmpty())
            QFileDialog::accept();
        else
            QDialog::accept(); // selectedFiles() still names the typed folder
    }

    // Call after the picker is set up: its widgets exist from then on.
    void WatchTyping()
    {
        edit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
            choose_ = box->button(QDialogButtonBox::Open);
        if (choose_)
            choose_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Qt disables the button whenever the text names no existing folder.
        if (watched == choose_ && event->type() == QEvent::EnabledChange &&
            !choose_->isEnabled() && !TypedMissingFolder().isEmpty())
            choose_->setEnabled(true);
        return QFileDialog::eventFilter(watched, event);
    }

private:
    // The typed folder when nothing of that name exists yet; else empty.
    QString TypedMissingFolder() const
    {
        if (fileMode() != QFileDialog::Directory || !edit_)
            return QString();
        const QString typed = edit_->text().trimmed();
        // "$NAME" is left to Qt, which reads it from the environment.
        if (typed.isEmpty() || typed.startsWith(QLatin1Char('$')))
            return QString();
        const QStringList files = selectedFiles();
        if (files.size() != 1 || QFileInfo::exists(files.constFirst()))
            return QString();
        return files.constFirst();
    }

    QLineEdit* edit_ = nullptr;
    QPushButton* choose_ = nullptr;
};

} // namespace

FolderPicker::FolderPicker(QObject* parent) : QObject(parent) {}

void FolderPicker::Prepare(QFileDialog& dialog) const
{
    dialog.setWindowTitle(Comment);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, !ShowFiles);
    // The platform picker cannot be placed; Qt's own one can.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QFileInfo start(QDir::fromNativeSeparators(Directory));
    if (!Directory.isEmpty() && start.isDir())
        dialog.setDirectory(start.absoluteFilePath());
}

bool FolderPicker::Execute(QWidget* owner)
{
    NewFolderPicker dialog(owner);
    Prepare(dialog);
    dialog.WatchTyping();
    CentreOnScreen(dialog);
    const int result = Run ? Run(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    const QString path = chosen.isEmpty() ? QString() : chosen.constFirst();
    Directory = FolderWithSeparator(path);
    const QFileInfo info(path);
    displayName_ = info.fileName().isEmpty() ? QDir::toNativeSeparators(path) : info.fileName();
    return true;
}

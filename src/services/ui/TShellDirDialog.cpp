#include "services/ui/TShellDirDialog.h"

#include "services/ui/ScreenCentre.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString FolderWithSeparator(const QString& path)
{
    QString folder = QDir::toNativeSeparators(path);
    if (!folder.isEmpty() && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

TShellDirDialog::TShellDirDialog(QObject* parent) : QObject(parent) {}

void TShellDirDialog::Prepare(QFileDialog& dialog) const
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

bool TShellDirDialog::Execute(QWidget* owner)
{
    QFileDialog dialog(owner);
    Prepare(dialog);
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

#include "window/Prompts.h"

#include "window/FolderPicker.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QPushButton>

QString QtFileFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString caption = parts.at(i);
        // Qt reads the patterns from the parentheses; a caption without them gets them appended.
        if (!caption.contains(QLatin1Char('(')))
            caption += QStringLiteral(" (%1)").arg(patterns);
        else
            caption = caption.left(caption.indexOf(QLatin1Char('('))) + QStringLiteral("(%1)").arg(patterns);
        filters << caption;
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

QString StartPath(const FileDialogRequest& r)
{
    if (r.FileName.isEmpty())
        return r.StartFolder;
    if (QFileInfo(r.FileName).isAbsolute())
        return r.FileName;
    return QDir(r.StartFolder).filePath(r.FileName);
}

// Starts in the folder, or on the preset file; the chosen path, or empty.
QString RunFileDialog(QFileDialog& dialog, const FileDialogRequest& request)
{
    const QString start = StartPath(request);
    if (QFileInfo(start).isDir())
        dialog.setDirectory(start);
    else
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

QString QtPrompts::OpenFile(QWidget* parent, const FileDialogRequest& request)
{
    QFileDialog dialog(parent, request.Title, QString(), QtFileFilter(request.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunFileDialog(dialog, request);
}

QString QtPrompts::SaveFile(QWidget* parent, const FileDialogRequest& request)
{
    QFileDialog dialog(parent, request.Title, QString(), QtFileFilter(request.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.DefaultSuffix.startsWith(QLatin1Char('.'))
                                ? request.DefaultSuffix.mid(1)
                                : request.DefaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
    return RunFileDialog(dialog, request);
}

std::optional<QColor> QtPrompts::PickColor(QWidget* parent, const QColor& initial)
{
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString QtPrompts::PickFolder(QWidget* parent, const QString& comment, const QString& startFolder)
{
    FolderPicker picker;
    picker.Comment = comment;
    picker.Directory = startFolder;
    return picker.Execute(parent) ? picker.Directory : QString();
}

void WidenForTitle(QMessageBox& box)
{
    // The window manager cuts a title wider than the box; a row as wide as
    // the title (bold, as title bars often are) plus room for the title
    // bar's icon and buttons keeps it whole.
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void PrepareQuestion(QMessageBox& box, QMessageBox::StandardButtons buttons)
{
    box.setStandardButtons(buttons);
    if (buttons & QMessageBox::Cancel)
        return;
    QPushButton* neither = box.addButton(QMessageBox::Cancel);
    neither->hide();
    box.setEscapeButton(neither);
}

QMessageBox::StandardButton QtPrompts::Ask(QWidget* parent, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    PrepareQuestion(box, buttons);
    WidenForTitle(box);
    box.exec();
    return box.standardButton(box.clickedButton());
}

void QtPrompts::Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                     const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    WidenForTitle(box);
    box.exec();
}

int QtPrompts::Exec(QDialog& dialog)
{
    return dialog.exec();
}

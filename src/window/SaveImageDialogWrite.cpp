// Writing the result: the checks before drawing, the picture written as
// shown or drawn again off screen, and the dialog while that runs.
#include "window/SaveImageDialog.h"

#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"
#include "window/Prompts.h"
#include "window/SaveImageShot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <utility>

namespace {

// Writes the result, wording a failure as this dialog always has.
void WriteResultFile(const QString& path, const QByteArray& bytes)
{
    try {
        WriteFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        using Step = FileWriteError::Step;
        const bool created = e.FailedStep() == Step::Write || e.FailedStep() == Step::Replace;
        const QString reason =
            e.FailedStep() == Step::IsFolder ? QStringLiteral("Filename refers to a directory") : e.Reason();
        throw FileFailure(path, (created ? QStringLiteral("can not write the file (%1)")
                                         : QStringLiteral("can not create the file (%1)"))
                                    .arg(reason));
    }
}

OutputFormat OutputFormatOf(int format)
{
    switch (format) {
    case SaveImageDialog::FormatBmp: return OutputFormat::Bmp;
    case SaveImageDialog::FormatPng: return OutputFormat::Png;
    case SaveImageDialog::FormatTga: return OutputFormat::Tga;
    default: return OutputFormat::Jpeg;
    }
}

} // namespace

bool SaveImageDialog::NeedsShot() const
{
    if (!document_ || !bitmap_)
        return false;
    const int format = formatBox->currentIndex();
    return format == FormatPng || format == FormatTga || rayBox->isChecked() ||
           QSize(widthBox->value(), heightBox->value()) != bitmap_->size();
}

void SaveImageDialog::OkClicked()
{
    writtenPath_.clear();
    const int format = formatBox->currentIndex();
    if (!bitmap_ || format < FormatJpeg || format > FormatTga) {
        accept();
        return;
    }
    const QString sizeProblem = SizeProblem();
    if (!sizeProblem.isEmpty()) { // OK is off then; a key may still reach it
        prompts_.Tell(this, QMessageBox::Warning, windowTitle(), sizeProblem);
        return;
    }
    // Everything that can be known about the file is checked before drawing.
    const QString path = TargetPath();
    const QString pathProblem = PathProblem(path);
    if (!pathProblem.isEmpty()) {
        prompts_.Tell(this, QMessageBox::Warning, windowTitle(), pathProblem);
        nameEdit->setFocus();
        return;
    }
    try {
        if (document_) {
            ShotOrder order;
            order.Document = *document_;
            order.ProjectFile = projectFile_;
            order.Path = path;
            RefuseShotOverInputs(order);
        }
    } catch (const JobError& e) {
        prompts_.Tell(this, QMessageBox::Critical, windowTitle(), e.Text());
        return;
    }
    if (QFileInfo::exists(path) &&
        prompts_.Ask(this, windowTitle(),
                     QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(path)),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    if (NeedsShot()) {
        StartShot(path);
        return;
    }
    try {
        const QImage rgba = AsRgba(*bitmap_, path);
        const RgbaRows rows = RgbaRows::Of(rgba);
        QByteArray bytes;
        switch (format) {
        case FormatJpeg: bytes = EncodeJpeg(rows, qualityBox->value(), path); break;
        case FormatBmp: bytes = EncodeBmp(rows, BmpLayout::Bgr24, path); break;
        case FormatPng: bytes = EncodePng(rows, false, PngOutputLevel, path); break;
        default: bytes = EncodeTga(rows, TgaLayout::Bgr24, path); break;
        }
        WriteResultFile(path, bytes);
    } catch (const ImageError& e) {
        // Stay open: the user can pick another folder or cancel.
        prompts_.Tell(this, QMessageBox::Critical, windowTitle(), QString::fromUtf8(e.what()));
        return;
    }
    writtenPath_ = path;
    accept();
}

void SaveImageDialog::StartShot(const QString& path)
{
    ShotOrder order;
    order.Document = *document_;
    order.Document.SetEngine(Engine());
    order.ProjectFile = projectFile_;
    order.Path = path;
    order.Format = OutputFormatOf(formatBox->currentIndex());
    order.Quality = qualityBox->value();
    order.Size = QSize(widthBox->value(), heightBox->value());
    order.Samples = samples_;
    order.Transparent = transparentBox->isChecked() &&
                        (order.Format == OutputFormat::Png || order.Format == OutputFormat::Tga);
    shotPath_ = path;
    shot_ = new ShotJob(std::move(order), this);
    connect(shot_, &ShotJob::Note, progressLabel, &QLabel::setText);
    connect(shot_, &ShotJob::Preview, this, &SaveImageDialog::ShowPassPicture);
    connect(shot_, &ShotJob::Finished, this, &SaveImageDialog::ShotFinished);
    SetBusy(true);
}

void SaveImageDialog::ShotFinished(bool written, const QString& problem)
{
    if (shot_) {
        shot_->deleteLater();
        shot_ = nullptr;
    }
    SetBusy(false);
    if (!written) {
        ShowBitmap(); // not a ray tracer's unfinished picture
        prompts_.Tell(this, QMessageBox::Critical, windowTitle(), problem);
        return;
    }
    writtenPath_ = shotPath_;
    accept();
}

void SaveImageDialog::SetBusy(bool busy)
{
    for (QWidget* w : {static_cast<QWidget*>(folderRow), static_cast<QWidget*>(nameRow), static_cast<QWidget*>(formatBox),
                       static_cast<QWidget*>(qualityBox), static_cast<QWidget*>(transparentBox),
                       static_cast<QWidget*>(samplesBox), static_cast<QWidget*>(widthBox),
                       static_cast<QWidget*>(heightBox), static_cast<QWidget*>(rayBox),
                       static_cast<QWidget*>(passesBox), static_cast<QWidget*>(denoiseBox),
                       static_cast<QWidget*>(apertureBox)})
        w->setEnabled(!busy);
    for (const char* name : {"sizeLabel", "widthBox", "byLabel", "heightBox", "limitLabel"})
        if (auto* w = findChild<QWidget*>(QLatin1String(name)))
            w->setVisible(!busy);
    progressLabel->setVisible(busy);
    if (busy) {
        okButton->setEnabled(false);
        progressLabel->setText(QStringLiteral("Drawing..."));
        cancelButton->setFocus();
    } else {
        progressLabel->clear();
        ShowEngine(); // the samples and passes as the engine allows, and OK
    }
}

void SaveImageDialog::LetShotGo()
{
    if (!shot_)
        return;
    ShotJob* shot = std::exchange(shot_, nullptr);
    shot->disconnect(this);
    // The window waits for it when it closes; it ends at its next step and
    // leaves no file.
    shot->setParent(parentWidget());
    shot->Stop();
}

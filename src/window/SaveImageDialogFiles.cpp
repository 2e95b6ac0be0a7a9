// What the result dialog reads and writes: its stored choices, the output
// folder and the picture file.
#include "window/SaveImageDialog.h"

#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"
#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "window/Prompts.h"
#include "window/SaveImageShot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QLabel>
#include <QTimer>

#include <utility>

namespace {

const QString Section = QStringLiteral("Preference");
const QString FormatKey = QStringLiteral("Output format");
const QString QualityKey = QStringLiteral("Quality");
const QString TransparentKey = QStringLiteral("Transparent");

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

} // namespace

void SaveImageDialog::LoadPreferences()
{
    QStringList problems;
    auto guarded = [&problems](auto read, auto fallback) {
        try {
            return read();
        } catch (const RegistryError& e) {
            problems << e.Message();
            return fallback;
        }
    };
    const int format = guarded([this] { return store_.LoadNumber(Section, FormatKey, FormatJpeg); },
                               FormatJpeg);
    // A number that names no entry leaves the list without a selection.
    formatBox->setCurrentIndex(format >= 0 && format < formatBox->count() ? format : -1);
    qualityBox->setValue(guarded([this] { return store_.LoadNumber(Section, QualityKey, 70); }, 70));
    transparentBox->setChecked(
        guarded([this] { return store_.LoadFlag(Section, TransparentKey, false); }, false));
    if (!problems.isEmpty()) {
        const QString text = problems.join(QLatin1Char('\n'));
        QTimer::singleShot(0, this, [this, text] {
            prompts_.Tell(this, QMessageBox::Warning, windowTitle(), text);
        });
    }
}

bool SaveImageDialog::StorePreferences(QString* problem)
{
    stored_ = true;
    try {
        store_.StoreNumber(Section, FormatKey, formatBox->currentIndex());
        store_.StoreNumber(Section, QualityKey, qualityBox->value());
        store_.StoreFlag(Section, TransparentKey, transparentBox->isChecked());
    } catch (const RegistryError& e) {
        if (problem)
            *problem = e.Message();
        return false;
    }
    return true;
}

void SaveImageDialog::done(int result)
{
    LetShotGo();
    if (shown_ && !stored_) {
        QString problem;
        if (!StorePreferences(&problem))
            prompts_.Tell(this, QMessageBox::Warning, windowTitle(), problem);
    }
    QDialog::done(result);
}

void SaveImageDialog::EnableOkByFolder()
{
    okButton->setEnabled(FolderExists(folderEdit->text()));
}

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
    EnableOkByFolder();
}

namespace {

const char* ExtensionOf(int format)
{
    switch (format) {
    case SaveImageDialog::FormatBmp: return ".bmp";
    case SaveImageDialog::FormatPng: return ".png";
    case SaveImageDialog::FormatTga: return ".tga";
    default: return ".jpg";
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
    // The folder text normally ends with a separator already.
    QString path = folderEdit->text();
    if (!EndsWithSeparator(path))
        path += QDir::separator();
    path += ResultFileStem(Clock());
    path += QLatin1String(ExtensionOf(format));
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
    for (QWidget* w : {static_cast<QWidget*>(folderRow), static_cast<QWidget*>(formatBox),
                       static_cast<QWidget*>(qualityBox), static_cast<QWidget*>(transparentBox),
                       static_cast<QWidget*>(samplesBox), static_cast<QWidget*>(widthBox),
                       static_cast<QWidget*>(heightBox), static_cast<QWidget*>(rayBox),
                       static_cast<QWidget*>(passesBox), static_cast<QWidget*>(denoiseBox)})
        w->setEnabled(!busy);
    for (const char* name : {"sizeLabel", "widthBox", "byLabel", "heightBox"})
        if (auto* w = findChild<QWidget*>(QLatin1String(name)))
            w->setVisible(!busy);
    progressLabel->setVisible(busy);
    if (busy) {
        okButton->setEnabled(false);
        progressLabel->setText(QStringLiteral("Drawing..."));
        cancelButton->setFocus();
    } else {
        progressLabel->clear();
        EnableOkByFolder();
        ShowEngine(); // the samples and passes as the engine allows
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

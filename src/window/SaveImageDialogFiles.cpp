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

void SaveImageDialog::SetDrawingLimits(int glMaxSide, std::int64_t rayMemory)
{
    glMaxSide_ = glMaxSide;
    rayMemory_ = rayMemory;
    UpdateOk();
}

PictureLimit SaveImageDialog::Limit() const
{
    return rayBox->isChecked() ? RayLimit(rayMemory_, denoiseBox->isChecked()) : RasterLimit(samples_, glMaxSide_);
}

QString SaveImageDialog::SizeProblem() const
{
    if (!document_)
        return QString(); // the captured result is written as it is
    return Limit().Refusal(QSize(widthBox->value(), heightBox->value()));
}

void SaveImageDialog::UpdateOk()
{
    const QString problem = SizeProblem();
    if (document_) {
        const PictureLimit limit = Limit();
        const int side = limit.SquareSide();
        QString largest = QStringLiteral("Up to %1 x %1 pixels").arg(side);
        if (rayBox->isChecked())
            largest += QStringLiteral(" ray traced");
        else if (samples_ > 1)
            largest += QStringLiteral(" with %1 samples").arg(samples_);
        limitLabel->setText(problem.isEmpty() ? largest : problem);
        limitLabel->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("color: #b00000;"));
        limitLabel->setToolTip(problem.isEmpty() ? QString() : largest);
    }
    okButton->setEnabled(shown_ && !shot_ && problem.isEmpty());
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
    UpdateOk();
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
                       static_cast<QWidget*>(passesBox), static_cast<QWidget*>(denoiseBox)})
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

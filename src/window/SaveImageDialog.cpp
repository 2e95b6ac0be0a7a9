#include "window/SaveImageDialog.h"

#include "document/BoxLooks.h"
#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"
#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "window/BusyCursor.h"
#include "window/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString Section = QStringLiteral("Preference");
const QString FormatKey = QStringLiteral("Output format");
const QString QualityKey = QStringLiteral("Quality");
const QString TransparentKey = QStringLiteral("Transparent");
constexpr int FolderInset = 8;

// The quality is set with the arrows only; typing is off.
class ArrowSpinBox final : public QSpinBox {
public:
    explicit ArrowSpinBox(QWidget* parent) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

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

int SampleIndex(int samples)
{
    const auto& counts = LookLimits::SampleCounts;
    const auto* found = std::find(counts.begin(), counts.end(), samples);
    return found == counts.end() ? -1 : static_cast<int>(found - counts.begin());
}

} // namespace

SaveImageDialog::SaveImageDialog(SettingsStore& store, Prompts& prompts, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(prompts)
{
    setObjectName(QStringLiteral("SaveImageDlg"));
    setWindowTitle(QStringLiteral("Save image as"));
    resize(444, 381);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    // Top strip: the folder field follows the strip's width by hand, so the
    // "Set" panel keeps its place at the right.
    folderRow = new QWidget(this);
    folderRow->setObjectName(QStringLiteral("folderRow"));
    folderRow->setFixedHeight(41);
    folderEdit = new QLineEdit(folderRow);
    folderEdit->setObjectName(QStringLiteral("folderEdit"));
    setPanel = new QWidget(folderRow);
    setPanel->setObjectName(QStringLiteral("setPanel"));
    setPanel->setFixedSize(57, 41);
    setFolderButton = new QToolButton(setPanel);
    setFolderButton->setObjectName(QStringLiteral("setFolderButton"));
    setFolderButton->setText(QStringLiteral("Set"));
    setFolderButton->setToolTip(QStringLiteral("Select output folder"));
    setFolderButton->setGeometry(4, 9, 49, 23);
    folderRow->installEventFilter(this);
    rows->addWidget(folderRow);

    // The preview: 1:1, centred, scrollable when the result is larger.
    // (Qt widgets paint double-buffered already.)
    previewArea = new QScrollArea(this);
    previewArea->setObjectName(QStringLiteral("previewArea"));
    previewArea->setFrameShape(QFrame::NoFrame);
    previewArea->setAlignment(Qt::AlignCenter);
    previewArea->setWidgetResizable(false);
    QPalette teal = previewArea->palette();
    teal.setColor(QPalette::Window, QColor(64, 128, 128));
    previewArea->setPalette(teal);
    previewArea->setBackgroundRole(QPalette::Window);
    previewArea->setAutoFillBackground(true);
    preview = new QLabel;
    preview->setObjectName(QStringLiteral("preview"));
    preview->setAlignment(Qt::AlignCenter);
    previewArea->setWidget(preview);
    previewArea->viewport()->setAutoFillBackground(false);
    rows->addWidget(previewArea, 1);
    // The ranges settle after showing (the bars take room from the view) and
    // change on resizing; the preview keeps to its middle until the user scrolls.
    for (QScrollBar* bar : {previewArea->horizontalScrollBar(), previewArea->verticalScrollBar()}) {
        connect(bar, &QScrollBar::rangeChanged, this, [this] {
            if (keepCentred_)
                CentrePreview();
        });
        connect(bar, &QScrollBar::actionTriggered, this, [this] { keepCentred_ = false; });
    }

    auto* bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("Panel2"));
    auto* row = new QHBoxLayout(bottom);
    row->setContentsMargins(8, 6, 8, 6);
    formatBox = new QComboBox(bottom);
    formatBox->setObjectName(QStringLiteral("formatBox"));
    formatBox->setEditable(false);
    qualityLabel = new QLabel(QStringLiteral("Quality"), bottom);
    qualityLabel->setObjectName(QStringLiteral("qualityLabel"));
    qualityBox = new ArrowSpinBox(bottom);
    qualityBox->setObjectName(QStringLiteral("qualityBox"));
    qualityBox->setRange(10, 100);
    qualityBox->setSingleStep(5);
    qualityBox->setValue(70);
    qualityLabel->setBuddy(qualityBox);
    transparentBox = new QCheckBox(QStringLiteral("Transparent"), bottom);
    transparentBox->setObjectName(QStringLiteral("transparentBox"));
    samplesLabel = new QLabel(QStringLiteral("Samples"), bottom);
    samplesLabel->setObjectName(QStringLiteral("samplesLabel"));
    samplesBox = new QComboBox(bottom);
    samplesBox->setObjectName(QStringLiteral("samplesBox"));
    samplesBox->setToolTip(QStringLiteral("Anti-aliasing samples per pixel"));
    for (int count : LookLimits::SampleCounts)
        samplesBox->addItem(count == 1 ? QStringLiteral("1 (off)") : QString::number(count));
    samplesLabel->setBuddy(samplesBox);
    samplesLabel->hide(); // until a way to draw anew is given
    samplesBox->hide();
    okButton = new QPushButton(QStringLiteral("OK"), bottom);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setEnabled(false);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), bottom);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    row->addWidget(formatBox);
    row->addWidget(qualityLabel);
    row->addWidget(qualityBox);
    row->addWidget(transparentBox);
    row->addWidget(samplesLabel);
    row->addWidget(samplesBox);
    row->addStretch(1);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    rows->addWidget(bottom);

    connect(formatBox, &QComboBox::currentIndexChanged, this, [this] { FormatChosen(); });
    connect(samplesBox, &QComboBox::currentIndexChanged, this, [this] { SamplesChosen(); });
    connect(setFolderButton, &QToolButton::clicked, this, [this] { SetFolderClicked(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    FormatChosen();
    FitFolderField();
    formatBox->clear();
    formatBox->addItem(QStringLiteral("JPG image"));
    formatBox->addItem(QStringLiteral("BMP image"));
}

SaveImageDialog::~SaveImageDialog()
{
    if (shown_ && !stored_)
        StorePreferences(nullptr); // nothing can be shown while the dialog goes away
}

void SaveImageDialog::SetFolder(const QString& folder)
{
    folderEdit->setText(folder);
}

QString SaveImageDialog::FolderText() const
{
    return folderEdit->text();
}

void SaveImageDialog::FitFolderField()
{
    const int width = folderRow->width() - setPanel->width() - 2 * FolderInset;
    folderEdit->setGeometry(FolderInset, (folderRow->height() - folderEdit->sizeHint().height()) / 2,
                         std::max(0, width), folderEdit->sizeHint().height());
    setPanel->move(folderRow->width() - setPanel->width(), 0);
}

bool SaveImageDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == folderRow && event->type() == QEvent::Resize)
        FitFolderField();
    return QDialog::eventFilter(watched, event);
}

void SaveImageDialog::showEvent(QShowEvent* event)
{
    if (!shown_) {
        shown_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        PrepareShow();
        CentrePreview();
    }
    QDialog::showEvent(event);
}

void SaveImageDialog::CentrePreview()
{
    for (QScrollBar* bar : {previewArea->horizontalScrollBar(), previewArea->verticalScrollBar()})
        bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) / 2);
}

void SaveImageDialog::SetSamples(int samples)
{
    samples_ = samples;
    const QSignalBlocker block(samplesBox);
    samplesBox->setCurrentIndex(SampleIndex(samples));
}

void SaveImageDialog::PrepareShow()
{
    ShowBitmap();
    samplesLabel->setVisible(static_cast<bool>(Redraw));
    samplesBox->setVisible(static_cast<bool>(Redraw));
    EnableOkByFolder();
    LoadPreferences();
    FormatChosen();
}

void SaveImageDialog::ShowBitmap()
{
    if (bitmap_ && !bitmap_->isNull()) {
        // One bitmap pixel on one screen pixel, as the main view shows it.
        QPixmap picture = QPixmap::fromImage(*bitmap_);
        const qreal ratio = devicePixelRatioF();
        picture.setDevicePixelRatio(ratio);
        preview->setPixmap(picture);
        preview->resize(static_cast<int>(std::ceil(bitmap_->width() / ratio)),
                       static_cast<int>(std::ceil(bitmap_->height() / ratio)));
    }
}

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
    if (shown_ && !stored_) {
        QString problem;
        if (!StorePreferences(&problem))
            prompts_.Tell(this, QMessageBox::Warning, windowTitle(), problem);
    }
    QDialog::done(result);
}

void SaveImageDialog::FormatChosen()
{
    qualityLabel->hide();
    qualityBox->hide();
    transparentBox->hide(); // neither format keeps transparency
    if (formatBox->currentIndex() == FormatJpeg) {
        qualityLabel->show();
        qualityBox->show();
    }
}

void SaveImageDialog::SamplesChosen()
{
    const int index = samplesBox->currentIndex();
    if (!Redraw || index < 0 || index >= static_cast<int>(LookLimits::SampleCounts.size()))
        return;
    const int wanted = LookLimits::SampleCounts[static_cast<std::size_t>(index)];
    if (wanted == samples_)
        return;
    QImage picture;
    bool drawn = false;
    {
        const BusyCursor busy;
        drawn = Redraw(wanted, picture) && !picture.isNull();
    }
    if (!drawn) {
        // The picture shown stays, and with it the count it was drawn with.
        SetSamples(samples_);
        prompts_.Tell(this, QMessageBox::Critical, windowTitle(),
                      QStringLiteral("Can not allocate enough video memory. Try again with a smaller image."));
        return;
    }
    redrawn_ = std::move(picture);
    bitmap_ = &redrawn_;
    samples_ = wanted;
    ShowBitmap();
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

void SaveImageDialog::OkClicked()
{
    writtenPath_.clear();
    const int format = formatBox->currentIndex();
    if (bitmap_ && (format == FormatJpeg || format == FormatBmp)) {
        // The folder text normally ends with a separator already.
        QString path = folderEdit->text();
        if (!EndsWithSeparator(path))
            path += QDir::separator();
        path += ResultFileStem(Clock());
        path += format == FormatJpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
        try {
            const QImage rgba = AsRgba(*bitmap_, path);
            const RgbaRows rows = RgbaRows::Of(rgba);
            WriteResultFile(path, format == FormatJpeg ? EncodeJpeg(rows, qualityBox->value(), path)
                                                       : EncodeBmp(rows, BmpLayout::Bgr24, path));
        } catch (const ImageError& e) {
            // Stay open: the user can pick another folder or cancel.
            prompts_.Tell(this, QMessageBox::Critical, windowTitle(), QString::fromUtf8(e.what()));
            return;
        }
        writtenPath_ = path;
    }
    accept();
}

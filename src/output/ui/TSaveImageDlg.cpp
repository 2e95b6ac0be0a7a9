#include "output/ui/TSaveImageDlg.h"

#include "app/TMyRegistry.h"
#include "app/ui/Prompts.h"
#include "output/AtomicFile.h"
#include "output/PictureWriter.h"
#include "output/TimeStamp.h"

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

} // namespace

TSaveImageDlg::TSaveImageDlg(TMyRegistry& store, Prompts& prompts, QWidget* parent)
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
    Panel4 = new QWidget(this);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(41);
    eFolder = new QLineEdit(Panel4);
    eFolder->setObjectName(QStringLiteral("eFolder"));
    Panel5 = new QWidget(Panel4);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFixedSize(57, 41);
    SpeedButton1 = new QToolButton(Panel5);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Set"));
    SpeedButton1->setToolTip(QStringLiteral("Select output folder"));
    SpeedButton1->setGeometry(4, 9, 49, 23);
    Panel4->installEventFilter(this);
    rows->addWidget(Panel4);

    // The preview: 1:1, centred, scrollable when the result is larger.
    // (Qt widgets paint double-buffered already.)
    pBackground = new QScrollArea(this);
    pBackground->setObjectName(QStringLiteral("pBackground"));
    pBackground->setFrameShape(QFrame::NoFrame);
    pBackground->setAlignment(Qt::AlignCenter);
    pBackground->setWidgetResizable(false);
    QPalette teal = pBackground->palette();
    teal.setColor(QPalette::Window, QColor(64, 128, 128));
    pBackground->setPalette(teal);
    pBackground->setBackgroundRole(QPalette::Window);
    pBackground->setAutoFillBackground(true);
    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    pBackground->setWidget(Image1);
    pBackground->viewport()->setAutoFillBackground(false);
    rows->addWidget(pBackground, 1);
    // The ranges settle after showing (the bars take room from the view) and
    // change on resizing; the preview keeps to its middle until the user scrolls.
    for (QScrollBar* bar : {pBackground->horizontalScrollBar(), pBackground->verticalScrollBar()}) {
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
    cbFormat = new QComboBox(bottom);
    cbFormat->setObjectName(QStringLiteral("cbFormat"));
    cbFormat->setEditable(false);
    lbQuality = new QLabel(QStringLiteral("Quality"), bottom);
    lbQuality->setObjectName(QStringLiteral("lbQuality"));
    seQuality = new ArrowSpinBox(bottom);
    seQuality->setObjectName(QStringLiteral("seQuality"));
    seQuality->setRange(10, 100);
    seQuality->setSingleStep(5);
    seQuality->setValue(70);
    lbQuality->setBuddy(seQuality);
    cbTransparent = new QCheckBox(QStringLiteral("Transparent"), bottom);
    cbTransparent->setObjectName(QStringLiteral("cbTransparent"));
    bbOK = new QPushButton(QStringLiteral("OK"), bottom);
    bbOK->setObjectName(QStringLiteral("bbOK"));
    bbOK->setEnabled(false);
    bbOK->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), bottom);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    row->addWidget(cbFormat);
    row->addWidget(lbQuality);
    row->addWidget(seQuality);
    row->addWidget(cbTransparent);
    row->addStretch(1);
    row->addWidget(bbOK);
    row->addWidget(BitBtn2);
    rows->addWidget(bottom);

    connect(cbFormat, &QComboBox::currentIndexChanged, this, [this] { cbFormatChange(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(bbOK, &QPushButton::clicked, this, [this] { bbOKClick(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    cbFormatChange();
    FitFolderField();
    cbFormat->clear();
    cbFormat->addItem(QStringLiteral("JPG image"));
    cbFormat->addItem(QStringLiteral("BMP image"));
}

TSaveImageDlg::~TSaveImageDlg()
{
    if (shown_ && !stored_)
        StorePreferences(nullptr); // nothing can be shown while the dialog goes away
}

void TSaveImageDlg::SetFolder(const QString& folder)
{
    eFolder->setText(folder);
}

QString TSaveImageDlg::FolderText() const
{
    return eFolder->text();
}

void TSaveImageDlg::FitFolderField()
{
    const int width = Panel4->width() - Panel5->width() - 2 * FolderInset;
    eFolder->setGeometry(FolderInset, (Panel4->height() - eFolder->sizeHint().height()) / 2,
                         std::max(0, width), eFolder->sizeHint().height());
    Panel5->move(Panel4->width() - Panel5->width(), 0);
}

bool TSaveImageDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel4 && event->type() == QEvent::Resize)
        FitFolderField();
    return QDialog::eventFilter(watched, event);
}

void TSaveImageDlg::showEvent(QShowEvent* event)
{
    if (!shown_) {
        shown_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        FormShow();
        CentrePreview();
    }
    QDialog::showEvent(event);
}

void TSaveImageDlg::CentrePreview()
{
    for (QScrollBar* bar : {pBackground->horizontalScrollBar(), pBackground->verticalScrollBar()})
        bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) / 2);
}

void TSaveImageDlg::FormShow()
{
    if (bitmap_ && !bitmap_->isNull()) {
        // One bitmap pixel on one screen pixel, as the main view shows it.
        QPixmap picture = QPixmap::fromImage(*bitmap_);
        const qreal ratio = devicePixelRatioF();
        picture.setDevicePixelRatio(ratio);
        Image1->setPixmap(picture);
        Image1->resize(static_cast<int>(std::ceil(bitmap_->width() / ratio)),
                       static_cast<int>(std::ceil(bitmap_->height() / ratio)));
    }
    EnableOkByFolder();
    LoadPreferences();
    cbFormatChange();
}

void TSaveImageDlg::LoadPreferences()
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
    cbFormat->setCurrentIndex(format >= 0 && format < cbFormat->count() ? format : -1);
    seQuality->setValue(guarded([this] { return store_.LoadNumber(Section, QualityKey, 70); }, 70));
    cbTransparent->setChecked(
        guarded([this] { return store_.LoadFlag(Section, TransparentKey, false); }, false));
    if (!problems.isEmpty()) {
        const QString text = problems.join(QLatin1Char('\n'));
        QTimer::singleShot(0, this, [this, text] {
            prompts_.Tell(this, QMessageBox::Warning, windowTitle(), text);
        });
    }
}

bool TSaveImageDlg::StorePreferences(QString* problem)
{
    stored_ = true;
    try {
        store_.StoreNumber(Section, FormatKey, cbFormat->currentIndex());
        store_.StoreNumber(Section, QualityKey, seQuality->value());
        store_.StoreFlag(Section, TransparentKey, cbTransparent->isChecked());
    } catch (const RegistryError& e) {
        if (problem)
            *problem = e.Message();
        return false;
    }
    return true;
}

void TSaveImageDlg::done(int result)
{
    if (shown_ && !stored_) {
        QString problem;
        if (!StorePreferences(&problem))
            prompts_.Tell(this, QMessageBox::Warning, windowTitle(), problem);
    }
    QDialog::done(result);
}

void TSaveImageDlg::cbFormatChange()
{
    lbQuality->hide();
    seQuality->hide();
    cbTransparent->hide(); // neither format keeps transparency
    if (cbFormat->currentIndex() == FormatJpeg) {
        lbQuality->show();
        seQuality->show();
    }
}

void TSaveImageDlg::EnableOkByFolder()
{
    bbOK->setEnabled(FolderExists(eFolder->text()));
}

void TSaveImageDlg::SpeedButton1Click()
{
    QString folder =
        prompts_.PickFolder(this, QStringLiteral("Select output folder"), eFolder->text());
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
    eFolder->setText(folder);
    EnableOkByFolder();
}

void TSaveImageDlg::bbOKClick()
{
    writtenPath_.clear();
    const int format = cbFormat->currentIndex();
    if (bitmap_ && (format == FormatJpeg || format == FormatBmp)) {
        // The folder text normally ends with a separator already.
        QString path = eFolder->text();
        if (!EndsWithSeparator(path))
            path += QDir::separator();
        path += ResultFileStem(Clock());
        path += format == FormatJpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
        try {
            const QImage rgba = AsRgba(*bitmap_, path);
            const RgbaRows rows = RgbaRows::Of(rgba);
            WriteResultFile(path, format == FormatJpeg ? EncodeJpeg(rows, seQuality->value(), path)
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

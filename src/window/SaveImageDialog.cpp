#include "window/SaveImageDialog.h"

#include "document/BoxLooks.h"
#include "formats/TimeStamp.h"
#include "services/SettingsStore.h"
#include "window/BusyCursor.h"
#include "window/Checkerboard.h"
#include "window/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
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

constexpr int FolderInset = 8;

// The quality is set with the arrows only; typing is off.
class ArrowSpinBox final : public QSpinBox {
public:
    explicit ArrowSpinBox(QWidget* parent) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

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

    // The file's name, under the folder it goes to.
    nameRow = new QWidget(this);
    nameRow->setObjectName(QStringLiteral("nameRow"));
    auto* nameLine = new QHBoxLayout(nameRow);
    nameLine->setContentsMargins(FolderInset, 0, FolderInset, 6);
    auto* nameLabel = new QLabel(QStringLiteral("File &name"), nameRow);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameEdit = new QLineEdit(nameRow);
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    nameEdit->setToolTip(QStringLiteral("The picture's file name; the extension follows the format"));
    nameLabel->setBuddy(nameEdit);
    nameLine->addWidget(nameLabel);
    nameLine->addWidget(nameEdit, 1);
    rows->addWidget(nameRow);

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
    auto* lines = new QVBoxLayout(bottom);
    lines->setContentsMargins(8, 6, 8, 6);
    lines->setSpacing(6);
    auto* row = new QHBoxLayout;
    auto* sizeRow = new QHBoxLayout;
    lines->addLayout(row);
    lines->addLayout(MakeEngineRow(bottom));
    lines->addLayout(sizeRow);
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
    transparentBox = new QCheckBox(QStringLiteral("Transparent background"), bottom);
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
    sizeLabel = new QLabel(QStringLiteral("&Size"), bottom);
    sizeLabel->setObjectName(QStringLiteral("sizeLabel"));
    widthBox = new QSpinBox(bottom);
    widthBox->setObjectName(QStringLiteral("widthBox"));
    heightBox = new QSpinBox(bottom);
    heightBox->setObjectName(QStringLiteral("heightBox"));
    for (QSpinBox* box : {widthBox, heightBox}) {
        box->setRange(1, MaxSide);
        box->setAccelerated(true);
    }
    widthBox->setToolTip(QStringLiteral("Width in pixels"));
    heightBox->setToolTip(QStringLiteral("Height in pixels"));
    sizeLabel->setBuddy(widthBox);
    auto* byLabel = new QLabel(QStringLiteral("x"), bottom);
    progressLabel = new QLabel(bottom);
    progressLabel->setObjectName(QStringLiteral("progressLabel"));
    // The note takes the size fields' place while a picture is drawn and
    // never widens the dialog.
    progressLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progressLabel->hide();
    limitLabel = new QLabel(bottom);
    limitLabel->setObjectName(QStringLiteral("limitLabel"));
    limitLabel->setWordWrap(true);
    limitLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Room for a reason of two lines, so the controls above never jump.
    limitLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    limitLabel->setMinimumHeight(2 * limitLabel->fontMetrics().lineSpacing());
    limitLabel->hide(); // until there is a size to choose
    // Without a box to draw anew, the result's own size is all there is.
    for (QWidget* w : {static_cast<QWidget*>(sizeLabel), static_cast<QWidget*>(widthBox),
                       static_cast<QWidget*>(byLabel), static_cast<QWidget*>(heightBox)})
        w->setVisible(false);
    byLabel->setObjectName(QStringLiteral("byLabel"));
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
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(widthBox);
    sizeRow->addWidget(byLabel);
    sizeRow->addWidget(heightBox);
    sizeRow->addWidget(progressLabel, 1);
    sizeRow->addStretch(0);
    sizeRow->addWidget(okButton);
    sizeRow->addWidget(cancelButton);
    lines->addWidget(limitLabel);
    rows->addWidget(bottom);

    connect(formatBox, &QComboBox::currentIndexChanged, this, [this] { FormatChosen(); });
    connect(samplesBox, &QComboBox::currentIndexChanged, this, [this] { SamplesChosen(); });
    connect(nameEdit, &QLineEdit::textEdited, this, [this](const QString& text) { NameEdited(text); });
    for (QSpinBox* box : {widthBox, heightBox})
        connect(box, &QSpinBox::valueChanged, this, [this] { UpdateOk(); });
    connect(setFolderButton, &QToolButton::clicked, this, [this] { SetFolderClicked(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    FormatChosen();
    FitFolderField();
    formatBox->clear();
    formatBox->addItem(QStringLiteral("JPG image"));
    formatBox->addItem(QStringLiteral("BMP image"));
    formatBox->addItem(QStringLiteral("PNG image"));
    formatBox->addItem(QStringLiteral("TGA image"));
}

SaveImageDialog::~SaveImageDialog()
{
    LetShotGo();
    if (shown_ && !stored_)
        StorePreferences(nullptr); // nothing can be shown while the dialog goes away
}

void SaveImageDialog::SetDocument(const BoxDocument& document, const QString& projectFile)
{
    document_ = document;
    document_->OnChanged = nullptr; // the host's: it must not hear of the copy
    projectFile_ = projectFile;
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
        PrepareShow();
        FitPreview();
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        CentrePreview();
    }
    QDialog::showEvent(event);
}

void SaveImageDialog::FitPreview()
{
    if (!layout())
        return;
    layout()->activate();
    // The preview's room is what the dialog has beside the folder strip and
    // the bottom panel; the window frame comes on top of the dialog.
    const QSize chrome = size() - previewArea->size();
    QSize wanted = preview->size() + chrome;
    if (const QScreen* s = screen()) {
        const QSize frame = frameGeometry().size() - geometry().size();
        const QSize room = s->availableGeometry().size() - frame;
        wanted = wanted.boundedTo(room);
    }
    resize(size().expandedTo(wanted));
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
    if (bitmap_ && !bitmap_->isNull()) {
        widthBox->setValue(bitmap_->width());
        heightBox->setValue(bitmap_->height());
    }
    for (const char* name : {"sizeLabel", "widthBox", "byLabel", "heightBox", "limitLabel"})
        if (auto* w = findChild<QWidget*>(QLatin1String(name)))
            w->setVisible(document_.has_value());
    LoadPreferences();
    // The classic numbered name; FormatChosen gives it the format's extension.
    nameEdit->setText(ResultFileStem(Clock()));
    FormatChosen();
    ShowEngine();
    UpdateOk();
}

void SaveImageDialog::ShowBitmap()
{
    if (bitmap_ && !bitmap_->isNull())
        ShowPicture(*bitmap_);
}

void SaveImageDialog::ShowPicture(const QImage& image)
{
    // One bitmap pixel on one screen pixel, as the main view shows it; a
    // transparent background over the checkerboard.
    QPixmap picture = QPixmap::fromImage(OverCheckerboard(image));
    const qreal ratio = devicePixelRatioF();
    picture.setDevicePixelRatio(ratio);
    preview->setPixmap(picture);
    preview->resize(static_cast<int>(std::ceil(image.width() / ratio)),
                    static_cast<int>(std::ceil(image.height() / ratio)));
}


void SaveImageDialog::FormatChosen()
{
    qualityLabel->hide();
    qualityBox->hide();
    const int format = formatBox->currentIndex();
    // Only PNG and TGA keep an alpha channel.
    transparentBox->setVisible(document_ && (format == FormatPng || format == FormatTga));
    if (format == FormatJpeg) {
        qualityLabel->show();
        qualityBox->show();
    }
    FollowFormat();
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
    UpdateOk(); // the limit follows the samples
}

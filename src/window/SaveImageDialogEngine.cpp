// The result dialog's choice of engine: the raster's captured result, or
// the ray tracer's picture drawn off screen with its passes (and denoised,
// unless unticked), shown in the preview as its passes come in.
#include "window/SaveImageDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>

namespace {

QString FStop(double fNumber) { return QStringLiteral("f/") + QString::number(fNumber, 'g', 3); }

} // namespace

QList<QWidget*> SaveImageDialog::EngineWidgets() const
{
    return {rayBox, passesLabel, passesBox, denoiseBox, apertureLabel, apertureBox};
}

QLayout* SaveImageDialog::MakeEngineRow(QWidget* parent)
{
    auto* row = new QHBoxLayout;
    rayBox = new QCheckBox(QStringLiteral("&Ray traced"), parent);
    rayBox->setObjectName(QStringLiteral("rayBox"));
    rayBox->setToolTip(QStringLiteral("Soft light, shadows and gloss, drawn off screen; the view stays as it is"));
    passesLabel = new QLabel(QStringLiteral("&Passes"), parent);
    passesLabel->setObjectName(QStringLiteral("passesLabel"));
    passesBox = new QSpinBox(parent);
    passesBox->setObjectName(QStringLiteral("passesBox"));
    passesBox->setRange(EngineLimits::MinPasses, EngineLimits::MaxPasses);
    passesBox->setValue(EngineLimits::DefaultPasses);
    passesBox->setAccelerated(true);
    passesBox->setToolTip(QStringLiteral("Paths per pixel: more is cleaner and slower"));
    passesLabel->setBuddy(passesBox);
    denoiseBox = new QCheckBox(QStringLiteral("&Denoise"), parent);
    denoiseBox->setObjectName(QStringLiteral("denoiseBox"));
    denoiseBox->setChecked(true);
    denoiseBox->setToolTip(QStringLiteral("Filters the grain out of the finished picture, keeping the print and the edges"));
    apertureLabel = new QLabel(QStringLiteral("&Aperture"), parent);
    apertureLabel->setObjectName(QStringLiteral("apertureLabel"));
    apertureBox = new QComboBox(parent);
    apertureBox->setObjectName(QStringLiteral("apertureBox"));
    apertureBox->addItem(QStringLiteral("All sharp"), EngineLimits::NoDepthOfField);
    for (double stop : {1.4, 2.0, 2.8, 4.0, 5.6, 8.0, 11.0, 16.0, 22.0})
        apertureBox->addItem(FStop(stop), stop);
    apertureBox->setToolTip(QStringLiteral("Depth of field: the lens opened to this f-number, focused on the front; "
                                           "nearer and farther blur, more passes clean it"));
    apertureLabel->setBuddy(apertureBox);
    row->addWidget(rayBox);
    row->addWidget(passesLabel);
    row->addWidget(passesBox);
    row->addWidget(denoiseBox);
    row->addWidget(apertureLabel);
    row->addWidget(apertureBox);
    row->addStretch(1);
    connect(rayBox, &QCheckBox::toggled, this, [this] { EngineChosen(); });
    connect(denoiseBox, &QCheckBox::toggled, this, [this] { UpdateOk(); }); // the denoiser needs more memory
    // Without a box to draw, only the captured result can be written.
    for (QWidget* w : EngineWidgets())
        w->setVisible(false);
    return row;
}

BoxEngine SaveImageDialog::Engine() const
{
    if (!document_)
        return {};
    BoxEngine engine = document_->Engine();
    engine.RayTraced = rayBox->isChecked();
    engine.Passes = passesBox->value();
    engine.Denoise = denoiseBox->isChecked();
    engine.FNumber = apertureBox->currentData().toDouble();
    return engine;
}

// The document's engine into the row, once the dialog is about to show.
void SaveImageDialog::ShowEngine()
{
    const bool offered = document_.has_value();
    for (QWidget* w : EngineWidgets())
        w->setVisible(offered);
    if (offered && !engineShown_) {
        engineShown_ = true;
        const QSignalBlocker block(rayBox);
        rayBox->setChecked(document_->Engine().RayTraced);
        passesBox->setValue(document_->Engine().Passes);
        denoiseBox->setChecked(document_->Engine().Denoise);
        // A project's stop the list lacks (set on the command line) joins it.
        const double stop = document_->Engine().FNumber;
        int at = apertureBox->findData(stop);
        if (at < 0) {
            apertureBox->addItem(FStop(stop), stop);
            at = apertureBox->count() - 1;
        }
        apertureBox->setCurrentIndex(at);
    }
    EngineChosen();
}

void SaveImageDialog::EngineChosen()
{
    const bool traced = rayBox->isChecked();
    passesBox->setEnabled(traced && rayBox->isEnabled());
    passesLabel->setEnabled(traced);
    denoiseBox->setEnabled(traced && rayBox->isEnabled()); // the raster has no grain
    apertureBox->setEnabled(traced && rayBox->isEnabled()); // nor a lens
    apertureLabel->setEnabled(traced);
    // The ray tracer's passes are its anti-aliasing.
    samplesBox->setEnabled(!traced && rayBox->isEnabled());
    samplesLabel->setEnabled(!traced);
    UpdateOk(); // each engine has its own limit
}

void SaveImageDialog::ShowPassPicture(const QImage& picture)
{
    // The picture being made is looked at whole, not one corner of it.
    const QSize room = previewArea->viewport()->size() * devicePixelRatioF();
    if (picture.width() > room.width() || picture.height() > room.height())
        ShowPicture(picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        ShowPicture(picture);
    CentrePreview();
}

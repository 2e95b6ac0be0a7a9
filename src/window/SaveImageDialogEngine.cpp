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
    row->addWidget(rayBox);
    row->addWidget(passesLabel);
    row->addWidget(passesBox);
    row->addWidget(denoiseBox);
    row->addStretch(1);
    connect(rayBox, &QCheckBox::toggled, this, [this] { EngineChosen(); });
    connect(denoiseBox, &QCheckBox::toggled, this, [this] { UpdateOk(); }); // the denoiser needs more memory
    // Without a box to draw, only the captured result can be written.
    for (QWidget* w : {static_cast<QWidget*>(rayBox), static_cast<QWidget*>(passesLabel),
                       static_cast<QWidget*>(passesBox), static_cast<QWidget*>(denoiseBox)})
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
    return engine;
}

// The document's engine into the row, once the dialog is about to show.
void SaveImageDialog::ShowEngine()
{
    const bool offered = document_.has_value();
    for (QWidget* w : {static_cast<QWidget*>(rayBox), static_cast<QWidget*>(passesLabel),
                       static_cast<QWidget*>(passesBox), static_cast<QWidget*>(denoiseBox)})
        w->setVisible(offered);
    if (offered && !engineShown_) {
        engineShown_ = true;
        const QSignalBlocker block(rayBox);
        rayBox->setChecked(document_->Engine().RayTraced);
        passesBox->setValue(document_->Engine().Passes);
        denoiseBox->setChecked(document_->Engine().Denoise);
    }
    EngineChosen();
}

void SaveImageDialog::EngineChosen()
{
    const bool traced = rayBox->isChecked();
    passesBox->setEnabled(traced && rayBox->isEnabled());
    passesLabel->setEnabled(traced);
    denoiseBox->setEnabled(traced && rayBox->isEnabled()); // the raster has no grain
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

// What the result dialog keeps between runs (its stored choices) and the
// largest picture it may draw.
#include "window/SaveImageDialog.h"

#include "services/SettingsStore.h"
#include "window/Prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

const QString Section = QStringLiteral("Preference");
const QString FormatKey = QStringLiteral("Output format");
const QString QualityKey = QStringLiteral("Quality");
const QString TransparentKey = QStringLiteral("Transparent");

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

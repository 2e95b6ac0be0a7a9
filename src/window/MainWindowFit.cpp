// Fit: the view's sliders set so that the box, with its looks, fills the
// result with the fit's margin. Measured as the view draws it, in the GL
// callback; the sliders move outside it, so one change gives one frame.
#include "window/MainWindow.h"

#include "render/FrameMeasure.h"
#include "window/GLPanel.h"

#include <QStringList>
#include <QTimer>

#include <cmath>

void MainWindow::FitClicked()
{
    fitPending_ = true;
    view->RequestFrame();
}

void MainWindow::MeasurePendingFit()
{
    fitPending_ = false;
    BoxParameters start = document_.Params;
    WrapViewAngles(start);
    const QSize pixels = OutputPixelSize();
    const FitOutcome fit = FitDrawnView(Renderer, Textures(), start, FitRequest{FitLimits::DefaultMargin, {}},
                                        MeasureSetup{pixels, pixels});
    if (!fit.Found) {
        QTimer::singleShot(0, this, [this] { ShowStatusMessage(QStringLiteral("Fit: nothing of the box is in view")); });
        return;
    }
    const BoxParameters fitted = fit.View;
    QTimer::singleShot(0, this, [this, fitted] { ApplyFittedView(fitted); });
}

void MainWindow::ApplyFittedView(const BoxParameters& fitted)
{
    const struct {
        Slider Which;
        float Value;
        const char* Name;
    } moves[] = {{Slider::Depth, fitted.Depth, "depth"},
                 {Slider::Vertical, fitted.VerticalOffset, "vertical"},
                 {Slider::Horizontal, fitted.HorizontalOffset, "horizontal"}};
    QStringList held;
    for (const auto& move : moves) {
        const SliderRange range = document_.Range(move.Which);
        const long nearest = std::lround(move.Value);
        const int position = static_cast<int>(std::clamp<long>(nearest, range.Minimum, range.Maximum));
        if (position != nearest)
            held << QStringLiteral("%1 %2 (the slider ends at %3)").arg(QLatin1String(move.Name)).arg(nearest).arg(position);
        document_.SetPosition(move.Which, position);
    }
    ShowStatusMessage(held.isEmpty()
                          ? QStringLiteral("Fit: the box fills the result with a margin of %1 %").arg(FitLimits::DefaultMargin)
                          : QStringLiteral("Fit: the nearest the sliders can hold; would need ") + held.join(QStringLiteral(", ")));
}

// The document's real size: the sliders set from it, and the sides shown.
#include "document/BoxDocument.h"

namespace {

constexpr Slider SizeSliders[3] = {Slider::Width, Slider::Height, Slider::Thickness};
const char* const SideNames[3] = {"width", "height", "depth"};

int ScaleOf(const BoxForm& form, int side)
{
    const int scales[3] = {form.WidthScale, form.HeightScale, form.ThicknessScale};
    return scales[side];
}

} // namespace

Sides BoxDocument::DrawnSides() const
{
    const auto mm = [](float half) { return 2.0 * static_cast<double>(half) * 100.0; };
    return {mm(Params.HalfWidth), mm(Params.HalfHeight), mm(Params.HalfThickness)};
}

QString BoxDocument::SizeLabel(Slider slider, SizeLabels labels) const
{
    const int side = slider == Slider::Width ? 0 : slider == Slider::Height ? 1 : slider == Slider::Thickness ? 2 : -1;
    if (labels == SizeLabels::Classic || side < 0)
        return ValueText(slider);
    return SideText(DrawnSides()[static_cast<std::size_t>(side)],
                    labels == SizeLabels::Inches ? SizeUnit::Inch : SizeUnit::Millimetre);
}

QString BoxDocument::SetRealSize(const RealSize& size, QStringList* notes)
{
    const BoxForm& form = Params.CurrentForm;
    const double asked[3] = {size.Width, size.Height, size.Depth};
    SideFit fits[3];
    for (int i = 0; i < 3; ++i) {
        const int maximum = Range(SizeSliders[i]).Maximum;
        const int scale = ScaleOf(form, i);
        fits[i] = FitSide(asked[i], maximum, scale);
        if (fits[i].InRange)
            continue;
        const QString least = SideText(SideMillimetres(1, maximum, scale), size.Unit);
        const QString most = SideText(SideMillimetres(maximum, maximum, scale), size.Unit);
        if (scale == 0)
            return QStringLiteral("a %1 is a card: its %2 is %3, not %4")
                .arg(form.Name, QLatin1String(SideNames[i]), least, SideText(asked[i], size.Unit));
        return QStringLiteral("a %1 of %2 is out of range for a %3: %4 to %5")
            .arg(QLatin1String(SideNames[i]), SideText(asked[i], size.Unit), form.Name, least, most);
    }
    for (int i = 0; i < 3; ++i) {
        SetPosition(SizeSliders[i], fits[i].Position);
        if (notes && !fits[i].Exact)
            *notes << QStringLiteral("the %1 %2 is drawn as %3, the nearest a %4 holds (size slider %5)")
                          .arg(QLatin1String(SideNames[i]), SideText(asked[i], size.Unit, true),
                               SideText(fits[i].Drawn, size.Unit, true), form.Name)
                          .arg(fits[i].Position);
    }
    real_ = size;
    return QString();
}

void BoxDocument::KeepRealSize(const RealSize& size)
{
    if (!size.Given())
        return;
    const double asked[3] = {size.Width, size.Height, size.Depth};
    for (int i = 0; i < 3; ++i) {
        const SideFit fit = FitSide(asked[i], Range(SizeSliders[i]).Maximum, ScaleOf(Params.CurrentForm, i));
        if (!fit.InRange || fit.Position != Position(SizeSliders[i]))
            return;
    }
    real_ = size;
}

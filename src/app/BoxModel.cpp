#include "app/BoxModel.h"

#include "app/Numbers.h"
#include "output/SizeClass.h"

namespace {

// (position / maximum) x (2 x scale) / 100 + 0.001, in this order, in double,
// then stored as single precision.
float HalfExtent(const RangeControl& bar, int scale)
{
    const double v = static_cast<double>(bar.Position()) / static_cast<double>(bar.Maximum()) *
                         (2.0 * static_cast<double>(scale)) / 100.0 +
                     0.001;
    return static_cast<float>(v);
}

} // namespace

BoxModel::BoxModel(const BoxControls& controls) : c_(controls) {}

bool BoxModel::AddBoxForm(int index, int widthScale, int heightScale, int thicknessScale,
                          int depth, int vertical, int horizontal, int sideAngle, int tiltAngle,
                          int turn, int eye, const QString& name)
{
    if (index < 0 || index >= FormCount)
        return false;
    c_.cbMode->AddItem(name);
    FormModeTable[static_cast<std::size_t>(index)] =
        BoxForm{name,     widthScale, heightScale, thicknessScale, depth, vertical,
                horizontal, sideAngle, tiltAngle,  turn,           eye};
    return true;
}

void BoxModel::FillFormTable()
{
    c_.cbMode->Clear();
    AddBoxForm(0, 70, 100, 30, 25, 0, 0, 36, 0, 0, 40, QStringLiteral("Top view vertical box"));
    AddBoxForm(1, 70, 100, 30, 31, -2, 0, 28, -2, 0, 28, QStringLiteral("Side view vertical box"));
    AddBoxForm(2, 70, 100, 30, 31, 0, 0, 28, 0, 0, 0, QStringLiteral("Front view vertical box"));
    AddBoxForm(3, 70, 100, 0, 27, 2, 0, 30, -30, 0, 3, QStringLiteral("vertical rotated image"));
    AddBoxForm(4, 100, 70, 0, 27, 0, 9, 30, -30, 0, 3, QStringLiteral("horizontal rotated image"));
    AddBoxForm(5, 80, 4, 80, 28, -1, -6, 31, 16, 0, 12, QStringLiteral("CD jewel box"));
    AddBoxForm(6, 80, 11, 80, 27, 0, -7, 30, 14, 0, 20, QStringLiteral("Pizza box"));
    AddBoxForm(7, 40, 26, 80, 21, 4, -16, 34, 6, 0, 20, QStringLiteral("Shoes box"));
    AddBoxForm(8, 78, 107, 18, 32, 0, 0, 24, -25, 0, 8, QStringLiteral("Hard cover book"));
    AddBoxForm(9, 78, 107, 10, 34, 0, 0, 33, -25, 0, 0, QStringLiteral("Soft cover book"));
}

void BoxModel::tbThickChange()
{
    Params.Depth = static_cast<float>(c_.tbDepth->Position());
    Params.VerticalOffset = static_cast<float>(c_.tbVertical->Position());
    Params.Turn = static_cast<float>(c_.tbTurn->Position());
    Params.HorizontalOffset = static_cast<float>(c_.tbHoriz->Position());
    Params.HalfHeight = HalfExtent(*c_.tbHeight, Params.CurrentForm.HeightScale);
    Params.HalfThickness = HalfExtent(*c_.tbThick, Params.CurrentForm.ThicknessScale);
    Params.HalfWidth = HalfExtent(*c_.tbBreed, Params.CurrentForm.WidthScale);
    Params.EyeAngle = c_.seEye->Position();

    c_.lbHeight->SetText(RoundedText(static_cast<double>(Params.HalfHeight) * 100.0));
    c_.lbThick->SetText(RoundedText(static_cast<double>(Params.HalfThickness) * 100.0));
    c_.lbBreed->SetText(RoundedText(static_cast<double>(Params.HalfWidth) * 100.0));
    c_.lbDepth->SetText(RoundedText(Params.Depth));
    c_.lbTurn->SetText(RoundedText(static_cast<double>(Params.Turn) / 10.0));
    c_.lbVertical->SetText(RoundedText(Params.VerticalOffset));
    c_.lbHoriz->SetText(RoundedText(Params.HorizontalOffset));
    if (OnViewChanged)
        OnViewChanged();
}

void BoxModel::cbModeChange()
{
    int index = c_.cbMode->ItemIndex();
    if (index < 0 || index >= FormCount) {
        index = 0;
        c_.cbMode->SetItemIndex(0);
    }
    const BoxForm& form = FormModeTable[static_cast<std::size_t>(index)];
    Params.CurrentForm = form;
    c_.tbDepth->SetPosition(form.Depth);
    c_.tbHoriz->SetPosition(form.Horizontal);
    c_.tbVertical->SetPosition(form.Vertical);
    Params.SideAngle = static_cast<float>(form.SideAngle);
    Params.TiltAngle = static_cast<float>(form.TiltAngle);
    c_.tbTurn->SetPosition(form.Turn);
    c_.seEye->SetPosition(form.Eye);
    tbThickChange();
    if (OnAngleStatus)
        OnAngleStatus();
}

void BoxModel::ResetProject()
{
    c_.cbClass->SetItemIndex(SizeClassMedium);
    c_.cbMode->SetItemIndex(0);
    c_.cbFog->SetItemIndex(0);
    c_.pColor->SetColor(0xFFFFFF);
    if (OnResetCoverImages)
        OnResetCoverImages();
    c_.tbThick->SetPosition(c_.tbThick->Maximum() / 2);
    c_.tbHeight->SetPosition(c_.tbHeight->Maximum() / 2);
    c_.tbBreed->SetPosition(c_.tbBreed->Maximum() / 2);
    c_.seEye->SetPosition(30);
}

void BoxModel::cbFogChange()
{
    // -1 (no item) arrives as 255, as the index is truncated to a byte.
    SetFogMode(static_cast<std::uint8_t>(c_.cbFog->ItemIndex() & 0xFF));
}

void BoxModel::SetFogMode(std::uint8_t mode)
{
    Params.FogMode = mode;
    if (OnFogMode)
        OnFogMode(mode);
    if (OnViewChanged)
        OnViewChanged();
}

void BoxModel::UpdateBackgroundColor()
{
    const std::uint32_t color = c_.pColor->Color();
    Params.BackgroundRed = static_cast<float>((color & 0xFF) / 255.0);
    Params.BackgroundGreen = static_cast<float>(((color >> 8) & 0xFF) / 255.0);
    Params.BackgroundBlue = static_cast<float>(((color >> 16) & 0xFF) / 255.0);
    if (OnViewChanged)
        OnViewChanged();
}

void BoxModel::cbClassChange()
{
    const int index = c_.cbClass->ItemIndex();
    const int maximum = SizeClassMaximum(index);
    if (index == SizeClassLarge && OnMaximize)
        OnMaximize();
    c_.tbImageWidth->SetMaximum(maximum);
    c_.tbImageHeight->SetMaximum(maximum);
    c_.tbImageWidth->SetPosition(maximum);
    c_.tbImageHeight->SetPosition(maximum);
}

void BoxModel::tbImageWidthChange()
{
    const int w = c_.tbImageWidth->Position();
    const int h = c_.tbImageHeight->Position();
    if (OnOutputSize)
        OnOutputSize(w, h);
    c_.lbImgWidth->SetText(QString::number(w));
    c_.lbImgHeight->SetText(QString::number(h));
    if (OnViewChanged)
        OnViewChanged();
}

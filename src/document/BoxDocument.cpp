#include "document/BoxDocument.h"

#include "document/Numbers.h"
#include "document/RealSize.h"
#include "document/SizeClass.h"

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace SliderLimits;

namespace {

std::array<BoxForm, FormCount> FormTable()
{
    auto form = [](const char* name, int width, int height, int thickness, int depth, int vertical,
                   int horizontal, int side, int tilt, int turn, int eye) {
        return BoxForm{QString::fromLatin1(name), width, height, thickness, depth, vertical,
                       horizontal, side, tilt, turn, eye};
    };
    return {form("Top view vertical box", 70, 100, 30, 25, 0, 0, 36, 0, 0, 40),
            form("Side view vertical box", 70, 100, 30, 31, -2, 0, 28, -2, 0, 28),
            form("Front view vertical box", 70, 100, 30, 31, 0, 0, 28, 0, 0, 0),
            form("vertical rotated image", 70, 100, 0, 27, 2, 0, 30, -30, 0, 3),
            form("horizontal rotated image", 100, 70, 0, 27, 0, 9, 30, -30, 0, 3),
            form("CD jewel box", 80, 4, 80, 28, -1, -6, 31, 16, 0, 12),
            form("Pizza box", 80, 11, 80, 27, 0, -7, 30, 14, 0, 20),
            form("Shoes box", 40, 26, 80, 21, 4, -16, 34, 6, 0, 20),
            form("Hard cover book", 78, 107, 18, 32, 0, 0, 24, -25, 0, 8),
            form("Soft cover book", 78, 107, 10, 34, 0, 0, 33, -25, 0, 0)};
}

bool ResultSlider(Slider s)
{
    return s == Slider::ImageWidth || s == Slider::ImageHeight;
}

} // namespace

QStringList FogCaptions()
{
    return {QStringLiteral("Clear view"), QStringLiteral("Natural view"),
            QStringLiteral("dimmed light"), QStringLiteral("Dark")};
}

QStringList SizeClassCaptions()
{
    return {QStringLiteral("Small"), QStringLiteral("Medium"), QStringLiteral("Large")};
}

QStringList FormCaptions()
{
    QStringList captions;
    for (const BoxForm& form : FormTable())
        captions << form.Name;
    return captions;
}

BoxDocument::BoxDocument() : forms_(FormTable())
{
    const std::pair<SliderRange, int> start[SliderCount] = {
        {{SizeMin, SizeMax}, SizeStart},       {{SizeMin, SizeMax}, SizeStart},
        {{SizeMin, SizeMax}, SizeStart},       {{DepthMin, DepthMax}, DepthStart},
        {{OffsetMin, OffsetMax}, OffsetStart}, {{OffsetMin, OffsetMax}, OffsetStart},
        {{TurnMin, TurnMax}, TurnStart},       {{EyeMin, EyeMax}, EyeStart},
        {{ImageMin, ImageStart}, ImageStart},  {{ImageMin, ImageStart}, ImageStart}};
    for (std::size_t i = 0; i < std::size(start); ++i) {
        ranges_[i] = start[i].first;
        positions_[i] = start[i].second;
    }
}

QString BoxDocument::ValueText(Slider slider) const
{
    switch (slider) {
    case Slider::Width: return RoundedText(static_cast<double>(Params.HalfWidth) * 100.0);
    case Slider::Height: return RoundedText(static_cast<double>(Params.HalfHeight) * 100.0);
    case Slider::Thickness: return RoundedText(static_cast<double>(Params.HalfThickness) * 100.0);
    case Slider::Depth: return RoundedText(Params.Depth);
    case Slider::Vertical: return RoundedText(Params.VerticalOffset);
    case Slider::Horizontal: return RoundedText(Params.HorizontalOffset);
    case Slider::Turn: return RoundedText(static_cast<double>(Params.Turn) / 10.0);
    case Slider::Eye: return QString::number(Params.EyeAngle);
    case Slider::ImageWidth:
    case Slider::ImageHeight: return QString::number(Position(slider));
    }
    return QString();
}

void BoxDocument::Changed(unsigned changes)
{
    if (OnChanged)
        OnChanged(changes);
}

bool BoxDocument::Move(Slider slider, int position)
{
    const SliderRange r = Range(slider);
    const int clamped = std::clamp(position, r.Minimum, r.Maximum);
    int& current = positions_[Index(slider)];
    if (clamped == current)
        return false;
    current = clamped;
    return true;
}

void BoxDocument::SetMaximum(Slider slider, int maximum)
{
    SliderRange& r = ranges_[Index(slider)];
    r.Maximum = std::max(r.Minimum, maximum);
    // A range that shrinks clamps the position, which counts as a move.
    if (Move(slider, Position(slider)) && ResultSlider(slider))
        ApplyOutputSize();
    Changed(DocumentChange::Sliders);
}

void BoxDocument::SetPosition(Slider slider, int position)
{
    if (!Move(slider, position))
        return;
    if (slider == Slider::Width || slider == Slider::Height || slider == Slider::Thickness)
        real_ = {};
    Changed(DocumentChange::Sliders);
    if (ResultSlider(slider))
        ApplyOutputSize();
    else
        Recompute();
}

void BoxDocument::Recompute()
{
    Params.Depth = static_cast<float>(Position(Slider::Depth));
    Params.VerticalOffset = static_cast<float>(Position(Slider::Vertical));
    Params.Turn = static_cast<float>(Position(Slider::Turn));
    Params.HorizontalOffset = static_cast<float>(Position(Slider::Horizontal));
    const BoxForm& form = Params.CurrentForm;
    Params.HalfHeight = HalfExtentOf(Position(Slider::Height), Range(Slider::Height).Maximum, form.HeightScale);
    Params.HalfThickness =
        HalfExtentOf(Position(Slider::Thickness), Range(Slider::Thickness).Maximum, form.ThicknessScale);
    Params.HalfWidth = HalfExtentOf(Position(Slider::Width), Range(Slider::Width).Maximum, form.WidthScale);
    Params.EyeAngle = Position(Slider::Eye);
    Changed(DocumentChange::View);
}

void BoxDocument::SetForm(int index)
{
    SelectForm(index);
    ApplyForm();
}

void BoxDocument::ApplyForm()
{
    if (form_ < 0)
        form_ = 0;
    const BoxForm& form = forms_[static_cast<std::size_t>(form_)];
    Params.CurrentForm = form;
    real_ = {}; // another kind's scales draw other sides
    Move(Slider::Depth, form.Depth);
    Move(Slider::Horizontal, form.Horizontal);
    Move(Slider::Vertical, form.Vertical);
    Params.SideAngle = static_cast<float>(form.SideAngle);
    Params.TiltAngle = static_cast<float>(form.TiltAngle);
    Move(Slider::Turn, form.Turn);
    Move(Slider::Eye, form.Eye);
    Changed(DocumentChange::Form | DocumentChange::Sliders | DocumentChange::Angles);
    Recompute();
}

void BoxDocument::SetFog(int index)
{
    SelectFog(index);
    ApplyFog();
}

void BoxDocument::ApplyFog()
{
    // -1 (no item) arrives as 255, as the index is truncated to a byte.
    const auto mode = static_cast<std::uint8_t>(fog_ & 0xFF);
    Params.FogMode = mode;
    Changed(DocumentChange::Fog | DocumentChange::FogMode | DocumentChange::View);
}

void BoxDocument::SetSizeClass(int index)
{
    SelectSizeClass(index);
    ApplySizeClass();
}

void BoxDocument::ApplySizeClass()
{
    const int maximum = SizeClassMaximum(sizeClass_);
    if (sizeClass_ == SizeClassLarge)
        Changed(DocumentChange::Maximize);
    Changed(DocumentChange::SizeClass);
    SetMaximum(Slider::ImageWidth, maximum);
    SetMaximum(Slider::ImageHeight, maximum);
    SetPosition(Slider::ImageWidth, maximum);
    SetPosition(Slider::ImageHeight, maximum);
}

void BoxDocument::SetBackground(std::uint32_t color)
{
    SelectBackground(color);
    ApplyBackground();
}

void BoxDocument::ApplyBackground()
{
    Params.BackgroundRed = static_cast<float>((background_ & 0xFF) / 255.0);
    Params.BackgroundGreen = static_cast<float>(((background_ >> 8) & 0xFF) / 255.0);
    Params.BackgroundBlue = static_cast<float>(((background_ >> 16) & 0xFF) / 255.0);
    Changed(DocumentChange::Background | DocumentChange::View);
}

void BoxDocument::ApplyOutputSize()
{
    Changed(DocumentChange::OutputSize | DocumentChange::View);
}

void BoxDocument::SetAngles(float side, float tilt)
{
    Params.SideAngle = side;
    Params.TiltAngle = tilt;
    Changed(DocumentChange::Angles | DocumentChange::View);
}

void BoxDocument::TurnTo(float side, float tilt)
{
    side = WrappedViewAngle(side);
    tilt = WrappedViewAngle(tilt);
    if (side == Params.SideAngle && tilt == Params.TiltAngle)
        return;
    SetAngles(side, tilt);
}

void BoxDocument::SetLooks(const BoxLooks& wanted)
{
    const auto strength = [](int v) { return std::clamp(v, LookLimits::MinStrength, LookLimits::MaxStrength); };
    BoxLooks looks;
    looks.Shadow = strength(wanted.Shadow);
    looks.ShadowSoftness = strength(wanted.ShadowSoftness);
    looks.Reflection = strength(wanted.Reflection);
    looks.Light = strength(wanted.Light);
    looks.SmoothTextures = wanted.SmoothTextures;
    looks.LensMm = wanted.LensMm == LookLimits::ClassicLens
                       ? LookLimits::ClassicLens
                       : std::clamp(wanted.LensMm, LookLimits::MinLensMm, LookLimits::MaxLensMm);
    looks.Samples = LookLimits::SampleCounts.front();
    for (int count : LookLimits::SampleCounts)
        if (count <= wanted.Samples)
            looks.Samples = count;
    if (looks == Params.Looks)
        return;
    Params.Looks = looks;
    Changed(DocumentChange::Looks | DocumentChange::View);
}

void BoxDocument::SetEngine(const BoxEngine& wanted)
{
    BoxEngine engine = wanted;
    engine.Passes = std::clamp(wanted.Passes, EngineLimits::MinPasses, EngineLimits::MaxPasses);
    engine.Gloss = std::clamp(wanted.Gloss, EngineLimits::MinGloss, EngineLimits::MaxGloss);
    if (engine == engine_)
        return;
    engine_ = engine;
    Changed(DocumentChange::Engine);
}

void BoxDocument::SetCover(int slot, const CoverSource& cover)
{
    CoverSource& source = covers_[static_cast<std::size_t>(slot)];
    if (source.Path == cover.Path && source.Folder == cover.Folder)
        return;
    source = cover;
    // A classic slot's host loads and shows the picture; only "saved or not" follows it.
    Changed(slot >= ClassicCoverCount ? DocumentChange::SideCovers | DocumentChange::View | DocumentChange::Files
                                      : DocumentChange::Files);
}

void BoxDocument::SetShape(const BoxShape& wanted)
{
    BoxShape shape = wanted;
    shape.EdgeRadius = std::isnan(wanted.EdgeRadius)
                           ? ShapeLimits::MinEdgeRadius
                           : std::clamp(wanted.EdgeRadius, ShapeLimits::MinEdgeRadius, ShapeLimits::MaxEdgeRadius);
    if (shape == Params.Shape)
        return;
    Params.Shape = shape;
    Changed(DocumentChange::Shape | DocumentChange::View);
}

void BoxDocument::ResetProject()
{
    SelectSizeClass(SizeClassMedium);
    SelectForm(0);
    SelectFog(0);
    SelectBackground(0xFFFFFF);
    Changed(DocumentChange::SizeClass | DocumentChange::Form | DocumentChange::Fog | DocumentChange::Background);
    const bool sideCovers = std::any_of(covers_.begin() + ClassicCoverCount, covers_.end(),
                                        [](const CoverSource& c) { return !c.Path.isEmpty(); });
    covers_ = {};
    Changed(DocumentChange::CoversReset);
    if (sideCovers)
        Changed(DocumentChange::SideCovers | DocumentChange::View);
    SetShape(BoxShape{});
    SetPosition(Slider::Thickness, Range(Slider::Thickness).Maximum / 2);
    SetPosition(Slider::Height, Range(Slider::Height).Maximum / 2);
    SetPosition(Slider::Width, Range(Slider::Width).Maximum / 2);
    SetPosition(Slider::Eye, 30);
}

void BoxDocument::NewProject()
{
    ResetProject();
    ApplyBackground();
    ApplySizeClass();
    ApplyForm();
    ApplyFog();
}

#pragma once
// The set of controls the box document reads and moves. The window points
// these at its widgets; PlainBoxControls owns stand-ins with the same ranges.
#include "app/Controls.h"

#include <memory>

struct BoxControls {
    RangeControl* tbBreed = nullptr;
    RangeControl* tbHeight = nullptr;
    RangeControl* tbThick = nullptr;
    RangeControl* tbDepth = nullptr;
    RangeControl* tbVertical = nullptr;
    RangeControl* tbHoriz = nullptr;
    RangeControl* tbTurn = nullptr;
    RangeControl* seEye = nullptr;
    RangeControl* tbImageWidth = nullptr;
    RangeControl* tbImageHeight = nullptr;
    ChoiceControl* cbMode = nullptr;
    ChoiceControl* cbFog = nullptr;
    ChoiceControl* cbClass = nullptr;
    ColorControl* pColor = nullptr;
    LabelControl* lbBreed = nullptr;
    LabelControl* lbHeight = nullptr;
    LabelControl* lbThick = nullptr;
    LabelControl* lbDepth = nullptr;
    LabelControl* lbVertical = nullptr;
    LabelControl* lbHoriz = nullptr;
    LabelControl* lbTurn = nullptr;
    LabelControl* lbImgWidth = nullptr;
    LabelControl* lbImgHeight = nullptr;
};

// Ranges and start positions of the window's controls.
namespace ControlRange {
inline constexpr int SizeMin = 1, SizeMax = 100, SizeStart = 50;
inline constexpr int DepthMin = 2, DepthMax = 80, DepthStart = 4;
inline constexpr int OffsetMin = -300, OffsetMax = 300, OffsetStart = -2;
inline constexpr int TurnMin = -1800, TurnMax = 1800, TurnStart = 0;
inline constexpr int EyeMin = 0, EyeMax = 60, EyeStart = 30;
inline constexpr int ImageMin = 1, ImageStart = 300;
} // namespace ControlRange

QStringList FogCaptions();       // "Clear view", "Natural view", "dimmed light", "Dark"
QStringList SizeClassCaptions(); // "Small", "Medium", "Large"

// Headless stand-ins for every control, wired up as a BoxControls.
class PlainBoxControls {
public:
    PlainBoxControls();
    PlainBoxControls(const PlainBoxControls&) = delete;
    PlainBoxControls& operator=(const PlainBoxControls&) = delete;

    BoxControls& Controls() { return controls_; }

    PlainRange tbBreed, tbHeight, tbThick, tbDepth, tbVertical, tbHoriz, tbTurn, seEye;
    PlainRange tbImageWidth, tbImageHeight;
    PlainChoice cbMode, cbFog, cbClass;
    PlainColor pColor;
    PlainLabel lbBreed, lbHeight, lbThick, lbDepth, lbVertical, lbHoriz, lbTurn;
    PlainLabel lbImgWidth, lbImgHeight;

private:
    BoxControls controls_;
};

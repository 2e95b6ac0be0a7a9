#include "app/BoxControls.h"

using namespace ControlRange;

QStringList FogCaptions()
{
    return {QStringLiteral("Clear view"), QStringLiteral("Natural view"),
            QStringLiteral("dimmed light"), QStringLiteral("Dark")};
}

QStringList SizeClassCaptions()
{
    return {QStringLiteral("Small"), QStringLiteral("Medium"), QStringLiteral("Large")};
}

PlainBoxControls::PlainBoxControls()
    : tbBreed(SizeMin, SizeMax, SizeStart), tbHeight(SizeMin, SizeMax, SizeStart),
      tbThick(SizeMin, SizeMax, SizeStart), tbDepth(DepthMin, DepthMax, DepthStart),
      tbVertical(OffsetMin, OffsetMax, OffsetStart), tbHoriz(OffsetMin, OffsetMax, OffsetStart),
      tbTurn(TurnMin, TurnMax, TurnStart), seEye(EyeMin, EyeMax, EyeStart),
      tbImageWidth(ImageMin, ImageStart, ImageStart), tbImageHeight(ImageMin, ImageStart, ImageStart),
      cbMode(), cbFog(FogCaptions(), 0), cbClass(SizeClassCaptions(), 1)
{
    controls_ = BoxControls{&tbBreed,    &tbHeight,      &tbThick,  &tbDepth,   &tbVertical,
                            &tbHoriz,    &tbTurn,        &seEye,    &tbImageWidth,
                            &tbImageHeight, &cbMode,     &cbFog,    &cbClass,   &pColor,
                            &lbBreed,    &lbHeight,      &lbThick,  &lbDepth,   &lbVertical,
                            &lbHoriz,    &lbTurn,        &lbImgWidth, &lbImgHeight};
}

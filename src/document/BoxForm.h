#pragma once
#include <QString>

#include <cstdint>

// One box kind: the scales the size sliders act on and the view it presets.
struct BoxForm {
    QString Name;
    std::int32_t WidthScale = 0;
    std::int32_t HeightScale = 0;
    std::int32_t ThicknessScale = 0;
    std::int32_t Depth = 0;
    std::int32_t Vertical = 0;
    std::int32_t Horizontal = 0;
    std::int32_t SideAngle = 0;
    std::int32_t TiltAngle = 0;
    std::int32_t Turn = 0;
    std::int32_t Eye = 0;
};

inline constexpr int FormCount = 10;

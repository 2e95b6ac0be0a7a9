#include "render/PixelFormat.h"

#include <algorithm>

std::uint16_t PfdFlagsOf(TPFDFlags flags) { return flags.ToBits(); }

std::uint8_t PfdPixelTypeOf(TPFDPixelTypes types, std::uint8_t previous)
{
    std::uint8_t value = previous;
    if (types.Contains(GLp_TYPE_RGBA))
        value = 0;
    if (types.Contains(GLp_TYPE_COLORINDEX))
        value = 1;
    return value;
}

std::int8_t PfdLayerTypeOf(TPFDLayerTypes types, std::int8_t previous)
{
    std::int8_t value = previous;
    if (types.Contains(GLL_MAIN_PLANE))
        value = 0;
    if (types.Contains(GLL_OVERLAY_PLANE))
        value = 1;
    if (types.Contains(GLL_UNDERLAY_PLANE))
        value = -1;
    return value;
}

PixelFormatState::PixelFormatState()
    : flags_{GLf_DOUBLEBUFFER, GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL}, pixelTypes_{GLp_TYPE_RGBA},
      layerTypes_{GLL_MAIN_PLANE}
{
    pfdFlags_ = PfdFlagsOf(flags_);
    pfdPixelType_ = PfdPixelTypeOf(pixelTypes_, pfdPixelType_);
    pfdLayerType_ = PfdLayerTypeOf(layerTypes_, pfdLayerType_);
}

void PixelFormatState::SetGLFlags(TPFDFlags flags)
{
    if (flags == flags_)
        return;
    flags_ = flags;
    pfdFlags_ = PfdFlagsOf(flags_);
    PixelFormatChanged = true;
}

void PixelFormatState::SetGLPixelType(TPFDPixelTypes types)
{
    if (types == pixelTypes_)
        return;
    pixelTypes_ = types;
    pfdPixelType_ = PfdPixelTypeOf(pixelTypes_, pfdPixelType_);
    PixelFormatChanged = true;
}

void PixelFormatState::SetGLLayerType(TPFDLayerTypes types)
{
    if (types == layerTypes_)
        return;
    layerTypes_ = types;
    pfdLayerType_ = PfdLayerTypeOf(layerTypes_, pfdLayerType_);
    PixelFormatChanged = true;
}

QSurfaceFormat PixelFormatState::SurfaceFormat() const
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(flags_.Contains(GLf_DOUBLEBUFFER) ? QSurfaceFormat::DoubleBuffer
                                                             : QSurfaceFormat::SingleBuffer);
    format.setStereo(flags_.Contains(GLf_STEREO));
    // Colour bits are the RGB total, as in the classic pixel-format request; colour
    // index formats do not exist here, so they get the same RGB request.
    const int perChannel = std::max(1, static_cast<int>(colorBits_ & 0xFF) / 3);
    format.setRedBufferSize(perChannel);
    format.setGreenBufferSize(perChannel);
    format.setBlueBufferSize(perChannel);
    // Platforms offer 24 depth bits where 32 are asked for; Qt takes the closest.
    format.setDepthBufferSize(static_cast<int>(depthBits_ & 0xFF));
    format.setSwapInterval(1);
    return format;
}

#pragma once
// The GL panel's pixel-format properties and how they map onto the request
// made to the platform (here: a QSurfaceFormat).
#include <QSurfaceFormat>

#include <cstdint>
#include <initializer_list>

enum TPFDFlag {
    GLf_DOUBLEBUFFER,
    GLf_STEREO,
    GLf_DRAW_TO_WINDOW,
    GLf_DRAW_TO_BITMAP,
    GLf_SUPPORT_GDI,
    GLf_SUPPORT_OPENGL,
    GLf_GENERIC_FORMAT,
    GLf_NEED_PALETTE,
    GLf_NEED_SYSTEM_PALETTE,
    GLf_SWAP_EXCHANGE,
    GLf_SWAP_COPY
};
enum TPFDPixelType { GLp_TYPE_RGBA, GLp_TYPE_COLORINDEX };
enum TPFDLayerType { GLL_MAIN_PLANE, GLL_OVERLAY_PLANE, GLL_UNDERLAY_PLANE };

// A set of enum members held in Bits, bit n = ordinal n.
template <typename E, typename Bits>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> members)
    {
        for (E m : members)
            bits_ = static_cast<Bits>(bits_ | (Bits{1} << static_cast<int>(m)));
    }
    static constexpr EnumSet FromBits(Bits bits)
    {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Contains(E m) const { return (bits_ >> static_cast<int>(m)) & 1u; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Bits ToBits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    Bits bits_ = 0;
};

using TPFDFlags = EnumSet<TPFDFlag, std::uint16_t>;
using TPFDPixelTypes = EnumSet<TPFDPixelType, std::uint8_t>;
using TPFDLayerTypes = EnumSet<TPFDLayerType, std::uint8_t>;

// The properties and their platform values. Setters mark the format as
// changed only when the value really changes.
class PixelFormatState {
public:
    PixelFormatState();

    TPFDFlags GLFlags() const { return flags_; }
    TPFDPixelTypes GLPixelType() const { return pixelTypes_; }
    TPFDLayerTypes GLLayerType() const { return layerTypes_; }
    std::uint32_t GLColorBits() const { return colorBits_; }
    std::uint32_t GLDepthBits() const { return depthBits_; }

    void SetGLFlags(TPFDFlags flags);
    void SetGLPixelType(TPFDPixelTypes types);
    void SetGLLayerType(TPFDLayerTypes types);
    void SetGLColorBits(std::uint32_t bits) { colorBits_ = bits; }
    void SetGLDepthBits(std::uint32_t bits) { depthBits_ = bits; }

    std::uint16_t PfdFlags() const { return pfdFlags_; }
    std::uint8_t PfdPixelType() const { return pfdPixelType_; }
    std::int8_t PfdLayerType() const { return pfdLayerType_; }

    bool PixelFormatChanged = false;

    // Double-buffered RGBA window surface with the colour and depth bits,
    // compatibility profile so immediate mode works, swap interval 1.
    QSurfaceFormat SurfaceFormat() const;

private:
    TPFDFlags flags_;
    TPFDPixelTypes pixelTypes_;
    TPFDLayerTypes layerTypes_;
    std::uint32_t colorBits_ = 24;
    std::uint32_t depthBits_ = 32;
    std::uint16_t pfdFlags_ = 0;
    std::uint8_t pfdPixelType_ = 0;
    std::int8_t pfdLayerType_ = 0;
};

std::uint16_t PfdFlagsOf(TPFDFlags flags);
// Colour index wins over RGBA; an empty set keeps the previous value.
std::uint8_t PfdPixelTypeOf(TPFDPixelTypes types, std::uint8_t previous);
// Applied main, overlay, underlay: the last member present wins; empty keeps previous.
std::int8_t PfdLayerTypeOf(TPFDLayerTypes types, std::int8_t previous);

#pragma once
// Covers carry the colours of their own colour space when they embed an ICC
// profile (a JPEG's APP2 segments, a PNG's iCCP chunk): Adobe RGB from a
// camera, CMYK from a print workflow. Read as if they were sRGB they look
// dull or shifted, so their pixels are turned into sRGB with LittleCMS as
// they are decoded. A picture without a profile, or with one that is sRGB
// in all but name, keeps its bytes.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The profile a JPEG's markers carry, joined from its numbered APP2
// pieces; empty when there is none or the pieces are incomplete. `adobe`
// tells whether the file has Adobe's APP14 marker (its CMYK is stored
// inverted). Reads markers up to the first scan only.
std::vector<std::uint8_t> JpegProfile(const std::uint8_t* data, std::size_t size, bool* adobe = nullptr);

// The profile of a PNG file's iCCP chunk, inflated; empty when there is
// none, or it is damaged or implausibly large (a damaged profile is
// ignored, as a browser ignores it). Throws ImageError only when the file
// cannot be read.
std::vector<std::uint8_t> PngProfile(const QString& fileName);

class SrgbConversion {
public:
    enum class Input {
        Rgba,         // RGB with alpha, the alpha kept
        Cmyk,         // ink values, 255 full ink
        InvertedCmyk, // as Adobe stores them, 0 full ink
    };

    // The conversion from `profile` for pixels laid out as `input`; null
    // when there is nothing to do: no profile, one LittleCMS cannot read or
    // of another colour space, or an RGB profile that maps every colour to
    // itself within a level.
    static std::unique_ptr<SrgbConversion> For(const std::vector<std::uint8_t>& profile, Input input);
    ~SrgbConversion();
    SrgbConversion(const SrgbConversion&) = delete;
    SrgbConversion& operator=(const SrgbConversion&) = delete;

    // `count` pixels of four bytes, in place: RGBA in sRGB afterwards
    // (alpha 255 for CMYK).
    void Convert(std::uint8_t* pixels, std::size_t count) const;

private:
    SrgbConversion(void* transform, Input input) : transform_(transform), input_(input) {}
    void* transform_;
    Input input_;
};

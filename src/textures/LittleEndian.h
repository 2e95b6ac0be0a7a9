#pragma once
// Little-endian fields of the BMP and TGA headers.
#include <cstdint>

inline void PutU16(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutU32(std::uint8_t* at, std::uint32_t value)
{
    PutU16(at, value);
    PutU16(at + 2, value >> 16);
}

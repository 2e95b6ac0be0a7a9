#pragma once
// A JPEG file's bytes made from pixels with TurboJPEG, for tests that need
// covers of a given size and kind.
#include <gtest/gtest.h>

#include <QByteArray>

#include <turbojpeg.h>

#include <cstdint>

inline QByteArray EncodeJpeg(const std::uint8_t* pixels, int width, int height, int pixelFormat, int subsampling,
                             int quality, int flags = 0)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(handle, pixels, width, 0, height, pixelFormat, &jpeg, &size, subsampling, quality, flags),
              0)
        << tjGetErrorStr2(handle);
    QByteArray bytes(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

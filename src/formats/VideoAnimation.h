#pragma once
// A turntable as a video a product page plays: H.264 in MP4 or VP9 in WebM,
// made with FFmpeg's libraries. Frames are turned into yuv420p (what every
// player takes) with BT.709 colours; a picture with an odd side is padded
// by repeating its last row or column, as 4:2:0 wants even sides.
#include "formats/PictureWriter.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

enum class VideoKind { Mp4, WebM };

// The kind a file name's extension asks for (.mp4, .webm); none for others.
std::optional<VideoKind> VideoKindOf(const QString& fileName);

// The encoder's constant rate factor for a quality of 10..100 (as JPEG's):
// 70 gives each codec's usual default look, 100 nearly lossless.
int VideoRateFactor(VideoKind kind, int quality);

class VideoAnimation {
public:
    // Frames of width x height pixels at `fps` frames a second; `what`
    // names the file in errors. Throws ImageError.
    VideoAnimation(int width, int height, double fps, int quality, VideoKind kind, const QString& what);
    ~VideoAnimation();
    VideoAnimation(const VideoAnimation&) = delete;
    VideoAnimation& operator=(const VideoAnimation&) = delete;

    // Alpha is ignored. Throws ImageError.
    void AddFrame(const RgbaRows& picture);
    // The whole file. No frame may be added afterwards. Throws ImageError.
    QByteArray Finish();

private:
    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
};

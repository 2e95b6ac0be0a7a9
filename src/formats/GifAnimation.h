#pragma once
// An animated GIF89a made frame by frame: every frame fills the whole screen
// with a palette of its own (up to 256 colours chosen for it, with error
// diffusion; see PaletteDither.h), and the animation loops without end (the
// NETSCAPE2.0 extension).
#include "formats/PictureWriter.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class GifAnimation {
public:
    // Frames of width x height pixels; `what` names the file in errors.
    GifAnimation(int width, int height, const QString& what);
    ~GifAnimation();
    GifAnimation(const GifAnimation&) = delete;
    GifAnimation& operator=(const GifAnimation&) = delete;

    // Alpha is ignored. `delay` is how long the frame shows, in hundredths
    // of a second (0..65535). Throws ImageError.
    void AddFrame(const RgbaRows& picture, int delay);
    // The whole file. No frame may be added afterwards. Throws ImageError.
    QByteArray Finish();

private:
    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
};

// How long each of `frames` frames shows at `fps` frames a second, in
// hundredths of a second: each delay is rounded, but the rounding is carried
// from frame to frame, so frame k ends at round(100 (k+1) / fps) and the
// whole turn takes round(100 frames / fps) hundredths.
std::vector<int> GifFrameDelays(int frames, double fps);

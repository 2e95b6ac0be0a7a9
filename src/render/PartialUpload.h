#pragma once
// Follows a base level while it is being made and sends its final rows to a
// texture as they come, so the texture is nearly complete when the picture
// is. Used on the GL's thread; the texture needs the GL context current.
#include "formats/RgbaPicture.h"
#include "render/GLTexture.h"
#include "render/JpegBaseLevel.h"

#include <climits>

class PartialUpload {
public:
    // `giveBack`: rows sent are not read again, so their memory may go back
    // to the system (they then read as zeros).
    PartialUpload(GLTexture& texture, bool giveBack) : texture_(texture), giveBack_(giveBack) {}

    // Sends what became final since the last call, at most `most` rows. The
    // first call that sees the buffer makes the texture; when the GL will
    // not take that size as it is, nothing is sent at all. Rows sent are
    // handed back to a progress that makes them in a ring.
    void Follow(const BaseLevelProgress& progress, int most = INT_MAX);
    // Instead of the first Follow making the texture: `name`, an empty
    // texture of the picture's size made in a context sharing this one's
    // objects, taken over by the texture (which holds none yet).
    void BeginWith(GLuint name, PictureSize size);
    // True when the texture holds the rows sent (and Finish completes it).
    bool Taken() const { return taken_; }
    // Sends every row not sent yet, from the finished picture.
    void Finish(const RgbaPicture& picture);
    // The same from the progress of a finished picture, whose rows may be
    // in its ring rather than in the picture.
    void Finish(const BaseLevelProgress& finished) { Follow(finished); }

private:
    template <typename RowAt>
    void Send(PictureSize size, const std::uint8_t* pixels, int from, int most, const RowAt& rowAt);

    GLTexture& texture_;
    bool giveBack_;
    bool begun_ = false;
    bool taken_ = false;
    int sentFrom_ = 0; // rows from here to the top are in the texture
};

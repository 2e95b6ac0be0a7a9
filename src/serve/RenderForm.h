#pragma once
// What a render request asks for, read from its parts before any work is
// queued: the options by the command line's names (checked by the command
// line's own parser), the covers as uploaded bytes, an uploaded project.
// Nothing here touches a file. Throws ServeError: 400 a malformed request or
// an unknown option, 413 a cover of too many pixels, 415 a body or cover of
// a kind not read here, 422 a damaged picture or project, a value out of
// range, a picture larger than allowed.
#include "engine/RenderOptions.h"
#include "formats/ProjectOpen.h"
#include "formats/PictureKind.h"
#include "serve/ServeError.h"

#include <QSize>
#include <QString>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// One part of a multipart body (a file or a field); the views point into
// the request, which outlives the form.
struct FormPart {
    std::string_view Name;
    std::string_view FileName; // empty for a plain field
    std::string_view ContentType;
    std::string_view Content;
};

struct FormLimits {
    std::int64_t MaxPixels = 50'000'000; // per cover
    int MaxOutput = 4096;                // each side of the picture
};

struct UploadedCover {
    std::string_view Bytes;
    PictureKind Kind = PictureKind::Unknown;
    QSize Pixels; // as its header says
};

struct RenderForm {
    RenderOptions Options; // its Output names only the format; no cover set
    std::array<std::optional<UploadedCover>, 6> Covers; // by slot, as --front .. --bottom
    std::array<QString, 6> CoverIds; // by slot: "cover:ID" names one sent to POST /covers before
    std::optional<ProjectData> Project;
    QSize OutputSize;
    int Samples = 1;
    const char* MimeType = "image/png";
};

// `contentType` is the request's Content-Type; `body` the raw body when it
// is not multipart; `parts` the multipart body's parts.
RenderForm ReadRenderForm(std::string_view contentType, std::string_view body, const std::vector<FormPart>& parts,
                          const FormLimits& limits);

// A cover file part read as ReadRenderForm reads one (`name` for messages).
UploadedCover ReadUploadedCover(const FormPart& part, const QString& name, const FormLimits& limits);

// The slot names, in slot order: front, side, top, back, right, bottom.
const std::array<const char*, 6>& CoverPartNames();

#include "formats/VideoAnimation.h"

#include "formats/ImageCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

QString AvReason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const
    {
        if (f->pb)
            avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

} // namespace

std::optional<VideoKind> VideoKindOf(const QString& fileName)
{
    if (fileName.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive))
        return VideoKind::Mp4;
    if (fileName.endsWith(QLatin1String(".webm"), Qt::CaseInsensitive))
        return VideoKind::WebM;
    return std::nullopt;
}

int VideoRateFactor(VideoKind kind, int quality)
{
    const double q = std::clamp(quality, 10, 100);
    // x264: 23 is its default, 51 its worst; libvpx's VP9: 0..63, ~31 a usual web default.
    return kind == VideoKind::Mp4 ? static_cast<int>(std::lround(51.0 - 0.4 * q))
                                  : static_cast<int>(std::lround(63.0 - 0.46 * q));
}

struct VideoAnimation::Encoder {
    QString What;
    QTemporaryFile File;
    int Width = 0, Height = 0;             // the pictures'
    std::unique_ptr<AVFormatContext, OutputFree> Output;
    std::unique_ptr<AVCodecContext, CodecFree> Codec;
    AVStream* Stream = nullptr;
    std::unique_ptr<AVFrame, FrameFree> Frame;
    std::unique_ptr<AVPacket, PacketFree> Packet;
    std::unique_ptr<SwsContext, ScaleFree> Scale;
    std::vector<std::uint8_t> Padded; // an even-sided copy, rows top first
    std::int64_t Next = 0;

    ImageError Failure(const QString& step, int code) const
    {
        return FileFailure(What, QStringLiteral("the video could not be made (%1: %2)").arg(step, AvReason(code)));
    }

    // Hands what the encoder has ready to the file.
    void Drain()
    {
        for (;;) {
            const int got = avcodec_receive_packet(Codec.get(), Packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return;
            if (got < 0)
                throw Failure(QStringLiteral("encoding"), got);
            av_packet_rescale_ts(Packet.get(), Codec->time_base, Stream->time_base);
            Packet->stream_index = Stream->index;
            const int written = av_interleaved_write_frame(Output.get(), Packet.get());
            if (written < 0)
                throw Failure(QStringLiteral("writing"), written);
        }
    }
};

VideoAnimation::VideoAnimation(int width, int height, double fps, int quality, VideoKind kind, const QString& what)
    : encoder_(std::make_unique<Encoder>())
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); }); // the encoders' chatter is not ours to print
    Encoder& e = *encoder_;
    e.What = what;
    e.Width = width;
    e.Height = height;
    if (width < 1 || height < 1)
        throw FileFailure(what, QStringLiteral("a video needs a picture of at least 1 x 1 pixels"));
    e.File.setFileTemplate(QDir::tempPath() + QStringLiteral("/cubiform-video-XXXXXX") +
                           (kind == VideoKind::Mp4 ? QStringLiteral(".mp4") : QStringLiteral(".webm")));
    if (!e.File.open())
        throw FileFailure(what, QStringLiteral("no room for the video being made (%1)").arg(e.File.errorString()));
    const QByteArray path = QFile::encodeName(e.File.fileName());
    e.File.close(); // FFmpeg writes it by name

    AVFormatContext* output = nullptr;
    int status = avformat_alloc_output_context2(&output, nullptr, kind == VideoKind::Mp4 ? "mp4" : "webm",
                                                path.constData());
    if (status < 0 || !output)
        throw e.Failure(QStringLiteral("container"), status);
    e.Output.reset(output);
    const AVCodec* codec = avcodec_find_encoder_by_name(kind == VideoKind::Mp4 ? "libx264" : "libvpx-vp9");
    if (!codec)
        throw FileFailure(what, QStringLiteral("this FFmpeg has no %1 encoder")
                                    .arg(kind == VideoKind::Mp4 ? QStringLiteral("H.264") : QStringLiteral("VP9")));
    e.Codec.reset(avcodec_alloc_context3(codec));
    e.Stream = avformat_new_stream(output, nullptr);
    e.Frame.reset(av_frame_alloc());
    e.Packet.reset(av_packet_alloc());
    if (!e.Codec || !e.Stream || !e.Frame || !e.Packet)
        throw FileFailure(what, QStringLiteral("not enough memory to make the video"));

    AVCodecContext& c = *e.Codec;
    c.width = (width + 1) & ~1;
    c.height = (height + 1) & ~1;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    const AVRational rate = av_d2q(fps, 100000);
    c.framerate = rate;
    c.time_base = av_inv_q(rate);
    c.gop_size = 250;
    c.bit_rate = 0; // quality, not a bit rate
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_IEC61966_2_1;
    c.color_range = AVCOL_RANGE_MPEG;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "crf", VideoRateFactor(kind, quality), 0);
    if (kind == VideoKind::Mp4) {
        av_dict_set(&options, "preset", "medium", 0);
    } else {
        av_dict_set(&options, "deadline", "good", 0);
        av_dict_set(&options, "cpu-used", "4", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    }
    status = avcodec_open2(&c, codec, &options);
    av_dict_free(&options);
    if (status < 0)
        throw e.Failure(QStringLiteral("encoder"), status);
    status = avcodec_parameters_from_context(e.Stream->codecpar, &c);
    if (status < 0)
        throw e.Failure(QStringLiteral("stream"), status);
    e.Stream->time_base = c.time_base;
    e.Stream->avg_frame_rate = rate;

    status = avio_open(&output->pb, path.constData(), AVIO_FLAG_WRITE);
    if (status < 0)
        throw e.Failure(QStringLiteral("file"), status);
    AVDictionary* muxing = nullptr;
    if (kind == VideoKind::Mp4)
        av_dict_set(&muxing, "movflags", "+faststart", 0); // plays while it loads
    status = avformat_write_header(output, &muxing);
    av_dict_free(&muxing);
    if (status < 0)
        throw e.Failure(QStringLiteral("header"), status);

    e.Frame->format = c.pix_fmt;
    e.Frame->width = c.width;
    e.Frame->height = c.height;
    status = av_frame_get_buffer(e.Frame.get(), 0);
    if (status < 0)
        throw e.Failure(QStringLiteral("frame"), status);
    e.Scale.reset(sws_getContext(c.width, c.height, AV_PIX_FMT_RGBA, c.width, c.height, AV_PIX_FMT_YUV420P,
                                 SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!e.Scale)
        throw FileFailure(what, QStringLiteral("the video's colour conversion could not be set up"));
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(e.Scale.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    e.Padded.resize(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height) * 4);
}

VideoAnimation::~VideoAnimation() = default;

void VideoAnimation::AddFrame(const RgbaRows& picture)
{
    Encoder& e = *encoder_;
    if (picture.Width != e.Width || picture.Height != e.Height)
        throw FileFailure(e.What, QStringLiteral("a frame of another size than the video's"));
    const int w = e.Codec->width, h = e.Codec->height;
    const auto rowBytes = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = picture.Row(std::min(y, e.Height - 1));
        std::uint8_t* to = e.Padded.data() + static_cast<std::size_t>(y) * rowBytes;
        std::copy(from, from + static_cast<std::size_t>(e.Width) * 4, to);
        if (w > e.Width) // the last column once more
            std::copy(to + (e.Width - 1) * 4, to + e.Width * 4, to + e.Width * 4);
    }
    int status = av_frame_make_writable(e.Frame.get());
    if (status < 0)
        throw e.Failure(QStringLiteral("frame"), status);
    const std::uint8_t* source[1] = {e.Padded.data()};
    const int sourceStride[1] = {static_cast<int>(rowBytes)};
    sws_scale(e.Scale.get(), source, sourceStride, 0, h, e.Frame->data, e.Frame->linesize);
    e.Frame->pts = e.Next++;
    status = avcodec_send_frame(e.Codec.get(), e.Frame.get());
    if (status < 0)
        throw e.Failure(QStringLiteral("encoding"), status);
    e.Drain();
}

QByteArray VideoAnimation::Finish()
{
    Encoder& e = *encoder_;
    const int status = avcodec_send_frame(e.Codec.get(), nullptr);
    if (status < 0)
        throw e.Failure(QStringLiteral("encoding"), status);
    e.Drain();
    const int trailer = av_write_trailer(e.Output.get());
    if (trailer < 0)
        throw e.Failure(QStringLiteral("writing"), trailer);
    avio_closep(&e.Output->pb);
    QFile made(e.File.fileName());
    if (!made.open(QIODevice::ReadOnly))
        throw FileFailure(e.What, QStringLiteral("the video made cannot be read back (%1)").arg(made.errorString()));
    return made.readAll();
}

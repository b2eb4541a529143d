#include "tests/video/video_maker.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QPainter>
#include <cmath>
#include <memory>

namespace pondera::testing {

namespace {

std::string avText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

struct Encoder {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVStream *stream = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *scaler = nullptr;
    bool headerWritten = false;

    ~Encoder() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Sends one frame (null: the end) and writes every packet that comes out.
    std::string send(AVFrame *f) {
        int err = avcodec_send_frame(codec, f);
        if (err < 0) return "send_frame: " + avText(err);
        for (;;) {
            err = avcodec_receive_packet(codec, packet);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return {};
            if (err < 0) return "receive_packet: " + avText(err);
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            err = av_interleaved_write_frame(format, packet);
            if (err < 0) return "write_frame: " + avText(err);
        }
    }
};

}  // namespace

std::string encodeVideo(const std::string &path, const TestVideo &clip,
                        const std::function<QImage(int)> &paint) {
    Encoder e;
    if (avformat_alloc_output_context2(&e.format, nullptr, nullptr, path.c_str()) < 0)
        return "no container for " + path;
    const AVCodec *codec = avcodec_find_encoder_by_name(clip.encoder.c_str());
    if (!codec) return "FFmpeg here has no encoder " + clip.encoder;
    e.stream = avformat_new_stream(e.format, nullptr);
    e.codec = avcodec_alloc_context3(codec);
    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    const bool variable = !clip.times.empty();
    e.codec->width = clip.width;
    e.codec->height = clip.height;
    e.codec->pix_fmt = AV_PIX_FMT_YUV420P;
    e.codec->time_base = variable ? AVRational{1, 1000} : AVRational{1, clip.fps};
    e.codec->framerate = AVRational{clip.fps, 1};
    e.codec->gop_size = clip.keyframeInterval;
    e.codec->max_b_frames = clip.bFrames;
    e.codec->thread_count = 1;
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER)
        e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (clip.encoder == "libx264") {
        av_opt_set(e.codec->priv_data, "preset", "ultrafast", 0);
        av_opt_set(e.codec->priv_data, "x264-params", "scenecut=0", 0);
        av_opt_set(e.codec->priv_data, "crf", "18", 0);
    } else if (clip.encoder == "libx265") {
        av_opt_set(e.codec->priv_data, "preset", "ultrafast", 0);
        av_opt_set(e.codec->priv_data, "x265-params", "scenecut=0:log-level=none", 0);
    } else if (clip.encoder.starts_with("libvpx")) {
        av_opt_set(e.codec->priv_data, "deadline", "realtime", 0);
        av_opt_set(e.codec->priv_data, "cpu-used", "8", 0);
        e.codec->bit_rate = 2'000'000;
    } else {
        e.codec->bit_rate = 4'000'000;
    }
    if (int err = avcodec_open2(e.codec, codec, nullptr); err < 0)
        return "open " + clip.encoder + ": " + avText(err);
    avcodec_parameters_from_context(e.stream->codecpar, e.codec);
    e.stream->time_base = e.codec->time_base;
    e.stream->avg_frame_rate = variable ? AVRational{0, 1} : AVRational{clip.fps, 1};
    if (clip.rotation != 0) {
        uint8_t *matrix =
            av_stream_new_side_data(e.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t));
        // The matrix a phone writes for pictures a player turns clockwise by clip.rotation.
        av_display_rotation_set(reinterpret_cast<int32_t *>(matrix), clip.rotation);
    }
    if (!(e.format->oformat->flags & AVFMT_NOFILE)) {
        if (int err = avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE); err < 0)
            return "avio_open: " + avText(err);
    }
    if (int err = avformat_write_header(e.format, nullptr); err < 0)
        return "write_header: " + avText(err);
    e.frame->format = e.codec->pix_fmt;
    e.frame->width = clip.width;
    e.frame->height = clip.height;
    if (av_frame_get_buffer(e.frame, 0) < 0) return "frame buffer";
    e.scaler = sws_getContext(clip.width, clip.height, AV_PIX_FMT_RGB24, clip.width, clip.height,
                              AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    for (int i = 0; i < clip.frames; ++i) {
        QImage picture = paint(i).convertToFormat(QImage::Format_RGB888);
        if (picture.width() != clip.width || picture.height() != clip.height)
            picture = picture.scaled(clip.width, clip.height);
        if (av_frame_make_writable(e.frame) < 0) return "frame not writable";
        const uint8_t *src[1] = {picture.constBits()};
        const int stride[1] = {static_cast<int>(picture.bytesPerLine())};
        sws_scale(e.scaler, src, stride, 0, clip.height, e.frame->data, e.frame->linesize);
        e.frame->pts = variable ? std::llround(clip.times[i] * 1000) : i;
        if (std::string err = e.send(e.frame); !err.empty()) return err;
    }
    if (std::string err = e.send(nullptr); !err.empty()) return err;
    if (int err = av_write_trailer(e.format); err < 0) return "write_trailer: " + avText(err);
    return {};
}

std::string writeSoundOnly(const std::string &path) {
    AVFormatContext *format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "wav", path.c_str()) < 0) return "wav";
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> guard(
        format, [](AVFormatContext *f) {
            if (f->pb) avio_closep(&f->pb);
            avformat_free_context(f);
        });
    AVStream *stream = avformat_new_stream(format, nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    stream->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    stream->codecpar->sample_rate = 8000;
    av_channel_layout_default(&stream->codecpar->ch_layout, 1);
    stream->codecpar->bits_per_coded_sample = 16;
    stream->time_base = AVRational{1, 8000};
    if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return "avio_open";
    if (avformat_write_header(format, nullptr) < 0) return "write_header";
    AVPacket *packet = av_packet_alloc();
    for (int i = 0; i < 8; ++i) {
        av_new_packet(packet, 2000);
        for (int s = 0; s < 1000; ++s) {
            const auto v = static_cast<int16_t>(8000 * std::sin(s * 0.1));
            packet->data[2 * s] = static_cast<uint8_t>(v & 0xff);
            packet->data[2 * s + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
        }
        packet->pts = packet->dts = i * 1000;
        packet->duration = 1000;
        packet->stream_index = 0;
        av_interleaved_write_frame(format, packet);
    }
    av_packet_free(&packet);
    if (av_write_trailer(format) < 0) return "write_trailer";
    return {};
}

QImage numberedFrame(int width, int height, int number) {
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(QColor(128, 128, 128));
    QPainter p(&picture);
    const double bw = width / 4.0, bh = height / 4.0;
    for (int bit = 0; bit < 16; ++bit) {
        const QRectF block((bit % 4) * bw, (bit / 4) * bh, bw, bh);
        p.fillRect(block.adjusted(1, 1, -1, -1), (number >> bit) & 1 ? Qt::white : Qt::black);
    }
    return picture;
}

int readNumber(const QImage &picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    const double bw = rgb.width() / 4.0, bh = rgb.height() / 4.0;
    int number = 0;
    for (int bit = 0; bit < 16; ++bit) {
        const int cx = static_cast<int>((bit % 4 + 0.5) * bw),
                  cy = static_cast<int>((bit / 4 + 0.5) * bh);
        double sum = 0;
        int n = 0;
        for (int y = cy - 3; y <= cy + 3; ++y)
            for (int x = cx - 3; x <= cx + 3; ++x, ++n)
                sum += qGray(rgb.pixel(x, y));
        const double mean = sum / n;
        if (mean > 192)
            number |= 1 << bit;
        else if (mean >= 64)
            return -1;
    }
    return number;
}

}  // namespace pondera::testing

#include "video/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "base/error.h"
#include "store/platform/files.h"

namespace pondera::video {

namespace {

std::string avText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(err, text, sizeof text) < 0) return "error " + std::to_string(err);
    return text;
}

// FFmpeg reports damaged data on its own log while decoding; this program says what failed in
// its errors instead, so the log keeps only fatal reports.
void quietLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

[[noreturn]] void notAVideo(const std::string &path, const std::string &why) {
    throw Error(kErrFileAccess, "Cannot read the video " + path + ": " + why + ".");
}

int clockwiseRotation(const AVStream *stream) {
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) return 0;
    const double counterClockwise =
        av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (std::isnan(counterClockwise)) return 0;
    const long quarter = std::lround(-counterClockwise / 90.0);
    return static_cast<int>(((quarter % 4) + 4) % 4) * 90;
}

}  // namespace

struct VideoFile::Impl {
    std::string path;
    VideoInfo info;
    AVFormatContext *format = nullptr;
    AVCodecContext *decoder = nullptr;
    SwsContext *scaler = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *decoded = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1};
    std::vector<int64_t> pts;     // every frame's presentation time, ascending
    std::vector<int64_t> keyPts;  // the keyframes' presentation times, ascending
    int64_t decodedIndex = -1;    // the frame the decoder gave last; -1 after a seek or the end
    bool draining = false;        // the end of the file has been sent to the decoder
    int64_t position = -1;
    // Decoded pictures as the decoder gave them (references, not copies; half the size of RGB for
    // the usual 4:2:0), converted when asked for.
    struct FrameRef {
        AVFrame *frame = nullptr;
        int64_t bytes = 0;
    };
    std::map<int64_t, FrameRef> cache;
    int64_t cacheBytes = 0;

    ~Impl() {
        for (auto &[index, ref] : cache)
            av_frame_free(&ref.frame);
        sws_freeContext(scaler);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }

    void openInput() {
        avformat_close_input(&format);
        AVDictionary *options = nullptr;
        // Only local files: a name never turns into a network address or another protocol.
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const int err = avformat_open_input(&format, ("file:" + path).c_str(), nullptr, &options);
        av_dict_free(&options);
        if (err < 0) notAVideo(path, openError(err));
    }

    static std::string openError(int err) {
        return err == AVERROR_EOF ? "it holds no frames (the file ends before the first)"
                                  : avText(err);
    }

    void open() {
        switch (store::targetKind(path)) {
            case store::FileKind::Missing:
                throw Error(kErrPathNotFound, "Video not found: " + path + ".");
            case store::FileKind::Regular:
                break;
            default:
                notAVideo(path, "it is not a file");
        }
        openInput();
        if (const int err = avformat_find_stream_info(format, nullptr); err < 0)
            notAVideo(path, openError(err));
        stream = -1;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVStream *s = format->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                stream = static_cast<int>(i);
                break;
            }
        }
        if (stream < 0) notAVideo(path, "it holds no pictures (sound only, or no video at all)");
        const AVStream *s = format->streams[stream];
        timeBase = s->time_base;
        const AVCodecParameters *par = s->codecpar;
        const AVCodec *codec = avcodec_find_decoder(par->codec_id);
        if (!codec) {
            const char *name = avcodec_get_name(par->codec_id);
            notAVideo(path, std::string("its video codec (") +
                                (par->codec_id == AV_CODEC_ID_NONE ? "unknown" : name) +
                                ") is not supported");
        }
        if (par->width <= 0 || par->height <= 0) notAVideo(path, "its frames have no size");
        checkSize(par->width, par->height);
        decoder = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        decoded = av_frame_alloc();
        if (!decoder || !packet || !decoded)
            throw Error(kErrOutOfMemory, "Out of memory opening the video " + path + ".");
        if (const int err = avcodec_parameters_to_context(decoder, par); err < 0)
            notAVideo(path, avText(err));
        decoder->thread_count = 0;  // as many as the machine has
        if (const int err = avcodec_open2(decoder, codec, nullptr); err < 0)
            notAVideo(path, std::string("its video codec (") + codec->name +
                                ") cannot be opened: " + avText(err));
        index();
        describe(s);
        rewind();
    }

    void checkSize(int64_t width, int64_t height) const {
        if (width * height > kMaxFramePixels)
            throw Error(kErrOutOfMemory, "The frames of the video " + path + " are too large (" +
                                             std::to_string(width) + " × " +
                                             std::to_string(height) + " pixels).");
    }

    // Reads every packet of the video stream once: the frames' times and the keyframes.
    void index() {
        int64_t last = AV_NOPTS_VALUE;
        for (;;) {
            const int err = av_read_frame(format, packet);
            if (err == AVERROR_EOF) break;
            if (err < 0) {
                // A truncated or damaged tail: the frames before it stay usable.
                if (!pts.empty()) break;
                notAVideo(path, avText(err));
            }
            if (packet->stream_index == stream && !(packet->flags & AV_PKT_FLAG_DISCARD) &&
                packet->size > 0) {
                int64_t t = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
                if (t == AV_NOPTS_VALUE) t = last == AV_NOPTS_VALUE ? 0 : last + 1;
                last = t;
                pts.push_back(t);
                if (packet->flags & AV_PKT_FLAG_KEY) keyPts.push_back(t);
            }
            av_packet_unref(packet);
        }
        std::sort(pts.begin(), pts.end());
        pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
        std::sort(keyPts.begin(), keyPts.end());
        if (pts.empty()) notAVideo(path, "it holds no frames");
        if (keyPts.empty() || keyPts.front() > pts.front())
            keyPts.insert(keyPts.begin(), pts.front());
    }

    void describe(const AVStream *s) {
        info.frameCount = static_cast<int64_t>(pts.size());
        info.codec = decoder->codec->name;
        info.rotation = clockwiseRotation(s);
        const bool quarter = info.rotation == 90 || info.rotation == 270;
        info.width = quarter ? s->codecpar->height : s->codecpar->width;
        info.height = quarter ? s->codecpar->width : s->codecpar->height;

        const double nominal =
            s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0
                ? av_q2d(s->avg_frame_rate)
                : (s->r_frame_rate.num > 0 && s->r_frame_rate.den > 0 ? av_q2d(s->r_frame_rate)
                                                                      : 0.0);
        double step = nominal > 0 ? 1.0 / nominal : 0.0;
        if (pts.size() > 1) {
            std::vector<int64_t> steps(pts.size() - 1);
            for (size_t i = 1; i < pts.size(); ++i)
                steps[i - 1] = pts[i] - pts[i - 1];
            std::vector<int64_t> sorted = steps;
            std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
            const int64_t median = sorted[sorted.size() / 2];
            // Containers that store times in whole milliseconds round evenly spaced frames by
            // one tick either way; a larger difference is a frame that really comes early or late.
            const int64_t tolerance = std::max<int64_t>(2, median / 20);
            info.variableFrameRate = std::any_of(steps.begin(), steps.end(), [&](int64_t d) {
                return std::llabs(d - median) > tolerance;
            });
            const double span = seconds(pts.back() - pts.front());
            const double measured = span > 0 ? static_cast<double>(pts.size() - 1) / span : 0.0;
            info.frameRate = !info.variableFrameRate && nominal > 0 &&
                                     std::abs(nominal - measured) <= 0.01 * measured
                                 ? nominal
                                 : measured;
            step = seconds(median);
        } else {
            info.frameRate = nominal;
        }
        info.duration = seconds(pts.back() - pts.front()) + step;
    }

    double seconds(int64_t ticks) const { return static_cast<double>(ticks) * av_q2d(timeBase); }

    // Puts the reading position on the keyframe at or before the time, or at the start.
    void seekTo(int64_t keyTime) {
        avcodec_flush_buffers(decoder);
        decodedIndex = -1;
        draining = false;
        if (keyTime <= pts.front() ||
            av_seek_frame(format, stream, keyTime, AVSEEK_FLAG_BACKWARD) < 0)
            rewind();
    }

    void rewind() {
        // Opening anew is the one way back to the first packet that every container supports.
        openInput();
        avcodec_flush_buffers(decoder);
        decodedIndex = -1;
        draining = false;
    }

    int64_t indexOfTime(int64_t t) const {
        auto it = std::lower_bound(pts.begin(), pts.end(), t);
        if (it == pts.end()) return static_cast<int64_t>(pts.size()) - 1;
        if (*it != t && it != pts.begin()) --it;
        return it - pts.begin();
    }

    int64_t keyBefore(int64_t t) const {
        auto it = std::upper_bound(keyPts.begin(), keyPts.end(), t);
        return it == keyPts.begin() ? pts.front() : *(it - 1);
    }

    // The next frame out of the decoder (its index in decodedIndex); false at the end.
    bool decodeNext() {
        for (;;) {
            const int got = avcodec_receive_frame(decoder, decoded);
            if (got == 0) {
                const int64_t t = decoded->best_effort_timestamp != AV_NOPTS_VALUE
                                      ? decoded->best_effort_timestamp
                                      : decoded->pts;
                decodedIndex = t == AV_NOPTS_VALUE ? decodedIndex + 1 : indexOfTime(t);
                return true;
            }
            if (got == AVERROR_EOF) return false;
            if (got != AVERROR(EAGAIN))
                notAVideo(path, "a frame cannot be decoded: " + avText(got));
            if (draining) return false;
            const int read = av_read_frame(format, packet);
            if (read < 0) {
                // The end, or damage that ends the file here: what is in the decoder still comes.
                draining = true;
                avcodec_send_packet(decoder, nullptr);
                continue;
            }
            if (packet->stream_index == stream) {
                // A damaged packet is skipped; the decoder conceals it or leaves its frame out.
                const int sent = avcodec_send_packet(decoder, packet);
                if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN) &&
                    sent != AVERROR_EOF) {
                    av_packet_unref(packet);
                    notAVideo(path, "a frame cannot be decoded: " + avText(sent));
                }
            }
            av_packet_unref(packet);
        }
    }

    QImage convert(const AVFrame *decoded) {
        const int w = decoded->width, h = decoded->height;
        checkSize(w, h);
        QImage image(w, h, QImage::Format_RGB888);
        if (image.isNull())
            throw Error(kErrOutOfMemory, "Out of memory for a frame of the video " + path + ".");
        const auto source = static_cast<AVPixelFormat>(decoded->format);
        scaler = sws_getCachedContext(scaler, w, h, source, w, h, AV_PIX_FMT_RGB24, SWS_BICUBIC,
                                      nullptr, nullptr, nullptr);
        if (!scaler) notAVideo(path, "its pixel format cannot be converted");
        // The colour matrix and range the frame declares (unspecified: HD sizes use BT.709).
        int space = decoded->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RGB || space > AVCOL_SPC_BT2020_CL)
            space = h >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        const int *coefficients = sws_getCoefficients(space);
        int *inv = nullptr, *table = nullptr, srcRange = 0, dstRange = 0, brightness = 0,
            contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(scaler, &inv, &srcRange, &table, &dstRange, &brightness,
                                     &contrast, &saturation) >= 0) {
            sws_setColorspaceDetails(scaler, coefficients, decoded->color_range == AVCOL_RANGE_JPEG,
                                     coefficients, 1, brightness, contrast, saturation);
        }
        uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, decoded->data, decoded->linesize, 0, h, planes, strides);
        if (info.rotation == 0) return image;
        return image.transformed(QTransform().rotate(info.rotation));
    }

    static int64_t bytesOf(const AVFrame *f) {
        const int size =
            av_image_get_buffer_size(static_cast<AVPixelFormat>(f->format), f->width, f->height, 1);
        return size > 0 ? size : int64_t{f->width} * f->height * 3;
    }

    // The frames a seek decodes on the way to its target: as many as the cache holds.
    int64_t windowFrames() const {
        const int64_t frameBytes = std::max<int64_t>(1, int64_t{info.width} * info.height * 3 / 2);
        return std::max<int64_t>(1, kFrameCacheBytes / frameBytes);
    }

    void keep(int64_t index, const AVFrame *decoded, int64_t around) {
        if (cache.count(index)) return;
        AVFrame *ref = av_frame_clone(decoded);
        if (!ref) return;  // without memory for the reference, the frame is only not kept
        const int64_t bytes = bytesOf(ref);
        cache[index] = {ref, bytes};
        cacheBytes += bytes;
        // Over the budget, the frames farthest from the one asked for go first.
        while (cacheBytes > kFrameCacheBytes && cache.size() > 1) {
            auto first = cache.begin();
            auto last = std::prev(cache.end());
            auto drop = (around - first->first) >= (last->first - around) ? first : last;
            if (drop->first == around) drop = drop == first ? last : first;
            cacheBytes -= drop->second.bytes;
            av_frame_free(&drop->second.frame);
            cache.erase(drop);
        }
    }

    QImage frame(int64_t index) {
        if (index < 0 || index >= info.frameCount)
            throw Error(kErrSubscript, "Frame " + std::to_string(index) + " is outside the video " +
                                           path + " (0 to " + std::to_string(info.frameCount - 1) +
                                           ").");
        if (auto hit = cache.find(index); hit != cache.end()) {
            QImage image = convert(hit->second.frame);
            position = index;
            return image;
        }
        const int64_t target = pts[index];
        int64_t key = keyBefore(target);
        // Decoding on is cheaper than seeking while no keyframe lies between here and the target.
        if (decodedIndex < 0 || decodedIndex >= index || key > pts[decodedIndex]) seekTo(key);
        // The frames decoded on the way are kept, so the steps back that follow cost nothing.
        const int64_t keepFrom = index - windowFrames() + 1;
        bool first = true;
        for (int attempt = 0;;) {
            if (!decodeNext())
                notAVideo(path, "frame " + std::to_string(index) + " cannot be decoded");
            if (first && decodedIndex > index && key > pts.front() && attempt < 8) {
                // The container's seek landed past the target: start from an earlier keyframe.
                key = keyBefore(key - 1);
                seekTo(key);
                ++attempt;
                continue;
            }
            first = false;
            if (decodedIndex > index)
                notAVideo(path, "frame " + std::to_string(index) + " cannot be decoded");
            if (decodedIndex >= keepFrom) keep(decodedIndex, decoded, index);
            if (decodedIndex == index) {
                QImage image = convert(decoded);
                position = index;
                return image;
            }
        }
    }
};

VideoFile::VideoFile(const std::string &path) : impl_(std::make_unique<Impl>()) {
    quietLog();
    impl_->path = path;
    impl_->open();
}

VideoFile::~VideoFile() = default;

const std::string &VideoFile::path() const {
    return impl_->path;
}

const VideoInfo &VideoFile::info() const {
    return impl_->info;
}

double VideoFile::frameTime(int64_t index) const {
    const auto &pts = impl_->pts;
    index = std::clamp<int64_t>(index, 0, static_cast<int64_t>(pts.size()) - 1);
    return impl_->seconds(pts[index] - pts.front());
}

int64_t VideoFile::frameAt(double seconds) const {
    const auto &pts = impl_->pts;
    const double ticks = seconds / av_q2d(impl_->timeBase) + static_cast<double>(pts.front());
    // A time given from frameTime() itself may come back a hair below the frame's own.
    const auto t = static_cast<int64_t>(std::floor(ticks + 1e-6));
    auto it = std::upper_bound(pts.begin(), pts.end(), t);
    return it == pts.begin() ? 0 : (it - pts.begin()) - 1;
}

QImage VideoFile::frame(int64_t index) {
    return impl_->frame(index);
}

int64_t VideoFile::position() const {
    return impl_->position;
}

}  // namespace pondera::video

// Frame-exact reading of a video file: its frames by index, upright, as RGB pictures.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pondera::video {

// Larger frames are refused as too large to hold (8K UHD, 7680 × 4320, is about half of it).
inline constexpr int64_t kMaxFramePixels = 64LL * 1024 * 1024;
// Decoded frames kept for stepping back (as the decoder gives them, before conversion to RGB);
// always at least the frame last asked for.
inline constexpr int64_t kFrameCacheBytes = 192LL * 1024 * 1024;

struct VideoInfo {
    int64_t frameCount = 0;
    // Frames per second: the nominal rate when the frames keep it, else frames over time; 0 for a
    // single frame without a nominal rate (the caller then needs a rate given by the user).
    double frameRate = 0;
    bool variableFrameRate = false;  // the frames are not evenly spaced in time
    double duration = 0;             // seconds from the first frame's start to the last one's end
    int width = 0, height = 0;       // upright, after the rotation
    int rotation = 0;   // degrees clockwise applied to the stored pictures: 0/90/180/270
    std::string codec;  // the decoder's name
};

// One open video. Frames are numbered from 0 in presentation order; their times are seconds
// since the first frame. Every failure is a pondera::Error: 76 for a missing file, 75 for a file
// that is no video (corrupt, truncated, sound only, no frames, a codec this system cannot
// decode) or a frame that cannot be decoded, 7 for frames too large to hold, 9 for an index
// outside the video. Not thread-safe: one thread at a time uses an object (it may be handed to
// a worker thread).
class VideoFile {
  public:
    // Opens the file and indexes every frame (reading packets, not decoding them).
    explicit VideoFile(const std::string &path);
    ~VideoFile();
    VideoFile(const VideoFile &) = delete;
    VideoFile &operator=(const VideoFile &) = delete;

    const std::string &path() const;
    const VideoInfo &info() const;
    int64_t frameCount() const { return info().frameCount; }

    // Seconds from the first frame to frame index.
    double frameTime(int64_t index) const;
    // The frame shown at the given time (the last one starting at or before it), clamped to the
    // video.
    int64_t frameAt(double seconds) const;

    // Frame index, upright (rotation applied), 8-bit RGB (QImage::Format_RGB888). Stepping to
    // the next frame decodes one frame; stepping back seeks to the keyframe before it and keeps
    // the frames decoded on the way, so the following steps back cost nothing.
    QImage frame(int64_t index);
    // The index of the frame frame() returned last; -1 before the first.
    int64_t position() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Where the frames of a video are written: a folder beside it named after it
// ("run/jump.mp4" → "run/jump_frames").
std::string framesFolder(const std::string &videoPath);
// The file of one frame in that folder, its index in the name with six digits or more
// ("run/jump_frames/jump_000042.png").
std::string frameFilePath(const std::string &videoPath, int64_t index);
// Writes image as a lossless PNG at frameFilePath, atomically: the file is complete or absent
// (and a frames folder made for it is removed again). Returns its path. Error 75 with the
// system's reason on failure (a full disk, a folder that cannot be written).
std::string writeFrameImage(const std::string &videoPath, int64_t index, const QImage &image);
// The same for frame index of video.
std::string writeFrame(VideoFile &video, int64_t index);

}  // namespace pondera::video

// The video reader on videos the tests encode: every frame paints its own number, so each frame
// read back shows whether it is exactly the one asked for.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QImageReader>
#include <QTransform>
#include <filesystem>
#include <random>

#include "tests/support/test_support.h"
#include "tests/video/video_maker.h"
#include "video/VideoFile.h"

namespace fs = std::filesystem;
using namespace pondera;
using pondera::testing::encodeVideo;
using pondera::testing::errorNumberOf;
using pondera::testing::numberedFrame;
using pondera::testing::readNumber;
using pondera::testing::TempDir;
using pondera::testing::TestVideo;

namespace {

QImage numbered(int i, const TestVideo &clip) {
    return numberedFrame(clip.width, clip.height, i);
}

// 300 frames of H.264 at 30 fps with B-frames and a keyframe every 250 frames, as phones write.
class LongVideo : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir("pondera_video");
        path_ = dir_->file("count.mp4");
        clip_.frames = 300;
        clip_.keyframeInterval = 250;
        made_ = encodeVideo(path_, clip_, [](int i) { return numbered(i, clip_); });
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(made_, ""); }

    static inline TempDir *dir_ = nullptr;
    static inline std::string path_, made_;
    static inline TestVideo clip_;
};

TEST_F(LongVideo, DescribesItself) {
    video::VideoFile v(path_);
    const video::VideoInfo &info = v.info();
    EXPECT_EQ(info.frameCount, 300);
    EXPECT_DOUBLE_EQ(info.frameRate, 30.0);
    EXPECT_FALSE(info.variableFrameRate);
    EXPECT_NEAR(info.duration, 10.0, 1e-9);
    EXPECT_EQ(info.width, 160);
    EXPECT_EQ(info.height, 96);
    EXPECT_EQ(info.rotation, 0);
    EXPECT_EQ(info.codec, "h264");
    EXPECT_EQ(v.position(), -1);
    for (int i : {0, 1, 29, 150, 299}) {
        EXPECT_NEAR(v.frameTime(i), i / 30.0, 1e-9);
        EXPECT_EQ(v.frameAt(v.frameTime(i)), i);
        EXPECT_EQ(v.frameAt(v.frameTime(i) + 0.02), i) << "within the frame's own time";
    }
    EXPECT_EQ(v.frameAt(-1), 0);
    EXPECT_EQ(v.frameAt(100), 299);
}

TEST_F(LongVideo, StepsForwardAndBackFrameExactly) {
    video::VideoFile v(path_);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "forward to " << i;
    for (int i = 99; i >= 0; --i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "back to " << i;
    // Back across the keyframe at 250 and forward again.
    for (int i = 260; i >= 240; --i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "back to " << i;
    for (int i = 240; i < 300; ++i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "forward to " << i;
    EXPECT_EQ(v.position(), 299);
    EXPECT_EQ(errorNumberOf([&] { v.frame(300); }), kErrSubscript);
    EXPECT_EQ(errorNumberOf([&] { v.frame(-1); }), kErrSubscript);
    EXPECT_EQ(readNumber(v.frame(298)), 298) << "usable after a refused index";
}

TEST_F(LongVideo, SeeksAtRandom) {
    video::VideoFile v(path_);
    std::mt19937 random(23);
    for (int n = 0; n < 40; ++n) {
        const int i = static_cast<int>(random() % 300);
        const QImage picture = v.frame(i);
        ASSERT_EQ(picture.format(), QImage::Format_RGB888);
        ASSERT_EQ(readNumber(picture), i) << "seek " << n;
    }
}

TEST_F(LongVideo, WritesFramesLosslesslyBesideTheVideo) {
    video::VideoFile v(path_);
    const std::string written = video::writeFrame(v, 42);
    EXPECT_EQ(written, dir_->file("count_frames/count_000042.png"));
    QImage back = QImageReader(QString::fromStdString(written)).read();
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), v.frame(42));
    // Written again (the same frame, another run) it replaces the file.
    EXPECT_EQ(video::writeFrame(v, 42), written);
    EXPECT_EQ(fs::directory_iterator(dir_->file("count_frames"))->path().string(), written);
}

// A full disk (here a file size limit; SIGXFSZ ignored, so the write fails EFBIG) leaves no part
// of a frame and no folder made for it.
TEST(FrameFiles, FullDiskLeavesNothingHalfWritten) {
    TempDir dir("pondera_video");
    const std::string videoPath = dir.file("jump.mov");
    QImage noise(300, 200, QImage::Format_RGB888);
    std::mt19937 random(5);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb(random() % 256, random() % 256, random() % 256));
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::string message;
    int number = 0;
    try {
        video::writeFrameImage(videoPath, 7, noise);
    } catch (const Error &e) {
        number = e.number();
        message = e.what();
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(number, kErrFileAccess);
    EXPECT_NE(message.find("jump_000007.png"), std::string::npos) << message;
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(dir.file("jump_frames")));

    // A frame already there stays whole when writing it again fails.
    const std::string path = video::writeFrameImage(videoPath, 7, noise);
    const auto before = pondera::testing::readBytes(path);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    number = errorNumberOf([&] { video::writeFrameImage(videoPath, 7, noise.mirrored()); });
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(number, kErrFileAccess);
    EXPECT_EQ(pondera::testing::readBytes(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("jump_frames")), {}), 1);
}

struct FormatCase {
    const char *file, *encoder, *codec;
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, StepExactly) {
    TempDir dir("pondera_video");
    TestVideo clip;
    clip.encoder = GetParam().encoder;
    clip.frames = 40;
    clip.keyframeInterval = 12;
    // AVI stores no presentation times, so B-frames (which need them) stay out of it.
    if (std::string(GetParam().file).ends_with(".avi")) clip.bFrames = 0;
    const std::string path = dir.file(GetParam().file);
    const std::string made = encodeVideo(path, clip, [&](int i) { return numbered(i, clip); });
    if (made.starts_with("FFmpeg here has no encoder")) GTEST_SKIP() << made;
    ASSERT_EQ(made, "");
    video::VideoFile v(path);
    EXPECT_EQ(v.info().codec, GetParam().codec);
    EXPECT_EQ(v.frameCount(), 40);
    EXPECT_NEAR(v.info().frameRate, 30.0, 1e-6);
    EXPECT_FALSE(v.info().variableFrameRate);
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "forward to " << i;
    for (int i = 39; i >= 0; --i)
        ASSERT_EQ(readNumber(v.frame(i)), i) << "back to " << i;
}

INSTANTIATE_TEST_SUITE_P(Video, Formats,
                         ::testing::Values(FormatCase{"a.mp4", "libx264", "h264"},
                                           FormatCase{"a.mov", "libx264", "h264"},
                                           FormatCase{"a.mkv", "libx264", "h264"},
                                           FormatCase{"a.mp4", "libx265", "hevc"},
                                           FormatCase{"a.webm", "libvpx-vp9", "vp9"},
                                           FormatCase{"a.avi", "mpeg4", "mpeg4"}),
                         [](const auto &info) {
                             std::string name =
                                 std::string(info.param.file).substr(2) + "_" + info.param.codec;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

class Rotation : public ::testing::TestWithParam<int> {};

// The stored pictures are turned against the display rotation, as a phone held upright stores
// them; read back they are upright again.
TEST_P(Rotation, IsAppliedLikeExif) {
    TempDir dir("pondera_video");
    const int degrees = GetParam();
    const bool quarter = degrees % 180 != 0;
    TestVideo clip;
    clip.frames = 12;
    clip.rotation = degrees;
    clip.width = quarter ? 96 : 160;
    clip.height = quarter ? 160 : 96;
    const std::string path = dir.file("turned.mp4");
    ASSERT_EQ(
        encodeVideo(path, clip,
                    [&](int i) {
                        return numberedFrame(160, 96, i).transformed(QTransform().rotate(-degrees));
                    }),
        "");
    video::VideoFile v(path);
    EXPECT_EQ(v.info().rotation, degrees);
    EXPECT_EQ(v.info().width, 160);
    EXPECT_EQ(v.info().height, 96);
    for (int i : {0, 5, 11, 3}) {
        const QImage picture = v.frame(i);
        ASSERT_EQ(picture.size(), QSize(160, 96));
        EXPECT_EQ(readNumber(picture), i);
    }
}

INSTANTIATE_TEST_SUITE_P(Video, Rotation, ::testing::Values(90, 180, 270));

TEST(VariableFrameRate, TimesComeFromTheFrames) {
    TempDir dir("pondera_video");
    TestVideo clip;
    clip.encoder = "libx264";
    clip.frames = 20;
    for (int i = 0; i < clip.frames; ++i)
        clip.times.push_back(i * 0.030 + (i > 10 ? 0.2 : 0.0));
    const std::string path = dir.file("vfr.mkv");
    ASSERT_EQ(encodeVideo(path, clip, [&](int i) { return numbered(i, clip); }), "");
    video::VideoFile v(path);
    EXPECT_TRUE(v.info().variableFrameRate);
    EXPECT_EQ(v.frameCount(), 20);
    EXPECT_NEAR(v.info().frameRate, 19 / clip.times.back(), 1e-6);
    for (int i = 0; i < 20; ++i) {
        EXPECT_NEAR(v.frameTime(i), clip.times[i], 0.0011) << i;
        EXPECT_EQ(v.frameAt(clip.times[i] + 0.002), i);
    }
    for (int i = 19; i >= 0; --i)
        ASSERT_EQ(readNumber(v.frame(i)), i);
}

// An 8K phone video opens and gives full-size frames.
TEST(LargeFrames, EightK) {
    TempDir dir("pondera_video");
    TestVideo clip;
    clip.width = 7680;
    clip.height = 4320;
    clip.frames = 1;
    const std::string path = dir.file("8k.mp4");
    ASSERT_EQ(encodeVideo(path, clip, [&](int i) { return numbered(i, clip); }), "");
    video::VideoFile v(path);
    EXPECT_EQ(v.info().width, 7680);
    const QImage picture = v.frame(0);
    ASSERT_EQ(picture.size(), QSize(7680, 4320));
    EXPECT_EQ(readNumber(picture), 0);
}

std::vector<uint8_t> patched(std::vector<uint8_t> bytes, const std::string &from,
                             const std::string &to) {
    for (size_t i = 0; i + from.size() <= bytes.size(); ++i)
        if (std::equal(from.begin(), from.end(), bytes.begin() + i))
            std::copy(to.begin(), to.end(), bytes.begin() + i);
    return bytes;
}

struct BadCase {
    const char *name;
    std::function<std::string(TempDir &)> make;  // returns the path to open
    int number;
    const char *says;
};

std::string goodVideo(TempDir &dir, const std::string &name, int frames = 20) {
    TestVideo clip;
    clip.frames = frames;
    clip.keyframeInterval = 5;
    if (name.ends_with(".avi")) {
        clip.encoder = "mpeg4";
        clip.bFrames = 0;
    }
    const std::string path = dir.file(name);
    const std::string made = encodeVideo(path, clip, [&](int i) { return numbered(i, clip); });
    if (!made.empty()) throw std::runtime_error(made);
    return path;
}

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, IsRefusedWithAClearMessage) {
    TempDir dir("pondera_video");
    const std::string path = GetParam().make(dir);
    std::string message;
    int number = 0;
    try {
        video::VideoFile v(path);
    } catch (const Error &e) {
        number = e.number();
        message = e.what();
    }
    EXPECT_EQ(number, GetParam().number) << message;
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().says), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Video, BadInput,
    ::testing::Values(BadCase{"Missing", [](TempDir &d) { return d.file("none.mp4"); },
                              kErrPathNotFound, "not found"},
                      BadCase{"Folder",
                              [](TempDir &d) {
                                  fs::create_directory(d.file("clip.mp4"));
                                  return d.file("clip.mp4");
                              },
                              kErrFileAccess, "not a file"},
                      BadCase{"Empty",
                              [](TempDir &d) {
                                  pondera::testing::writeBytes(d.file("empty.mp4"), {});
                                  return d.file("empty.mp4");
                              },
                              kErrFileAccess, "Cannot read the video"},
                      BadCase{"Garbage",
                              [](TempDir &d) {
                                  std::vector<uint8_t> bytes(20000);
                                  std::mt19937 random(1);
                                  for (auto &b : bytes)
                                      b = static_cast<uint8_t>(random());
                                  pondera::testing::writeBytes(d.file("noise.mp4"), bytes);
                                  return d.file("noise.mp4");
                              },
                              kErrFileAccess, "Cannot read the video"},
                      BadCase{"Truncated",
                              [](TempDir &d) {
                                  const std::string path = goodVideo(d, "cut.mp4");
                                  fs::resize_file(path, fs::file_size(path) * 6 / 10);
                                  return path;
                              },
                              kErrFileAccess, "Cannot read the video"},
                      BadCase{"SoundOnly",
                              [](TempDir &d) {
                                  const std::string path = d.file("sound.wav");
                                  if (!pondera::testing::writeSoundOnly(path).empty())
                                      throw std::runtime_error("wav");
                                  return path;
                              },
                              kErrFileAccess, "no pictures"},
                      BadCase{"NoFrames", [](TempDir &d) { return goodVideo(d, "none.mkv", 0); },
                              kErrFileAccess, "no frames"},
                      BadCase{"UnknownCodec",
                              [](TempDir &d) {
                                  const std::string path = goodVideo(d, "odd.avi");
                                  pondera::testing::writeBytes(
                                      path,
                                      patched(pondera::testing::readBytes(path), "FMP4", "QQZ9"));
                                  return path;
                              },
                              kErrFileAccess, "is not supported"}),
    [](const auto &info) { return std::string(info.param.name); });

// Damage inside the pictures: every frame is either a picture of the video's size or error 75,
// and the file stays usable.
TEST(DamagedVideo, EveryFrameIsAPictureOrAClearError) {
    TempDir dir("pondera_video");
    const std::string path = goodVideo(dir, "hit.mkv", 30);
    std::vector<uint8_t> bytes = pondera::testing::readBytes(path);
    std::mt19937 random(9);
    for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 600; ++i)
        bytes[i] = static_cast<uint8_t>(random());
    pondera::testing::writeBytes(path, bytes);
    video::VideoFile v(path);
    int pictures = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 0; n < v.frameCount(); ++n) {
            const int i = pass == 0 ? n : static_cast<int>(v.frameCount()) - 1 - n;
            try {
                EXPECT_EQ(v.frame(i).size(), QSize(160, 96));
                ++pictures;
            } catch (const Error &e) {
                EXPECT_EQ(e.number(), kErrFileAccess) << e.what();
            }
        }
    }
    EXPECT_GT(pictures, 0);
}

}  // namespace

#pragma once

// Test videos made with FFmpeg's encoders: frames painted by the test, so that what a reader gives
// back can be checked exactly.

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace pondera::testing {

struct TestVideo {
    std::string encoder = "libx264";  // an FFmpeg encoder name; the container follows the file name
    int width = 160, height = 96;
    int frames = 30;
    int fps = 30;
    int keyframeInterval = 250;
    int bFrames = 2;
    int rotation = 0;           // degrees clockwise a player turns the pictures (display matrix)
    std::vector<double> times;  // seconds of each frame; empty for evenly spaced at fps
};

// Encodes clip.frames pictures from paint(frame index) (any size: scaled to the video's) into
// path. Returns an empty string, or why it could not (an encoder this FFmpeg lacks, ...).
std::string encodeVideo(const std::string &path, const TestVideo &clip,
                        const std::function<QImage(int)> &paint);

// A file of sound only (PCM in WAV, one second).
std::string writeSoundOnly(const std::string &path);

// A picture that carries number as a 4 × 4 grid of black and white blocks (bit 0 at the top
// left, row by row): a picture turned by a quarter or a half reads as another number.
QImage numberedFrame(int width, int height, int number);
// The number such a picture carries; -1 when a block is neither clearly black nor white.
int readNumber(const QImage &picture);

}  // namespace pondera::testing

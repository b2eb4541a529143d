// The pose detector as a loadable module with a C interface. The program loads it on first use (on
// a worker thread), so that OpenCV and its libraries are neither loaded nor initialised at its
// start.
#pragma once

#include <cstddef>

extern "C" {

inline constexpr int kPoseModuleLandmarks = 22;

struct PonderaPoseResult {
    int outcome;  // 0 person found, 1 no person, 2 failed (message says why)
    float poseFlag;
    float x[kPoseModuleLandmarks], y[kPoseModuleLandmarks];  // picture pixels
    unsigned char needsCheck[kPoseModuleLandmarks];
    char message[512];
};

// Loads the network; null with the reason in error when it cannot.
using PonderaPoseOpen = void *(*)(const char *onnxPath, char *error, size_t errorSize);
// bgrx: 8-bit pixels of 4 bytes in B, G, R, unused order, rows stride bytes apart.
using PonderaPoseDetect = void (*)(void *detector, const unsigned char *bgrx, int width, int height,
                                   int stride, PonderaPoseResult *result);
// As PonderaPoseDetect, for the person under the picture point (x, y: pixels, y down) instead of
// the main one: outcome 1 when no person is there, 2 (with the reason) for a point outside the
// picture.
using PonderaPoseDetectAt = void (*)(void *detector, const unsigned char *bgrx, int width,
                                     int height, int stride, float x, float y,
                                     PonderaPoseResult *result);
using PonderaPoseClose = void (*)(void *detector);

}  // extern "C"

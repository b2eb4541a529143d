// The pose detector as a loadable module with a C interface. The program loads it on first use (on
// a worker thread), so that OpenCV and its libraries are neither loaded nor initialised at its
// start.
#pragma once

#include <cstddef>

#include "model/BodyFacts.h"

extern "C" {

inline constexpr int kPoseModuleLandmarks = pondera::kLandmarkCount;

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

// The region the aligned pass looks at (pose/PoseDetector.h, PoseRegion); side 0 for none.
struct PonderaPoseRegion {
    double centreX, centreY, side, upX, upY;
};
// As PonderaPoseDetect, through a video: from the region the previous frame gave (null or side 0:
// the whole picture), writing the region for the next frame into next (side 0 when none).
using PonderaPoseTrack = void (*)(void *detector, const unsigned char *bgrx, int width, int height,
                                  int stride, const PonderaPoseRegion *from,
                                  PonderaPoseRegion *next, PonderaPoseResult *result);

}  // extern "C"

#include "pose/PoseModule.h"

#include <cstdio>
#include <exception>

#include "pose/LandmarkMapping.h"
#include "pose/PoseDetector.h"

namespace {

void copyMessage(char *to, size_t size, const char *text) {
    if (to && size > 0) std::snprintf(to, size, "%s", text);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void *pondera_pose_open(const char *onnxPath, char *error,
                                                               size_t errorSize) {
    try {
        return new pose::PoseDetector(onnxPath);
    } catch (const std::exception &e) {
        copyMessage(error, errorSize, e.what());
    }
    return nullptr;
}

__attribute__((visibility("default"))) void pondera_pose_track(
    void *detector, const unsigned char *bgrx, int width, int height, int stride,
    const PonderaPoseRegion *from, PonderaPoseRegion *next, PonderaPoseResult *result) {
    *result = {};
    if (next) *next = {};
    try {
        const cv::Mat picture(height, width, CV_8UC4, const_cast<unsigned char *>(bgrx),
                              size_t(stride));
        pose::PoseRegion start, following;
        if (from && from->side > 0)
            start = {{from->centreX, from->centreY}, from->side, {from->upX, from->upY}};
        const pose::NetworkPose found = static_cast<pose::PoseDetector *>(detector)->detectFrom(
            picture, start, next ? &following : nullptr);
        result->poseFlag = found.poseFlag;
        if (!found.personFound) {
            result->outcome = 1;
            return;
        }
        if (next && !following.empty())
            *next = {following.centre.x, following.centre.y, following.side, following.up.x,
                     following.up.y};
        const auto guesses = pose::mapToLandmarks(found);
        for (int i = 0; i < kPoseModuleLandmarks; ++i) {
            result->x[i] = guesses[i].pos.x;
            result->y[i] = guesses[i].pos.y;
            result->needsCheck[i] = guesses[i].needsCheck ? 1 : 0;
        }
        result->outcome = 0;
    } catch (const std::exception &e) {
        result->outcome = 2;
        copyMessage(result->message, sizeof result->message, e.what());
    }
}

__attribute__((visibility("default"))) void pondera_pose_detect(void *detector,
                                                                const unsigned char *bgrx,
                                                                int width, int height, int stride,
                                                                PonderaPoseResult *result) {
    pondera_pose_track(detector, bgrx, width, height, stride, nullptr, nullptr, result);
}

__attribute__((visibility("default"))) void pondera_pose_close(void *detector) {
    delete static_cast<pose::PoseDetector *>(detector);
}

}  // extern "C"

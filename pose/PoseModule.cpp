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

__attribute__((visibility("default"))) void pondera_pose_detect(void *detector,
                                                                const unsigned char *bgrx,
                                                                int width, int height, int stride,
                                                                PonderaPoseResult *result) {
    *result = {};
    try {
        const cv::Mat picture(height, width, CV_8UC4, const_cast<unsigned char *>(bgrx),
                              size_t(stride));
        const pose::NetworkPose found =
            static_cast<pose::PoseDetector *>(detector)->detect(picture);
        result->poseFlag = found.poseFlag;
        if (!found.personFound) {
            result->outcome = 1;
            return;
        }
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

__attribute__((visibility("default"))) void pondera_pose_close(void *detector) {
    delete static_cast<pose::PoseDetector *>(detector);
}

}  // extern "C"

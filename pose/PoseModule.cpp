#include "pose/PoseModule.h"

#include <cstdio>
#include <exception>

#include "pose/LandmarkMapping.h"
#include "pose/PoseDetector.h"

namespace {

void copyMessage(char *to, size_t size, const char *text) {
    if (to && size > 0) std::snprintf(to, size, "%s", text);
}

template <typename Detect>
void detectInto(void *detector, const unsigned char *bgrx, int width, int height, int stride,
                PonderaPoseResult *result, Detect &&detect) {
    *result = {};
    try {
        const cv::Mat picture(height, width, CV_8UC4, const_cast<unsigned char *>(bgrx),
                              size_t(stride));
        const pose::NetworkPose found =
            detect(*static_cast<pose::PoseDetector *>(detector), picture);
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
    detectInto(detector, bgrx, width, height, stride, result,
               [](pose::PoseDetector &d, const cv::Mat &picture) { return d.detect(picture); });
}

__attribute__((visibility("default"))) void pondera_pose_detect_at(void *detector,
                                                                   const unsigned char *bgrx,
                                                                   int width, int height,
                                                                   int stride, float x, float y,
                                                                   PonderaPoseResult *result) {
    detectInto(detector, bgrx, width, height, stride, result,
               [x, y](pose::PoseDetector &d, const cv::Mat &picture) {
                   return d.detectAt(picture, {x, y});
               });
}

__attribute__((visibility("default"))) void pondera_pose_close(void *detector) {
    delete static_cast<pose::PoseDetector *>(detector);
}

}  // extern "C"

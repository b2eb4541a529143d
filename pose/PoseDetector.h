// Runs the pose landmark network over a picture in two passes: the whole picture first, then a crop
// aligned with the body that the first pass found.
#pragma once

#include <filesystem>
#include <memory>

#include <opencv2/core.hpp>

#include "pose/PoseTypes.h"

namespace pose {

// The network's input is a square crop of this many pixels.
inline constexpr int kCropSide = 256;
// The pose flag is a probability: below even odds the points describe no person.
inline constexpr float kPersonThreshold = 0.5f;
// Side of the second pass's crop as a multiple of |p34 - p33| (the network's body radius): the
// network is trained on crops 1.25 times the diameter of the body's enclosing circle.
inline constexpr float kAlignedCropScale = 2.5f;
// Shorter sides give a person too few pixels for any joint to be told apart.
inline constexpr int kMinPictureSide = 32;
// Larger pictures (about 100 megapixels) are refused rather than risk the memory of a full-size
// mask.
inline constexpr double kMaxPicturePixels = 100e6;

// The picture as detection uses it: 8-bit BGR, converted from grey or BGRA. Throws PoseError
// saying why for one it cannot use (empty, not 8 bits, too small, too large, other channels),
// before any network is needed.
cv::Mat UsablePicture(const cv::Mat &picture);

// The square region the aligned pass looks at: its centre and side in picture pixels and the unit
// direction in the picture that is upward in it. Through a video, each frame starts from the
// region the previous frame's body points give, as the network is meant to be run on a stream.
struct PoseRegion {
    cv::Point2d centre;
    double side = 0;
    cv::Point2d up{0, -1};
    bool empty() const { return !(side > 0); }
};

class PoseDetector {
  public:
    // Reads the ONNX network; throws PoseError when the file is missing, unreadable or not this
    // network.
    explicit PoseDetector(const std::filesystem::path &onnxFile);
    ~PoseDetector();
    PoseDetector(const PoseDetector &) = delete;
    PoseDetector &operator=(const PoseDetector &) = delete;

    // picture: 8-bit BGR (as cv::imread gives), grey or BGRA, upright, any size from
    // kMinPictureSide. Returns personFound = false when no person is seen; throws PoseError for a
    // picture it cannot use. Not reentrant: one detection at a time per detector.
    NetworkPose detect(const cv::Mat &picture);
    // As detect(), but from a region the previous frame gave: only the aligned pass runs, on it
    // (both passes when from is empty). next, when not null, receives the region this frame's
    // body points give, empty when no person is found.
    NetworkPose detectFrom(const cv::Mat &picture, const PoseRegion &from, PoseRegion *next);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pose

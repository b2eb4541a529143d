// Finds a person with the person detection network, then runs the pose landmark network in two
// passes: on the region the detector gives for that person, then on a crop aligned with the body
// the first pass found.
#pragma once

#include <filesystem>
#include <memory>

#include <opencv2/core.hpp>

#include "pose/PersonDetector.h"
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

// The region pass 1 covers, as a multiple of the detector's body radius: the landmark network is
// trained on crops 1.25 times the diameter of the body's enclosing circle.
inline constexpr float kPersonCropScale = 2.5f;
// detectAt() takes a person as the one under the point when the point lies within the box of its
// body points widened by this share of the box's longer side on every edge (a click on the
// person's outline or just beside a limb still picks them).
inline constexpr float kPointMargin = 0.1f;

class PoseDetector {
  public:
    // Reads the landmark network and the person detection network beside it
    // (kPersonModelFileName); throws PoseError when either file is missing, unreadable or not the
    // network it should be.
    explicit PoseDetector(const std::filesystem::path &onnxFile);
    PoseDetector(const std::filesystem::path &landmarkFile,
                 const std::filesystem::path &personFile);
    ~PoseDetector();
    PoseDetector(const PoseDetector &) = delete;
    PoseDetector &operator=(const PoseDetector &) = delete;

    // picture: 8-bit BGR (as cv::imread gives), grey or BGRA, upright, any size from
    // kMinPictureSide. Returns personFound = false when no person is seen; throws PoseError for a
    // picture it cannot use. Not reentrant: one detection at a time per detector.
    // When the picture holds several people, the one with most of the body inside the picture
    // (ties: the larger) is taken.
    NetworkPose detect(const cv::Mat &picture);
    // The person under a picture point (pixels, x right, y down) rather than the main one:
    // personFound = false when no person is there. Throws PoseError for a point outside the
    // picture.
    NetworkPose detectAt(const cv::Mat &picture, cv::Point2f point);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pose

// Finds the people in a picture with the person detection network, so that the landmark network
// runs on a region around one person instead of the whole photo.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>

namespace pose {

// The detector's input is a square of this many pixels.
inline constexpr int kDetectorSide = 224;
// Anchors of the detector: one per cell of its feature maps, two per layer (strides 8 and 16 have
// one layer each, stride 32 three), all of fixed unit size, so an anchor is only a centre.
inline constexpr int kDetectorAnchors = 2254;
// Values per anchor: box centre and size, then four keypoints (x, y): hip centre, a point on the
// circle enclosing the whole body, shoulder centre, a point on the upper body's circle.
inline constexpr int kDetectorValues = 12;
// A detection's score is a probability: below even odds it is no person.
inline constexpr float kDetectionThreshold = 0.5f;
// Detections overlapping more than this (intersection over union of their boxes) are one person,
// merged by score weight.
inline constexpr float kSameDetectionOverlap = 0.3f;

// Half the width of a body across its axis, in body radii (half its height): a person standing with
// the arms by the sides is about a quarter as wide as tall, arms held out widen it a little.
inline constexpr float kBodyHalfWidth = 0.3f;

// One person found: the network's box (about the head) and its keypoints, in picture pixels.
struct PersonBox {
    float score = 0;
    cv::Rect2f box;
    cv::Point2f hipCentre;  // the body's centre
    cv::Point2f bodyPoint;  // on the circle about hipCentre that encloses the whole body
    // The enclosing circle's radius, the body's size.
    float radius() const;
    // Share (0 to 1) of the body that lies inside a picture of this size.
    float insideShare(cv::Size picture) const;
};

// From the detector's raw outputs (scores: kDetectorAnchors logits; regressions: kDetectorAnchors ×
// kDetectorValues in input pixels relative to the anchors) to the people in the picture, strongest
// first: thresholded, merged where they overlap and mapped through inputToPicture (detector input
// pixels to picture pixels).
std::vector<PersonBox> decodeDetections(const float *scores, const float *regressions,
                                        const cv::Matx23d &inputToPicture);

// The person detection works on: the one with the largest share of the body inside the picture;
// between shares this close, the larger body. Empty for no people.
inline constexpr float kInsideShareTie = 0.1f;
std::optional<PersonBox> mainPerson(const std::vector<PersonBox> &people, cv::Size picture);

// The people whose enclosing circle holds the picture point, nearest first (distance from the body
// centre as a share of the body's size).
std::vector<PersonBox> peopleAt(const std::vector<PersonBox> &people, cv::Point2f point);

class PersonDetector {
  public:
    // Reads the ONNX network; throws PoseError when the file is missing, unreadable or not this
    // network.
    explicit PersonDetector(const std::filesystem::path &onnxFile);
    ~PersonDetector();
    PersonDetector(const PersonDetector &) = delete;
    PersonDetector &operator=(const PersonDetector &) = delete;

    // bgr: 8-bit BGR. The people in it, strongest first. A person too small to be seen in the whole
    // picture is looked for in overlapping tiles of it. Not reentrant.
    std::vector<PersonBox> detect(const cv::Mat &bgr);
    // The people in one square region (picture pixels; may reach beyond the picture).
    std::vector<PersonBox> detectIn(const cv::Mat &bgr, cv::Rect2d square);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pose

#include "pose/PoseDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include "pose/Crop.h"
#include "pose/ModelLocation.h"

namespace pose {
namespace {

// The network gives 39 points of 5 values (x, y, z, visibility logit, presence logit) in crop
// pixels; points 33 and 34 are auxiliary ones that place the body: its centre and a point one body
// radius from it, towards the head.
constexpr int kNetworkPoints = 39;
constexpr int kValuesPerPoint = 5;
constexpr int kBodyCentre = 33;
constexpr int kBodyRadiusPoint = 34;
// A body radius under a few pixels cannot be a person the second pass could crop.
constexpr float kMinBodyRadius = 4.0f;

const std::vector<cv::String> kOutputNames = {"Identity", "Identity_1", "Identity_2"};

float sigmoid(float v) {
    return 1.0f / (1.0f + std::exp(-v));
}

struct PassResult {
    std::array<BodyPoint, kNetworkPoints> points{};
    float poseFlag = 0;
    cv::Mat segmentation;  // CV_8U crop-sized probability × 255
    cv::Matx23d cropToPicture;
};

}  // namespace

struct PoseDetector::Impl {
    cv::dnn::Net net;
    std::unique_ptr<PersonDetector> people;

    NetworkPose alignedPass(const cv::Mat &bgr, const PoseRegion &region, PoseRegion *next);
    NetworkPose landmarksFrom(const cv::Mat &bgr, const PassResult &first, PoseRegion *next);
    PassResult firstPass(const cv::Mat &bgr, const PersonBox &person);

    // One pass over a square region of the picture: centre and side in picture pixels, `up` the
    // unit direction in the picture that becomes the crop's upward direction.
    PassResult run(const cv::Mat &bgr, cv::Point2d centre, double side, cv::Point2d up) {
        PassResult r;
        r.cropToPicture = cropToPictureMap(centre, side, up, kCropSide);
        const cv::Mat crop = cutCrop(bgr, r.cropToPicture, kCropSide);
        cv::Mat blob =
            cv::dnn::blobFromImage(crop, 1.0 / 255.0, {}, {}, /*swapRB=*/true, false, CV_32F);
        net.setInput(blob);
        std::vector<cv::Mat> outs;
        net.forward(outs, kOutputNames);
        if (outs.size() != 3 || outs[0].total() != kNetworkPoints * kValuesPerPoint ||
            outs[1].total() != 1 || outs[2].total() != size_t(kCropSide) * kCropSide) {
            throw PoseError("the pose network gave outputs of unexpected sizes");
        }
        const float *v = outs[0].ptr<float>();
        for (int i = 0; i < kNetworkPoints; ++i) {
            const float *p = v + i * kValuesPerPoint;
            cv::Point2d q = applyAffine(r.cropToPicture, {p[0], p[1]});
            r.points[i] = {cv::Point2f(float(q.x), float(q.y)), sigmoid(p[3])};
        }
        r.poseFlag = *outs[1].ptr<float>();
        cv::Mat logits(kCropSide, kCropSide, CV_32F, outs[2].ptr<float>());
        cv::Mat prob;
        cv::exp(-logits, prob);
        prob = 255.0 / (1.0 + prob);
        prob.convertTo(r.segmentation, CV_8U);
        return r;
    }
};

PoseDetector::PoseDetector(const std::filesystem::path &onnxFile)
    : PoseDetector(onnxFile, onnxFile.parent_path() / kPersonModelFileName) {}

PoseDetector::PoseDetector(const std::filesystem::path &onnxFile,
                           const std::filesystem::path &personFile)
    : impl_(std::make_unique<Impl>()) {
    impl_->net = readNetwork(onnxFile, "pose network", kOutputNames);
    impl_->people = std::make_unique<PersonDetector>(personFile);
}

cv::Mat UsablePicture(const cv::Mat &picture) {
    if (picture.empty()) throw PoseError("the picture is empty");
    if (picture.depth() != CV_8U) throw PoseError("the picture is not 8 bits per channel");
    if (std::min(picture.cols, picture.rows) < kMinPictureSide) {
        throw PoseError(
            "the picture (" + std::to_string(picture.cols) + " × " + std::to_string(picture.rows) +
            " pixels) is too small to find a person in: " + "both sides need at least " +
            std::to_string(kMinPictureSide) + " pixels");
    }
    if (double(picture.cols) * picture.rows > kMaxPicturePixels) {
        throw PoseError("the picture (" + std::to_string(picture.cols) + " × " +
                        std::to_string(picture.rows) + " pixels) is too large");
    }
    cv::Mat bgr;
    switch (picture.channels()) {
        case 1:
            cv::cvtColor(picture, bgr, cv::COLOR_GRAY2BGR);
            return bgr;
        case 3:
            return picture;
        case 4:
            cv::cvtColor(picture, bgr, cv::COLOR_BGRA2BGR);
            return bgr;
        default:
            throw PoseError("the picture has an unusable number of channels");
    }
}

PoseDetector::~PoseDetector() = default;

namespace {

// The region the network's alignment points give: centred on the body, turned upright, as wide
// as the network's crops; false when the points give no usable body.
bool regionOf(const PassResult &pass, PoseRegion &region) {
    const cv::Point2d centre = pass.points[kBodyCentre].pos;
    const cv::Point2d toHead = cv::Point2d(pass.points[kBodyRadiusPoint].pos) - centre;
    const double radius = std::hypot(toHead.x, toHead.y);
    if (!(radius >= kMinBodyRadius)) return false;
    region = {centre, kAlignedCropScale * radius, toHead / radius};
    return true;
}

// Whether a point lies on or near the person the landmarks describe.
bool holds(const NetworkPose &pose, cv::Point2f point) {
    std::vector<cv::Point2f> pts;
    for (const BodyPoint &b : pose.points)
        pts.push_back(b.pos);
    cv::Rect2f box = cv::boundingRect(pts);
    const float margin = kPointMargin * std::max(box.width, box.height);
    box =
        cv::Rect2f(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin);
    return box.contains(point);
}

}  // namespace

// Pass 2 on a region, and the result in picture pixels; personFound stays false when it sees no
// person. next, when not null, receives the region this pass's body gives.
NetworkPose PoseDetector::Impl::alignedPass(const cv::Mat &bgr, const PoseRegion &region,
                                            PoseRegion *next) {
    NetworkPose pose;
    pose.picture = bgr.size();
    const PassResult second = run(bgr, region.centre, region.side, region.up);
    pose.poseFlag = second.poseFlag;
    if (second.poseFlag < kPersonThreshold) return pose;
    pose.personFound = true;
    std::copy_n(second.points.begin(), kBodyPoints, pose.points.begin());
    pose.segmentation.map = second.segmentation;
    cv::invertAffineTransform(second.cropToPicture, pose.segmentation.pictureToMap);
    if (next && !regionOf(second, *next)) *next = {};
    return pose;
}

// Pass 2 on the body pass 1 found; personFound stays false when either pass sees no person.
NetworkPose PoseDetector::Impl::landmarksFrom(const cv::Mat &bgr, const PassResult &first,
                                              PoseRegion *next) {
    PoseRegion region;
    if (first.poseFlag < kPersonThreshold || !regionOf(first, region)) {
        NetworkPose pose;
        pose.picture = bgr.size();
        pose.poseFlag = first.poseFlag;
        return pose;
    }
    return alignedPass(bgr, region, next);
}

// Pass 1 on the region the person detector gives: centred on the hips, turned so that the body
// points up, as wide as the network's crops.
PassResult PoseDetector::Impl::firstPass(const cv::Mat &bgr, const PersonBox &person) {
    const double radius = person.radius();
    const cv::Point2d up = cv::Point2d(person.bodyPoint - person.hipCentre) / radius;
    return run(bgr, person.hipCentre, kPersonCropScale * radius, up);
}

NetworkPose PoseDetector::detect(const cv::Mat &picture) {
    return detectFrom(picture, {}, nullptr);
}

NetworkPose PoseDetector::detectFrom(const cv::Mat &picture, const PoseRegion &from,
                                     PoseRegion *next) {
    const cv::Mat bgr = UsablePicture(picture);
    if (next) *next = {};
    try {
        // Through a video the previous frame's body gives the region: only the aligned pass runs.
        if (!from.empty()) return impl_->alignedPass(bgr, from, next);
        const std::vector<PersonBox> seen = impl_->people->detect(bgr);
        const std::optional<PersonBox> person = mainPerson(seen, bgr.size());
        // Without a detection the whole picture, padded to a square, still shows a person who
        // fills most of it.
        const double side = std::max(bgr.cols, bgr.rows);
        const PassResult first =
            person ? impl_->firstPass(bgr, *person)
                   : impl_->run(bgr, {bgr.cols / 2.0, bgr.rows / 2.0}, side, {0, -1});
        NetworkPose pose = impl_->landmarksFrom(bgr, first, next);
        pose.peopleSeen = int(seen.size());
        return pose;
    } catch (const cv::Exception &e) {
        throw PoseError(std::string("the pose network failed on this picture: ") + e.err);
    }
}

NetworkPose PoseDetector::detectAt(const cv::Mat &picture, cv::Point2f point) {
    const cv::Mat bgr = UsablePicture(picture);
    if (!(point.x >= 0 && point.y >= 0 && point.x < bgr.cols && point.y < bgr.rows)) {
        char where[64];
        std::snprintf(where, sizeof where, "(%g, %g)", double(point.x), double(point.y));
        throw PoseError(std::string("the point ") + where + " is outside the picture (" +
                        std::to_string(bgr.cols) + " × " + std::to_string(bgr.rows) + " pixels)");
    }
    try {
        std::vector<PersonBox> seen = impl_->people->detect(bgr);
        std::vector<PersonBox> candidates = peopleAt(seen, point);
        if (candidates.empty()) {
            // A small person beside a large one: look again in a region about the point.
            const double side = std::min(bgr.cols, bgr.rows) / 2.0;
            candidates = peopleAt(
                impl_->people->detectIn(bgr, {point.x - side / 2, point.y - side / 2, side, side}),
                point);
        }
        NetworkPose none;
        none.picture = bgr.size();
        none.peopleSeen = int(seen.size());
        std::vector<PassResult> firsts;
        for (const PersonBox &person : candidates)
            firsts.push_back(impl_->firstPass(bgr, person));
        // A person the detector misses (cut off by the frame, turned away) may still fill a
        // square about the point, as a person filling the whole picture does.
        const double side = std::min(bgr.cols, bgr.rows);
        firsts.push_back(impl_->run(bgr, point, side, {0, -1}));
        for (const PassResult &first : firsts) {
            NetworkPose pose = impl_->landmarksFrom(bgr, first, nullptr);
            pose.peopleSeen = int(seen.size());
            if (pose.personFound && holds(pose, point)) return pose;
            none.poseFlag = std::max(none.poseFlag, pose.poseFlag);
        }
        return none;
    } catch (const cv::Exception &e) {
        throw PoseError(std::string("the pose network failed on this picture: ") + e.err);
    }
}

int Segmentation::at(cv::Point2f picture) const {
    if (map.empty() || map.type() != CV_8U) return 0;
    const cv::Point2d q = applyAffine(pictureToMap, {picture.x, picture.y});
    const double x = std::floor(q.x), y = std::floor(q.y);
    if (!(x >= 0 && y >= 0 && x < map.cols && y < map.rows)) return 0;
    return map.at<uchar>(int(y), int(x));
}

cv::Mat Segmentation::render(cv::Size picture) const {
    cv::Mat out = cv::Mat::zeros(picture, CV_8U);
    if (map.empty()) return out;
    cv::Matx23d mapToPicture;
    cv::invertAffineTransform(pictureToMap, mapToPicture);
    cv::warpAffine(map, out, cv::Mat(toPixelIndices(mapToPicture)), picture, cv::INTER_LINEAR,
                   cv::BORDER_CONSTANT, cv::Scalar());
    return out;
}

}  // namespace pose

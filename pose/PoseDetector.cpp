#include "pose/PoseDetector.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

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
// Picture pixels per crop pixel above which the picture is first shrunk with area averaging, so the
// crop's bilinear sampling does not skip pixels (aliasing costs accuracy on large photographs).
constexpr double kShrinkAbove = 1.5;

const std::vector<cv::String> kOutputNames = {"Identity", "Identity_1", "Identity_2"};

float sigmoid(float v) {
    return 1.0f / (1.0f + std::exp(-v));
}

cv::Point2d apply(const cv::Matx23d &m, cv::Point2d p) {
    return {m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2), m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2)};
}

// Turns a map between continuous coordinates (pixel i covers [i, i+1)) into one between pixel
// indices, the form cv::warpAffine works in.
cv::Matx23d toPixelIndices(const cv::Matx23d &m) {
    cv::Matx23d r = m;
    cv::Point2d centre = apply(m, {0.5, 0.5});
    r(0, 2) = centre.x - 0.5;
    r(1, 2) = centre.y - 0.5;
    return r;
}

// The picture pixels a crop covers, clipped to the picture.
cv::Rect coveredRegion(const cv::Matx23d &cropToPicture, cv::Size picture) {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (int i = 0; i < 4; ++i) {
        cv::Point2d q = apply(
            cropToPicture, {(i & 1) ? double(kCropSide) : 0.0, (i & 2) ? double(kCropSide) : 0.0});
        x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x),
        y1 = std::max(y1, q.y);
    }
    // Far outside the picture the corners would overflow an int; clipping first keeps them in
    // range.
    x0 = std::clamp(x0, 0.0, double(picture.width)),
    x1 = std::clamp(x1, 0.0, double(picture.width));
    y0 = std::clamp(y0, 0.0, double(picture.height)),
    y1 = std::clamp(y1, 0.0, double(picture.height));
    cv::Rect roi(cv::Point(int(std::floor(x0)), int(std::floor(y0))),
                 cv::Point(int(std::ceil(x1)) + 1, int(std::ceil(y1)) + 1));
    return roi & cv::Rect(cv::Point(0, 0), picture);
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

    // One pass over a square region of the picture: centre and side in picture pixels, `up` the
    // unit direction in the picture that becomes the crop's upward direction.
    PassResult run(const cv::Mat &bgr, cv::Point2d centre, double side, cv::Point2d up) {
        PassResult r;
        const double k = side / kCropSide;
        // crop (u, v) -> picture: centre + k * R * ((u, v) - half), R turning (0, -1) into `up`.
        const double s = up.x, c = -up.y;
        const double h = kCropSide / 2.0;
        r.cropToPicture = cv::Matx23d(k * c, -k * s, centre.x - k * (c * h - s * h), k * s, k * c,
                                      centre.y - k * (s * h + c * h));

        cv::Rect roi = coveredRegion(r.cropToPicture, bgr.size());
        if (roi.empty()) return r;  // the crop lies wholly outside: nothing to see

        cv::Mat source = bgr(roi);
        double sx = 1, sy = 1;
        if (k > kShrinkAbove) {
            // Area averaging by a whole factor is several times faster than by any other, so a
            // large photo is first shrunk by the largest whole factor that leaves at least twice
            // the crop's resolution, then to the crop's exact scale.
            const int factor = std::max(1, int(k / 2));
            cv::Mat shrunk = source;
            if (factor > 1) {
                roi = cv::Rect(roi.x, roi.y, roi.width / factor * factor,
                               roi.height / factor * factor);
                cv::resize(bgr(roi), shrunk, {roi.width / factor, roi.height / factor}, 0, 0,
                           cv::INTER_AREA);
            }
            const cv::Size small(std::max(1, int(std::lround(roi.width / k))),
                                 std::max(1, int(std::lround(roi.height / k))));
            cv::resize(shrunk, shrunk, small, 0, 0, cv::INTER_AREA);
            source = shrunk;
            sx = double(roi.width) / small.width;
            sy = double(roi.height) / small.height;
        }
        // crop -> source: picture coordinates moved to the region and scaled by the shrink.
        cv::Matx23d cropToSource = r.cropToPicture;
        for (int col = 0; col < 3; ++col) {
            cropToSource(0, col) /= sx;
            cropToSource(1, col) /= sy;
        }
        cropToSource(0, 2) -= roi.x / sx;
        cropToSource(1, 2) -= roi.y / sy;

        cv::Mat crop;
        cv::warpAffine(source, crop, cv::Mat(toPixelIndices(cropToSource)), {kCropSide, kCropSide},
                       cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, cv::Scalar());
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
            cv::Point2d q = apply(r.cropToPicture, {p[0], p[1]});
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
    : impl_(std::make_unique<Impl>()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(onnxFile, ec)) {
        throw PoseError("the pose network " + onnxFile.string() + " does not exist");
    }
    try {
        impl_->net = cv::dnn::readNetFromONNX(onnxFile.string());
    } catch (const cv::Exception &e) {
        throw PoseError("the pose network " + onnxFile.string() + " cannot be read: " + e.err);
    }
    if (impl_->net.empty()) throw PoseError("the pose network " + onnxFile.string() + " is empty");
    for (const auto &name : kOutputNames) {
        if (impl_->net.getLayerId(name) < 0) {
            throw PoseError("the file " + onnxFile.string() +
                            " is not the pose network (no output " + name + ")");
        }
    }
    impl_->net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    impl_->net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
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

NetworkPose PoseDetector::detect(const cv::Mat &picture) {
    return detectFrom(picture, {}, nullptr);
}

NetworkPose PoseDetector::detectFrom(const cv::Mat &picture, const PoseRegion &from,
                                     PoseRegion *next) {
    const cv::Mat bgr = UsablePicture(picture);
    NetworkPose pose;
    pose.picture = bgr.size();
    if (next) *next = {};
    // The region the network's alignment points give: centred on the body, turned upright.
    auto regionOf = [](const PassResult &pass, PoseRegion &region) {
        const cv::Point2d centre = pass.points[kBodyCentre].pos;
        const cv::Point2d toHead = cv::Point2d(pass.points[kBodyRadiusPoint].pos) - centre;
        const double radius = std::hypot(toHead.x, toHead.y);
        if (!(radius >= kMinBodyRadius)) return false;
        region = {centre, kAlignedCropScale * radius, toHead / radius};
        return true;
    };
    try {
        PoseRegion region = from;
        if (region.empty()) {
            // Pass 1: the whole picture, padded to a square.
            const double side = std::max(bgr.cols, bgr.rows);
            PassResult first = impl_->run(bgr, {bgr.cols / 2.0, bgr.rows / 2.0}, side, {0, -1});
            pose.poseFlag = first.poseFlag;
            if (first.poseFlag < kPersonThreshold || !regionOf(first, region)) return pose;
        }

        // Pass 2: a crop centred on the body and turned so that the body stands upright in it.
        PassResult second = impl_->run(bgr, region.centre, region.side, region.up);
        pose.poseFlag = second.poseFlag;
        if (second.poseFlag < kPersonThreshold) return pose;
        pose.personFound = true;
        std::copy_n(second.points.begin(), kBodyPoints, pose.points.begin());
        if (next && !regionOf(second, *next)) *next = {};

        pose.segmentation.map = second.segmentation;
        cv::invertAffineTransform(second.cropToPicture, pose.segmentation.pictureToMap);
    } catch (const cv::Exception &e) {
        throw PoseError(std::string("the pose network failed on this picture: ") + e.err);
    }
    return pose;
}

int Segmentation::at(cv::Point2f picture) const {
    if (map.empty() || map.type() != CV_8U) return 0;
    const cv::Point2d q = apply(pictureToMap, {picture.x, picture.y});
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

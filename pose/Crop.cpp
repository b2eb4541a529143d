#include "pose/Crop.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "pose/PoseTypes.h"

namespace pose {
namespace {

// Picture pixels per crop pixel above which the picture is first shrunk with area averaging, so the
// crop's bilinear sampling does not skip pixels (aliasing costs accuracy on large photographs).
constexpr double kShrinkAbove = 1.5;

// The picture pixels a crop covers, clipped to the picture.
cv::Rect coveredRegion(const cv::Matx23d &cropToPicture, cv::Size picture, int side) {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (int i = 0; i < 4; ++i) {
        cv::Point2d q = applyAffine(cropToPicture,
                                    {(i & 1) ? double(side) : 0.0, (i & 2) ? double(side) : 0.0});
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

}  // namespace

cv::Point2d applyAffine(const cv::Matx23d &m, cv::Point2d p) {
    return {m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2), m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2)};
}

cv::Matx23d toPixelIndices(const cv::Matx23d &m) {
    cv::Matx23d r = m;
    cv::Point2d centre = applyAffine(m, {0.5, 0.5});
    r(0, 2) = centre.x - 0.5;
    r(1, 2) = centre.y - 0.5;
    return r;
}

cv::Matx23d cropToPictureMap(cv::Point2d centre, double width, cv::Point2d up, int side) {
    const double k = width / side;
    // crop (u, v) -> picture: centre + k * R * ((u, v) - half), R turning (0, -1) into `up`.
    const double s = up.x, c = -up.y;
    const double h = side / 2.0;
    return cv::Matx23d(k * c, -k * s, centre.x - k * (c * h - s * h), k * s, k * c,
                       centre.y - k * (s * h + c * h));
}

cv::Mat cutCrop(const cv::Mat &bgr, const cv::Matx23d &cropToPicture, int side) {
    cv::Rect roi = coveredRegion(cropToPicture, bgr.size(), side);
    if (roi.empty()) return cv::Mat::zeros(side, side, CV_8UC3);  // wholly outside the picture

    const double k = std::hypot(cropToPicture(0, 0), cropToPicture(1, 0));
    cv::Mat source = bgr(roi);
    double sx = 1, sy = 1;
    if (k > kShrinkAbove) {
        // Area averaging by a whole factor is several times faster than by any other, so a large
        // photo is first shrunk by the largest whole factor that leaves at least twice the crop's
        // resolution, then to the crop's exact scale.
        const int factor = std::max(1, int(k / 2));
        cv::Mat shrunk = source;
        if (factor > 1) {
            roi = cv::Rect(roi.x, roi.y, std::max(factor, roi.width / factor * factor),
                           std::max(factor, roi.height / factor * factor)) &
                  cv::Rect(cv::Point(0, 0), bgr.size());
            cv::resize(bgr(roi), shrunk,
                       {std::max(1, roi.width / factor), std::max(1, roi.height / factor)}, 0, 0,
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
    cv::Matx23d cropToSource = cropToPicture;
    for (int col = 0; col < 3; ++col) {
        cropToSource(0, col) /= sx;
        cropToSource(1, col) /= sy;
    }
    cropToSource(0, 2) -= roi.x / sx;
    cropToSource(1, 2) -= roi.y / sy;

    cv::Mat crop;
    cv::warpAffine(source, crop, cv::Mat(toPixelIndices(cropToSource)), {side, side},
                   cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, cv::Scalar());
    return crop;
}

cv::dnn::Net readNetwork(const std::filesystem::path &onnxFile, const std::string &what,
                         const std::vector<cv::String> &outputs) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(onnxFile, ec))
        throw PoseError("the " + what + " " + onnxFile.string() + " does not exist");
    cv::dnn::Net net;
    try {
        net = cv::dnn::readNetFromONNX(onnxFile.string());
    } catch (const cv::Exception &e) {
        throw PoseError("the " + what + " " + onnxFile.string() + " cannot be read: " + e.err);
    }
    if (net.empty()) throw PoseError("the " + what + " " + onnxFile.string() + " is empty");
    for (const auto &name : outputs) {
        if (net.getLayerId(name) < 0)
            throw PoseError("the file " + onnxFile.string() + " is not the " + what +
                            " (no output " + name + ")");
    }
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    return net;
}

}  // namespace pose

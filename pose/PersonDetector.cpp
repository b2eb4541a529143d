#include "pose/PersonDetector.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include "pose/Crop.h"
#include "pose/PoseTypes.h"

namespace pose {
namespace {

// The anchors' feature maps: stride in input pixels and anchors per cell (two per layer; the three
// stride-32 layers share their cells).
constexpr std::array<std::pair<int, int>, 3> kAnchorGrids = {{{8, 2}, {16, 2}, {32, 6}}};
// Raw scores are clipped here before the sigmoid, as the network was trained.
constexpr float kScoreClip = 100.0f;
// Tiles for people too small to be found in the whole picture: squares of this share of the
// picture's shorter side, overlapping by half, so a person up to half a tile tall lies wholly in
// one of them.
constexpr std::array<double, 2> kTileShares = {1.0, 0.5};
// A body circle under this many input pixels is too small for the landmark network to use.
constexpr float kMinRadius = 4.0f;

const std::vector<cv::String> kOutputNames = {"Identity", "Identity_1"};

struct Anchor {
    float x, y;  // centre, input pixels
};

const std::vector<Anchor> &anchors() {
    static const std::vector<Anchor> all = [] {
        std::vector<Anchor> a;
        a.reserve(kDetectorAnchors);
        for (auto [stride, perCell] : kAnchorGrids) {
            const int cells = kDetectorSide / stride;
            for (int y = 0; y < cells; ++y)
                for (int x = 0; x < cells; ++x)
                    for (int i = 0; i < perCell; ++i)
                        a.push_back({(x + 0.5f) * stride, (y + 0.5f) * stride});
        }
        return a;
    }();
    return all;
}

float overlap(const cv::Rect2f &a, const cv::Rect2f &b) {
    const float inter = (a & b).area();
    const float uni = a.area() + b.area() - inter;
    return uni > 0 ? inter / uni : 0;
}

cv::Point2f mapped(const cv::Matx23d &m, float x, float y) {
    const cv::Point2d q = applyAffine(m, {x, y});
    return {float(q.x), float(q.y)};
}

}  // namespace

float PersonBox::radius() const {
    return float(cv::norm(bodyPoint - hipCentre));
}

float PersonBox::insideShare(cv::Size picture) const {
    const float r = radius();
    if (!(r > 0)) return 0;
    // The body as a band along its axis: one radius each way from the hips, kBodyHalfWidth radii
    // to each side; sampled on a grid, exact enough to rank people, and cheap.
    constexpr int kSteps = 24;
    const cv::Point2f along = (bodyPoint - hipCentre) / r, across(-along.y, along.x);
    int inside = 0;
    for (int j = 0; j < kSteps; ++j) {
        for (int i = 0; i < kSteps; ++i) {
            const float u = (i + 0.5f) / kSteps * 2 - 1, v = (j + 0.5f) / kSteps * 2 - 1;
            const cv::Point2f p = hipCentre + along * (u * r) + across * (v * kBodyHalfWidth * r);
            if (p.x >= 0 && p.y >= 0 && p.x < picture.width && p.y < picture.height) ++inside;
        }
    }
    return float(inside) / float(kSteps * kSteps);
}

std::vector<PersonBox> decodeDetections(const float *scores, const float *regressions,
                                        const cv::Matx23d &inputToPicture) {
    struct Raw {
        float score;
        std::array<float, kDetectorValues> v;  // absolute input pixels
        cv::Rect2f box;
    };
    std::vector<Raw> raw;
    const std::vector<Anchor> &a = anchors();
    for (int i = 0; i < kDetectorAnchors; ++i) {
        const float logit = std::clamp(scores[i], -kScoreClip, kScoreClip);
        const float score = 1.0f / (1.0f + std::exp(-logit));
        if (!(score >= kDetectionThreshold)) continue;
        Raw r{score, {}, {}};
        const float *v = regressions + size_t(i) * kDetectorValues;
        for (int k = 0; k < kDetectorValues; ++k) {
            // Sizes are plain lengths; centres and keypoints are offsets from the anchor.
            r.v[k] = k == 2 || k == 3 ? v[k] : v[k] + (k % 2 == 0 ? a[i].x : a[i].y);
        }
        r.box = cv::Rect2f(r.v[0] - r.v[2] / 2, r.v[1] - r.v[3] / 2, r.v[2], r.v[3]);
        if (!std::all_of(r.v.begin(), r.v.end(), [](float f) { return std::isfinite(f); }))
            continue;
        raw.push_back(r);
    }
    std::sort(raw.begin(), raw.end(), [](const Raw &l, const Raw &r) { return l.score > r.score; });

    // Weighted suppression: every detection overlapping the strongest remaining one is merged
    // into it, weighted by score, which steadies the keypoints.
    std::vector<PersonBox> people;
    std::vector<bool> used(raw.size(), false);
    for (size_t i = 0; i < raw.size(); ++i) {
        if (used[i]) continue;
        std::array<double, kDetectorValues> sum{};
        double weight = 0;
        for (size_t j = i; j < raw.size(); ++j) {
            if (used[j] || overlap(raw[i].box, raw[j].box) <= kSameDetectionOverlap) continue;
            used[j] = true;
            for (int k = 0; k < kDetectorValues; ++k)
                sum[k] += double(raw[j].v[k]) * raw[j].score;
            weight += raw[j].score;
        }
        std::array<float, kDetectorValues> m{};
        for (int k = 0; k < kDetectorValues; ++k)
            m[k] = float(sum[k] / weight);
        PersonBox p;
        p.score = raw[i].score;
        const cv::Point2f c0 = mapped(inputToPicture, m[0] - m[2] / 2, m[1] - m[3] / 2);
        const cv::Point2f c1 = mapped(inputToPicture, m[0] + m[2] / 2, m[1] + m[3] / 2);
        p.box = cv::Rect2f(c0, c1);
        p.hipCentre = mapped(inputToPicture, m[4], m[5]);
        p.bodyPoint = mapped(inputToPicture, m[6], m[7]);
        const float inputRadius = std::hypot(m[6] - m[4], m[7] - m[5]);
        if (inputRadius >= kMinRadius) people.push_back(p);
    }
    return people;
}

std::optional<PersonBox> mainPerson(const std::vector<PersonBox> &people, cv::Size picture) {
    std::optional<PersonBox> best;
    float bestShare = -1;
    for (const PersonBox &p : people) {
        const float share = p.insideShare(picture);
        const bool clearlyMore = share > bestShare + kInsideShareTie;
        const bool tie = std::abs(share - bestShare) <= kInsideShareTie;
        if (!best || clearlyMore || (tie && p.radius() > best->radius())) {
            // A tie won by size keeps the share it was compared with, so a chain of near-ties
            // cannot drift far from the best share.
            if (!best || clearlyMore) bestShare = share;
            best = p;
        }
    }
    return best;
}

std::vector<PersonBox> peopleAt(const std::vector<PersonBox> &people, cv::Point2f point) {
    std::vector<std::pair<float, PersonBox>> within;
    for (const PersonBox &p : people) {
        const float r = p.radius();
        const float d = float(cv::norm(point - p.hipCentre));
        if (r > 0 && d <= r) within.push_back({d / r, p});
    }
    std::stable_sort(within.begin(), within.end(),
                     [](const auto &l, const auto &r) { return l.first < r.first; });
    std::vector<PersonBox> out;
    for (auto &w : within)
        out.push_back(w.second);
    return out;
}

struct PersonDetector::Impl {
    cv::dnn::Net net;

    std::vector<PersonBox> run(const cv::Mat &bgr, cv::Rect2d square) {
        const cv::Matx23d inputToPicture =
            cropToPictureMap({square.x + square.width / 2, square.y + square.height / 2},
                             square.width, {0, -1}, kDetectorSide);
        const cv::Mat crop = cutCrop(bgr, inputToPicture, kDetectorSide);
        // The network takes RGB scaled to [-1, 1].
        cv::Mat blob =
            cv::dnn::blobFromImage(crop, 2.0 / 255.0, {}, cv::Scalar(127.5, 127.5, 127.5),
                                   /*swapRB=*/true, false, CV_32F);
        net.setInput(blob);
        std::vector<cv::Mat> outs;
        net.forward(outs, kOutputNames);
        if (outs.size() != 2 || outs[0].total() != size_t(kDetectorAnchors) * kDetectorValues ||
            outs[1].total() != size_t(kDetectorAnchors)) {
            throw PoseError("the person detection network gave outputs of unexpected sizes");
        }
        return decodeDetections(outs[1].ptr<float>(), outs[0].ptr<float>(), inputToPicture);
    }
};

PersonDetector::PersonDetector(const std::filesystem::path &onnxFile)
    : impl_(std::make_unique<Impl>()) {
    impl_->net = readNetwork(onnxFile, "person detection network", kOutputNames);
}

PersonDetector::~PersonDetector() = default;

std::vector<PersonBox> PersonDetector::detectIn(const cv::Mat &bgr, cv::Rect2d square) {
    try {
        return impl_->run(bgr, square);
    } catch (const cv::Exception &e) {
        throw PoseError(std::string("the person detection network failed on this picture: ") +
                        e.err);
    }
}

std::vector<PersonBox> PersonDetector::detect(const cv::Mat &bgr) {
    const double longSide = std::max(bgr.cols, bgr.rows);
    const double shortSide = std::min(bgr.cols, bgr.rows);
    std::vector<PersonBox> people =
        detectIn(bgr, {(bgr.cols - longSide) / 2, (bgr.rows - longSide) / 2, longSide, longSide});
    for (double share : kTileShares) {
        if (!people.empty()) break;
        const double side = shortSide * share;
        if (side >= longSide) continue;  // a square picture: the whole picture was the tile
        // Positions half a tile apart, the last one at the far edge.
        auto positions = [&](int length) {
            return length > side ? int(std::ceil((length - side) / (side / 2))) + 1 : 1;
        };
        const int nx = positions(bgr.cols), ny = positions(bgr.rows);
        std::vector<PersonBox> found;
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                const double x = nx > 1 ? (bgr.cols - side) * i / (nx - 1) : (bgr.cols - side) / 2;
                const double y = ny > 1 ? (bgr.rows - side) * j / (ny - 1) : (bgr.rows - side) / 2;
                // A tile looks for people smaller than itself; one whose body would reach beyond
                // it is a misreading of a part of the picture (a larger person is seen whole at
                // the level before).
                for (PersonBox &p : detectIn(bgr, {x, y, side, side}))
                    if (p.radius() <= side / 2 &&
                        cv::Rect2d(x, y, side, side).contains(p.hipCentre))
                        found.push_back(p);
            }
        }
        // A person seen in two overlapping tiles is one person: keep the stronger sighting.
        std::sort(found.begin(), found.end(),
                  [](const PersonBox &l, const PersonBox &r) { return l.score > r.score; });
        for (const PersonBox &p : found) {
            const bool seen = std::any_of(people.begin(), people.end(), [&](const PersonBox &q) {
                return overlap(p.box, q.box) > kSameDetectionOverlap;
            });
            if (!seen) people.push_back(p);
        }
    }
    return people;
}

}  // namespace pose

// The pose detector: loading the networks, and detection (person stage, both passes and the
// landmark mapping) on a 640 x 480 and a 4032 x 3024 photo, decoded once before timing; and the
// slowest case, a person at 15 % of a 4032 x 3024 frame's height, whom only the tiles find.
#include <benchmark/benchmark.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <string>

#include "pose/LandmarkMapping.h"
#include "pose/ModelLocation.h"
#include "pose/PoseDetector.h"

namespace {

const pose::ModelLocation &model() {
    static const pose::ModelLocation where = pose::locateModel(POSE_BENCH_MODEL_DIR);
    return where;
}

// The footballer photograph scaled to the size under test, as a camera would deliver it.
cv::Mat photo(int width, int height) {
    cv::Mat m = cv::imread(POSE_BENCH_PHOTO, cv::IMREAD_COLOR), scaled;
    if (m.empty()) return m;
    cv::resize(m, scaled, {width, height}, 0, 0, cv::INTER_CUBIC);
    return scaled;
}

void BM_LoadNetwork(benchmark::State &state) {
    if (!model().found()) return state.SkipWithError(model().whyMissing.c_str());
    for (auto _ : state) {
        pose::PoseDetector detector(model().file);
        benchmark::DoNotOptimize(&detector);
    }
}
BENCHMARK(BM_LoadNetwork)->Unit(benchmark::kMillisecond);

// Load and the first detection, as the window's first use pays it.
void BM_LoadAndFirstDetection(benchmark::State &state) {
    if (!model().found()) return state.SkipWithError(model().whyMissing.c_str());
    const cv::Mat picture = photo(640, 480);
    for (auto _ : state) {
        pose::PoseDetector detector(model().file);
        benchmark::DoNotOptimize(pose::mapToLandmarks(detector.detect(picture)));
    }
}
BENCHMARK(BM_LoadAndFirstDetection)->Unit(benchmark::kMillisecond);

void BM_Detect(benchmark::State &state) {
    if (!model().found()) return state.SkipWithError(model().whyMissing.c_str());
    const cv::Mat picture = photo(int(state.range(0)), int(state.range(1)));
    if (picture.empty()) return state.SkipWithError("cannot read " POSE_BENCH_PHOTO);
    pose::PoseDetector detector(model().file);
    detector.detect(picture);  // the network's first run prepares its layers
    for (auto _ : state) {
        pose::NetworkPose p = detector.detect(picture);
        if (!p.personFound) return state.SkipWithError("no person found");
        benchmark::DoNotOptimize(pose::mapToLandmarks(p));
    }
}
BENCHMARK(BM_Detect)->Args({640, 480})->Args({4032, 3024})->Unit(benchmark::kMillisecond);

// The standing man of basketball1.png (left 300 columns), scaled to `share` % of the frame's
// height and pasted off-centre onto building.jpg stretched to 4032 x 3024.
cv::Mat smallPerson(int share) {
    const std::string data = "/usr/share/doc/opencv-doc/examples/data/";
    cv::Mat background = cv::imread(data + "building.jpg"),
            man = cv::imread(data + "basketball1.png");
    if (background.empty() || man.empty()) return {};
    cv::resize(background, background, {4032, 3024}, 0, 0, cv::INTER_CUBIC);
    man = man(cv::Rect(0, 0, 300, 480));
    const double scale = 3024.0 * share / 100 / man.rows;
    cv::resize(man, man, {}, scale, scale, cv::INTER_AREA);
    man.copyTo(background(cv::Rect(2900, 1800, man.cols, man.rows)));
    return background;
}

void BM_DetectSmallPerson(benchmark::State &state) {
    if (!model().found()) return state.SkipWithError(model().whyMissing.c_str());
    const cv::Mat picture = smallPerson(int(state.range(0)));
    if (picture.empty()) return state.SkipWithError("cannot read the photos of opencv-doc");
    pose::PoseDetector detector(model().file);
    detector.detect(picture);
    // At 15 % the person detector finds no one: the time is that of the whole tile search.
    int found = 0;
    for (auto _ : state) {
        pose::NetworkPose p = detector.detect(picture);
        found += p.personFound ? 1 : 0;
        if (p.personFound) benchmark::DoNotOptimize(pose::mapToLandmarks(p));
    }
    state.counters["found"] = found == 0 ? 0 : 1;
}
BENCHMARK(BM_DetectSmallPerson)->Arg(15)->Arg(25)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

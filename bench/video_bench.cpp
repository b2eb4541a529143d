// Video and tracking speed on 1080p H.264 at 30 fps (keyframe every 250 frames, B-frames), the
// demonstration figure walking to and fro: one step forward, one step back, tracking one frame,
// and ten seconds tracked.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <map>

#include "model/demo_landmarks.h"
#include "pose/ModelLocation.h"
#include "tests/video/video_maker.h"
#include "tools/demo-pictures/demo_scene.h"
#include "track/Tracker.h"
#include "video/VideoFile.h"

namespace {

using namespace pondera;

// Ten seconds of 1080p, made once per run.
const std::string &walkVideo() {
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = dir.filePath("walk1080.mp4").toStdString();
        std::map<int, QImage> rendered;
        testing::TestVideo clip;
        clip.width = 1920;
        clip.height = 1080;
        clip.frames = 300;
        const std::string made = testing::encodeVideo(p, clip, [&](int i) {
            const int offset = std::abs(i % 120 - 60) * 2 - 60;  // to and fro, 2 px a frame
            auto it = rendered.find(offset);
            if (it == rendered.end()) {
                DemoLandmarkSet set = kDemoSetB;
                for (DemoPoint &q : set)
                    q.x += offset;
                it = rendered
                         .emplace(offset,
                                  demo::renderPicture(set).scaled(1920, 1080, Qt::IgnoreAspectRatio,
                                                                  Qt::SmoothTransformation))
                         .first;
            }
            return it->second;
        });
        if (!made.empty()) throw std::runtime_error(made);
        return p;
    }();
    return path;
}

void BM_StepForward1080p(benchmark::State &state) {
    video::VideoFile v(walkVideo());
    v.frame(0);
    for (auto _ : state) {
        const int64_t next = v.position() + 1;
        if (next >= v.frameCount()) {
            state.PauseTiming();
            v.frame(0);
            state.ResumeTiming();
            continue;
        }
        benchmark::DoNotOptimize(v.frame(next));
    }
}
BENCHMARK(BM_StepForward1080p)->Unit(benchmark::kMillisecond);

// Stepping back from the end of the first group of pictures (frame 249): the first step decodes
// from the keyframe and keeps frames, the next ones read them.
void BM_StepBack1080p(benchmark::State &state) {
    video::VideoFile v(walkVideo());
    v.frame(249);
    for (auto _ : state) {
        const int64_t previous = v.position() - 1;
        if (previous < 0) {
            state.PauseTiming();
            v.frame(249);
            state.ResumeTiming();
            continue;
        }
        benchmark::DoNotOptimize(v.frame(previous));
    }
}
// Over 240 steps back, the decoding from the keyframe shared out among the steps it serves.
BENCHMARK(BM_StepBack1080p)->Unit(benchmark::kMillisecond)->Iterations(240);

// The worst single step: back past the frames kept, so the decoder starts again from the
// keyframe 190 frames before.
void BM_WorstStepBack1080p(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        video::VideoFile v(walkVideo());
        int64_t f = 249;
        v.frame(f);
        while (f > 0) {
            const auto start = std::chrono::steady_clock::now();
            v.frame(f - 1);
            if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(100)) break;
            --f;
        }
        // f - 1 was the first frame not kept; what it cost is timed again from the same state.
        v.frame(249);
        for (int64_t g = 248; g >= f; --g)
            v.frame(g);
        state.ResumeTiming();
        benchmark::DoNotOptimize(v.frame(f - 1));
        state.counters["frame"] = static_cast<double>(f - 1);
    }
}
BENCHMARK(BM_WorstStepBack1080p)->Unit(benchmark::kMillisecond)->Iterations(3);

std::unique_ptr<track::ModuleDetector> detector(benchmark::State &state) {
    const pose::ModelLocation model = pose::locateModel(VIDEO_BENCH_MODEL_DIR);
    if (!model.found()) {
        state.SkipWithError(("no pose network: " + model.whyMissing).c_str());
        return nullptr;
    }
    return std::make_unique<track::ModuleDetector>(VIDEO_BENCH_MODULE, model.file);
}

// One tracked frame: decoding the next frame and the aligned pass from the previous region.
void BM_TrackFrame1080p(benchmark::State &state) {
    auto d = detector(state);
    if (!d) return;
    video::VideoFile v(walkVideo());
    track::Region region, next;
    d->detect(v.frame(0), region, next);
    region = next;
    for (auto _ : state) {
        int64_t f = v.position() + 1;
        if (f >= v.frameCount()) f = 0;
        const track::FramePose pose = d->detect(v.frame(f), region, next);
        region = pose.found ? next : track::Region{};
    }
}
BENCHMARK(BM_TrackFrame1080p)->Unit(benchmark::kMillisecond);

void BM_Track10Seconds1080p(benchmark::State &state) {
    auto d = detector(state);
    if (!d) return;
    for (auto _ : state) {
        video::VideoFile v(walkVideo());
        const track::TrackResult r = track::trackVideo(v, *d, {});
        state.counters["frames"] = static_cast<double>(r.frames.size());
        state.counters["redetected"] = static_cast<double>(
            std::count_if(r.frames.begin(), r.frames.end(), [](auto &f) { return f.redetected; }));
    }
}
BENCHMARK(BM_Track10Seconds1080p)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

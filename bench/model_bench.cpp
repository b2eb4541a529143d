#include <benchmark/benchmark.h>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"

using pondera::ClassLANDMARK;
using pondera::ClassSEGMENT;

// One redraw's worth of model work: recompute both sexes, then read every result the window
// draws and stores (body x/z and the 15 segment x/z of the current sex).
static void BM_CalcCOGBAndReadOut(benchmark::State &state) {
    ClassLANDMARK lm;
    for (int16_t i = 0; i <= 21; ++i) {
        lm.SetLandMarkX(i, static_cast<float>(pondera::kDemoSetA[i].x));
        lm.SetLandMarkZ(i, static_cast<float>(pondera::kDemoSetA[i].z));
    }
    ClassSEGMENT seg(lm);
    seg.SetSex(1);
    for (auto _ : state) {
        seg.CalcCOGB();
        float acc = seg.GetCOGBX() + seg.GetCOGBZ();
        for (int16_t s = seg.GetSegMinNum(); s <= seg.GetSegMaxNum(); ++s)
            acc += seg.GetCOGSX(s) + seg.GetCOGSZ(s);
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_CalcCOGBAndReadOut);

static void BM_CalcCOGBOnly(benchmark::State &state) {
    ClassLANDMARK lm;
    ClassSEGMENT seg(lm);
    for (auto _ : state) {
        seg.CalcCOGB();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CalcCOGBOnly);

BENCHMARK_MAIN();

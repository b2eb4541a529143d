// Motion analysis against cases with known answers: the filter's gain and what it must leave
// alone, derivatives of a parabola, a jump thrown at 30 fps and measured in pixels.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "motion/Motion.h"
#include "tests/support/test_support.h"

using namespace pondera;
using namespace pondera::motion;
using pondera::testing::errorNumberOf;

namespace {

std::vector<double> evenTimes(size_t n, double rate) {
    std::vector<double> t(n);
    for (size_t i = 0; i < n; ++i)
        t[i] = static_cast<double>(i) / rate;
    return t;
}

TEST(Calibration, TwoPointsAndALength) {
    EXPECT_DOUBLE_EQ(metresPerPixel(10, 20, 310, 420, 2.5), 0.005);
    EXPECT_EQ(errorNumberOf([] { metresPerPixel(5, 5, 5, 5, 1); }), kErrInvalidCall);
    for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL})
        EXPECT_EQ(errorNumberOf([&] { metresPerPixel(0, 0, 1, 0, bad); }), kErrInvalidCall) << bad;
}

TEST(Calibration, FrameTimesFromTheVideoOrAGivenRate) {
    const std::vector<double> video = {0, 0.033, 0.07, 0.1};
    EXPECT_EQ(frameTimes({0, 2, 3}, video, 0), (std::vector<double>{0, 0.07, 0.1}));
    // A high-speed camera's file that claims 30 fps: the rate the user gives wins.
    EXPECT_EQ(frameTimes({0, 2, 480}, video, 240), (std::vector<double>{0, 2 / 240.0, 2.0}));
    EXPECT_EQ(errorNumberOf([&] { frameTimes({4}, video, 0); }), kErrInvalidCall);
}

struct GainCase {
    double rate, cutoff;
};

class FilterGain : public ::testing::TestWithParam<GainCase> {};

// The whole filter is −3 dB at the cut-off, in its formula and in what it does to a sine.
TEST_P(FilterGain, IsOneOverRootTwoAtTheCutoff) {
    const auto [rate, cutoff] = GetParam();
    EXPECT_NEAR(lowPassGain(cutoff, rate, cutoff), 1 / std::numbers::sqrt2, 1e-12);
    EXPECT_NEAR(lowPassGain(0, rate, cutoff), 1.0, 1e-12);
    EXPECT_LT(lowPassGain(std::min(2 * cutoff, 0.49 * rate), rate, cutoff), 0.15);
    const size_t n = static_cast<size_t>(rate * 20 / cutoff) + 200;
    const std::vector<double> t = evenTimes(n, rate);
    std::vector<double> sine(n);
    for (size_t i = 0; i < n; ++i)
        sine[i] = std::sin(2 * std::numbers::pi * cutoff * t[i]);
    const std::vector<double> out = lowPass(t, sine, cutoff);
    // Zero lag: the filtered sine is the sine at 1/√2, in phase.
    for (size_t i = n / 4; i < 3 * n / 4; ++i)
        EXPECT_NEAR(out[i], sine[i] / std::numbers::sqrt2, 0.01) << i;
}

INSTANTIATE_TEST_SUITE_P(Motion, FilterGain,
                         ::testing::Values(GainCase{30, 6}, GainCase{240, 6}, GainCase{60, 10},
                                           GainCase{30, 14}));

TEST(Filter, ConstantsAndRampsPassUnchanged) {
    const std::vector<double> even = evenTimes(90, 30);
    const std::vector<double> uneven = [&] {
        std::vector<double> u = even;
        for (size_t i = 0; i < u.size(); ++i)
            u[i] += (i % 3) * 0.004;
        return u;
    }();
    for (const auto *t : {&even, &uneven}) {
        std::vector<double> constant(t->size(), 417.25), ramp(t->size());
        for (size_t i = 0; i < t->size(); ++i)
            ramp[i] = 12 - 3.5 * (*t)[i];
        const std::vector<double> c = lowPass(*t, constant), r = lowPass(*t, ramp);
        for (size_t i = 0; i < t->size(); ++i) {
            EXPECT_NEAR(c[i], 417.25, 1e-9);
            EXPECT_NEAR(r[i], ramp[i], 1e-9);
        }
    }
    // Too short to filter: as they are.
    EXPECT_EQ(lowPass({0, 0.1}, {3, 9}), (std::vector<double>{3, 9}));
}

TEST(Filter, RefusesWhatItCannotDo) {
    const std::vector<double> t = evenTimes(30, 30), v(30, 1.0);
    for (double cutoff : {0.0, -6.0, 15.0, 40.0})
        EXPECT_EQ(errorNumberOf([&] { lowPass(t, v, cutoff); }), kErrInvalidCall) << cutoff;
    EXPECT_EQ(errorNumberOf([&] { lowPass({0, 0.1, 0.1, 0.2}, {1, 2, 3, 4}); }), kErrInvalidCall);
    EXPECT_EQ(errorNumberOf([&] { lowPass({0, 0.1}, {1}); }), kErrInvalidCall);
}

TEST(Derivatives, OfAParabolaAreExact) {
    std::vector<double> t = evenTimes(20, 30);
    t[7] += 0.01;  // an uneven step
    std::vector<double> z(t.size());
    for (size_t i = 0; i < t.size(); ++i)
        z[i] = 1 + 2 * t[i] - 4.9 * t[i] * t[i];
    const std::vector<double> v = derivative(t, z), a = secondDerivative(t, z);
    for (size_t i = 1; i + 1 < t.size(); ++i) {
        EXPECT_NEAR(v[i], 2 - 9.8 * t[i], 1e-9) << i;
        EXPECT_NEAR(a[i], -9.8, 1e-6) << i;
    }
}

struct JumpCase {
    const char *name;
    double takeOffSpeed;  // m/s upward
    double takeOffTime;   // s; the flight starts between frames
    double noise;         // pixels, standard deviation
};

class JumpAnalysis : public ::testing::TestWithParam<JumpCase> {};

// Standing, a free flight and standing again, at 30 fps, in picture pixels (z up) of a camera
// calibrated by a 2 m pole 400 pixels long.
TEST_P(JumpAnalysis, HeightAndFlightTimeAfterCalibration) {
    const JumpCase c = GetParam();
    const double scale = metresPerPixel(50, 30, 50, 430, 2.0);
    const double standing = 1.0, v = c.takeOffSpeed, t0 = c.takeOffTime;
    const double flight = 2 * v / kGravity, rise = v * v / (2 * kGravity);
    const std::vector<double> t = evenTimes(static_cast<size_t>((t0 + flight + 0.7) * 30), 30);
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0, c.noise);
    std::vector<double> metres(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        const double u = t[i] - t0;
        const double z = u > 0 && u < flight ? standing + v * u - kGravity / 2 * u * u : standing;
        metres[i] = (z / scale + (c.noise > 0 ? noise(random) : 0)) * scale;
    }
    const Jump jump = analyseJump(t, metres, kDefaultCutoffHz, 0.01 + 3 * c.noise * scale);
    ASSERT_TRUE(jump.found);
    // A tracked path's pixel of noise costs some of the centimetre.
    EXPECT_NEAR(jump.height, rise, c.noise > 0 ? 0.02 : 0.01);
    EXPECT_NEAR(jump.flightTime, flight, 1 / 30.0);
    EXPECT_NEAR(t[jump.apex], t0 + flight / 2, 1 / 30.0);
    EXPECT_NEAR(t[jump.takeOff], t0, 1 / 30.0);
    EXPECT_NEAR(t[jump.landing], t0 + flight, 1 / 30.0);
}

INSTANTIATE_TEST_SUITE_P(Motion, JumpAnalysis,
                         ::testing::Values(JumpCase{"OnAFrame", 2.5, 0.5, 0},
                                           JumpCase{"BetweenFrames", 2.2, 0.5123, 0},
                                           JumpCase{"High", 3.2, 0.4071, 0},
                                           JumpCase{"TrackedWithOnePixelNoise", 2.5, 0.5123, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(JumpAnalysis, APurelyBallisticPath) {
    const std::vector<double> t = evenTimes(16, 30);
    std::vector<double> z(t.size());
    for (size_t i = 0; i < t.size(); ++i)
        z[i] = 0.9 + 2.45 * t[i] - kGravity / 2 * t[i] * t[i];
    const Jump jump = analyseJump(t, z);
    ASSERT_TRUE(jump.found);
    EXPECT_EQ(jump.takeOff, 0);
    EXPECT_EQ(jump.landing, 15);
    EXPECT_NEAR(jump.height, 2.45 * 2.45 / (2 * kGravity), 0.01);
}

TEST(JumpAnalysis, NoneWhileStanding) {
    const std::vector<double> t = evenTimes(60, 30);
    std::vector<double> z(t.size());
    for (size_t i = 0; i < t.size(); ++i)
        z[i] = 1.0 + 0.02 * std::sin(t[i] * 3);
    EXPECT_FALSE(analyseJump(t, z).found);
    EXPECT_FALSE(analyseJump({0, 1}, {0, 0}).found);
}

}  // namespace

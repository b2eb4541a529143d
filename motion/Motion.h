// Movement over time: calibration to real units, the zero-lag low-pass filter biomechanics uses,
// velocity and acceleration, and the phases of a jump. Plain C++.
#pragma once

#include <cstdint>
#include <vector>

namespace pondera::motion {

inline constexpr double kGravity = 9.80665;      // m/s²
inline constexpr double kDefaultCutoffHz = 6.0;  // for human movement filmed at 25-240 fps

// Metres per picture pixel from two points placed on the picture (picture pixels) and the known
// length between them. Error 5 when the points coincide or the length is not positive.
double metresPerPixel(double x1, double z1, double x2, double z2, double metres);

// The times (seconds) of the given frames: at givenRate frames per second when the user gave one
// (a video that has no rate of its own, or a high-speed camera whose files claim 30), else the
// video's own frame times (videoTimes[frame]). Error 5 when neither is there.
std::vector<double> frameTimes(const std::vector<int64_t> &frames,
                               const std::vector<double> &videoTimes, double givenRate);

// A zero-lag 4th-order Butterworth low-pass: a 2nd-order section run forward and then backward,
// its cut-off corrected so that the whole filter passes cutoffHz at −3 dB (gain 1/√2). The
// series is taken relative to the line through its end points and extended at both ends by its
// odd reflection, so constants and straight lines pass unchanged and the ends do not ring.
// Samples at uneven times are filtered on an even grid at their mean rate and read back at their
// own times. Error 5 for a cut-off outside 0 < cutoff < half the sample rate, or times not
// increasing.
std::vector<double> lowPass(const std::vector<double> &times, const std::vector<double> &values,
                            double cutoffHz = kDefaultCutoffHz);

// The gain of that filter at frequency hz for evenly spaced samples at sampleRate.
double lowPassGain(double hz, double sampleRate, double cutoffHz = kDefaultCutoffHz);

// The first and second derivative over time: central differences (for uneven steps too), one-sided
// at the ends.
std::vector<double> derivative(const std::vector<double> &times, const std::vector<double> &values);
std::vector<double> secondDerivative(const std::vector<double> &times,
                                     const std::vector<double> &values);

// A jump seen in the body centre's height (metres, upward) over time.
struct Jump {
    bool found = false;
    int takeOff = -1, apex = -1, landing = -1;  // sample indices: first in the air, highest, last
                                                // in the air
    double height = 0;      // rise of the centre of gravity from take-off to apex, metres
    double flightTime = 0;  // seconds from take-off to landing
};

// The flight is where the body falls freely: the samples around the highest one whose filtered
// vertical acceleration is below −g/2, widened while the measured heights stay within tolerance
// (metres) of the parabola fitted to them. Take-off and landing are that flight's outer samples;
// the height and the flight time come from the fitted parabola (its apex over the take-off
// sample's height; the times where it crosses the take-off and landing heights), so they are not
// tied to whole frames. found is false when no free fall is seen.
Jump analyseJump(const std::vector<double> &times, const std::vector<double> &heights,
                 double cutoffHz = kDefaultCutoffHz, double tolerance = 0.01);

}  // namespace pondera::motion

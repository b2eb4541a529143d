#include "motion/Motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/error.h"

namespace pondera::motion {

namespace {

[[noreturn]] void invalid(const std::string &what) {
    throw Error(kErrInvalidCall, what);
}

// Two passes of a 2nd-order section give |H|² of one pass at the cut-off; the section's own
// cut-off is moved up by this factor, (√2 − 1)^(−1/4), so the pair is −3 dB at the cut-off asked
// for.
const double kTwoPassCorrection = 1.0 / std::pow(std::numbers::sqrt2 - 1.0, 0.25);

struct Section {
    double b0, b1, b2, a1, a2;
};

// The 2nd-order Butterworth low-pass by the bilinear transform, pre-warped to the cut-off.
Section section(double sampleRate, double cutoffHz) {
    if (!(sampleRate > 0) || !(cutoffHz > 0) || cutoffHz >= sampleRate / 2)
        invalid("The filter's cut-off must lie between 0 and half the sample rate (" +
                std::to_string(sampleRate / 2) + " Hz); " + std::to_string(cutoffHz) +
                " Hz was given.");
    const double k = std::tan(std::numbers::pi * cutoffHz / sampleRate) * kTwoPassCorrection;
    const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
    Section s;
    s.b0 = k * k * norm;
    s.b1 = 2 * s.b0;
    s.b2 = s.b0;
    s.a1 = 2 * (k * k - 1) * norm;
    s.a2 = (1 - std::numbers::sqrt2 * k + k * k) * norm;
    return s;
}

// One pass in transposed direct form II, its state started as if the first value had always
// been there.
void run(const Section &s, std::vector<double> &x) {
    if (x.empty()) return;
    double z2 = (s.b2 - s.a2) * x.front();
    double z1 = (s.b1 - s.a1) * x.front() + z2;
    for (double &v : x) {
        const double in = v;
        const double out = s.b0 * in + z1;
        z1 = s.b1 * in - s.a1 * out + z2;
        z2 = s.b2 * in - s.a2 * out;
        v = out;
    }
}

std::vector<double> filterEven(const std::vector<double> &values, double sampleRate,
                               double cutoffHz) {
    const size_t n = values.size();
    if (n < 3) return values;
    const Section s = section(sampleRate, cutoffHz);
    // Relative to the chord, both ends are at zero; the odd reflection then continues the series
    // with its own slope, and a line leaves nothing to filter.
    const double first = values.front(), last = values.back();
    auto chord = [&](size_t i) {
        return first + (last - first) * static_cast<double>(i) / (n - 1);
    };
    const size_t pad = std::min(n - 1, static_cast<size_t>(std::ceil(3 * sampleRate / cutoffHz)));
    std::vector<double> x(n + 2 * pad);
    for (size_t i = 0; i < n; ++i)
        x[pad + i] = values[i] - chord(i);
    for (size_t i = 1; i <= pad; ++i) {
        x[pad - i] = -x[pad + i];
        x[pad + n - 1 + i] = -x[pad + n - 1 - i];
    }
    run(s, x);
    std::reverse(x.begin(), x.end());
    run(s, x);
    std::reverse(x.begin(), x.end());
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = x[pad + i] + chord(i);
    return out;
}

double interpolate(const std::vector<double> &times, const std::vector<double> &values, double t) {
    auto it = std::upper_bound(times.begin(), times.end(), t);
    if (it == times.begin()) return values.front();
    if (it == times.end()) return values.back();
    const size_t j = static_cast<size_t>(it - times.begin());
    const double f = (t - times[j - 1]) / (times[j] - times[j - 1]);
    return values[j - 1] + f * (values[j] - values[j - 1]);
}

// Least-squares parabola h = c0 + c1 u + c2 u² over samples [a, b], u = t − times[a].
struct Parabola {
    double origin = 0, c0 = 0, c1 = 0, c2 = 0;
    double at(double t) const {
        const double u = t - origin;
        return c0 + c1 * u + c2 * u * u;
    }
};

Parabola fit(const std::vector<double> &t, const std::vector<double> &h, size_t a, size_t b) {
    Parabola p;
    p.origin = t[a];
    double s[5] = {}, r[3] = {};
    for (size_t i = a; i <= b; ++i) {
        const double u = t[i] - p.origin;
        double pow = 1;
        for (int k = 0; k < 5; ++k, pow *= u) {
            s[k] += pow;
            if (k < 3) r[k] += pow * h[i];
        }
    }
    // Normal equations, solved by Cramer's rule (3 × 3).
    const double m[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
    auto det = [](const double q[3][3]) {
        return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) -
               q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0]) +
               q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
    };
    const double d = det(m);
    if (std::abs(d) < 1e-300) return p;
    double c[3];
    for (int k = 0; k < 3; ++k) {
        double q[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                q[i][j] = j == k ? r[i] : m[i][j];
        c[k] = det(q) / d;
    }
    p.c0 = c[0];
    p.c1 = c[1];
    p.c2 = c[2];
    return p;
}

// The time in [from, to] where the parabola has height h, on its rising (rising = true) or
// falling side; clamped to the interval when it does not reach h there.
double crossing(const Parabola &p, double h, double from, double to, bool rising) {
    const double a = p.c2, b = p.c1, c = p.c0 - h;
    const double disc = b * b - 4 * a * c;
    if (a >= 0 || disc < 0) return rising ? to : from;
    const double r1 = (-b + std::sqrt(disc)) / (2 * a), r2 = (-b - std::sqrt(disc)) / (2 * a);
    const double u = rising ? std::min(r1, r2) : std::max(r1, r2);
    return std::clamp(p.origin + u, from, to);
}

}  // namespace

double metresPerPixel(double x1, double z1, double x2, double z2, double metres) {
    const double pixels = std::hypot(x2 - x1, z2 - z1);
    if (!(pixels > 0)) invalid("The two calibration points lie on the same pixel.");
    if (!(metres > 0) || !std::isfinite(metres))
        invalid("The calibration length must be more than 0 metres.");
    return metres / pixels;
}

std::vector<double> frameTimes(const std::vector<int64_t> &frames,
                               const std::vector<double> &videoTimes, double givenRate) {
    std::vector<double> times;
    times.reserve(frames.size());
    for (int64_t f : frames) {
        if (givenRate > 0) {
            times.push_back(static_cast<double>(f) / givenRate);
        } else if (f >= 0 && static_cast<size_t>(f) < videoTimes.size()) {
            times.push_back(videoTimes[static_cast<size_t>(f)]);
        } else {
            invalid("The video gives no time for frame " + std::to_string(f) +
                    ": enter the camera's frame rate.");
        }
    }
    return times;
}

std::vector<double> lowPass(const std::vector<double> &times, const std::vector<double> &values,
                            double cutoffHz) {
    if (times.size() != values.size()) invalid("Times and values differ in number.");
    const size_t n = values.size();
    if (n < 2) return values;
    for (size_t i = 1; i < n; ++i)
        if (!(times[i] > times[i - 1])) invalid("The sample times do not increase.");
    const double span = times.back() - times.front();
    const double step = span / static_cast<double>(n - 1);
    bool even = true;
    for (size_t i = 1; i < n && even; ++i)
        even = std::abs(times[i] - times[i - 1] - step) <= 0.01 * step;
    if (even) return filterEven(values, 1.0 / step, cutoffHz);
    std::vector<double> gridTimes(n), grid(n);
    for (size_t i = 0; i < n; ++i) {
        gridTimes[i] = times.front() + step * static_cast<double>(i);
        grid[i] = interpolate(times, values, gridTimes[i]);
    }
    const std::vector<double> filtered = filterEven(grid, 1.0 / step, cutoffHz);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = interpolate(gridTimes, filtered, times[i]);
    return out;
}

double lowPassGain(double hz, double sampleRate, double cutoffHz) {
    const Section s = section(sampleRate, cutoffHz);
    const double w = 2 * std::numbers::pi * hz / sampleRate;
    // |H(e^jw)|² of one pass; the forward and backward passes together give it once more.
    const double nr = s.b0 + s.b1 * std::cos(w) + s.b2 * std::cos(2 * w);
    const double ni = -(s.b1 * std::sin(w) + s.b2 * std::sin(2 * w));
    const double dr = 1 + s.a1 * std::cos(w) + s.a2 * std::cos(2 * w);
    const double di = -(s.a1 * std::sin(w) + s.a2 * std::sin(2 * w));
    return (nr * nr + ni * ni) / (dr * dr + di * di);
}

std::vector<double> derivative(const std::vector<double> &t, const std::vector<double> &v) {
    const size_t n = v.size();
    std::vector<double> d(n, 0.0);
    if (n < 2) return d;
    d.front() = (v[1] - v[0]) / (t[1] - t[0]);
    d.back() = (v[n - 1] - v[n - 2]) / (t[n - 1] - t[n - 2]);
    for (size_t i = 1; i + 1 < n; ++i) {
        // The slope of the parabola through three neighbours, exact for uneven steps too.
        const double h1 = t[i] - t[i - 1], h2 = t[i + 1] - t[i];
        d[i] = (h1 * h1 * (v[i + 1] - v[i]) + h2 * h2 * (v[i] - v[i - 1])) / (h1 * h2 * (h1 + h2));
    }
    return d;
}

std::vector<double> secondDerivative(const std::vector<double> &t, const std::vector<double> &v) {
    const size_t n = v.size();
    std::vector<double> d(n, 0.0);
    if (n < 3) return d;
    for (size_t i = 1; i + 1 < n; ++i) {
        const double h1 = t[i] - t[i - 1], h2 = t[i + 1] - t[i];
        d[i] = 2 * ((v[i + 1] - v[i]) / h2 - (v[i] - v[i - 1]) / h1) / (h1 + h2);
    }
    d.front() = d[1];
    d.back() = d[n - 2];
    return d;
}

Jump analyseJump(const std::vector<double> &times, const std::vector<double> &heights,
                 double cutoffHz, double tolerance) {
    Jump jump;
    const size_t n = heights.size();
    if (n < 5 || times.size() != n) return jump;
    const std::vector<double> smooth = lowPass(times, heights, cutoffHz);
    const std::vector<double> accel = secondDerivative(times, smooth);
    const size_t apex =
        static_cast<size_t>(std::max_element(smooth.begin(), smooth.end()) - smooth.begin());
    if (accel[apex] >= -kGravity / 2) return jump;
    size_t a = apex, b = apex;
    while (a > 0 && accel[a - 1] < -kGravity / 2)
        --a;
    while (b + 1 < n && accel[b + 1] < -kGravity / 2)
        ++b;
    // Smoothing spreads the fall over a sample or two of the support on either side: those are
    // dropped where they leave the parabola, then the flight grows to every sample that fits it.
    Parabola p = fit(times, heights, a, b);
    auto off = [&](size_t i) { return std::abs(heights[i] - p.at(times[i])); };
    while (b - a >= 3 && std::max(off(a), off(b)) > tolerance) {
        if (off(a) > off(b))
            ++a;
        else
            --b;
        p = fit(times, heights, a, b);
    }
    if (b - a < 2) return jump;
    while (a > 0 && off(a - 1) <= tolerance)
        --a;
    while (b + 1 < n && off(b + 1) <= tolerance)
        ++b;
    p = fit(times, heights, a, b);
    if (!(p.c2 < 0)) return jump;
    // The body leaves the ground where the parabola meets the height of the last sample before
    // the flight, and lands where it meets the first one after it.
    const double upFrom = a > 0 ? times[a - 1] : times[a];
    const double tTakeOff = a > 0 ? crossing(p, heights[a - 1], upFrom, times[a], true) : times[a];
    const double downTo = b + 1 < n ? times[b + 1] : times[b];
    const double tLanding =
        b + 1 < n ? crossing(p, heights[b + 1], times[b], downTo, false) : times[b];
    const double tApex = p.origin - p.c1 / (2 * p.c2);
    jump.found = true;
    jump.takeOff = static_cast<int>(a);
    jump.landing = static_cast<int>(b);
    jump.apex = static_cast<int>(apex);
    jump.height = p.at(tApex) - p.at(tTakeOff);
    jump.flightTime = tLanding - tTakeOff;
    return jump;
}

}  // namespace pondera::motion

// Measuring a recorded run's sound (a WAV file of wenlo-run --wav): the
// recording read back, the output capacitor undone, and the pitch, levels
// and edges read off what is left.
//
// The handheld's output passes a capacitor that lets the output fall to
// 0.999958 of itself every clock cycle with the input held (the sound
// hardware reference gives that figure for the monochrome model). Undoing
// it, x[n] = x[n-1] + y[n] - k y[n-1] with k its power per output frame,
// gives back the sum of the DACs' outputs (up to a constant): flat where the
// DACs are held, so levels and edges can be read directly. Rounding of the
// 16-bit samples adds a bounded error, a few units out of thousands.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace wenlo::test {

constexpr double kSampleRate = 48000;
constexpr double kClock = 4194304;
constexpr double kFrameSamples = 70224 * kSampleRate / kClock;  // one frame: 154 lines of 456 cycles
constexpr double kSamplesPerMs = kSampleRate / 1000;

struct Recording {
    std::vector<double> side[2];  // left, right: the DAC sum, capacitor undone
    std::vector<double> raw[2];   // as written
};

inline std::vector<double> UndoCapacitor(const std::vector<double>& y) {
    const double k = std::pow(0.999958, kClock / kSampleRate);
    std::vector<double> x(y.size());
    double prev = 0, level = 0;
    for (size_t n = 0; n < y.size(); ++n) {
        level += y[n] - k * prev;
        prev = y[n];
        x[n] = level;
    }
    return x;
}

// Throws unless the file is 16-bit stereo at 48 kHz.
inline Recording ReadRecording(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels != 2 || info.samplerate != int(kSampleRate) ||
        (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16) {
        sf_close(f);
        throw std::runtime_error(path + " is not 16-bit stereo at 48 kHz");
    }
    std::vector<int16_t> frames(size_t(info.frames) * 2);
    const sf_count_t got = sf_readf_short(f, frames.data(), info.frames);
    sf_close(f);
    Recording r;
    for (int s = 0; s < 2; ++s) {
        for (sf_count_t i = 0; i < got; ++i) r.raw[s].push_back(frames[size_t(i) * 2 + s]);
        r.side[s] = UndoCapacitor(r.raw[s]);
    }
    return r;
}

// The q-quantile (0..1) of x[from, to).
inline double Quantile(const std::vector<double>& x, size_t from, size_t to, double q) {
    to = std::min(to, x.size());
    if (from >= to) return 0;
    std::vector<double> v(x.begin() + long(from), x.begin() + long(to));
    const size_t at = std::min(v.size() - 1, size_t(q * double(v.size())));
    std::nth_element(v.begin(), v.begin() + long(at), v.end());
    return v[at];
}

inline double Spread(const std::vector<double>& x, size_t from, size_t to) {
    return Quantile(x, from, to, 0.95) - Quantile(x, from, to, 0.05);
}

// Times (in samples, interpolated) where x rises through `mid`, each after x
// has been below mid - hysteresis since the last.
inline std::vector<double> RisingCrossings(const std::vector<double>& x, size_t from, size_t to, double mid,
                                           double hysteresis) {
    std::vector<double> t;
    bool armed = false;
    to = std::min(to, x.size());
    for (size_t n = from + 1; n < to; ++n) {
        if (x[n] < mid - hysteresis) armed = true;
        if (armed && x[n - 1] < mid && x[n] >= mid) {
            t.push_back(double(n - 1) + (mid - x[n - 1]) / (x[n] - x[n - 1]));
            armed = false;
        }
    }
    return t;
}

// Hz over whole periods between the first and last crossing.
inline double Frequency(const std::vector<double>& crossings) {
    if (crossings.size() < 2) return 0;
    return double(crossings.size() - 1) * kSampleRate / (crossings.back() - crossings.front());
}

// The last sample in [from, to) where x moves by more than `step` from the
// sample before (to's value if none).
inline size_t LastEdge(const std::vector<double>& x, size_t from, size_t to, double step) {
    size_t last = to;
    for (size_t n = from + 1; n < std::min(to, x.size()); ++n)
        if (std::abs(x[n] - x[n - 1]) > step) last = n;
    return last;
}

}  // namespace wenlo::test

#pragma once
// Test signals and measurements shared by the coder's tests.

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace g722test {

inline std::vector<int16_t> tone(int n, double freq, double amp, int rate = 16000)
{
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(amp * std::sin(2.0 * M_PI * freq * i / rate)));
    return x;
}

inline std::vector<int16_t> tones(int n, std::initializer_list<std::pair<double, double>> parts)
{
    std::vector<int16_t> x(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        double v = 0.0;
        for (const auto& [f, a] : parts)
            v += a * std::sin(2.0 * M_PI * f * i / 16000.0);
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(v));
    }
    return x;
}

inline std::vector<int16_t> noise(int n, double amp, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, amp);
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (auto& v : x)
        v = static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, g(rng)))));
    return x;
}

// Silence with short loud clicks and bursts: onsets the concealment must not ring on.
inline std::vector<int16_t> transients(int n, unsigned seed = 7)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> amp(-30000, 30000);
    std::vector<int16_t> x(static_cast<size_t>(n), 0);
    for (int start = 100; start < n; start += 397) {
        const int len = 5 + (start % 60);
        for (int i = start; i < start + len && i < n; ++i)
            x[static_cast<size_t>(i)] = static_cast<int16_t>(amp(rng));
    }
    return x;
}

// A voiced, speech-like signal: a glottal pulse train with a gliding pitch through two
// formant resonators, with pauses.
inline std::vector<int16_t> vowels(int n)
{
    std::vector<int16_t> x(static_cast<size_t>(n), 0);
    double phase = 0.0;
    double y1 = 0, y2 = 0, z1 = 0, z2 = 0;
    const double r = 0.97;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 16000.0;
        const double f0 = 110.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t);
        phase += f0 / 16000.0;
        double e = 0.0;
        if (phase >= 1.0) {
            phase -= 1.0;
            e = 1.0;
        }
        const bool voiced = std::fmod(t, 0.8) < 0.6;
        e = voiced ? e * 6000.0 : 0.0;
        const double f1 = 700.0, f2 = 1800.0;
        const double y = e + 2 * r * std::cos(2 * M_PI * f1 / 16000) * y1 - r * r * y2;
        y2 = y1;
        y1 = y;
        const double z = y + 2 * r * std::cos(2 * M_PI * f2 / 16000) * z1 - r * r * z2;
        z2 = z1;
        z1 = z;
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::fmax(-32768.0, std::fmin(32767.0, 0.05 * z)));
    }
    return x;
}

// SNR of y against x in dB after the best alignment of y by a delay of 0..max_lag samples,
// skipping `skip` samples at the start.
inline double snr_db(const std::vector<int16_t>& x, const std::vector<int16_t>& y, int max_lag = 64,
                     int skip = 400, int* lag_out = nullptr)
{
    double best = -1e9;
    int best_lag = 0;
    for (int lag = 0; lag <= max_lag; ++lag) {
        double s = 0.0, e = 0.0;
        const size_t end = std::min(x.size(), y.size() - static_cast<size_t>(lag)) - 100;
        for (size_t i = static_cast<size_t>(skip); i < end; ++i) {
            const double d = static_cast<double>(x[i]) - y[i + static_cast<size_t>(lag)];
            s += static_cast<double>(x[i]) * x[i];
            e += d * d;
        }
        const double v = 10.0 * std::log10(s / std::fmax(e, 1.0));
        if (v > best) {
            best = v;
            best_lag = lag;
        }
    }
    if (lag_out != nullptr)
        *lag_out = best_lag;
    return best;
}

// The encoder's DC-removal filter (pole 1 - 2^-6 at 16 kHz) in double precision: the reference
// a decoded signal is measured against.
inline std::vector<int16_t> dc_removed(const std::vector<int16_t>& x)
{
    std::vector<int16_t> y(x.size());
    double px = 0.0, py = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double o = x[i] - px + 0.984375 * py;
        px = x[i];
        py = o;
        y[i] = static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, o))));
    }
    return y;
}

}  // namespace g722test

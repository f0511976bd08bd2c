#include "NalsPlc.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

struct tagNALSPLC_STATE {
    int32_t channels;
    int32_t bits;
    int32_t format;
    int32_t frame_length;
    int32_t order;
    int32_t mode;
    uint8_t good_count;
    int32_t concealed_count;
    int32_t* lpc_order;       // per channel
    int32_t** lpc_coef;       // per channel, `order` entries, Q20
    int32_t* history[3];      // newest, previous, the one before; interleaved
    int32_t* fade_in;         // Q20
    int32_t* fade_out;        // Q20
    int64_t* lpc_work;        // frame length + order
    int32_t* predicted;       // frame length, one channel's extrapolation
    int32_t* output;          // channels x frame length, interleaved
    int32_t* pattern;         // per channel, 0..4
};

namespace {

constexpr int64_t kOne = 0x100000;
constexpr int64_t kFadeGain = 0xC0000;

int32_t saturate(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

int64_t add_saturated(int64_t a, int64_t b)
{
    int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return r;
}

// Squared distance of two samples, saturated so that a sum over a frame cannot wrap.
uint64_t square_distance(int64_t a, int64_t b)
{
    uint64_t d = uint64_t(a > b ? a - b : b - a);
    if (d > 0xFFFFFFFFu)
        d = 0xFFFFFFFFu;
    return d * d;
}

uint64_t add_clamped(uint64_t a, uint64_t b)
{
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

void free_state(NALSPLC_STATE* s)
{
    if (!s)
        return;
    if (s->lpc_coef)
        for (int32_t ch = 0; ch < s->channels; ++ch)
            delete[] s->lpc_coef[ch];
    delete[] s->lpc_coef;
    delete[] s->lpc_order;
    for (auto* h : s->history)
        delete[] h;
    delete[] s->fade_in;
    delete[] s->fade_out;
    delete[] s->lpc_work;
    delete[] s->predicted;
    delete[] s->output;
    delete[] s->pattern;
    delete s;
}

void keep_frame(NALSPLC_STATE* s, const void* pcm)
{
    int32_t* oldest = s->history[2];
    s->history[2] = s->history[1];
    s->history[1] = s->history[0];
    s->history[0] = oldest;
    NalsPlc_ConvertTo32bit(s->history[0], pcm, s->bits, s->format, s->channels * s->frame_length);
    if (s->good_count < 2)
        ++s->good_count;
}

void silence(NALSPLC_STATE* s, void* pcm)
{
    s->good_count = 0;
    s->concealed_count = 0;
    NalsPlc_SetSilence(pcm, s->bits, s->channels * s->frame_length);
}

// Extrapolates one channel of the newest history frame by its LPC coefficients.
void extrapolate(NALSPLC_STATE* s, int32_t ch)
{
    const int32_t n = s->frame_length, c = s->channels, m = s->lpc_order[ch];
    const int32_t* coef = s->lpc_coef[ch];
    const int32_t* newest = s->history[0];
    int64_t* x = s->lpc_work;
    for (int32_t k = 0; k < m; ++k) {
        const int32_t t = n - m + k;
        x[k] = t >= 0 ? newest[t * c + ch] : 0;
    }
    for (int32_t t = 0; t < n; ++t) {
        int64_t sum = 0;
        for (int32_t k = 0; k < m; ++k)
            sum = add_saturated(sum, int64_t{coef[k]} * x[m + t - 1 - k]);
        int64_t v;
        if (__builtin_sub_overflow(int64_t{1} << 19, sum, &v))
            v = sum > 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
        // Saturated here so that the error sums and the next predictions stay in range.
        x[m + t] = saturate(v >> 20);
        s->predicted[t] = int32_t(x[m + t]);
    }
}

}  // namespace

int32_t NalsPlc_Open(NALSPLC_STATE** state, int32_t channels, int32_t bits, int32_t format,
                     int32_t frame_length, int32_t order, int32_t mode)
{
    if (!state || channels < 1 || channels > 6 || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        (format != 0 && format != 1) || frame_length < 1 || frame_length > 4096 || order < 1 || order > 15 ||
        mode < 0 || mode > 2)
        return NALSPLC_BAD_ARGUMENT;

    auto* s = new (std::nothrow) NALSPLC_STATE{};
    if (!s)
        return NALSPLC_NO_MEMORY;
    s->channels = channels;
    s->bits = bits;
    s->format = format;
    s->frame_length = frame_length;
    s->order = order;
    s->mode = mode;

    const size_t samples = size_t(channels) * size_t(frame_length);
    bool ok = (s->lpc_order = new (std::nothrow) int32_t[channels]()) &&
              (s->lpc_coef = new (std::nothrow) int32_t*[channels]());
    for (int32_t ch = 0; ok && ch < channels; ++ch)
        ok = (s->lpc_coef[ch] = new (std::nothrow) int32_t[order]()) != nullptr;
    for (auto& h : s->history)
        ok = ok && (h = new (std::nothrow) int32_t[samples]());
    ok = ok && (s->fade_in = new (std::nothrow) int32_t[frame_length]()) &&
         (s->fade_out = new (std::nothrow) int32_t[frame_length]()) &&
         (s->lpc_work = new (std::nothrow) int64_t[size_t(frame_length) + order]()) &&
         (s->predicted = new (std::nothrow) int32_t[frame_length]()) &&
         (s->output = new (std::nothrow) int32_t[samples]()) &&
         (s->pattern = new (std::nothrow) int32_t[channels]());
    if (!ok) {
        free_state(s);
        return NALSPLC_NO_MEMORY;
    }
    NalsPlc_MakeWindow(s->fade_in, s->fade_out, frame_length);
    *state = s;
    return NALSPLC_OK;
}

int32_t NalsPlc_Close(NALSPLC_STATE* state)
{
    if (!state)
        return NALSPLC_BAD_ARGUMENT;
    free_state(state);
    return NALSPLC_OK;
}

int32_t NalsPlc_ProcessFrame(NALSPLC_STATE* s, void* pcm, const NALSPLC_LPC* lpc)
{
    if (!s || !pcm)
        return NALSPLC_BAD_ARGUMENT;

    if (lpc) {
        // Refuse before touching anything: the state holds only `order` coefficients a channel.
        for (int32_t ch = 0; ch < s->channels; ++ch)
            if (lpc[ch].order < 0 || lpc[ch].order > s->order || (lpc[ch].order > 0 && !lpc[ch].coef))
                return NALSPLC_BAD_ARGUMENT;
        if (s->concealed_count != 0) {
            NalsPlc_ConvertTo32bit(s->output, pcm, s->bits, s->format, s->channels * s->frame_length);
            NalsPlc_CrossFade(s);
            NalsPlc_ConvertFrom32bit(pcm, s->output, s->bits, s->format, s->channels * s->frame_length);
            s->concealed_count = 0;
        }
        for (int32_t ch = 0; ch < s->channels; ++ch) {
            s->lpc_order[ch] = lpc[ch].order;
            std::memset(s->lpc_coef[ch], 0, sizeof(int32_t) * size_t(s->order));
            if (lpc[ch].order > 0)
                std::memcpy(s->lpc_coef[ch], lpc[ch].coef, sizeof(int32_t) * size_t(lpc[ch].order));
        }
        keep_frame(s, pcm);
        return NALSPLC_OK;
    }

    if (s->mode == NALSPLC_MODE_SILENCE || s->good_count < 2) {
        silence(s, pcm);
        return NALSPLC_OK;
    }
    NalsPlc_GenerateFrame(s);
    NalsPlc_ConvertFrom32bit(pcm, s->output, s->bits, s->format, s->channels * s->frame_length);
    if (s->mode == NALSPLC_MODE_CONCEAL_ONCE)
        s->good_count = 0;
    ++s->concealed_count;
    keep_frame(s, pcm);
    return NALSPLC_OK;
}

void NalsPlc_MakeWindow(int32_t* fade_in, int32_t* fade_out, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        // 3.1415 rather than pi: both ends of a link must make the same window.
        const int32_t a = int32_t(1024.0 * std::sin((i + 0.5) * 3.1415 / n * 0.5));
        fade_in[i] = a * a;
        fade_out[i] = int32_t(kOne) - a * a;
    }
}

int32_t NalsPlc_SelectPattern(const int32_t* p, const int32_t* newest, const int32_t* previous, int32_t n,
                              int32_t stride)
{
    uint64_t e[4] = {0, 0, 0, 0};
    for (int32_t j = 0; j < n; ++j) {
        const int64_t r = newest[int64_t(n - 1 - j) * stride];
        const int64_t f = previous[int64_t(j) * stride];
        e[0] = add_clamped(e[0], square_distance(r, p[j]));
        e[1] = add_clamped(e[1], square_distance(r, -int64_t{p[j]}));
        e[2] = add_clamped(e[2], square_distance(f, p[j]));
        e[3] = add_clamped(e[3], square_distance(f, -int64_t{p[j]}));
    }
    int32_t best = 0;
    for (int32_t i = 1; i < 4; ++i)
        if (e[i] < e[best])
            best = i;
    return best + 1;
}

void NalsPlc_Combine(NALSPLC_STATE* s, int32_t ch, const int32_t* p, int32_t pattern)
{
    const int32_t n = s->frame_length, c = s->channels;
    const int64_t gain = s->concealed_count == 0 ? kOne : kFadeGain;
    const int32_t* newest = s->history[0];
    const int32_t* previous = s->history[1];
    for (int32_t j = 0; j < n; ++j) {
        int64_t v = pattern <= 2 ? newest[int64_t(n - 1 - j) * c + ch] : previous[int64_t(j) * c + ch];
        if (pattern == 2 || pattern == 4)
            v = -v;
        const int64_t out = (((gain * v) >> 20) * s->fade_in[j] + int64_t{p[j]} * s->fade_out[j]) >> 20;
        s->output[int64_t(j) * c + ch] = saturate(out);
    }
}

void NalsPlc_GenerateFrame(NALSPLC_STATE* s)
{
    const int32_t n = s->frame_length, c = s->channels;
    for (int32_t ch = 0; ch < c; ++ch) {
        if (s->lpc_order[ch] == 0) {
            const int32_t last = s->history[0][int64_t(n - 1) * c + ch];
            for (int32_t j = 0; j < n; ++j)
                s->output[int64_t(j) * c + ch] = last;
            s->pattern[ch] = 0;
            continue;
        }
        extrapolate(s, ch);
        const int32_t pattern = NalsPlc_SelectPattern(s->predicted, s->history[0] + ch, s->history[1] + ch, n, c);
        NalsPlc_Combine(s, ch, s->predicted, pattern);
        s->pattern[ch] = pattern;
    }
}

void NalsPlc_CrossFade(NALSPLC_STATE* s)
{
    const int32_t n = s->frame_length, c = s->channels;
    const int32_t* previous = s->history[1];
    const int32_t* oldest = s->history[2];
    for (int32_t ch = 0; ch < c; ++ch) {
        const int32_t pattern = s->pattern[ch];
        if (pattern == 0)
            continue;
        for (int32_t j = 0; j < n; ++j) {
            const int64_t cont = pattern <= 2 ? oldest[int64_t(n - 1 - j) * c + ch] : previous[int64_t(j) * c + ch];
            int32_t& g = s->output[int64_t(j) * c + ch];
            const int64_t faded = int64_t{g} * s->fade_in[j];
            const int64_t tail = cont * s->fade_out[j];
            g = saturate((pattern == 1 || pattern == 3 ? faded + tail : faded - tail) >> 20);
        }
    }
}

void NalsPlc_ConvertTo32bit(int32_t* out, const void* pcm, int32_t bits, int32_t format, int32_t count)
{
    const auto* b = static_cast<const uint8_t*>(pcm);
    const int bytes = bits / 8;
    for (int32_t i = 0; i < count; ++i, b += bytes) {
        if (bytes == 1) {
            out[i] = int32_t(b[0]) - 128;
            continue;
        }
        uint32_t u = 0;
        for (int k = 0; k < bytes; ++k) {
            const uint8_t byte = format == 0 ? b[k] : b[bytes - 1 - k];
            u |= uint32_t(byte) << (8 * k);
        }
        const int shift = 32 - bits;
        out[i] = int32_t(u << shift) >> shift;
    }
}

void NalsPlc_ConvertFrom32bit(void* pcm, const int32_t* in, int32_t bits, int32_t format, int32_t count)
{
    auto* b = static_cast<uint8_t*>(pcm);
    const int bytes = bits / 8;
    const int64_t hi = bits == 32 ? std::numeric_limits<int32_t>::max() : (int64_t{1} << (bits - 1)) - 1;
    const int64_t lo = -hi - 1;
    for (int32_t i = 0; i < count; ++i, b += bytes) {
        int64_t v = in[i];
        v = v < lo ? lo : (v > hi ? hi : v);
        if (bytes == 1) {
            b[0] = uint8_t(v + 128);
            continue;
        }
        const uint32_t u = uint32_t(int32_t(v));
        for (int k = 0; k < bytes; ++k) {
            const uint8_t byte = uint8_t(u >> (8 * k));
            if (format == 0)
                b[k] = byte;
            else
                b[bytes - 1 - k] = byte;
        }
    }
}

void NalsPlc_SetSilence(void* pcm, int32_t bits, int32_t samples)
{
    std::memset(pcm, bits == 8 ? 0x80 : 0, size_t(samples) * size_t(bits / 8));
}

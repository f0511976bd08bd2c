#include "ldals_nic.h"

#include "dct_int.h"
#include "ldals_tables.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int kBlock = 64;
constexpr int kBlockLog2 = 6;

// Group sizes of one block as powers of two: 8, 8, 16 and 32 coefficients.
constexpr int kGroupLog2[] = {3, 3, 4, 5};

inline int64_t r24(int64_t p)
{
    return p < 0 ? -((-p + 8388608) >> 24) : ((p + 8388608) >> 24);
}

// Companding of one group: the mean level found on curve `from` is moved to the matching level of
// curve `to` along the segment's slope, by a gain applied equally to every coefficient.
void compand_group(int64_t* c, int log2size, const int64_t* from, const int64_t* to, const int64_t* slope)
{
    const int size = 1 << log2size;
    int64_t s = 0;
    for (int i = 0; i < size; ++i)
        s += c[i] < 0 ? -c[i] : c[i];
    if (s == 0)
        return;

    int lo = 0;
    for (int step = 512; step >= 2; step >>= 1)
        if (s >= (from[lo + step] << log2size))
            lo += step;
    const int e = lo + 1;

    const int64_t target = (to[e] << log2size) + r24((s - (from[e] << log2size)) * slope[e]);
    const int64_t k = target <= s ? 0 : (target - 1) / s;
    const int64_t u = ((target - k * s) * (int64_t{1} << 24) + s / 2) / s;
    for (int i = 0; i < size; ++i)
        c[i] = c[i] * k + r24(c[i] * u);
}

void compand_block(int64_t* block, const int64_t* from, const int64_t* to, const int64_t* slope)
{
    int offset = 0;
    for (int log2size : kGroupLog2) {
        compand_group(block + offset, log2size, from, to, slope);
        offset += 1 << log2size;
    }
}

template <typename Op>
int32_t for_each_block(LDALS_NIC_INFO* info, Op op)
{
    if (!info || !info->work)
        return -100;
    const int64_t total = int64_t{info->channels} * info->blocks;
    for (int64_t b = 0; b < total; ++b)
        op(info->work + b * info->block_length);
    return 0;
}

int32_t process(LDALS_NIC_INFO* info, uint8_t* pcm, void (*compand)(int64_t*))
{
    if (!info || !pcm || !info->work)
        return -100;
    LDALS_CopyToBuffer(info, pcm);
    LDALS_DCT(info);
    for_each_block(info, compand);
    LDALS_IDCT(info);
    LDALS_CopyFromBuffer(info, pcm);
    return 0;
}

}  // namespace

void nic(int64_t* block)
{
    compand_block(block, nicx, nicy, niccnstA);
}

void inic(int64_t* block)
{
    compand_block(block, nicy, nicx, niccnstB);
}

int32_t LDALS_InitNicInfo(LDALS_NIC_INFO* info, int32_t channels, int32_t resolution, int32_t frame_length)
{
    if (!info)
        return -100;
    if (channels < 1 || channels > 32)
        return -701;
    if (resolution != 16 && resolution != 24)
        return -706;
    if (frame_length <= 0 || frame_length % kBlock != 0)
        return -301;
    const size_t count = size_t(channels) * size_t(frame_length);
    auto* work = new (std::nothrow) int64_t[count]();
    if (!work)
        return -200;
    info->channels = channels;
    info->resolution = resolution;
    info->frame_length = frame_length;
    info->block_length = kBlock;
    info->block_length_log2 = kBlockLog2;
    info->blocks = frame_length / kBlock;
    info->work = work;
    return 0;
}

int32_t LDALS_DestroyNicInfo(LDALS_NIC_INFO* info)
{
    if (!info)
        return -100;
    delete[] info->work;
    std::memset(info, 0, sizeof *info);
    return 0;
}

int32_t LDALS_CopyToBuffer(LDALS_NIC_INFO* info, const uint8_t* pcm)
{
    if (!info || !pcm || !info->work)
        return -100;
    const int bytes = info->resolution / 8;
    const int channels = info->channels;
    for (int n = 0; n < info->frame_length; ++n) {
        for (int ch = 0; ch < channels; ++ch) {
            const uint8_t* p = pcm + (size_t(n) * channels + ch) * bytes;
            int64_t v;
            if (bytes == 2)
                v = int16_t(uint16_t(p[0] | (p[1] << 8)));
            else
                v = int32_t(uint32_t(p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16)) << 8) >> 8;
            info->work[size_t(ch) * info->frame_length + n] = v;
        }
    }
    return 0;
}

int32_t LDALS_CopyFromBuffer(const LDALS_NIC_INFO* info, uint8_t* pcm)
{
    if (!info || !pcm || !info->work)
        return -100;
    const int bytes = info->resolution / 8;
    const int64_t hi = bytes == 2 ? 32767 : 8388607;
    const int64_t lo = -hi - 1;
    const int channels = info->channels;
    for (int n = 0; n < info->frame_length; ++n) {
        for (int ch = 0; ch < channels; ++ch) {
            int64_t v = info->work[size_t(ch) * info->frame_length + n];
            v = v < lo ? lo : (v > hi ? hi : v);
            uint8_t* p = pcm + (size_t(n) * channels + ch) * bytes;
            const uint32_t u = uint32_t(int32_t(v));
            for (int b = 0; b < bytes; ++b)
                p[b] = uint8_t(u >> (8 * b));
        }
    }
    return 0;
}

int32_t LDALS_DCT(LDALS_NIC_INFO* info)
{
    return for_each_block(info, [info](int64_t* b) { dct(info->block_length, info->block_length_log2, b); });
}

int32_t LDALS_IDCT(LDALS_NIC_INFO* info)
{
    return for_each_block(info, [info](int64_t* b) { idct(info->block_length, info->block_length_log2, b); });
}

int32_t LDALS_NIC(LDALS_NIC_INFO* info)
{
    return for_each_block(info, nic);
}

int32_t LDALS_INIC(LDALS_NIC_INFO* info)
{
    return for_each_block(info, inic);
}

int32_t LDALS_Preprocess(LDALS_NIC_INFO* info, uint8_t* pcm)
{
    return process(info, pcm, nic);
}

int32_t LDALS_Postprocess(LDALS_NIC_INFO* info, uint8_t* pcm)
{
    return process(info, pcm, inic);
}

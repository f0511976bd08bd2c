#include "ldalsd.h"

#include "ldals_nic.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

struct tagLDALSD_IMPL {
    NALSD_IMPL* decoder;
    NALSD_STREAM_INFO info;
    int32_t unit_size;     // bytes of one interleaved sample frame
    int32_t buffer_size;
    int32_t data_size;     // bytes decoded by the last successful decode
    uint8_t* buffer;
    LDALS_NIC_INFO nic;
};

static_assert(sizeof(NALSD_STREAM_INFO) == 64, "the decoder fills a 64-byte information record");

namespace {

// Frames coded with a forced shift of five or more were pre-processed by the sender.
constexpr int32_t kPreprocessedBits = 5;

void destroy(LDALSD_IMPL* h, bool opened)
{
    if (!h)
        return;
    LDALS_DestroyNicInfo(&h->nic);
    if (h->decoder) {
        if (opened)
            NALSD_Close(h->decoder);
        NALSD_Destroy(h->decoder);
    }
    std::free(h->buffer);
    std::free(h);
}

bool nic_ranges(int32_t channels, int32_t resolution, int32_t frame_length)
{
    return channels >= 1 && channels <= 32 && (resolution == 16 || resolution == 24) && frame_length >= 1 &&
           frame_length <= 65536;
}

}  // namespace

void* LDALSD_Alloc(uint32_t, uint32_t, uint32_t size)
{
    return std::malloc(size);
}

void LDALSD_Free(void* block)
{
    std::free(block);
}

int32_t LDALSD_Open(LDALSD_IMPL** handle, const void* header, int32_t header_size)
{
    if (!handle || !header || header_size < 0)
        return -100;
    auto* h = static_cast<LDALSD_IMPL*>(std::calloc(1, sizeof(LDALSD_IMPL)));
    if (!h)
        return -100;

    int32_t r = NALSD_Init(&h->decoder, LDALSD_Alloc, LDALSD_Free);
    if (r != 0) {
        h->decoder = nullptr;
        destroy(h, false);
        return r;
    }
    NALSD_SetUserPtr(h->decoder, h);
    r = NALSD_OpenOnMemory(h->decoder, header, uint32_t(header_size), nullptr, &h->info, sizeof h->info);
    if (r != 0) {
        destroy(h, false);
        return r;
    }
    const int32_t channels = int32_t(h->info.channels);
    const int32_t resolution = int32_t(h->info.resolution);
    const int32_t frame_length = int32_t(h->info.frame_length);
    r = LDALS_InitNicInfo(&h->nic, channels, resolution, frame_length);
    if (r != 0) {
        destroy(h, true);
        return r;
    }
    h->unit_size = channels * ((resolution - 1) / 8 + 1);
    const int64_t buffer_size = int64_t{frame_length} * h->unit_size;
    h->buffer_size = int32_t(buffer_size);
    h->buffer = buffer_size <= INT32_MAX ? static_cast<uint8_t*>(std::malloc(size_t(buffer_size))) : nullptr;
    if (!h->buffer) {
        destroy(h, true);
        return -200;
    }
    *handle = h;
    return 0;
}

int32_t LDALSD_Close(LDALSD_IMPL* handle)
{
    if (!handle)
        return -100;
    destroy(handle, true);
    return 0;
}

int32_t LDALSD_CheckLsbEmpty(const void* pcm, int32_t channels, int32_t resolution, int32_t frame_length,
                             int32_t bits)
{
    if (!pcm || !nic_ranges(channels, resolution, frame_length) || bits < 1 || bits > 8)
        return -1;
    const auto* p = static_cast<const uint8_t*>(pcm);
    const int32_t stride = resolution / 8;
    const uint8_t mask = uint8_t((1u << bits) - 1);
    const int64_t samples = int64_t{channels} * frame_length;
    for (int64_t i = 0; i < samples; ++i)
        if (p[i * stride] & mask)
            return 0;
    return 1;
}

int32_t LDALSD_Decode(LDALSD_IMPL* h, const void* frame, int32_t bytes, int32_t* consumed)
{
    if (consumed)
        *consumed = 0;
    if (!h || !frame || bytes < 0)
        return -100;
    uint32_t used = 0, samples = 0;
    int32_t r = NALSD_DecodeFrameOnMemoryInterleaved(h->decoder, frame, uint32_t(bytes), &used, h->buffer,
                                                     &samples, 1);
    if (r != 0)
        return r;

    const int32_t channels = int32_t(h->info.channels);
    const int32_t resolution = int32_t(h->info.resolution);
    const int32_t frame_length = int32_t(h->info.frame_length);
    const bool checkable = nic_ranges(channels, resolution, frame_length);
    if (!checkable ||
        LDALSD_CheckLsbEmpty(h->buffer, channels, resolution, frame_length, kPreprocessedBits) == 1) {
        r = LDALS_Postprocess(&h->nic, h->buffer);
        if (r != 0)
            return r;
    }
    h->data_size = int32_t(samples) * h->unit_size;
    if (consumed)
        *consumed = int32_t(used);
    return 0;
}

const uint8_t* LDALSD_GetData(const LDALSD_IMPL* h)
{
    return h ? h->buffer : nullptr;
}

int32_t LDALSD_GetDataSize(const LDALSD_IMPL* h)
{
    return h ? h->data_size : 0;
}

int32_t LDALSD_GetUnitSize(const LDALSD_IMPL* h)
{
    return h ? h->unit_size : 0;
}

int32_t LDALSD_GetFrameLength(const LDALSD_IMPL* h)
{
    return h ? int32_t(h->info.frame_length) : 0;
}

int32_t LDALSD_GetSampleRate(const LDALSD_IMPL* h)
{
    return h ? int32_t(h->info.frequency) : 0;
}

int32_t LDALSD_GetChannels(const LDALSD_IMPL* h)
{
    return h ? int32_t(h->info.channels) : 0;
}

int32_t LDALSD_GetResolution(const LDALSD_IMPL* h)
{
    return h ? int32_t(h->info.resolution) : 0;
}

NALSD_IMPL* LDALSD_GetDecoder(const LDALSD_IMPL* h)
{
    return h ? h->decoder : nullptr;
}

int32_t LDALSD_InitLpcInfo(LDALSD_IMPL* h, NALSD_LPC_INFO* info)
{
    return h ? NALSD_InitLpcInfo(h->decoder, info) : -100;
}

int32_t LDALSD_DestroyLpcInfo(LDALSD_IMPL* h, NALSD_LPC_INFO* info)
{
    return h ? NALSD_DestroyLpcInfo(h->decoder, info) : -100;
}

int32_t LDALSD_GetLpcInfo(LDALSD_IMPL* h, NALSD_LPC_INFO* info)
{
    return h ? NALSD_GetLpcInfo(h->decoder, info) : -100;
}

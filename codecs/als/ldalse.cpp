#include "ldalse.h"

#include "ldals_nic.h"
#include "ldalse_rate.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct tagLDALSE_IMPL {
    NALSE_IMPL* encoder;
    NALSE_PARAMS params;
    uint32_t max_header_size;
    uint32_t header_size;
    uint8_t* header;
    uint32_t max_frame_size;
    uint32_t frame_size;
    uint8_t* frame;
    int32_t target;        // bytes of the current attempt, 0 = none
    int32_t max_attempts;
    int32_t abort;         // abandon the frame as soon as it cannot fit
    int32_t* estimated_bits;
    int32_t* coded_bits;
    uint8_t* copy;         // pre-processed copy of the input frame
    LDALS_NIC_INFO nic;
    const void* input;     // frame of the current call
    bool preprocessed;
};

static_assert(sizeof(NALSE_PARAMS) == 104, "the encoder reads a 104-byte parameter record");

namespace {

size_t frame_bytes(const LDALSE_IMPL* h)
{
    return size_t(h->params.frame_length) * h->params.channels * (h->params.resolution / 8);
}

void clear_attempt(LDALSE_IMPL* h, int32_t target, int32_t abort)
{
    h->frame_size = 0;
    h->target = target;
    h->abort = abort;
    std::memset(h->estimated_bits, 0, sizeof(int32_t) * h->params.channels);
    std::memset(h->coded_bits, 0, sizeof(int32_t) * h->params.channels);
}

int32_t encode_now(LDALSE_IMPL* h, const void* pcm)
{
    return NALSE_EncodeFrameOnMemory(h->encoder, pcm, uint32_t(h->params.frame_length), h->frame,
                                     h->max_frame_size, &h->frame_size);
}

void destroy(LDALSE_IMPL* h, bool opened)
{
    if (!h)
        return;
    if (h->encoder) {
        if (opened)
            NALSE_Close(h->encoder);
        NALSE_Destroy(h->encoder);
    }
    LDALS_DestroyNicInfo(&h->nic);
    std::free(h->header);
    std::free(h->frame);
    std::free(h->copy);
    std::free(h->estimated_bits);
    std::free(h->coded_bits);
    std::free(h);
}

int32_t step_set_shift(void* context, int32_t shift)
{
    return NALSE_SetLsbForthShift(static_cast<LDALSE_IMPL*>(context)->encoder, uint32_t(shift));
}

int32_t step_preprocess(void* context)
{
    auto* h = static_cast<LDALSE_IMPL*>(context);
    std::memcpy(h->copy, h->input, frame_bytes(h));
    const int32_t r = LDALS_Preprocess(&h->nic, h->copy);
    if (r == 0)
        h->preprocessed = true;
    return r;
}

int32_t step_encode(void* context, int32_t target, int32_t abort, uint32_t* size, int64_t* recorded)
{
    auto* h = static_cast<LDALSE_IMPL*>(context);
    clear_attempt(h, target, abort);
    const int32_t r = encode_now(h, h->preprocessed ? h->copy : h->input);
    *size = h->frame_size;
    int64_t bits = 0;
    for (uint32_t ch = 0; ch < h->params.channels; ++ch)
        bits += h->coded_bits[ch] != 0 ? h->coded_bits[ch] : h->estimated_bits[ch];
    *recorded = bits;
    return r;
}

}  // namespace

void* LDALSE_Alloc(uint32_t, uint32_t, uint32_t size)
{
    return std::malloc(size);
}

void LDALSE_Free(void* block)
{
    std::free(block);
}

int32_t LDALSE_InfoCallback(NALSE_IMPL*, int32_t code, void* out1, void* out2, void* out3)
{
    switch (code) {
    case NALS_INFO_ORIG_HEADER:
    case NALS_INFO_ORIG_TRAILER:
        // No source file: no header or trailer data to carry.
        if (out1)
            *static_cast<NALS_STREAM**>(out1) = nullptr;
        if (out2)
            *static_cast<uint64_t*>(out2) = 0;
        if (out3)
            *static_cast<uint64_t*>(out3) = 0;
        return 1;
    case NALS_INFO_LPC_OPTION:
        if (out1)
            *static_cast<uint32_t*>(out1) = 0;
        return 1;
    default:
        return 0;
    }
}

int32_t LDALSE_EncodeCallback(NALSE_IMPL* encoder, int32_t channel, int32_t bits, int32_t kind)
{
    auto* h = static_cast<LDALSE_IMPL*>(NALSE_GetUserPtr(encoder));
    if (!h || channel < 0 || uint32_t(channel) >= h->params.channels)
        return 0;
    (kind == 1 ? h->estimated_bits : h->coded_bits)[channel] = bits;
    if (!h->target || !h->abort)
        return 1;
    if (bits <= 0) {
        h->abort = 0;
        return 1;
    }
    if (kind != 1 || uint32_t(channel) + 1 != h->params.channels)
        return 1;
    int64_t sum = bits;
    for (int32_t ch = 0; ch < channel; ++ch)
        sum += h->coded_bits[ch];
    return sum > int64_t{8} * h->target ? 0 : 1;
}

int32_t LDALSE_Open(LDALSE_IMPL** handle, int32_t sample_rate, int32_t channels, int32_t resolution,
                    const LDALSE_ALS_PARAMS* params)
{
    if (!handle)
        return -100;
    if (sample_rate < 8000 || sample_rate > 96000)
        return -700;
    if (channels < 1 || channels > 32)
        return -701;
    if (resolution != 16 && resolution != 24)
        return -706;
    if (!params)
        return -100;

    auto* h = static_cast<LDALSE_IMPL*>(std::calloc(1, sizeof(LDALSE_IMPL)));
    if (!h)
        return -200;
    NALSE_PARAMS& p = h->params;
    p.frequency = uint32_t(sample_rate);
    p.channels = uint32_t(channels);
    p.resolution = uint32_t(resolution);
    p.samples_known = 0;  // the length of a live stream is unknown
    p.samples = 0;
    p.frame_length = uint32_t(params->frame_length > 0 ? params->frame_length : 0);
    p.random_access = 1;
    p.max_order = 15;
    p.adaptive = 1;
    p.mcc = 2;
    p.lsb_check = 1;
    p.lsb_roundup = 1;
    h->max_attempts = params->max_attempts;

    h->estimated_bits = static_cast<int32_t*>(std::calloc(size_t(channels), sizeof(int32_t)));
    h->coded_bits = static_cast<int32_t*>(std::calloc(size_t(channels), sizeof(int32_t)));
    const size_t copy_size = params->frame_length > 0 ? frame_bytes(h) : 1;
    h->copy = static_cast<uint8_t*>(std::malloc(copy_size));
    if (!h->estimated_bits || !h->coded_bits || !h->copy) {
        destroy(h, false);
        return -200;
    }

    int32_t r = LDALS_InitNicInfo(&h->nic, channels, resolution, params->frame_length);
    if (r != 0) {
        destroy(h, false);
        return r;
    }

    r = NALSE_Init(&h->encoder, LDALSE_Alloc, LDALSE_Free);
    if (r != 0) {
        h->encoder = nullptr;
        destroy(h, false);
        return r;
    }
    NALSE_SetUserPtr(h->encoder, h);
    NALSE_SetInfoCallback(h->encoder, LDALSE_InfoCallback);
    NALSE_SetEncodeCallback(h->encoder, LDALSE_EncodeCallback);
    r = NALSE_Open(h->encoder, &p, sizeof p);
    if (r != 0) {
        destroy(h, false);
        return r;
    }

    if ((r = NALSE_GetMaximumHeaderSize(h->encoder, &h->max_header_size)) != 0 ||
        (r = NALSE_GetMaximumFrameSize(h->encoder, &h->max_frame_size)) != 0) {
        destroy(h, true);
        return r;
    }
    h->header = static_cast<uint8_t*>(std::malloc(h->max_header_size ? h->max_header_size : 1));
    h->frame = static_cast<uint8_t*>(std::malloc(h->max_frame_size ? h->max_frame_size : 1));
    if (!h->header || !h->frame) {
        destroy(h, true);
        return -200;
    }
    r = NALSE_OutputHeaderToMemory(h->encoder, h->header, h->max_header_size, &h->header_size);
    if (r != 0) {
        destroy(h, true);
        return r;
    }
    *handle = h;
    return 0;
}

int32_t LDALSE_Close(LDALSE_IMPL* handle)
{
    if (!handle)
        return -100;
    destroy(handle, true);
    return 0;
}

int32_t LDALSE_EncodeWithTarget(LDALSE_IMPL* h, const void* pcm, int32_t target_bytes, int32_t* out)
{
    if (!h || !pcm) {
        if (out)
            out[0] = out[1] = out[2] = 0;
        return -100;
    }
    h->input = pcm;
    h->preprocessed = false;
    const LDALSE_RATE_STEP step = {h, step_set_shift, step_preprocess, step_encode};
    const int32_t r = LDALSE_RateControl(&step, target_bytes, int32_t(h->params.frame_length),
                                         int32_t(h->params.channels), int32_t(h->params.resolution),
                                         h->max_attempts, out);
    h->input = nullptr;
    return r;
}

int32_t LDALSE_Encode(LDALSE_IMPL* h, const void* pcm)
{
    if (!h || !pcm)
        return -100;
    clear_attempt(h, 0, 0);
    return encode_now(h, pcm);
}

const uint8_t* LDALSE_GetHeader(const LDALSE_IMPL* h)
{
    return h ? h->header : nullptr;
}

int32_t LDALSE_GetHeaderSize(const LDALSE_IMPL* h)
{
    return h ? int32_t(h->header_size) : 0;
}

const uint8_t* LDALSE_GetFrame(const LDALSE_IMPL* h)
{
    return h ? h->frame : nullptr;
}

int32_t LDALSE_GetFrameSize(const LDALSE_IMPL* h)
{
    return h ? int32_t(h->frame_size) : 0;
}

NALSE_IMPL* LDALSE_GetEncoder(const LDALSE_IMPL* h)
{
    return h ? h->encoder : nullptr;
}

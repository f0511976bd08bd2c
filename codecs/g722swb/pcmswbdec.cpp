// Decoder frame interface: frame layout, the G.722 core with its concealment, and the 32 kHz
// output path.

#include <cstring>

#include "bitplane.h"
#include "g722.h"
#include "g722_plc.h"
#include "pcmswb.h"
#include "pcmswb_modes.h"
#include "qmfilt.h"
#include "swb_alloc.h"
#include "swb_float.h"

using namespace g722swb;

struct pcmswbDecoderState {
    int16_t mode;
    int16_t rate;
    g722_decoder* g722;
    void* avq;  // vector-quantisation layers (mode at creation above 2)
    void* bwe;  // bandwidth extension
    qmf_state* qmf;
    int16_t prev_mode;
    int16_t recorded_mode;
    int16_t layer_invalid;
    float switch_gain;
    float fade_gain;
    float extrap_gain;
    float prev_env[8];
    int16_t prev_ext_state;
    int16_t wb_count;
    int16_t prev_wb;
};

namespace {

void reset_switching(pcmswbDecoderState* st)
{
    st->prev_mode = -1;
    st->recorded_mode = -1;
    st->layer_invalid = 0;
    st->switch_gain = 0.1f;
    st->fade_gain = 0.1f;
    st->extrap_gain = 1.0f;
    zeroF(8, st->prev_env);
    st->prev_ext_state = 0;
    st->wb_count = 0;
    st->prev_wb = 0;
}

}  // namespace

extern "C" void pcmswbDecode_dest(pcmswbDecoderState* st)
{
    if (st == nullptr)
        return;
    g722_decode_dest(st->g722);
    QMFilt_dest(st->qmf);
    swb_free(st);
}

extern "C" pcmswbDecoderState* pcmswbDecode_const(int mode)
{
    if (mode < 0 || mode >= SWB_MODES)
        error_exit("Decoding mode error.");
    auto* st = static_cast<pcmswbDecoderState*>(swb_calloc(sizeof(pcmswbDecoderState)));
    if (st == nullptr)
        return nullptr;
    st->mode = static_cast<int16_t>(mode);
    st->rate = swb_modes[mode].swb ? 32000 : 16000;
    st->g722 = g722_decode_const();
    st->qmf = QMFilt_const(SWB_QMF_TAPS, fSWBQmf0, fSWBQmf1);
    if (st->g722 == nullptr || st->qmf == nullptr || st->qmf->delay == nullptr) {
        pcmswbDecode_dest(st);
        return nullptr;
    }
    if (!swb_mode_available(mode))
        error_exit("BWE decoder init error.");
    QMFilt_reset(st->qmf);
    reset_switching(st);
    return st;
}

extern "C" int pcmswbDecode_set(int mode, pcmswbDecoderState* st)
{
    if (st == nullptr || !swb_mode_available(mode))
        return -1;
    st->mode = static_cast<int16_t>(mode);
    st->rate = 32000;
    return 0;
}

extern "C" int pcmswbDecode_reset(pcmswbDecoderState* st)
{
    if (st == nullptr)
        return 0;
    QMFilt_reset(st->qmf);
    reset_switching(st);
    // A reset starts a new stream: the core and its concealment forget the old one too.
    g722_decode_reset(st->g722);
    G722PLC_reset_flt(st->g722->plc);
    return 0;
}

extern "C" int pcmswbDecode(const unsigned char* input, short* output, pcmswbDecoderState* st, int lost)
{
    if (st == nullptr)
        return 1;
    const swb_mode_info& info = swb_modes[st->mode];
    const bool is_lost = lost != 0;
    unsigned char octets[G722_OCTETS];
    if (!is_lost) {
        unsigned char planes[BITPLANE_BYTES] = {};
        std::memcpy(planes, input, static_cast<std::size_t>(info.core_bytes));
        bst_frame_G722(planes, octets);
    } else {
        std::memset(octets, 0, sizeof octets);
    }
    int16_t low[G722_FRAME];
    g722_decode(info.g722_mode, octets, nullptr, 3, is_lost ? 1 : 0, low, st->g722, nullptr, 0);
    if (st->rate == 16000) {
        movSS(G722_FRAME, low, output);
        return 0;
    }

    // 32 kHz output of a wideband frame after wideband frames: the 8-16 kHz band is silent.
    float lowf[G722_FRAME];
    float high[G722_FRAME];
    float out[2 * G722_FRAME];
    movSF(G722_FRAME, low, lowf);
    zeroF(G722_FRAME, high);
    QMFilt_syn(G722_FRAME, lowf, high, out, st->qmf);
    movFS(2 * G722_FRAME, out, output);
    st->extrap_gain = 1.0f;
    st->prev_wb = 1;
    st->prev_ext_state = 0;
    st->prev_mode = st->mode;
    return 0;
}

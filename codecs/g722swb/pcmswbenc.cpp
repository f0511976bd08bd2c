// Encoder frame interface: input conditioning, the G.722 core and the frame layout.

#include <cstring>

#include "bitplane.h"
#include "g722.h"
#include "highpass.h"
#include "pcmswb.h"
#include "pcmswb_modes.h"
#include "qmfilt.h"
#include "swb_alloc.h"
#include "swb_float.h"

using namespace g722swb;

namespace {

constexpr int HB_HIST = 22;  // high-band samples kept for the extension layers' analysis

}  // namespace

struct pcmswbEncoderState {
    int16_t mode;
    int16_t rate;
    float hb_hist[HB_HIST];
    highpass_state* hpf;
    g722_encoder* g722;
    void* avq;  // vector-quantisation layers (modes 3 to 5)
    void* bwe;  // bandwidth extension (modes 3 to 5)
    qmf_state* qmf;
};

extern "C" void pcmswbEncode_dest(pcmswbEncoderState* st)
{
    if (st == nullptr)
        return;
    highpass_1tap_iir_dest(st->hpf);
    QMFilt_dest(st->qmf);
    fl_g722_encode_dest(st->g722);
    swb_free(st);
}

extern "C" pcmswbEncoderState* pcmswbEncode_const(int rate, int mode)
{
    if (mode < 0 || mode >= SWB_MODES)
        error_exit("Encoding mode error.");
    auto* st = static_cast<pcmswbEncoderState*>(swb_calloc(sizeof(pcmswbEncoderState)));
    if (st == nullptr)
        return nullptr;
    st->mode = static_cast<int16_t>(mode);
    st->rate = rate == 16000 ? 16000 : 32000;
    // Running out of memory is the caller's to handle: everything made so far is freed.
    st->hpf = highpass_1tap_iir_const();
    st->qmf = QMFilt_const(SWB_QMF_TAPS, fSWBQmf0, fSWBQmf1);
    st->g722 = fl_g722_encode_const();
    if (st->hpf == nullptr || st->qmf == nullptr || st->qmf->delay == nullptr || st->g722 == nullptr) {
        pcmswbEncode_dest(st);
        return nullptr;
    }
    if (!swb_mode_available(mode))
        error_exit("BWE encoder init error.");
    pcmswbEncode_reset(st);
    return st;
}

extern "C" int pcmswbEncode_reset(pcmswbEncoderState* st)
{
    if (st == nullptr)
        return 0;
    highpass_1tap_iir_reset(st->hpf);
    QMFilt_reset(st->qmf);
    fl_g722_encode_reset(st->g722);
    zeroF(HB_HIST, st->hb_hist);
    return 0;
}

extern "C" int pcmswbEncode(const short* input, unsigned char* output, pcmswbEncoderState* st)
{
    if (st == nullptr)
        return 1;
    const swb_mode_info& info = swb_modes[st->mode];
    float low[G722_FRAME];
    if (st->rate == 16000) {
        highpass_1tap_iir(6, G722_FRAME, input, low, st->hpf);
    } else {
        float full[2 * G722_FRAME];
        float high[G722_FRAME];
        highpass_1tap_iir(7, 2 * G722_FRAME, input, full, st->hpf);
        QMFilt_ana(2 * G722_FRAME, full, low, high, st->qmf);
        // The extension layers analyse the high band with the previous frame's last samples
        // in front of it.
        movF(HB_HIST, high + G722_FRAME - HB_HIST, st->hb_hist);
    }
    int16_t low16[G722_FRAME];
    movFS(G722_FRAME, low, low16);

    unsigned char octets[G722_OCTETS];
    unsigned char enh[G722_OCTETS / 8];
    g722_encode(info.g722_mode, core_mode_of(info.g722_mode), low16, octets, enh, 3, st->g722, 0, nullptr);
    unsigned char planes[BITPLANE_BYTES];
    bst_G722_frame(octets, planes);
    std::memcpy(output, planes, static_cast<std::size_t>(info.core_bytes));
    return 0;
}

#pragma once
// The G.722 core: an ITU-T G.722 sub-band ADPCM coder whose encoder shapes its quantisation
// noise under the signal's own spectrum. At 64 kbit/s the low band is a 5-bit G.722 core plus
// one noise-shaped enhancement bit, so that a decoder that drops that bit stays in step. The
// decoder is G.722's, with the concealment hooks of g722_plc.

#include <cstdint>

#include "g722_adpcm.h"

namespace g722swb {

constexpr int G722_FRAME = 80;     // input samples at 16 kHz
constexpr int G722_OCTETS = 40;    // octets (and samples per sub-band) per frame
constexpr int G722_EXTRA_BITS = 19;

// G.722 modes: 1 = 64 kbit/s (6-bit low-band code), 2 = 56 kbit/s, 3 = 48 kbit/s.
// High-band modes: 3 = plain 2-bit code, 2 = plus one enhancement bit per sample.

// Noise-shaping memory of one band.
struct g722_ns_memory {
    float prev[G722_OCTETS];  // previous frame's band input
    float err_core[4];        // filtered error of the core, newest first
    float err_enh[4];         // filtered error of the enhancement bit, newest first
    float spare[4];
    float acc;                // weighting factor accumulator (low band)
};

struct g722_encoder {
    g722_band low;
    g722_band high;
    int16_t qmf_hist[G722_QMF_HIST];  // transmit QMF delay line, newest first
    g722_ns_memory ns_low;
    g722_ns_memory ns_high;
};

struct g722plc_state;

struct g722_decoder {
    g722_band low;
    g722_band high;
    int16_t qmf_hist[G722_QMF_HIST];  // receive QMF delay line, newest first
    g722plc_state* plc;               // owned
    // Optional tap of the sub-band samples as G.722 reconstructs them (before the high band's
    // post-filter and before any cross-fade); null when unused.
    int16_t* tap_low;
    int16_t* tap_high;
};

g722_encoder* fl_g722_encode_const();  // null when out of memory
void fl_g722_encode_dest(g722_encoder* st);
void fl_g722_encode_reset(g722_encoder* st);

// Codes 80 samples into 40 octets (high-band code x 64 + low-band code). core_mode is the G.722
// mode whose code width the low-band quantiser uses (2 when mode is 1). With high_band_mode 2,
// one enhancement bit per high-band sample goes to enh (5 bytes, sample k in bit k % 8 of byte
// k / 8). With extra bits enabled, the high band spends 19 further bits, written as soft bits
// at *extra_writer.
void g722_encode(int mode, int core_mode, const int16_t* input, unsigned char* output,
                 unsigned char* enh, int high_band_mode, g722_encoder* st, int extra_enabled,
                 int16_t** extra_writer);

void fl_lsbcod_buf_ns(const int16_t* xl, int16_t* codes, g722_encoder* st, int mode, int core_mode);
void fl_hsbcod_buf_ns(const int16_t* xh, int16_t* codes, unsigned char* enh, g722_encoder* st,
                      int high_band_mode, int extra_enabled, int16_t** extra_writer);
float fl_noise_shaper(const float* w, const float* mem, float x);

g722_decoder* g722_decode_const();  // null when out of memory
void g722_decode_dest(g722_decoder* st);
// Returns the ADPCM state and QMF to their start; the concealment state stays as it is.
void g722_decode_reset(g722_decoder* st);

// Decodes 40 octets into 80 samples, or conceals the frame when lost is 1 (then octets, enh and
// the extra bits are not read).
void g722_decode(int mode, const unsigned char* octets, const unsigned char* enh,
                 int high_band_mode, int lost, int16_t* output, g722_decoder* st,
                 const int16_t** extra_reader, int extra_present);

// One high-band sample with its enhancement and extra bits. remaining and sum carry the extra
// bit budget across the frame (19 and -1 at its start).
int16_t fl_hsbdec_enh(int16_t code, int16_t enh_bit, int high_band_mode, g722_band* band,
                      int index, const int16_t** extra_reader, int extra_present,
                      int* remaining, int32_t* sum);

// Whether sample `index` of a frame spends one of the high band's extra bits; encoder and
// decoder share this rule so that they stay in step.
bool g722_extra_bit_spent(int index, int32_t magnitude, int32_t sum, int remaining);

}  // namespace g722swb

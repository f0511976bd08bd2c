#pragma once
// Concealment of lost frames inside the G.722 decoder. It works in the two 8 kHz sub-bands:
// the low band is rebuilt by linear prediction from the past decoded low band with an
// excitation repeated at the pitch period, the high band by repeating past high-band samples;
// both fade out over successive losses by a schedule chosen from a class of the last good
// signal. Afterwards the decoder cross-fades from the predicted continuation into the decoded
// signal.

#include <cstdint>

namespace g722swb {

struct g722_decoder;

constexpr int PLC_LB_HIST = 297;
constexpr int PLC_EXC_HIST = 289;
constexpr int PLC_HB_HIST = 160;
constexpr int PLC_ORDER = 8;
constexpr int PLC_CONT = 80;

struct g722plc_state {
    int16_t prev_lost;
    float lb_hist[PLC_LB_HIST];   // newest last; the newest 40 belong to the current frame
    float exc[PLC_EXC_HIST];      // excitation (residual) history, newest last
    float hb_hist[PLC_HB_HIST];   // high band after the output high-pass, newest last
    int16_t cls;
    int16_t t0;
    int16_t rep_len;
    int16_t since_loss;           // samples since the end of a loss (80 or more: no cross-fade)
    float cont[PLC_CONT];         // low band predicted beyond the last output frame
    float hp_x;                   // output high-pass memories of the high band
    float hp_y;
    int16_t cnt_l;
    int16_t cnt_h;
    int16_t step;
    float d1, d2, d3;
    float gain_l;
    float gain_h;
    float a[PLC_ORDER + 1];
    float mem[PLC_ORDER];         // synthesis memory, newest first
    float exc_work[PLC_EXC_HIST + PLC_CONT];  // scratch of the synthesis
};

extern const float f_G722PLC_lpc_win_80[80];
extern const float f_G722PLC_lag[8];
extern const float f_G722PLC_gamma_az[9];
extern const float f_G722PLC_fir_lp[9];
extern const float f_G722PLC_b_hp[2];
extern const float f_G722PLC_a_hp[2];
extern const float f_G722PLC_b_hp156[2];
extern const float f_G722PLC_a_hp156[2];

g722plc_state* G722PLC_init_flt();  // null when out of memory
void G722PLC_clear_flt(g722plc_state* st);
// Returns the concealment to its state at creation (no history, no loss pending).
void G722PLC_reset_flt(g722plc_state* st);

// Writes 80 concealed samples at 16 kHz and prepares the decoder's state for resumption.
void G722PLC_conceal_flt(g722plc_state* st, int16_t* output, g722_decoder* dec);
void G722PLC_ana_flt(g722plc_state* st, int16_t nbl, int16_t nbh);
void G722PLC_syn_flt(g722plc_state* st, float* output, int n);
float* G722PLC_syn_hb_flt(g722plc_state* st);
// Refines the full-rate pitch around `lag`; returns the lag and its normalised correlation.
int16_t G722PLC_pitch_ol_refine_flt(const float* x, int16_t lag, float* corr);
float G722PLC_hp_flt(float* prev_in, float* prev_out, const float* b, const float* a, float x);
void set_att_flt(g722plc_state* st, int16_t step, float d1, float d2, float d3);

}  // namespace g722swb

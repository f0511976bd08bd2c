#pragma once
// The tables of the G.722 sub-band ADPCM algorithm and of the coder's extensions to it.

#include <cstdint>

namespace g722swb {

extern const int16_t qtab6[64];
extern const int16_t qtab5[32];
extern const int16_t qtab4[16];
extern const int16_t qtab2[4];
extern const int16_t* const invqbl_tab[4];  // by low-band mode 1..3 (entry 0 unused)
extern const int16_t invqbl_shift[4];
extern const int16_t code_mask[4];
extern const int16_t wli[16];
extern const int16_t whi[4];
extern const int16_t ila2[353];
extern const int16_t q5b[15];
extern const int16_t misil5b[30];
extern const int16_t misih[6];
extern const float fl_qmf_coef[24];  // G.722 QMF coefficients / 16384

// High-band extensions: thresholds and levels of the extra and enhancement bits.
extern const int16_t tresh_enh[4];
extern const int16_t oq3new[8];
extern const int16_t oq4new[16];
extern const int16_t oq4_3new[24];
extern const int16_t* const invqbh_tab[4];  // by high-band mode 1..3 (entry 0 unused)

extern const float fl_NS_window[80];
extern const float fl_NS_lag[4];

}  // namespace g722swb

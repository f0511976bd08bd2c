#pragma once
// The modes of the coder and how each lays out its frame.

#include <cstdint>

namespace g722swb {

struct swb_mode_info {
    int16_t g722_mode;   // 1 = 64, 2 = 56, 3 = 48 kbit/s core
    int16_t core_bytes;  // 40, 35 or 30
    int16_t frame_bytes;
    bool swb;            // 32 kHz mode with extension layers
};

constexpr int SWB_MODES = 6;
extern const swb_mode_info swb_modes[SWB_MODES];

// Modes whose layers this build can code: the wideband modes. The super-wideband layers
// (bandwidth extension and vector quantisation) are added with their own modules.
constexpr bool swb_mode_available(int mode) { return mode >= 0 && mode <= 2; }

// The low-band code width the quantiser uses for a G.722 mode (the 64 kbit/s core is a 5-bit
// code plus a separately chosen sixth bit).
constexpr int core_mode_of(int g722_mode) { return g722_mode == 1 ? 2 : g722_mode; }

}  // namespace g722swb

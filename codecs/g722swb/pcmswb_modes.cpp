#include "pcmswb_modes.h"

#include "pcmswb.h"

namespace g722swb {

const swb_mode_info swb_modes[SWB_MODES] = {
    {3, 30, 30, false}, {2, 35, 35, false}, {1, 40, 40, false},
    {2, 35, 40, true},  {1, 40, 50, true},  {1, 40, 60, true},
};

}  // namespace g722swb

extern "C" int pcmswbFrameBytes(int mode)
{
    if (mode < 0 || mode >= g722swb::SWB_MODES)
        return 0;
    return g722swb::swb_modes[mode].frame_bytes;
}

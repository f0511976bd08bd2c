// Simple-profile conformance of a stream configuration.
#include "nals.h"

namespace {

struct ProfileLimit {
  uint32_t level;
  uint32_t channels;
  uint32_t resolution;
};

// Common limits of every simple level: 48 kHz, frames of 4096, order 15, 3 switching levels.
constexpr ProfileLimit kLimits[] = {
    {NALS_Profile_Simple_L1, 2, 16},
    {NALS_Profile_Simple_L2, 2, 24},
    {NALS_Profile_Simple_L3, 6, 16},
    {NALS_Profile_Simple_L4, 6, 24},
};

}  // namespace

extern "C" {

void NALS_Profile_CheckConformance_ASC(uint32_t* mask, const NALS_ASC* asc) {
  if (!mask || !asc) return;
  bool common = !asc->floating && !asc->rlslms && !asc->bgmc && asc->frequency <= 48000 &&
                asc->frame_length <= 4096 && asc->max_order <= 15 && asc->block_switching <= 3;
  for (const ProfileLimit& l : kLimits) {
    if (!common || asc->channels > l.channels || asc->resolution > l.resolution) *mask &= ~l.level;
  }
}

int32_t NALS_Profile_CheckConformane_MCCStages(uint32_t* mask, uint32_t stages) {
  if (!mask || stages < 2) return 0;
  bool any = (*mask & NALS_Profile_All) != 0;
  *mask &= ~static_cast<uint32_t>(NALS_Profile_All);
  return any ? 1 : 0;
}

uint32_t NALS_ASC_GetNumRAUnits(const NALS_ASC* asc) {
  if (!asc || !asc->frame_length || !asc->random_access) return 0;
  uint64_t frames = (uint64_t{asc->samples} + asc->frame_length - 1) / asc->frame_length;
  return static_cast<uint32_t>((frames + asc->random_access - 1) / asc->random_access);
}

}  // extern "C"

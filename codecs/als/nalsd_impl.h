// Decoder instance of the ALS codec.
#pragma once

#include <cstdint>

#include "nals.h"
#include "nalsd.h"

namespace nals {

constexpr uint32_t kDecMaxStages = 7;  // the encoder's maximum of MCC stages per block

struct DEC_STAGE {
  uint32_t master;
  uint32_t time_diff;
  int32_t w[6];  // Q7 weights
  int32_t lag;
};

struct DEC_BLOCK {
  uint32_t kind;      // 1 zero or constant, 2 normal
  uint32_t js;
  uint32_t shift;
  uint32_t order;
  uint32_t length;
  uint32_t ra;
  uint32_t ltp;
  int32_t gain[5];    // Q7
  uint32_t lag;       // effective lag
  uint32_t stages;
  DEC_STAGE stage[kDecMaxStages];
};

}  // namespace nals

struct NALSD_IMPL {
  NALS_AllocFunction alloc_function;
  NALS_FreeFunction free_function;
  NALSD_InfoCallback info_callback;
  void* userptr;
  NALS_ASC asc;
  uint32_t open;
  uint32_t int_resolution;
  uint32_t samples_known;
  uint64_t samples;
  uint32_t ch_bits;
  uint32_t mcc_lag_bits;
  uint32_t ltp_lag_bits;
  uint32_t bs_levels;
  uint32_t bs_info_bytes;
  uint32_t conformant_profiles;
  uint32_t enforced_profiles;
  uint64_t frame;           // index of the next frame
  uint32_t frame_samples;   // samples per channel of the last decoded frame
  int32_t** x;              // per channel: max order history + frame
  int32_t* history;         // channels x max order
  int32_t* hist_save;       // max order: history during an LSB shift
  int32_t* js_save;         // max order: history during a difference block
  nals::DEC_BLOCK* blocks;  // per channel
  int32_t* parcor;          // per channel: max order Q20 PARCOR / direct-form coefficients
  uint32_t* lpc_order;      // per channel: order of the last block (0 = not predicted)
  uint8_t* staging;
  uint32_t staging_size;
  uint32_t* block_lengths;  // up to 32 blocks
  uint32_t crc;
  uint32_t crc_check;
  uint32_t ra_check;        // unit-size check active
  uint64_t ra_unit_size;
  uint64_t ra_unit_start;
};

// Expands a bs_info word into block lengths (at most 32); 0 when the partition is invalid.
// A frame of fewer samples than frame_length keeps the blocks that cover them, the last
// shortened.
uint32_t GetBlockPartition(uint32_t bs_info, uint32_t frame_length, uint32_t samples, uint32_t* lengths);

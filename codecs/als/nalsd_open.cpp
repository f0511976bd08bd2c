// Decoder set-up: instance life cycle, stream header reading and checks, buffer allocation.
#include <cstring>

#include "nals_bitio.h"
#include "nals_tables.h"
#include "nalsd_impl.h"

using namespace nals;

namespace {

int32_t null_info_callback(NALSD_IMPL*, int32_t, uint64_t, NALS_STREAM*, uint64_t) { return 0; }

void* Alloc(NALSD_IMPL* dec, uint64_t size) {
  // Sizes come from header fields: anything the host's 32-bit allocator cannot take is refused.
  if (size == 0) size = 1;
  if (size > 0x7FFFFFFFu) return nullptr;
  void* p = dec->alloc_function(NALS_SPACE_L2, NALS_KIND_PERSISTENT, static_cast<uint32_t>(size));
  if (p) std::memset(p, 0, static_cast<size_t>(size));
  return p;
}

void Free(NALSD_IMPL* dec, void* p) {
  if (p) dec->free_function(p);
}

void Tell(NALSD_IMPL* dec, int32_t code, uint64_t value) { dec->info_callback(dec, code, value, nullptr, 0); }

// Hands a stretch of the stream to the callback and skips it.
int32_t HandOver(NALSD_IMPL* dec, NALS_STREAM* in, int32_t code, uint64_t size) {
  uint64_t pos = 0;
  if (!NALS_Stream_Tell(in, &pos)) return NALS_ERR_READ;
  dec->info_callback(dec, code, size, in, pos);
  if (size > INT64_MAX || !NALS_Stream_Seek(in, static_cast<int64_t>(size), 1)) return NALS_ERR_READ;
  return 0;
}

void FreeBuffers(NALSD_IMPL* dec) {
  if (dec->x) {
    for (uint32_t c = 0; c < dec->asc.channels; ++c) Free(dec, dec->x[c]);
    Free(dec, dec->x);
  }
  void* blocks[] = {dec->history, dec->hist_save, dec->js_save, dec->blocks, dec->parcor, dec->lpc_order,
                    dec->staging, dec->block_lengths, dec->asc.channel_positions};
  for (void* b : blocks) Free(dec, b);
  dec->x = nullptr;
  dec->history = dec->hist_save = dec->js_save = dec->parcor = nullptr;
  dec->blocks = nullptr;
  dec->lpc_order = dec->block_lengths = nullptr;
  dec->staging = nullptr;
  dec->asc.channel_positions = nullptr;
}

int32_t Fail(NALSD_IMPL* dec, int32_t code) {
  FreeBuffers(dec);
  dec->open = 0;
  return code;
}

void FillInfo(const NALSD_IMPL* dec, void* info, uint32_t size) {
  NALSD_STREAM_INFO r{};
  r.size = size < 64 ? size : 64;
  r.frequency = dec->asc.frequency;
  r.channels = dec->asc.channels;
  r.file_type = dec->asc.file_type;
  r.resolution = dec->asc.resolution;
  r.floating = dec->asc.floating;
  r.msb_first = dec->asc.msb_first;
  r.samples_known = dec->samples_known;
  r.samples = dec->samples_known ? dec->samples : ~uint64_t{0};
  r.frame_length = dec->asc.frame_length;
  r.random_access = dec->asc.random_access;
  r.ra_location = dec->asc.ra_location;
  r.crc_enabled = dec->asc.crc_enabled;
  r.ch_cfg_info = dec->asc.ch_cfg_info;
  std::memcpy(info, &r, r.size);
}

}  // namespace

static_assert(sizeof(NALSD_STREAM_INFO) == 64);

extern "C" {

int32_t NALSD_Init(NALSD_IMPL** out, NALS_AllocFunction alloc_fn, NALS_FreeFunction free_fn) {
  if (!out || !alloc_fn || !free_fn) return NALS_ERR_ARGUMENT;
  if (*out) return NALS_ERR_ALREADY_INIT;
  auto* dec = static_cast<NALSD_IMPL*>(alloc_fn(NALS_SPACE_L2, NALS_KIND_PERSISTENT, sizeof(NALSD_IMPL)));
  if (!dec) return NALS_ERR_MEMORY;
  std::memset(static_cast<void*>(dec), 0, sizeof *dec);
  dec->alloc_function = alloc_fn;
  dec->free_function = free_fn;
  dec->info_callback = null_info_callback;
  dec->conformant_profiles = NALS_Profile_All;
  dec->enforced_profiles = NALS_Profile_Empty;
  *out = dec;
  return 0;
}

void NALSD_SetInfoCallback(NALSD_IMPL* dec, NALSD_InfoCallback cb) {
  if (dec) dec->info_callback = cb ? cb : null_info_callback;
}
NALSD_InfoCallback NALSD_GetInfoCallback(NALSD_IMPL* dec) {
  return dec && dec->info_callback != null_info_callback ? dec->info_callback : nullptr;
}
void NALSD_SetUserPtr(NALSD_IMPL* dec, void* user) {
  if (dec) dec->userptr = user;
}
void* NALSD_GetUserPtr(NALSD_IMPL* dec) { return dec ? dec->userptr : nullptr; }
uint32_t NALSD_Version(void) { return 0x1000000; }
const char* NALSD_VersionEx(void) { return "1.0.0 (CPU:ARMv6/LE/int) [CRC][MCC][LTP]"; }

int32_t NALSD_Open(NALSD_IMPL* dec, NALS_STREAM* in, void* info, uint32_t info_size) {
  if (!dec || !in) return NALS_ERR_ARGUMENT;
  if (dec->open) return NALS_ERR_ALREADY_OPEN;
  dec->conformant_profiles = NALS_Profile_All;
  NALS_ASC& a = dec->asc;
  a = NALS_ASC{};
  uint8_t h[22];
  if (NALS_Stream_Read(h, 22, in) != 22) return NALS_ERR_READ;
  if (h[0] != 'A' || h[1] != 'L' || h[2] != 'S' || h[3] != 0) return NALS_ERR_HDR_ID;
  auto be32 = [](const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  };
  a.frequency = be32(h + 4);
  a.samples = be32(h + 8);
  a.channels = ((uint32_t{h[12]} << 8) | h[13]) + 1;
  a.file_type = h[14] >> 5;
  uint32_t res = (h[14] >> 2) & 7;
  a.floating = (h[14] >> 1) & 1;
  a.msb_first = h[14] & 1;
  if (res > 3) return NALS_ERR_HDR_RESOLUTION;
  a.resolution = (res + 1) * 8;
  if (a.floating && a.resolution != 32) return NALS_ERR_HDR_RESOLUTION;
  a.frame_length = ((uint32_t{h[15]} << 8) | h[16]) + 1;
  a.random_access = h[17];
  uint32_t w = (uint32_t{h[18]} << 8) | h[19];
  a.ra_location = w >> 14;
  a.adaptive = (w >> 13) & 1;
  a.coeff_table = (w >> 11) & 3;
  a.ltp = (w >> 10) & 1;
  a.max_order = w & 1023;
  static const uint32_t kLevels[4] = {0, 3, 4, 5};
  a.block_switching = kLevels[h[20] >> 6];
  a.bgmc = (h[20] >> 5) & 1;
  a.subblock_part = (h[20] >> 4) & 1;
  a.joint_stereo = (h[20] >> 3) & 1;
  a.mcc = (h[20] >> 2) & 1;
  a.ch_cfg_present = (h[20] >> 1) & 1;
  a.ch_sorting = h[20] & 1;
  a.crc_enabled = h[21] >> 7;
  a.rlslms = (h[21] >> 6) & 1;
  a.aux_data_present = h[21] & 1;
  dec->samples_known = a.samples != 0xFFFFFFFFu;
  dec->samples = a.samples;
  Tell(dec, NALS_INFO_FREQUENCY, a.frequency);
  if (dec->samples_known) Tell(dec, NALS_INFO_SAMPLES, a.samples);
  Tell(dec, NALS_INFO_CHANNELS, a.channels);
  Tell(dec, NALS_INFO_FILE_TYPE, a.file_type);
  Tell(dec, NALS_INFO_RESOLUTION, a.resolution);
  Tell(dec, NALS_INFO_FLOATING, a.floating);
  Tell(dec, NALS_INFO_MSB_FIRST, a.msb_first);
  Tell(dec, NALS_INFO_FRAME_LENGTH, a.frame_length);
  Tell(dec, NALS_INFO_RANDOM_ACCESS, a.random_access);
  Tell(dec, NALS_INFO_RA_LOCATION, a.ra_location);
  Tell(dec, NALS_INFO_ADAPTIVE, a.adaptive);
  Tell(dec, NALS_INFO_LTP, a.ltp);
  Tell(dec, NALS_INFO_MAX_ORDER, a.max_order);
  Tell(dec, NALS_INFO_BLOCK_SWITCHING, a.block_switching);
  Tell(dec, NALS_INFO_BGMC, a.bgmc);
  if (!a.adaptive && a.max_order > a.frame_length) return NALS_ERR_HDR_ORDER;
  if (a.ch_sorting && a.channels == 1) return NALS_ERR_HDR_SORTING;
  if (a.channels == 1) a.joint_stereo = a.mcc = 0;
  Tell(dec, NALS_INFO_JOINT_STEREO, a.joint_stereo);
  Tell(dec, NALS_INFO_MCC, a.mcc ? a.channels : 0);
  Tell(dec, NALS_INFO_CRC_ENABLED, a.crc_enabled);
  Tell(dec, NALS_INFO_RLSLMS, a.rlslms);
  dec->ch_bits = a.channels > 1 ? CeilLog2(a.channels) : 1;
  // Variable part: channel configuration, positions, and the two source-file sizes.
  uint64_t vsize = (a.ch_sorting ? (uint64_t{a.channels} * dec->ch_bits + 7) / 8 : 0) + 8 + (a.ch_cfg_present ? 2 : 0);
  uint8_t* var = static_cast<uint8_t*>(Alloc(dec, vsize));
  if (!var) return NALS_ERR_MEMORY;
  if (NALS_Stream_Read(var, vsize, in) != vsize) {
    Free(dec, var);
    return NALS_ERR_READ;
  }
  NALSD_BITREADER br;
  NALSD_BR_Init(&br, var, static_cast<uint32_t>(vsize));
  if (a.ch_cfg_present) a.ch_cfg_info = GetBits_LE32(&br, 16);
  Tell(dec, NALS_INFO_CH_CFG_INFO, a.ch_cfg_info);
  if (a.ch_sorting) {
    a.channel_positions = static_cast<uint16_t*>(Alloc(dec, 2ull * a.channels));
    uint8_t* seen = static_cast<uint8_t*>(Alloc(dec, a.channels));
    if (!a.channel_positions || !seen) {
      Free(dec, seen);
      Free(dec, var);
      return Fail(dec, NALS_ERR_MEMORY);
    }
    bool ok = true;
    for (uint32_t c = 0; c < a.channels; ++c) {
      uint32_t p = GetBits_LE32(&br, dec->ch_bits);
      // The positions must be a permutation of the channels.
      if (p >= a.channels || seen[p]) ok = false;
      else seen[p] = 1;
      a.channel_positions[c] = static_cast<uint16_t>(p);
    }
    Free(dec, seen);
    if (!ok) {
      Free(dec, var);
      return Fail(dec, NALS_ERR_HDR_POSITION);
    }
    NALSD_BR_Align(&br);
    NALS_STREAM ps;
    NALS_MemStream_Open(&ps, a.channel_positions, 2ull * a.channels, "r");
    dec->info_callback(dec, NALS_INFO_CH_SORTING, 2ull * a.channels, &ps, 0);
  }
  a.header_size = GetBits_LE32(&br, 32);
  a.trailer_size = GetBits_LE32(&br, 32);
  Free(dec, var);
  int32_t r = 0;
  if (a.header_size != 0xFFFFFFFFu && (r = HandOver(dec, in, NALS_INFO_ORIG_HEADER, a.header_size))) return Fail(dec, r);
  if (a.trailer_size != 0xFFFFFFFFu && (r = HandOver(dec, in, NALS_INFO_ORIG_TRAILER, a.trailer_size))) return Fail(dec, r);
  if (a.crc_enabled) {
    if (!NALS_Stream_Read32BE(in, &a.crc)) return Fail(dec, NALS_ERR_READ);
    Tell(dec, NALS_INFO_CRC_STORED, a.crc);
  }
  if (a.random_access && a.ra_location == 2) {
    if (!dec->samples_known) return Fail(dec, NALS_ERR_HDR_RA_TABLE);
    if ((r = HandOver(dec, in, NALS_INFO_RA_TABLE, 4ull * NALS_ASC_GetNumRAUnits(&a)))) return Fail(dec, r);
  }
  if (a.aux_data_present) {
    if (!NALS_Stream_Read32BE(in, &a.aux_data_size)) return Fail(dec, NALS_ERR_READ);
    if (a.aux_data_size != 0xFFFFFFFFu && (r = HandOver(dec, in, NALS_INFO_AUX_DATA, a.aux_data_size)))
      return Fail(dec, r);
  }
  dec->int_resolution = a.floating ? 24 : a.resolution;
  NALS_Profile_CheckConformance_ASC(&dec->conformant_profiles, &a);
  Tell(dec, NALS_INFO_CONFORMANT_PROFILES, dec->conformant_profiles);
  if ((dec->enforced_profiles & dec->conformant_profiles) != dec->enforced_profiles) return Fail(dec, NALS_ERR_PROFILE);
  if (a.bgmc || a.floating || a.rlslms) return Fail(dec, NALS_ERR_UNSUPPORTED);
  dec->ltp_lag_bits = a.frequency > 191999 ? 10 : a.frequency > 95999 ? 9 : 8;
  dec->mcc_lag_bits = a.frequency > 191999 ? 7 : a.frequency > 95999 ? 6 : 5;
  dec->bs_levels = a.block_switching;
  dec->bs_info_bytes = a.block_switching <= 3 ? (a.block_switching ? 1 : 0) : a.block_switching == 4 ? 2 : 4;
  // Buffers, sized in 64 bits from the header fields.
  const uint64_t c = a.channels, n = a.frame_length, p = a.max_order;
  const uint64_t bps = a.resolution / 8;
  const uint64_t total = c * ((p + n) * 4 + p * 4 + sizeof(DEC_BLOCK) + 16) + n * (bps + 1) + 64 * c + 4 * p + 1024;
  if (c > 65536 || total > 0x7FFFFFFFu) return Fail(dec, NALS_ERR_MEMORY);
  dec->x = static_cast<int32_t**>(Alloc(dec, c * sizeof(int32_t*)));
  if (!dec->x) return Fail(dec, NALS_ERR_MEMORY);
  for (uint64_t i = 0; i < c; ++i) {
    dec->x[i] = static_cast<int32_t*>(Alloc(dec, (p + n) * 4));
    if (!dec->x[i]) return Fail(dec, NALS_ERR_MEMORY);
  }
  uint64_t staging = n * (bps + 1) + 4 * p + 137 + (a.mcc ? 64 * c : 0);
  uint64_t out_frame = c * bps * 64 + 8;
  if (staging < out_frame) staging = out_frame;
  dec->history = static_cast<int32_t*>(Alloc(dec, c * p * 4));
  dec->hist_save = static_cast<int32_t*>(Alloc(dec, p * 4));
  dec->js_save = static_cast<int32_t*>(Alloc(dec, p * 4));
  dec->blocks = static_cast<DEC_BLOCK*>(Alloc(dec, c * sizeof(DEC_BLOCK)));
  dec->parcor = static_cast<int32_t*>(Alloc(dec, (c * p + 1) * 4));
  dec->lpc_order = static_cast<uint32_t*>(Alloc(dec, c * 4));
  dec->staging = static_cast<uint8_t*>(Alloc(dec, staging));
  dec->staging_size = static_cast<uint32_t>(staging);
  dec->block_lengths = static_cast<uint32_t*>(Alloc(dec, 32 * 4));
  if (!dec->history || !dec->hist_save || !dec->js_save || !dec->blocks || !dec->parcor || !dec->lpc_order || !dec->staging ||
      !dec->block_lengths)
    return Fail(dec, NALS_ERR_MEMORY);
  dec->frame = 0;
  dec->frame_samples = 0;
  dec->ra_check = 0;
  dec->open = 1;
  Tell(dec, NALS_INFO_POSITION, 0);
  NALS_CRC32_Init(&dec->crc);
  dec->crc_check = a.crc_enabled;
  if (dec->crc_check) Tell(dec, NALS_INFO_CRC, NALS_CRC32_Get(&dec->crc));
  if (info) {
    if (info_size < 4) {
      NALSD_Close(dec);
      return NALS_ERR_INVALID;
    }
    FillInfo(dec, info, info_size);
  }
  return 0;
}

int32_t NALSD_OpenOnMemory(NALSD_IMPL* dec, const void* bytes, uint32_t count, uint32_t* consumed, void* info,
                           uint32_t info_size) {
  if (consumed) *consumed = 0;
  if (!dec || !bytes) return NALS_ERR_ARGUMENT;
  NALS_STREAM s;
  if (!NALS_MemStream_Open(&s, const_cast<void*>(bytes), count, "r")) return NALS_ERR_MEMORY;
  int32_t r = NALSD_Open(dec, &s, info, info_size);
  if (r == 0 && consumed) {
    uint64_t pos = 0;
    if (!NALS_Stream_Tell(&s, &pos)) r = NALS_ERR_READ;
    else *consumed = static_cast<uint32_t>(pos);
  }
  NALS_Stream_Close(&s);
  return r;
}

int32_t NALSD_Close(NALSD_IMPL* dec) {
  if (!dec) return NALS_ERR_ARGUMENT;
  if (!dec->open) return 0;
  FreeBuffers(dec);
  dec->open = 0;
  return 0;
}

int32_t NALSD_Destroy(NALSD_IMPL* dec) {
  if (!dec) return NALS_ERR_ARGUMENT;
  NALSD_Close(dec);
  FreeBuffers(dec);
  dec->free_function(dec);
  return 0;
}

}  // extern "C"

extern "C" int32_t NALSD_MemoryMoved(NALSD_IMPL* dec, void* old_address, void* new_address) {
  if (!dec || !old_address || !new_address) return 0;
  void** slots[] = {reinterpret_cast<void**>(&dec->x), reinterpret_cast<void**>(&dec->history),
                    reinterpret_cast<void**>(&dec->hist_save), reinterpret_cast<void**>(&dec->js_save),
                    reinterpret_cast<void**>(&dec->blocks), reinterpret_cast<void**>(&dec->parcor),
                    reinterpret_cast<void**>(&dec->lpc_order), reinterpret_cast<void**>(&dec->staging),
                    reinterpret_cast<void**>(&dec->block_lengths),
                    reinterpret_cast<void**>(&dec->asc.channel_positions)};
  for (void** slot : slots)
    if (*slot == old_address) {
      *slot = new_address;
      return 1;
    }
  if (dec->x)
    for (uint32_t c = 0; c < dec->asc.channels; ++c)
      if (dec->x[c] == old_address) {
        dec->x[c] = static_cast<int32_t*>(new_address);
        return 1;
      }
  return 0;
}

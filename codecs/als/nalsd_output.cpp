// Decoder output: PCM formatting with the output CRC, the in-memory decode, decoder control
// codes and the export of the last frame's prediction coefficients.
#include <cstdarg>
#include <cstring>

#include "nalsd_impl.h"

namespace {

void Tell(NALSD_IMPL* dec, int32_t code, uint64_t value) { dec->info_callback(dec, code, value, nullptr, 0); }

// Writes one sample in the output format.
inline uint8_t* PutSample(uint8_t* o, int32_t v, uint32_t bps, bool big, bool msb_first) {
  uint32_t u = static_cast<uint32_t>(v);
  if (bps == 1) {
    *o++ = msb_first ? static_cast<uint8_t>(u) : static_cast<uint8_t>(u + 128u);
    return o;
  }
  if (big)
    for (uint32_t b = bps; b-- > 0;) *o++ = static_cast<uint8_t>(u >> (8 * b));
  else
    for (uint32_t b = 0; b < bps; ++b) *o++ = static_cast<uint8_t>(u >> (8 * b));
  return o;
}

int32_t Flush(NALSD_IMPL* dec, NALS_STREAM* out, uint8_t* start, uint8_t* end) {
  uint64_t n = static_cast<uint64_t>(end - start);
  if (!n) return 0;
  uint64_t w = NALS_Stream_Write(start, n, out);
  if (dec->crc_check) NALS_CRC32_ProcessBlock(&dec->crc, start, w);
  return w == n ? 0 : NALS_ERR_WRITE;
}

}  // namespace

extern "C" {

int32_t NALSD_OutputFrameInterleaved(NALSD_IMPL* dec, NALS_STREAM* out, int32_t little_endian) {
  if (!dec || !out) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  const NALS_ASC& a = dec->asc;
  const uint32_t n = dec->frame_samples;
  if (n == 0) return 0;
  if (little_endian && a.msb_first && dec->crc_check) {
    dec->crc_check = 0;
    Tell(dec, NALS_INFO_CRC_ENABLED, 0);
  }
  const bool big = a.msb_first && !little_endian && a.resolution > 8;
  const uint32_t bps = a.resolution / 8, c = a.channels, p = a.max_order;
  // Output slot k shows decoded channel order[k].
  uint32_t* slots = nullptr;
  if (a.ch_sorting && a.channel_positions) {
    slots = static_cast<uint32_t*>(dec->alloc_function(NALS_SPACE_L2, NALS_KIND_SCRATCH, c * 4));
    if (!slots) return NALS_ERR_MEMORY;
    for (uint32_t i = 0; i < c; ++i) slots[a.channel_positions[i]] = i;
  }
  const uint32_t frame_bytes = c * bps;
  uint8_t* buf = dec->staging;
  uint8_t* end = buf + (dec->staging_size - 4) / frame_bytes * frame_bytes;
  uint8_t* o = buf;
  int32_t r = 0;
  for (uint32_t i = 0; i < n && !r; ++i) {
    for (uint32_t k = 0; k < c; ++k) {
      uint32_t ch = slots ? slots[k] : k;
      o = PutSample(o, dec->x[ch][p + i], bps, big, a.msb_first);
    }
    if (o + frame_bytes > end) {
      r = Flush(dec, out, buf, o);
      o = buf;
    }
  }
  if (!r) r = Flush(dec, out, buf, o);
  if (slots) dec->free_function(slots);
  if (!r && dec->crc_check) Tell(dec, NALS_INFO_CRC, NALS_CRC32_Get(&dec->crc));
  return r;
}

int32_t NALSD_OutputFrameLinear(NALSD_IMPL* dec, NALS_STREAM* out, uint32_t channel, int32_t little_endian) {
  if (!dec || !out) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  const NALS_ASC& a = dec->asc;
  if (channel >= a.channels) return NALS_ERR_INVALID;
  if (dec->crc_check) {
    dec->crc_check = 0;
    Tell(dec, NALS_INFO_CRC_ENABLED, 0);
  }
  uint32_t ch = channel;
  if (a.ch_sorting && a.channel_positions) {
    ch = a.channels;
    for (uint32_t i = 0; i < a.channels; ++i)
      if (a.channel_positions[i] == channel) ch = i;
    if (ch == a.channels) return NALS_ERR_HDR_POSITION;
  }
  const bool big = a.msb_first && !little_endian && a.resolution > 8;
  const uint32_t bps = a.resolution / 8, p = a.max_order;
  uint8_t* buf = dec->staging;
  uint8_t* end = buf + (dec->staging_size - 4) / bps * bps;
  uint8_t* o = buf;
  for (uint32_t i = 0; i < dec->frame_samples; ++i) {
    o = PutSample(o, dec->x[ch][p + i], bps, big, a.msb_first);
    if (o + bps > end) {
      if (Flush(dec, out, buf, o)) return NALS_ERR_WRITE;
      o = buf;
    }
  }
  return Flush(dec, out, buf, o);
}

int32_t NALSD_DecodeFrameOnMemoryInterleaved(NALSD_IMPL* dec, const void* bytes, uint32_t count, uint32_t* consumed,
                                             void* pcm, uint32_t* samples, int32_t little_endian) {
  if (samples) *samples = 0;
  if (!bytes || !dec || !pcm) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  NALS_STREAM in, out;
  uint64_t cap = uint64_t{dec->asc.channels} * dec->asc.frame_length * (dec->asc.resolution / 8);
  if (!NALS_MemStream_Open(&in, const_cast<void*>(bytes), count, "r")) return NALS_ERR_MEMORY;
  if (!NALS_MemStream_Open(&out, pcm, cap, "w")) {
    NALS_Stream_Close(&in);
    return NALS_ERR_MEMORY;
  }
  int32_t r = NALSD_DecodeFrame(dec, &in, samples);
  if (r == 0) r = NALSD_OutputFrameInterleaved(dec, &out, little_endian);
  if (consumed) {
    uint64_t pos = 0;
    if (!NALS_Stream_Tell(&in, &pos)) {
      if (r == 0) r = NALS_ERR_READ;
    } else {
      *consumed = static_cast<uint32_t>(pos);
    }
  }
  NALS_Stream_Close(&in);
  NALS_Stream_Close(&out);
  // Offsets of this memory stream mean nothing to the next call.
  dec->ra_check = 0;
  return r;
}

int32_t NALSD_InitCRC32(NALSD_IMPL* dec) {
  if (!dec) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  NALS_CRC32_Init(&dec->crc);
  return 0;
}

int32_t NALSD_VSetInfo(NALSD_IMPL* dec, int32_t code, va_list ap) {
  if (!dec) return NALS_ERR_ARGUMENT;
  if (!dec->open) {
    if (code != NALS_INFO_ENFORCED_PROFILES) return NALS_ERR_INVALID;
    uint32_t mask = va_arg(ap, uint32_t) & NALS_Profile_All;
    dec->enforced_profiles = mask;
    Tell(dec, code, mask);
    return 0;
  }
  switch (code) {
    case NALS_INFO_SAMPLES: {
      uint64_t v = va_arg(ap, uint64_t);
      if (dec->frame != 0) return NALS_ERR_INVALID;
      dec->samples = v;
      dec->samples_known = 1;
      Tell(dec, code, v);
      return 0;
    }
    case NALS_INFO_CRC_ENABLED: {
      int v = va_arg(ap, int);
      dec->crc_check = v && dec->asc.crc_enabled ? 1 : 0;
      Tell(dec, code, dec->crc_check);
      if (dec->crc_check) Tell(dec, NALS_INFO_CRC, NALS_CRC32_Get(&dec->crc));
      return 0;
    }
    case NALS_INFO_POSITION: {
      uint64_t v = va_arg(ap, uint64_t);
      uint32_t ra = dec->asc.random_access;
      if ((ra == 0 && v != 0) || (ra > 1 && v % ra != 0)) return NALS_ERR_INVALID;
      NALS_CRC32_Init(&dec->crc);
      if (dec->crc_check) Tell(dec, NALS_INFO_CRC, NALS_CRC32_Get(&dec->crc));
      dec->frame = v;
      dec->frame_samples = 0;
      dec->ra_check = 0;
      Tell(dec, code, v);
      return 0;
    }
    case NALS_INFO_CRC: {
      uint32_t v = va_arg(ap, uint32_t);
      NALS_CRC32_Set(&dec->crc, v);
      if (dec->crc_check) Tell(dec, code, v);
      return 0;
    }
    default:
      return NALS_ERR_INVALID;
  }
}

int32_t NALSD_SetInfo(NALSD_IMPL* dec, int32_t code, ...) {
  va_list ap;
  va_start(ap, code);
  int32_t r = NALSD_VSetInfo(dec, code, ap);
  va_end(ap);
  return r;
}

int32_t NALSD_InitLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info) {
  if (!dec || !info) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  const uint32_t c = dec->asc.channels, p = dec->asc.max_order;
  info->channels = c;
  info->max_order = p;
  info->channel = static_cast<NALSD_LPC_CHANNEL*>(dec->alloc_function(NALS_SPACE_L2, NALS_KIND_PERSISTENT, c * sizeof(NALSD_LPC_CHANNEL)));
  if (!info->channel) return NALS_ERR_MEMORY;
  for (uint32_t i = 0; i < c; ++i) {
    info->channel[i].order = 0;
    info->channel[i].coefficients = static_cast<int32_t*>(dec->alloc_function(NALS_SPACE_L2, NALS_KIND_PERSISTENT, (p ? p : 1) * 4));
    if (!info->channel[i].coefficients) {
      for (uint32_t j = 0; j < i; ++j) dec->free_function(info->channel[j].coefficients);
      dec->free_function(info->channel);
      info->channel = nullptr;
      return NALS_ERR_MEMORY;
    }
    std::memset(info->channel[i].coefficients, 0, (p ? p : 1) * 4);
  }
  return 0;
}

int32_t NALSD_GetLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info) {
  if (!dec || !info || !info->channel) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  const uint32_t p = dec->asc.max_order;
  uint32_t c = info->channels < dec->asc.channels ? info->channels : dec->asc.channels;
  uint32_t m = info->max_order < p ? info->max_order : p;
  for (uint32_t i = 0; i < c; ++i) {
    NALSD_LPC_CHANNEL& e = info->channel[i];
    uint32_t order = dec->lpc_order[i] < m ? dec->lpc_order[i] : m;
    e.order = order;
    for (uint32_t k = 0; k < m; ++k) e.coefficients[k] = k < order ? dec->parcor[static_cast<uint64_t>(i) * p + k] : 0;
  }
  return 0;
}

int32_t NALSD_DestroyLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info) {
  if (!dec || !info) return NALS_ERR_ARGUMENT;
  if (info->channel) {
    for (uint32_t i = 0; i < info->channels; ++i) dec->free_function(info->channel[i].coefficients);
    dec->free_function(info->channel);
  }
  std::memset(info, 0, sizeof *info);
  return 0;
}

}  // extern "C"

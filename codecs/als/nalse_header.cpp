// Stream header (ALSSpecificConfig) writer and the in-memory entry points of the encoder.
#include <cstring>

#include "nalse_impl.h"

using namespace nals;

namespace {

constexpr uint8_t kBsTable[6] = {0, 1, 1, 1, 2, 3};

struct SourceData {
  NALS_STREAM* stream = nullptr;
  uint64_t offset = 0;
  uint32_t size = 0xFFFFFFFFu;
};

SourceData AskSource(NALSE_IMPL* enc, int32_t code) {
  SourceData d;
  NALS_STREAM* st = nullptr;
  uint64_t off = 0, sz = 0;
  if (!enc->info_callback(enc, code, &st, &off, &sz)) return d;
  d.stream = st;
  d.offset = off;
  d.size = (sz >> 32) ? 0xFFFFFFFFu : static_cast<uint32_t>(sz);
  if (!st) d.size = 0;
  return d;
}

bool Present(const SourceData& d) { return d.stream && d.size != 0 && d.size != 0xFFFFFFFFu; }

}  // namespace

extern "C" {

int32_t NALSE_OutputHeader(NALSE_IMPL* enc, NALS_STREAM* out) {
  if (!enc || !out) return NALS_ERR_ARGUMENT;
  NALS_ASC& a = enc->asc;
  SourceData aux = AskSource(enc, NALS_INFO_AUX_DATA);
  if (aux.stream == nullptr && aux.size == 0) aux.size = 0xFFFFFFFFu;
  a.aux_data_present = Present(aux) ? 1 : 0;
  uint8_t h[22];
  h[0] = 'A';
  h[1] = 'L';
  h[2] = 'S';
  h[3] = 0;
  auto be32 = [](uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
  };
  be32(h + 4, a.frequency);
  be32(h + 8, a.samples);
  uint32_t ch = a.channels ? a.channels - 1 : 0;
  h[12] = static_cast<uint8_t>(ch >> 8);
  h[13] = static_cast<uint8_t>(ch);
  uint32_t res_code = a.resolution ? a.resolution / 8 - 1 : 0;
  h[14] = static_cast<uint8_t>(((a.file_type & 7) << 5) | ((res_code & 7) << 2) | ((a.floating & 1) << 1) | (a.msb_first & 1));
  uint32_t fl = a.frame_length ? a.frame_length - 1 : 0;
  h[15] = static_cast<uint8_t>(fl >> 8);
  h[16] = static_cast<uint8_t>(fl);
  h[17] = static_cast<uint8_t>(a.random_access);
  uint32_t w = ((a.ra_location & 3) << 14) | ((a.adaptive & 1) << 13) | ((a.coeff_table & 3) << 11) |
               ((a.ltp & 1) << 10) | (a.max_order & 1023);
  h[18] = static_cast<uint8_t>(w >> 8);
  h[19] = static_cast<uint8_t>(w);
  h[20] = static_cast<uint8_t>((kBsTable[a.block_switching < 6 ? a.block_switching : 5] << 6) | ((a.bgmc & 1) << 5) |
                               ((a.subblock_part & 1) << 4) | ((a.joint_stereo & 1) << 3) | ((a.mcc & 1) << 2) |
                               ((a.ch_cfg_present & 1) << 1) | (a.ch_sorting & 1));
  h[21] = static_cast<uint8_t>(((a.crc_enabled & 1) << 7) | ((a.rlslms & 1) << 6) | (a.aux_data_present & 1));
  if (NALS_Stream_Write(h, 22, out) != 22) return NALS_ERR_WRITE;
  if (a.ch_cfg_present) {
    uint8_t b[2] = {static_cast<uint8_t>(a.ch_cfg_info >> 8), static_cast<uint8_t>(a.ch_cfg_info)};
    if (NALS_Stream_Write(b, 2, out) != 2) return NALS_ERR_WRITE;
  }
  if (a.ch_sorting && a.channel_positions) {
    uint8_t buf[64];
    NALSE_BITWRITER bw;
    NALSE_BW_Init(&bw, buf, sizeof buf, 0);
    bool failed = false;
    for (uint32_t c = 0; c < a.channels; ++c) {
      PutBits_LE32(&bw, a.channel_positions[c], enc->ch_bits);
      if (NALSE_BW_BitCount(&bw) >= 128) {
        // Flush whole bytes, keep the partial accumulator.
        uint32_t bytes = static_cast<uint32_t>(bw.current - bw.start);
        if (NALS_Stream_Write(buf, bytes, out) != bytes) failed = true;
        bw.current = bw.start;
      }
    }
    NALSE_BW_Align(&bw);
    int32_t bytes = NALSE_BW_Finish(&bw);
    if (bytes < 0 || NALS_Stream_Write(buf, static_cast<uint32_t>(bytes), out) != static_cast<uint32_t>(bytes)) failed = true;
    if (failed) return NALS_ERR_WRITE;
  }
  SourceData hd = AskSource(enc, NALS_INFO_ORIG_HEADER);
  SourceData tr = AskSource(enc, NALS_INFO_ORIG_TRAILER);
  a.header_size = hd.size;
  a.trailer_size = tr.size;
  bool ok = NALS_Stream_Write32BE(out, hd.size) && NALS_Stream_Write32BE(out, tr.size);
  if (!ok) return NALS_ERR_WRITE;
  if (Present(hd)) {
    int32_t r = StreamCopy(hd.stream, hd.offset, hd.size, out);
    if (r) return r;
  }
  if (Present(tr)) {
    int32_t r = StreamCopy(tr.stream, tr.offset, tr.size, out);
    if (r) return r;
  }
  if (a.crc_enabled) ok = NALS_Stream_Write32BE(out, NALS_CRC32_Get(&a.crc)) && ok;
  if (a.random_access && a.ra_location == 2) {
    uint32_t units = NALS_ASC_GetNumRAUnits(&a);
    for (uint32_t i = 0; i < units; ++i)
      ok = NALS_Stream_Write32BE(out, enc->rau_sizes && i < enc->rau_count ? enc->rau_sizes[i] : 0) && ok;
  }
  if (a.aux_data_present) {
    a.aux_data_size = aux.size;
    ok = NALS_Stream_Write32BE(out, aux.size) && ok;
  }
  if (!ok) return NALS_ERR_WRITE;
  if (a.aux_data_present) return StreamCopy(aux.stream, aux.offset, aux.size, out);
  return 0;
}

int32_t NALSE_OutputHeaderToMemory(NALSE_IMPL* enc, void* buffer, uint32_t capacity, uint32_t* written) {
  if (written) *written = 0;
  if (!enc || !buffer) return NALS_ERR_ARGUMENT;
  NALS_STREAM s;
  if (!NALS_MemStream_Open(&s, buffer, capacity, "w")) return NALS_ERR_MEMORY;
  int32_t r = NALSE_OutputHeader(enc, &s);
  uint64_t pos = 0;
  if (!NALS_Stream_Tell(&s, &pos)) r = NALS_ERR_WRITE;
  else if (written) *written = static_cast<uint32_t>(pos);
  NALS_Stream_Close(&s);
  return r;
}

int32_t NALSE_EncodeFrameOnMemory(NALSE_IMPL* enc, const void* pcm, uint32_t samples, void* out,
                                  uint32_t capacity, uint32_t* written) {
  if (written) *written = 0;
  if (!enc || !pcm || !out) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  if (samples > enc->asc.frame_length) return NALS_ERR_INVALID;
  if (enc->asc.ra_location == 1 && enc->asc.random_access > 1) return NALS_ERR_INVALID;
  uint64_t bytes = uint64_t{enc->asc.channels} * (enc->asc.resolution / 8) * samples;
  if (bytes > 0xFFFFFFFFu) return NALS_ERR_MEMORY;
  NALS_STREAM in, o;
  if (!NALS_MemStream_Open(&in, const_cast<void*>(pcm), bytes, "r")) return NALS_ERR_MEMORY;
  if (!NALS_MemStream_Open(&o, out, capacity, "w")) {
    NALS_Stream_Close(&in);
    return NALS_ERR_MEMORY;
  }
  int32_t r = EncodeFrameCore(enc, &in, &o, nullptr);
  if (r == 0) {
    uint64_t pos = 0;
    if (!NALS_Stream_Tell(&o, &pos)) r = NALS_ERR_WRITE;
    else if (written) *written = static_cast<uint32_t>(pos);
  }
  NALS_Stream_Close(&in);
  NALS_Stream_Close(&o);
  return r;
}

}  // extern "C"

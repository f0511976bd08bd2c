// Encoder records: tagged memory blocks, copies and clones of block records and sample buffers,
// and the diagnostic dumps that fix the records' field names.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "nalse_impl.h"
#include "nalse_records.h"

uint8_t* NALSE_BlockStart(void* payload);

using namespace nals;

namespace {

struct Header {
  uint32_t space, kind, size;
  uint8_t reserved[3];
  uint8_t marker;
};

const Header* HeaderOf(const void* payload) {
  return reinterpret_cast<const Header*>(NALSE_BlockStart(const_cast<void*>(payload)));
}

const char* SpaceName(uint32_t s) {
  static const char* names[] = {"L1", "L2", "L3"};
  return s < 3 ? names[s] : "(unknown)";
}

const char* KindName(uint32_t k) {
  static const char* names[] = {"SCRATCH", "LOOSELY_SCRATCH", "PERSISTENT", "CODE"};
  return k < 4 ? names[k] : "(unknown)";
}

const char* TypeName(uint32_t t) {
  static const char* names[] = {"UNKNOWN", "CONST", "NORMAL"};
  return t < 3 ? names[t] : "(unknown)";
}

const char* Bool(uint32_t v) { return v ? "true" : "false"; }

// Replaces dst's buffer by a block like src's when it is smaller, then copies the bytes.
bool CopyOwned(void** dst, const void* src) {
  if (!src) return true;
  uint32_t need = NALSE_GetMemoryBlockSize(src);
  if (!*dst || NALSE_GetMemoryBlockSize(*dst) < need) {
    void* fresh = NALSE_CloneMemoryBlock(src);
    if (!fresh) return false;
    NALSE_Free(*dst);
    *dst = fresh;
    return true;
  }
  std::memcpy(*dst, src, need);
  return true;
}

}  // namespace

extern "C" {

uint32_t NALSE_GetMemoryBlockSpace(const void* payload) { return payload ? HeaderOf(payload)->space : 0; }
uint32_t NALSE_GetMemoryBlockType(const void* payload) { return payload ? HeaderOf(payload)->kind : 0; }
uint32_t NALSE_GetMemoryBlockSize(const void* payload) {
  if (!payload) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(payload);
  const Header* h = HeaderOf(payload);
  // An aligned payload starts inside its block: its usable size is what follows it.
  uint32_t skip = static_cast<uint32_t>(p - (reinterpret_cast<const uint8_t*>(h) + sizeof(Header)));
  return h->size - skip;
}

void* NALSE_CloneMemoryBlock(const void* payload) {
  if (!payload) return nullptr;
  const Header* h = HeaderOf(payload);
  const uint8_t* p = static_cast<const uint8_t*>(payload);
  if (p[-1] == 255) {
    void* c = NALSE_Alloc(h->space, h->kind, h->size);
    if (c) std::memcpy(c, payload, h->size);
    return c;
  }
  uint32_t size = NALSE_GetMemoryBlockSize(payload);
  void* c = AllocAligned(size);
  if (c) std::memcpy(c, payload, size);
  return c;
}

void NALSE_PrintMemoryBlock(const void* payload) {
  if (!payload) return;
  const Header* h = HeaderOf(payload);
  std::printf("<MemoryBlock:%p, space=%s, type=%s, size=%zu>\n", payload, SpaceName(h->space), KindName(h->kind),
              static_cast<size_t>(h->size));
}

int32_t NALSE_CopyBLOCK_PARAM(BLOCK_PARAM* dst, const BLOCK_PARAM* src) {
  if (!dst || !src) return NALS_ERR_ARGUMENT;
  void* d = dst->d;
  void* asi = dst->asi;
  void* st = dst->mcc_stages;
  if (!CopyOwned(&d, src->d) || !CopyOwned(&asi, src->asi) || !CopyOwned(&st, src->mcc_stages)) {
    dst->d = static_cast<int32_t*>(d);
    dst->asi = static_cast<int8_t*>(asi);
    dst->mcc_stages = static_cast<MCC_STAGE*>(st);
    return NALS_ERR_MEMORY;
  }
  *dst = *src;
  dst->d = static_cast<int32_t*>(d);
  dst->asi = static_cast<int8_t*>(asi);
  dst->mcc_stages = static_cast<MCC_STAGE*>(st);
  return 0;
}

void NALSE_FreeBLOCK_PARAM(BLOCK_PARAM* array, uint32_t count) {
  if (!array) return;
  for (uint32_t i = 0; i < count; ++i) {
    NALSE_Free(array[i].d);
    NALSE_Free(array[i].asi);
    NALSE_Free(array[i].mcc_stages);
  }
  NALSE_Free(array);
}

BLOCK_PARAM* NALSE_CloneBLOCK_PARAM(const BLOCK_PARAM* array, uint32_t count) {
  if (!array) return nullptr;
  auto* out = static_cast<BLOCK_PARAM*>(NALSE_CloneMemoryBlock(array));
  if (!out) return nullptr;
  for (uint32_t i = 0; i < count; ++i) out[i].d = nullptr, out[i].asi = nullptr, out[i].mcc_stages = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    out[i].d = static_cast<int32_t*>(NALSE_CloneMemoryBlock(array[i].d));
    out[i].asi = static_cast<int8_t*>(NALSE_CloneMemoryBlock(array[i].asi));
    out[i].mcc_stages = static_cast<MCC_STAGE*>(NALSE_CloneMemoryBlock(array[i].mcc_stages));
    if ((array[i].d && !out[i].d) || (array[i].asi && !out[i].asi) || (array[i].mcc_stages && !out[i].mcc_stages)) {
      NALSE_FreeBLOCK_PARAM(out, count);
      return nullptr;
    }
  }
  return out;
}

void NALSE_FreeSAMPLE_BUFFER(SAMPLE_BUFFER* array, uint32_t count) {
  if (!array) return;
  for (uint32_t i = 0; i < count; ++i) NALSE_Free(array[i].buffer);
  NALSE_Free(array);
}

SAMPLE_BUFFER* NALSE_CloneSAMPLE_BUFFER(const SAMPLE_BUFFER* array, uint32_t count) {
  if (!array) return nullptr;
  auto* out = static_cast<SAMPLE_BUFFER*>(NALSE_CloneMemoryBlock(array));
  if (!out) return nullptr;
  for (uint32_t i = 0; i < count; ++i) out[i].buffer = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    out[i].buffer = static_cast<int32_t*>(NALSE_CloneMemoryBlock(array[i].buffer));
    if (array[i].buffer && !out[i].buffer) {
      NALSE_FreeSAMPLE_BUFFER(out, count);
      return nullptr;
    }
    out[i].start = out[i].buffer + (array[i].start - array[i].buffer);
  }
  return out;
}

void NALSE_PrintBLOCK_PARAM(const BLOCK_PARAM* array, uint32_t count) {
  for (uint32_t i = 0; array && i < count; ++i) {
    const BLOCK_PARAM& b = array[i];
    std::printf("BLOCK_PARAM[%u/%u] = %p {\n", i + 1, count, static_cast<const void*>(&b));
    std::printf("  type = %s\n  joint_stereo = %s\n  lsb_shift = %u\n  order = %u\n  length = %u\n  ra = %s\n",
                TypeName(b.type), Bool(b.joint_stereo), b.lsb_shift, b.order, b.length, Bool(b.ra));
    std::printf("  d = %p\n  asi = %p\n  mcc = %d\n  mcc_root = %u\n  mcc_stages = %p\n", static_cast<void*>(b.d),
                static_cast<void*>(b.asi), b.mcc, b.mcc_root, static_cast<void*>(b.mcc_stages));
    std::printf("  power = %f\n  estimate_power = %" PRId64 "\n  coded_bit_size = %u\n  ltp = %s\n", b.power,
                b.estimate_power, b.coded_bit_size, Bool(b.ltp));
    std::printf("  ltp_gain = %d, %d, %d, %d, %d\n  ltp_lag = %u\n  level = %u\n}\n", b.ltp_gain[0], b.ltp_gain[1],
                b.ltp_gain[2], b.ltp_gain[3], b.ltp_gain[4], b.ltp_lag, b.level);
  }
}

void NALSE_PrintSAMPLE_BUFFER(const SAMPLE_BUFFER* array, uint32_t count) {
  for (uint32_t i = 0; array && i < count; ++i)
    std::printf("SAMPLE_BUFFER[%u/%u] = %p {\n  buffer = %p\n  start = %p\n  samples = %u\n}\n", i + 1, count,
                static_cast<const void*>(&array[i]), static_cast<void*>(array[i].buffer),
                static_cast<void*>(array[i].start), array[i].samples);
}

void NALSE_PrintNALSE_IMPL(const NALSE_IMPL* e) {
  if (!e) return;
  const NALS_ASC& a = e->asc;
  std::printf("NALSE_IMPL = %p {\n", static_cast<const void*>(e));
  std::printf("  asc.frequency = %u\n  asc.samples = %u\n  asc.crc = %u\n  asc.channels = %u\n", a.frequency, a.samples,
              a.crc, a.channels);
  std::printf("  asc.frame_length = %u\n  asc.max_order = %u\n  asc.random_access = %u\n  asc.resolution = %u\n",
              a.frame_length, a.max_order, a.random_access, a.resolution);
  std::printf("  asc.block_switching = %u\n  asc.ra_location = %u\n  asc.coeff_table = %u\n", a.block_switching,
              a.ra_location, a.coeff_table);
  std::printf("  asc.adaptive = %s\n  asc.ltp = %s\n  asc.joint_stereo = %s\n  asc.mcc = %s\n  asc.crc_enabled = %s\n",
              Bool(a.adaptive), Bool(a.ltp), Bool(a.joint_stereo), Bool(a.mcc), Bool(a.crc_enabled));
  std::printf("  int_resolution = %u\n  samples = %" PRIu64 "\n  samples_known = %s\n  als_frame = %" PRIu64 "\n",
              e->int_resolution, e->samples, Bool(e->samples_known), e->als_frame);
  std::printf("  frame_buffer_size = %u\n  rau_size = %" PRIu64 "\n  mcc = %u\n  lsb_check = %s\n",
              e->frame_buffer_size, e->rau_size, e->mcc, Bool(e->lsb_check));
  std::printf("  lsb_forth_shift = %u\n  lsb_roundup = %s\n  mcc_stages = %u\n  mcc_mode = %u\n", e->lsb_forth_shift,
              Bool(e->lsb_roundup), e->mcc_stages, e->mcc_mode);
  std::printf("  bs_info_bytes = %u\n  ch_bits = %u\n  mcc_lag_bits = %u\n  ltp_lag_bits = %u\n  lpc = (omit)\n",
              e->bs_info_bytes, e->ch_bits, e->mcc_lag_bits, e->ltp_lag_bits);
  std::printf("  open = %s\n  bs_thread_num = %u\n  bs_threads = (omit)\n}\n", Bool(e->open), e->bs_thread_num);
}

}  // extern "C"

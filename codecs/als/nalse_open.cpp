// Encoder set-up: instance life cycle, parameter record and defaults, derived values, buffers.
#include <cstdarg>
#include <initializer_list>
#include <cstring>

#include "nals_tables.h"
#include "nals_thread.h"
#include "nalse_impl.h"

namespace {

NALS_AllocFunction gpNALSE_AllocFunction = nullptr;
NALS_FreeFunction gpNALSE_FreeFunction = nullptr;

constexpr uint8_t kPlainMarker = 255;

struct BlockHeader {
  uint32_t space;
  uint32_t kind;
  uint32_t size;
  uint8_t reserved[3];
  uint8_t marker;
};
static_assert(sizeof(BlockHeader) == 16);

int32_t null_info_callback(NALSE_IMPL*, int32_t, void*, void*, void*) { return 0; }

}  // namespace

uint8_t* NALSE_BlockStart(void* payload);
uint8_t* NALSE_BlockStart(void* payload) {
  uint8_t* p = static_cast<uint8_t*>(payload);
  uint8_t tag = p[-1];
  if (tag == kPlainMarker) return p - sizeof(BlockHeader);
  return p - tag - sizeof(BlockHeader);
}

extern "C" {

void* NALSE_Alloc(uint32_t space, uint32_t kind, uint32_t size) {
  if (!gpNALSE_AllocFunction || size > 0xFFFFFFFFu - sizeof(BlockHeader)) return nullptr;
  auto* raw = static_cast<uint8_t*>(gpNALSE_AllocFunction(space, kind, size + sizeof(BlockHeader)));
  if (!raw) return nullptr;
  BlockHeader h{space, kind, size, {0, 0, 0}, kPlainMarker};
  std::memcpy(raw, &h, sizeof h);
  return raw + sizeof h;
}

void NALSE_Free(void* payload) {
  if (!payload || !gpNALSE_FreeFunction) return;
  gpNALSE_FreeFunction(NALSE_BlockStart(payload));
}

}  // extern "C"

namespace nals {

void* AllocAligned(uint32_t size) {
  if (size >= 0xFFFFFFF0u - sizeof(BlockHeader)) return nullptr;
  auto* p = static_cast<uint8_t*>(NALSE_Alloc(NALS_SPACE_L2, NALS_KIND_PERSISTENT, size + 16));
  if (!p) return nullptr;
  uintptr_t addr = reinterpret_cast<uintptr_t>(p);
  uint32_t adv = static_cast<uint32_t>(16 - (addr & 15));  // 1..16
  std::memset(p, 0, size + 16);
  p[adv - 1] = static_cast<uint8_t>(adv);
  return p + adv;
}

void* AllocZero(uint64_t size) {
  if (size == 0) size = 1;
  if (size > 0x7FFFFFFFu) return nullptr;
  void* p = AllocAligned(static_cast<uint32_t>(size));
  return p;
}

}  // namespace nals

using namespace nals;

namespace {

// Reads a 32-bit field from the record when it reaches it, else from the callback.
struct ParamReader {
  NALSE_IMPL* enc;
  const uint8_t* rec;
  uint32_t size;
  bool Get(uint32_t offset, int32_t code, uint32_t* out) const {
    if (rec && size >= offset + 4) {
      std::memcpy(out, rec + offset, 4);
      return true;
    }
    if (code < 0) return false;
    uint32_t v = 0;
    if (enc->info_callback(enc, code, &v, nullptr, nullptr)) {
      *out = v;
      return true;
    }
    return false;
  }
  bool Ask(int32_t code, uint32_t* out) const {
    uint32_t v = 0;
    if (enc->info_callback(enc, code, &v, nullptr, nullptr)) {
      *out = v;
      return true;
    }
    return false;
  }
};

void FreeRecords(BLOCK_PARAM* bp, uint32_t count) {
  if (!bp) return;
  for (uint32_t i = 0; i < count; ++i) {
    NALSE_Free(bp[i].d);
    NALSE_Free(bp[i].asi);
    NALSE_Free(bp[i].mcc_stages);
  }
  NALSE_Free(bp);
}

BLOCK_PARAM* AllocRecords(uint32_t count, uint32_t length, uint32_t max_order) {
  auto* bp = static_cast<BLOCK_PARAM*>(AllocZero(uint64_t{count} * sizeof(BLOCK_PARAM)));
  if (!bp) return nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    bp[i].d = static_cast<int32_t*>(AllocZero((uint64_t{length} + 3) * 4));
    bp[i].asi = static_cast<int8_t*>(AllocZero(max_order + 1));
    bp[i].mcc_stages = static_cast<MCC_STAGE*>(AllocZero(kMaxMccStages * sizeof(MCC_STAGE)));
    if (!bp[i].d || !bp[i].asi || !bp[i].mcc_stages) {
      FreeRecords(bp, i + 1);
      return nullptr;
    }
  }
  return bp;
}

// The scratch a coding job needs of its own.
void FreeScratch(NALSE_IMPL* w) {
  FreeRecords(w->ps, w->asc.channels);
  FreeRecords(w->pj, w->asc.channels > 3 ? w->asc.channels : 3);
  FreeRecords(w->pltp, 1);
  void* blocks[] = {w->hist_save, w->diff, w->cof, w->lpc.r, w->lpc.a, w->lpc.acf.work,
                    w->ltp_acf.work, w->ltp_rxx, w->fb_temp};
  for (void* b : blocks) NALSE_Free(b);
  w->ps = w->pj = w->pltp = nullptr;
  w->hist_save = w->diff = w->cof = nullptr;
  w->lpc.r = w->ltp_rxx = nullptr;
  w->lpc.a = nullptr;
  w->lpc.acf.work = w->ltp_acf.work = nullptr;
  w->fb_temp = nullptr;
}

bool AllocScratch(NALSE_IMPL* w) {
  const uint32_t c = w->asc.channels, n = w->asc.frame_length, p = w->asc.max_order;
  w->hist_save = static_cast<int32_t*>(AllocZero(uint64_t{p} * 4));
  w->diff = static_cast<int32_t*>(AllocZero((uint64_t{p} + n) * 4));
  w->ps = AllocRecords(c, n, p);
  w->pj = AllocRecords(c > 3 ? c : 3, n, p);
  w->pltp = AllocRecords(1, n, p);
  w->fb_temp = static_cast<uint8_t*>(AllocZero(w->frame_buffer_size));
  w->cof = static_cast<int32_t*>(AllocZero((uint64_t{p} + 1) * 4));
  w->lpc.r = static_cast<int64_t*>(AllocZero((uint64_t{p} + 1) * 8));
  w->lpc.a = static_cast<double*>(AllocZero((uint64_t{p} + 1) * 16));
  w->lpc.acf.work = static_cast<int32_t*>(AllocZero((uint64_t{n} + 1) * 4));
  w->ltp_acf.work = static_cast<int32_t*>(AllocZero((uint64_t{n} / 4 + 2) * 4));
  w->ltp_rxx = static_cast<int64_t*>(AllocZero((uint64_t{n} / 4 + 2) * 8));
  return w->hist_save && w->diff && w->ps && w->pj && w->pltp && w->fb_temp && w->cof && w->lpc.r && w->lpc.a &&
         w->lpc.acf.work && w->ltp_acf.work && w->ltp_rxx;
}

void FreeContexts(NALSE_IMPL* enc) {
  for (uint32_t i = 0; i < enc->ctx_count; ++i) {
    if (!enc->ctx[i]) continue;
    FreeScratch(enc->ctx[i]);
    NALSE_Free(enc->ctx[i]);
  }
  NALSE_Free(enc->ctx);
  NALSE_Free(enc->ctx_busy);
  NALS_DestroyMutex(enc->ctx_mutex);
  enc->ctx = nullptr;
  enc->ctx_busy = nullptr;
  enc->ctx_count = 0;
  enc->ctx_mutex = nullptr;
}

int32_t AllocContexts(NALSE_IMPL* enc, uint32_t count) {
  enc->ctx_mutex = NALS_CreateMutex();
  if (!enc->ctx_mutex) return NALS_ERR_MUTEX;
  enc->ctx = static_cast<NALSE_IMPL**>(AllocZero(uint64_t{count} * sizeof(NALSE_IMPL*)));
  enc->ctx_busy = static_cast<uint8_t*>(AllocZero(count));
  if (!enc->ctx || !enc->ctx_busy) return NALS_ERR_MEMORY;
  enc->ctx_count = count;
  for (uint32_t i = 0; i < count; ++i) {
    auto* w = static_cast<NALSE_IMPL*>(NALSE_Alloc(NALS_SPACE_L2, NALS_KIND_PERSISTENT, sizeof(NALSE_IMPL)));
    if (!w) return NALS_ERR_MEMORY;
    std::memcpy(static_cast<void*>(w), enc, sizeof *w);
    w->ps = w->pj = w->pltp = nullptr;
    w->hist_save = w->diff = w->cof = nullptr;
    w->lpc.r = w->ltp_rxx = nullptr;
    w->lpc.a = nullptr;
    w->lpc.acf.work = w->ltp_acf.work = nullptr;
    w->fb_temp = nullptr;
    w->bs_threads = nullptr;
    w->ctx = nullptr;
    w->ctx_count = 0;
    enc->ctx[i] = w;
    if (!AllocScratch(w)) return NALS_ERR_MEMORY;
  }
  return 0;
}

void FreeBuffers(NALSE_IMPL* enc) {
  FreeContexts(enc);
  NALSE_Free(enc->job_results);
  NALSE_Free(enc->chan_index);
  enc->job_results = nullptr;
  enc->chan_index = nullptr;
  if (enc->x) {
    for (uint32_t c = 0; c < enc->asc.channels; ++c) NALSE_Free(enc->x[c].buffer);
    NALSE_Free(enc->x);
  }
  FreeScratch(enc);
  void* blocks[] = {enc->x_overlaps, enc->fb, enc->sizes, enc->fb_js, enc->staging, enc->rau_sizes,
                    enc->lpc.acf.taper, enc->asc.channel_positions};
  for (void* b : blocks) NALSE_Free(b);
  enc->x = nullptr;
  enc->x_overlaps = nullptr;
  enc->fb = enc->fb_js = enc->staging = nullptr;
  enc->sizes = enc->rau_sizes = nullptr;
  enc->lpc.acf.taper = nullptr;
  enc->asc.channel_positions = nullptr;
}

int32_t Fail(NALSE_IMPL* enc, int32_t code) {
  NALSE_Close(enc);
  return code;
}

uint32_t DefaultFrameLength(uint32_t freq, uint32_t bs) {
  static const uint32_t table[5][3] = {{3072, 4096, 6144}, {4096, 10240, 15360}, {6144, 15360, 20480},
                                       {8192, 15360, 20480}, {10240, 20480, 30720}};
  uint32_t v;
  if (bs == 0) v = freq <= 32000 ? 1024 : freq <= 48000 ? 2048 : freq <= 96000 ? 4096 : 8192;
  else v = table[bs - 1][freq <= 48000 ? 0 : freq <= 96000 ? 1 : 2];
  return v > 4096 ? 4096 : v;
}

int32_t ReadChannelSorting(NALSE_IMPL* enc) {
  NALS_STREAM* src = nullptr;
  uint64_t offset = 0, size = 0;
  if (!enc->info_callback(enc, NALS_INFO_CH_SORTING, &src, &offset, &size) || !src) return 0;
  const uint32_t c = enc->asc.channels;
  if (size != 2ull * c) return NALS_ERR_CH_POSITIONS;
  auto* pos = static_cast<uint16_t*>(AllocZero(2ull * c));
  if (!pos) return NALS_ERR_MEMORY;
  enc->asc.channel_positions = pos;
  uint64_t saved;
  if (!NALS_Stream_Tell(src, &saved) || offset > INT64_MAX || !NALS_Stream_Seek(src, static_cast<int64_t>(offset), 0))
    return NALS_ERR_CH_POSITIONS;
  uint64_t got = NALS_Stream_Read(pos, 2ull * c, src);
  NALS_Stream_Seek(src, static_cast<int64_t>(saved), 0);
  if (got != 2ull * c) return NALS_ERR_CH_POSITIONS;
  bool identity = true;
  for (uint32_t i = 0; i < c; ++i) {
    if (pos[i] >= c) return NALS_ERR_CH_POSITIONS;
    for (uint32_t j = 0; j < i; ++j)
      if (pos[j] == pos[i]) return NALS_ERR_CH_POSITIONS;
    if (pos[i] != i) identity = false;
  }
  enc->asc.ch_sorting = identity ? 0 : 1;
  return 0;
}

int32_t AllocateAll(NALSE_IMPL* enc) {
  const uint32_t c = enc->asc.channels, n = enc->asc.frame_length, p = enc->asc.max_order;
  const uint32_t levels = enc->asc.block_switching + 1;
  uint64_t fbs = ((uint64_t{n >> enc->asc.block_switching} * (enc->int_resolution / 8 + 1) + p * 4ull + 136)
                  << enc->asc.block_switching);
  if (fbs > 0x7FFFFFFF) return NALS_ERR_MEMORY;
  // The whole set is sized first, in 64 bits: a configuration this unit cannot hold is refused
  // before anything is allocated.
  const uint64_t records = (uint64_t{c} * 2 + 4) * (uint64_t{n} * 4 + p + 16 + kMaxMccStages * sizeof(MCC_STAGE));
  const uint64_t total = uint64_t{c} * ((uint64_t{p} + n) * 4 + p * 4ull) + 2ull * levels * c * fbs + records +
                         (enc->mcc && enc->asc.joint_stereo ? uint64_t{c} * fbs : 0) +
                         uint64_t{enc->bs_thread_num} * records;
  if (total > 0x7FFFFFFFu) return NALS_ERR_MEMORY;
  enc->frame_buffer_size = static_cast<uint32_t>(fbs);
  enc->x = static_cast<SAMPLE_BUFFER*>(AllocZero(uint64_t{c} * sizeof(SAMPLE_BUFFER)));
  if (!enc->x) return NALS_ERR_MEMORY;
  for (uint32_t i = 0; i < c; ++i) {
    enc->x[i].buffer = static_cast<int32_t*>(AllocZero((uint64_t{p} + n) * 4));
    if (!enc->x[i].buffer) return NALS_ERR_MEMORY;
    enc->x[i].start = enc->x[i].buffer + p;
    enc->x[i].samples = n;
  }
  enc->x_overlaps = static_cast<int32_t*>(AllocZero(uint64_t{c} * p * 4));
  enc->fb = static_cast<uint8_t*>(AllocZero(2ull * levels * c * fbs));
  enc->sizes = static_cast<uint32_t*>(AllocZero(2ull * levels * 32 * c * 4));
  enc->job_results = static_cast<int32_t*>(AllocZero(64ull * c * 4));
  enc->chan_index = static_cast<uint32_t*>(AllocZero(uint64_t{c} * 4));
  if (!enc->job_results || !enc->chan_index) return NALS_ERR_MEMORY;
  for (uint32_t i = 0; i < c; ++i) enc->chan_index[i] = i;
  if (enc->mcc && enc->asc.joint_stereo) {
    uint64_t js = uint64_t{c} * fbs + 4ull * c + 16;
    if (js > 0x7FFFFFFF) return NALS_ERR_MEMORY;
    enc->fb_js_size = static_cast<uint32_t>(js);
    enc->fb_js = static_cast<uint8_t*>(AllocZero(js));
    if (!enc->fb_js) return NALS_ERR_MEMORY;
  }
  uint64_t frame_bytes = uint64_t{c} * (enc->asc.resolution / 8);
  uint64_t staging = frame_bytes * n < 65536 ? frame_bytes * n : 65536;
  if (staging < frame_bytes) staging = frame_bytes;
  enc->staging_size = static_cast<uint32_t>(staging);
  enc->staging = static_cast<uint8_t*>(AllocZero(staging));
  enc->lpc.acf.max_length = n;
  enc->lpc.acf.resolution = enc->int_resolution;
  if (n >= 10) {
    enc->lpc.acf.taper = static_cast<int32_t*>(AllocZero(uint64_t{n / 10} * 4));
    if (!enc->lpc.acf.taper) return NALS_ERR_MEMORY;
    const int32_t* lut = cosrect_LUT();
    for (uint32_t i = 0; i < n / 10; ++i) enc->lpc.acf.taper[i] = lut[(uint64_t{i} * 1024) / (n / 10)];
  }
  enc->lpc.adaptive = enc->asc.adaptive;
  enc->lpc.coeff_table = enc->asc.coeff_table;
  enc->ltp_acf.max_length = n;
  enc->ltp_acf.resolution = enc->int_resolution;
  if (!AllocScratch(enc) || !enc->x_overlaps || !enc->fb || !enc->sizes || !enc->staging) return NALS_ERR_MEMORY;
  return 0;
}

}  // namespace

extern "C" {

int32_t NALSE_Init(NALSE_IMPL** out, NALS_AllocFunction alloc_fn, NALS_FreeFunction free_fn) {
  if (!out || !alloc_fn || !free_fn) return NALS_ERR_ARGUMENT;
  if (*out) return NALS_ERR_ALREADY_INIT;
  gpNALSE_AllocFunction = alloc_fn;
  gpNALSE_FreeFunction = free_fn;
  auto* enc = static_cast<NALSE_IMPL*>(NALSE_Alloc(NALS_SPACE_L2, NALS_KIND_PERSISTENT, sizeof(NALSE_IMPL)));
  if (!enc) return NALS_ERR_MEMORY;
  std::memset(static_cast<void*>(enc), 0, sizeof *enc);
  enc->alloc_function = NALSE_Alloc;
  enc->free_function = NALSE_Free;
  enc->info_callback = null_info_callback;
  enc->conformant_profiles = NALS_Profile_All;
  enc->enforced_profiles = NALS_Profile_Empty;
  enc->cpu.l1d_size = 16384;
  enc->cpu.l2d_size = 262144;
  *out = enc;
  return 0;
}

void NALSE_SetInfoCallback(NALSE_IMPL* enc, NALSE_InfoCallback cb) {
  if (enc) enc->info_callback = cb ? cb : null_info_callback;
}
NALSE_InfoCallback NALSE_GetInfoCallback(NALSE_IMPL* enc) {
  return enc && enc->info_callback != null_info_callback ? enc->info_callback : nullptr;
}
void NALSE_SetEncodeCallback(NALSE_IMPL* enc, NALSE_EncodeCallback cb) {
  if (enc) enc->encode_callback = cb;
}
void NALSE_SetUserPtr(NALSE_IMPL* enc, void* user) {
  if (enc) enc->userptr = user;
}
void* NALSE_GetUserPtr(NALSE_IMPL* enc) { return enc ? enc->userptr : nullptr; }

int32_t NALSE_Open(NALSE_IMPL* enc, const void* params, uint32_t params_size) {
  if (!enc) return NALS_ERR_ARGUMENT;
  if (enc->open) return NALS_ERR_ALREADY_OPEN;
  enc->open = 1;
  enc->conformant_profiles = NALS_Profile_All;
  NALS_ASC& asc = enc->asc;
  asc = NALS_ASC{};
  enc->samples = 0;
  enc->samples_known = 0;
  enc->als_frame = 0;
  enc->rau_size = 0;
  enc->lsb_forth_shift = 0;
  ParamReader rd{enc, static_cast<const uint8_t*>(params), params ? params_size : 0};
  uint32_t v = 0;
  if (!rd.Get(0, NALS_INFO_FREQUENCY, &v)) return Fail(enc, NALS_ERR_FREQUENCY);
  asc.frequency = v;
  if (!rd.Get(4, NALS_INFO_CHANNELS, &v) || v == 0 || v > 65536) return Fail(enc, NALS_ERR_CHANNELS);
  asc.channels = v;
  v = 0;
  rd.Get(16, NALS_INFO_FLOATING, &v);
  if (v) return Fail(enc, NALS_ERR_UNSUPPORTED);
  enc->lsb_check = 1;
  if (rd.Get(88, NALS_INFO_LSB_CHECK, &v)) enc->lsb_check = v ? 1 : 0;
  if (!rd.Get(12, NALS_INFO_RESOLUTION, &v) || v == 0 || v > 32) return Fail(enc, NALS_ERR_RESOLUTION);
  asc.resolution = (v + 7) / 8 * 8;
  bool forced_lsb = asc.resolution != v;
  enc->int_resolution = asc.resolution;
  v = 0;
  bool have_msb = rd.Get(20, NALS_INFO_MSB_FIRST, &v);
  if (asc.resolution == 8 && !have_msb) return Fail(enc, NALS_ERR_MSB_FIRST);
  asc.msb_first = v ? 1 : 0;
  uint32_t known = 0;
  rd.Get(24, -1, &known);
  uint64_t samples = 0;
  bool have_samples = false;
  if (known && rd.rec && rd.size >= 40) {
    std::memcpy(&samples, rd.rec + 32, 8);
    have_samples = true;
  } else {
    uint64_t s64 = 0;
    if (enc->info_callback(enc, NALS_INFO_SAMPLES, &s64, nullptr, nullptr)) {
      samples = s64;
      have_samples = true;
    }
  }
  if (have_samples && (samples >> 32) == 0 && static_cast<uint32_t>(samples) != 0xFFFFFFFFu) {
    enc->samples = samples;
    enc->samples_known = 1;
    asc.samples = static_cast<uint32_t>(samples);
  } else {
    asc.samples = 0xFFFFFFFFu;
  }
  v = 0;
  rd.Get(8, NALS_INFO_FILE_TYPE, &v);
  if (v > 7) return Fail(enc, NALS_ERR_FILE_TYPE);
  asc.file_type = v;
  v = 0;
  rd.Get(76, NALS_INFO_BLOCK_SWITCHING, &v);
  asc.block_switching = v > 5 ? 5 : v;
  v = 0;
  rd.Get(40, NALS_INFO_FRAME_LENGTH, &v);
  asc.frame_length = v > 65536 ? 65536 : v;
  v = 1;
  rd.Get(44, NALS_INFO_RANDOM_ACCESS, &v);
  asc.random_access = v > 255 ? 255 : v;
  v = 15;
  rd.Get(60, NALS_INFO_MAX_ORDER, &v);
  asc.max_order = v > 1023 ? 1023 : v;
  v = 1;
  if (asc.max_order) rd.Get(64, NALS_INFO_ADAPTIVE, &v);
  asc.adaptive = asc.max_order && v ? 1 : 0;
  v = 0;
  rd.Get(92, NALS_INFO_ENCODER_HINT, &v);
  enc->encoder_hint = v > 2 ? 0 : v;
  enc->mcc = 0;
  if (asc.channels >= 2) {
    v = 0;
    rd.Get(68, NALS_INFO_MCC, &v);
    if (v > asc.channels) v = asc.channels;
    if (v == 1) v = 0;
    enc->mcc = v;
  }
  enc->mcc_stages = 1;
  enc->mcc_mode = 1;
  if (enc->mcc) {
    if (rd.Ask(NALS_INFO_MCC_STAGES, &v)) enc->mcc_stages = v > kMaxMccStages ? kMaxMccStages : v;
    if (rd.Ask(NALS_INFO_MCC_MODE, &v)) {
      enc->mcc_mode = v > 2 ? 2 : v;
      if (enc->mcc_mode == 0 && enc->mcc == 2 && enc->encoder_hint != 2) enc->mcc_mode = 1;
    }
  }
  // A block carries at most channels - 1 stage entries: decoders read no more before the end bit.
  if (enc->mcc && enc->mcc_stages > asc.channels - 1) enc->mcc_stages = asc.channels - 1;
  asc.mcc = enc->mcc ? 1 : 0;
  enc->nominal_cg_size = enc->mcc;
  v = 0;
  if (asc.channels >= 2) rd.Get(72, NALS_INFO_JOINT_STEREO, &v);
  asc.joint_stereo = v ? 1 : 0;
  enc->js_coding = asc.joint_stereo;
  v = 0;
  rd.Get(80, NALS_INFO_LTP, &v);
  asc.ltp = v ? 1 : 0;
  v = 0;
  rd.Get(84, NALS_INFO_BGMC, &v);
  if (v) return Fail(enc, NALS_ERR_UNSUPPORTED);
  v = 0;
  rd.Ask(NALS_INFO_RLSLMS, &v);
  if (v) return Fail(enc, NALS_ERR_UNSUPPORTED);
  v = 0;
  rd.Get(52, NALS_INFO_CRC_ENABLED, &v);
  asc.crc_enabled = v ? 1 : 0;
  if (forced_lsb) enc->lsb_check = 1;
  v = 0;
  rd.Get(96, NALS_INFO_LSB_ROUNDUP, &v);
  enc->lsb_roundup = v ? 1 : 0;
  if (rd.Ask(NALS_INFO_LSB_FORTH_SHIFT, &v)) {
    enc->lsb_forth_shift = v > 16 ? 16 : v;
    if (v) enc->lsb_check = 1;
  }
  v = 0;
  rd.Get(100, NALS_INFO_BS_THREADS, &v);
  enc->bs_thread_num = v > 15 ? 15 : v;
  asc.ra_location = 0;
  if (asc.random_access) {
    v = 1;
    rd.Get(48, NALS_INFO_RA_LOCATION, &v);
    if (v > 2 || (v == 2 && !enc->samples_known)) return Fail(enc, NALS_ERR_RA_LOCATION);
    asc.ra_location = v;
  }
  // Frame length: default by rate and switching depth, a multiple of 2^levels.
  if (asc.frame_length == 0) asc.frame_length = DefaultFrameLength(asc.frequency, asc.block_switching);
  uint32_t unit = 1u << asc.block_switching;
  asc.frame_length = asc.frame_length / unit * unit;
  if (asc.frame_length == 0) asc.frame_length = unit;
  if (asc.adaptive) {
    if (asc.frequency > 96000 && asc.max_order > 127) asc.max_order = 127;
    else if (asc.frequency > 48000 && asc.max_order > 511) asc.max_order = 511;
  } else if (asc.max_order > asc.frame_length) {
    asc.max_order = asc.frame_length;
  }
  if (asc.random_access && asc.ra_location == 2 && enc->samples_known) {
    enc->rau_count = NALS_ASC_GetNumRAUnits(&asc);
    enc->rau_sizes = static_cast<uint32_t*>(AllocZero(uint64_t{enc->rau_count} * 4));
    if (!enc->rau_sizes) return Fail(enc, NALS_ERR_MEMORY);
  }
  int32_t r = ReadChannelSorting(enc);
  if (r) return Fail(enc, r);
  v = 0;
  rd.Get(56, NALS_INFO_CH_CFG_INFO, &v);
  if (v > 0xFFFF || static_cast<uint32_t>(__builtin_popcount(v)) > asc.channels) return Fail(enc, NALS_ERR_CH_CFG);
  asc.ch_cfg_info = v;
  asc.ch_cfg_present = v ? 1 : 0;
  v = 0;
  rd.Ask(NALS_INFO_LPC_OPTION, &v);
  enc->lpc_option = 0;
  v = 0;
  if (rd.Ask(NALS_INFO_ENFORCED_PROFILES, &v) && (v & ~15u)) return Fail(enc, NALS_ERR_PROFILES);
  enc->enforced_profiles = v & 15u;
  if (enc->enforced_profiles) {
    static const struct { uint32_t bit, ch, res; } lim[] = {{1, 2, 16}, {2, 2, 24}, {4, 6, 16}, {8, 6, 24}};
    for (const auto& l : lim)
      if ((enc->enforced_profiles & l.bit) &&
          (asc.channels > l.ch || asc.resolution > l.res || asc.frequency > 48000))
        return Fail(enc, NALS_ERR_PROFILE);
    if (asc.frame_length > 4096) asc.frame_length = 4096;
    if (asc.max_order > 15) asc.max_order = 15;
    if (asc.block_switching > 3) asc.block_switching = 3;
    if (enc->mcc_stages > 1) enc->mcc_stages = 1;
  }
  if (rd.Ask(NALS_INFO_COEFF_TABLE, &v)) {
    if (v > 3) return Fail(enc, NALS_ERR_COEFF_TABLE);
    asc.coeff_table = v;
  } else {
    asc.coeff_table = asc.frequency <= 95999 ? 0 : asc.frequency <= 191999 ? 1 : asc.frequency <= 287999 ? 2 : 3;
  }
  enc->pcv = asc.coeff_table < 3 ? NALS_PARCOR_Vars[asc.coeff_table] : nullptr;
  // Sub-block Rice parameters go with block switching, the configuration chosen for size.
  asc.subblock_part = asc.block_switching ? 1 : 0;
  enc->bs_info_bytes = asc.block_switching ? ((1u << asc.block_switching) + 7) / 8 : 0;
  if (asc.block_switching >= 1 && asc.block_switching <= 3) enc->bs_info_bytes = 1;
  else if (asc.block_switching == 4) enc->bs_info_bytes = 2;
  else if (asc.block_switching == 5) enc->bs_info_bytes = 4;
  // Widespread decoders pair channels 2/3, 4/5, ... whenever block switching is on and the
  // joint-stereo flag is clear; with the flag set, every channel's bs_info marks it independent
  // (top bit) and both readings of the stream agree. The channels are still coded one by one.
  if (!enc->mcc && !asc.joint_stereo && asc.block_switching && asc.channels >= 4) asc.joint_stereo = 1;
  enc->ch_bits = asc.channels > 1 ? CeilLog2(asc.channels) : 1;
  enc->mcc_lag_bits = asc.frequency > 191999 ? 7 : asc.frequency > 95999 ? 6 : 5;
  enc->ltp_lag_bits = asc.frequency > 191999 ? 10 : asc.frequency > 95999 ? 9 : 8;
  enc->prec_corr_shift = enc->int_resolution <= 24 ? 0 : CeilLog2(asc.frame_length);
  NALS_CRC32_Init(&asc.crc);
  r = AllocateAll(enc);
  if (r) return Fail(enc, r);
  NALS_Profile_CheckConformance_ASC(&enc->conformant_profiles, &asc);
  if (enc->mcc) NALS_Profile_CheckConformane_MCCStages(&enc->conformant_profiles, enc->mcc_stages);
  if (enc->bs_thread_num) {
    r = AllocContexts(enc, enc->bs_thread_num + 1);
    if (!r) r = NALSE_BSThreads_Init(&enc->bs_threads, enc->bs_thread_num);
    if (r) return Fail(enc, r);
  }
  return 0;
}

int32_t NALSE_Close(NALSE_IMPL* enc) {
  if (!enc) return NALS_ERR_ARGUMENT;
  if (!enc->open) return 0;
  if (enc->bs_threads) NALSE_BSThreads_Destroy(enc->bs_threads);
  enc->bs_threads = nullptr;
  FreeBuffers(enc);
  enc->open = 0;
  return 0;
}

int32_t NALSE_Destroy(NALSE_IMPL* enc) {
  if (!enc) return NALS_ERR_ARGUMENT;
  NALSE_Close(enc);
  enc->cpu = CPU_INFO{};
  NALSE_Free(enc);
  return 0;
}

int32_t NALSE_GetInfo(NALSE_IMPL* enc, int32_t code, void* out) {
  if (!enc || !out) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  const NALS_ASC& a = enc->asc;
  uint32_t v;
  switch (code) {
    case NALS_INFO_SAMPLES:
      if (!enc->samples_known) return NALS_ERR_NOT_AVAILABLE;
      std::memcpy(out, &enc->samples, 8);
      return 0;
    case NALS_INFO_POSITION:
      std::memcpy(out, &enc->als_frame, 8);
      return 0;
    case NALS_INFO_CRC:
    case NALS_INFO_CRC_STORED:
      if (!a.crc_enabled) return NALS_ERR_NOT_AVAILABLE;
      v = NALS_CRC32_Get(&a.crc);
      break;
    case NALS_INFO_FREQUENCY: v = a.frequency; break;
    case NALS_INFO_CHANNELS: v = a.channels; break;
    case NALS_INFO_FILE_TYPE: v = a.file_type; break;
    case NALS_INFO_RESOLUTION: v = a.resolution; break;
    case NALS_INFO_FLOATING: v = a.floating; break;
    case NALS_INFO_MSB_FIRST: v = a.msb_first; break;
    case NALS_INFO_FRAME_LENGTH: v = a.frame_length; break;
    case NALS_INFO_RANDOM_ACCESS: v = a.random_access; break;
    case NALS_INFO_RA_LOCATION: v = a.ra_location; break;
    case NALS_INFO_CRC_ENABLED: v = a.crc_enabled; break;
    case NALS_INFO_CONFORMANT_PROFILES: v = enc->conformant_profiles; break;
    case NALS_INFO_ENFORCED_PROFILES: v = enc->enforced_profiles; break;
    case NALS_INFO_MAX_ORDER: v = a.max_order; break;
    case NALS_INFO_ADAPTIVE: v = a.adaptive; break;
    case NALS_INFO_MCC: v = enc->mcc; break;
    case NALS_INFO_JOINT_STEREO: v = a.joint_stereo; break;
    case NALS_INFO_BLOCK_SWITCHING: v = a.block_switching; break;
    case NALS_INFO_LSB_CHECK: v = enc->lsb_check; break;
    case NALS_INFO_LSB_FORTH_SHIFT: v = enc->lsb_forth_shift; break;
    case NALS_INFO_LTP: v = a.ltp; break;
    case NALS_INFO_BGMC: v = a.bgmc; break;
    case NALS_INFO_RLSLMS: v = a.rlslms; break;
    case NALS_INFO_CH_CFG_INFO: v = a.ch_cfg_info; break;
    case NALS_INFO_LPC_OPTION: v = 0; break;
    case NALS_INFO_MCC_STAGES: v = enc->mcc_stages; break;
    case NALS_INFO_MCC_MODE: v = enc->mcc_mode; break;
    case NALS_INFO_ENCODER_HINT: v = enc->encoder_hint; break;
    case NALS_INFO_LSB_ROUNDUP: v = enc->lsb_roundup; break;
    case NALS_INFO_COEFF_TABLE: v = a.coeff_table; break;
    case NALS_INFO_BS_THREADS: v = enc->bs_thread_num; break;
    default: return NALS_ERR_INVALID;
  }
  std::memcpy(out, &v, 4);
  return 0;
}

int32_t NALSE_GetMaximumHeaderSize(NALSE_IMPL* enc, uint32_t* size) {
  if (!enc || !size) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  uint64_t s = 40;
  if (enc->asc.ch_sorting) s += (uint64_t{enc->asc.channels} * enc->ch_bits + 7) / 8;
  if (enc->asc.random_access && enc->asc.ra_location == 2) s += 4ull * NALS_ASC_GetNumRAUnits(&enc->asc);
  for (int32_t code : {NALS_INFO_ORIG_HEADER, NALS_INFO_ORIG_TRAILER, NALS_INFO_AUX_DATA}) {
    NALS_STREAM* st = nullptr;
    uint64_t off = 0, sz = 0;
    if (enc->info_callback(enc, code, &st, &off, &sz) && st && sz != 0xFFFFFFFFu && (sz >> 32) == 0) s += sz;
  }
  if (s > 0xFFFFFFFFu) return NALS_ERR_MEMORY;
  *size = static_cast<uint32_t>(s);
  return 0;
}

int32_t NALSE_GetMaximumFrameSize(NALSE_IMPL* enc, uint32_t* size) {
  if (!enc || !size) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  uint64_t s = uint64_t{enc->asc.channels} *
                   (uint64_t{enc->asc.frame_length} * (enc->int_resolution / 8 + 1) + enc->asc.max_order * 4ull + 136) +
               5;
  if (enc->asc.block_switching) s += uint64_t{enc->asc.channels} * 4;
  if (s > 0xFFFFFFFFu) return NALS_ERR_MEMORY;
  *size = static_cast<uint32_t>(s);
  return 0;
}

uint32_t NALSE_Version(void) { return 0x1000000; }
const char* NALSE_VersionEx(void) { return "1.0.0 (CPU:ARMv6/LE/int) [DESKTOP][BS][CRC][JS][MCC][MCC6][LTP]"; }

int32_t NALSE_SetLsbForthShift(NALSE_IMPL* enc, uint32_t shift) {
  if (!enc) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  enc->lsb_forth_shift = shift > 16 ? 16 : shift;
  if (shift) enc->lsb_check = 1;
  return 0;
}

int32_t NALSE_InitCRC32(NALSE_IMPL* enc) {
  if (!enc) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  NALS_CRC32_Init(&enc->asc.crc);
  return 0;
}

int32_t NALSE_EncodeFrame(NALSE_IMPL* enc, NALS_STREAM* in, NALS_STREAM* out, uint32_t* samples) {
  return EncodeFrameCore(enc, in, out, samples);
}

}  // extern "C"

extern "C" int32_t NALSE_MemoryMoved(NALSE_IMPL* enc, void* old_address, void* new_address) {
  if (!enc || !old_address || !new_address) return 0;
  void** slots[] = {reinterpret_cast<void**>(&enc->x_overlaps), reinterpret_cast<void**>(&enc->hist_save),
                    reinterpret_cast<void**>(&enc->x), reinterpret_cast<void**>(&enc->diff),
                    reinterpret_cast<void**>(&enc->ps), reinterpret_cast<void**>(&enc->pj),
                    reinterpret_cast<void**>(&enc->pltp), reinterpret_cast<void**>(&enc->fb),
                    reinterpret_cast<void**>(&enc->sizes), reinterpret_cast<void**>(&enc->fb_temp),
                    reinterpret_cast<void**>(&enc->fb_js), reinterpret_cast<void**>(&enc->staging),
                    reinterpret_cast<void**>(&enc->rau_sizes), reinterpret_cast<void**>(&enc->cof),
                    reinterpret_cast<void**>(&enc->lpc.r), reinterpret_cast<void**>(&enc->lpc.a),
                    reinterpret_cast<void**>(&enc->lpc.acf.taper), reinterpret_cast<void**>(&enc->lpc.acf.work),
                    reinterpret_cast<void**>(&enc->ltp_acf.work), reinterpret_cast<void**>(&enc->ltp_rxx),
                    reinterpret_cast<void**>(&enc->asc.channel_positions)};
  for (void** slot : slots)
    if (*slot == old_address) {
      *slot = new_address;
      return 1;
    }
  if (enc->x)
    for (uint32_t c = 0; c < enc->asc.channels; ++c)
      if (enc->x[c].buffer == old_address) {
        enc->x[c].buffer = static_cast<int32_t*>(new_address);
        enc->x[c].start = enc->x[c].buffer + enc->asc.max_order;
        return 1;
      }
  return 0;
}

// Encoder instance and the internal stages of the ALS encoder.
#pragma once

#include <cstdint>

#include "nals.h"
#include "nals_bitio.h"
#include "nals_tables.h"
#include "nalse.h"

namespace nals {

enum BlockType : uint32_t { BLOCK_UNKNOWN = 0, BLOCK_CONST = 1, BLOCK_NORMAL = 2 };

constexpr uint32_t kMaxMccStages = 7;
constexpr uint32_t kMaxBsLevels = 5;

// One MCC stage of a block: nine 32-bit words.
struct MCC_STAGE {
  int32_t taps;    // 3, 6, or 0 for reference only (no prediction in this stage)
  int32_t master;  // reference channel
  int32_t w[6];    // weight indices into gmmtable
  int32_t lag;
};
static_assert(sizeof(MCC_STAGE) == 36);

struct BLOCK_PARAM {
  uint32_t type;
  uint32_t joint_stereo;
  uint32_t lsb_shift;
  uint32_t order;
  uint32_t length;
  uint32_t ra;
  int32_t* d;       // residual, length + 3 entries
  int8_t* asi;      // quantised PARCOR values, max order entries
  int32_t mcc;      // stages in use; -1 outside MCC coding
  uint32_t mcc_root;
  MCC_STAGE* mcc_stages;
  double power;
  int64_t estimate_power;
  uint32_t coded_bit_size;
  uint32_t ltp;
  int32_t ltp_gain[5];
  uint32_t ltp_lag;
  uint32_t level;
};

// Autocorrelation context of the analysis (window taper and work buffer).
struct ACF_CONTEXT {
  uint32_t max_length;
  uint32_t resolution;
  int32_t* taper;    // max_length / 10 entries, Q31
  int32_t* work;     // max_length + 1 samples
};

// LPC analysis context.
struct LPC_CONTEXT {
  uint32_t adaptive;
  uint32_t coeff_table;
  int64_t* r;        // order + 1 autocorrelation values
  double* a;         // recursion work
  uint32_t order;    // result of the last analysis
  uint64_t cost;     // estimated bits at that order (adaptive only)
  ACF_CONTEXT acf;
};

struct CPU_INFO {
  uint32_t features;
  uint32_t vendor;
  uint32_t l1d_size;
  uint32_t l2d_size;
  uint32_t l3d_size;
};

struct SAMPLE_BUFFER {
  int32_t* buffer;   // max order history + frame
  int32_t* start;    // buffer + max order
  uint32_t samples;
};

struct BS_THREADS;

}  // namespace nals

struct NALSE_IMPL {
  NALS_AllocFunction alloc_function;
  NALS_FreeFunction free_function;
  NALSE_InfoCallback info_callback;
  NALSE_EncodeCallback encode_callback;
  void* userptr;
  nals::CPU_INFO cpu;
  NALS_ASC asc;
  uint32_t int_resolution;
  uint64_t samples;
  uint32_t samples_known;
  uint64_t als_frame;
  uint32_t encoder_hint;
  int32_t* x_overlaps;        // channels x max order, carried between frames
  int32_t* hist_save;         // max order scratch for the LSB shift
  nals::SAMPLE_BUFFER* x;     // per channel
  int32_t* diff;              // max order + frame: joint-stereo difference signal
  nals::BLOCK_PARAM* ps;      // per channel: the block being coded
  nals::BLOCK_PARAM* pj;      // per channel: trial records (difference, MCC)
  nals::BLOCK_PARAM* pltp;    // per channel: LTP trial
  uint32_t frame_buffer_size; // bytes of one channel's coding area of a level
  uint8_t* fb;                // coded blocks: [set][level][channel] areas
  uint32_t* sizes;            // coded bytes: [set][level][block][channel]
  uint8_t* fb_temp;           // scratch area of one block (trial codings)
  uint8_t* fb_js;             // serialised joint-stereo trial of a frame (MCC with joint stereo)
  uint32_t fb_js_size;
  uint8_t* staging;           // raw input bytes
  uint32_t staging_size;
  uint64_t rau_size;
  uint32_t* rau_sizes;
  uint32_t rau_count;
  int32_t* cof;               // max order + 1 Q20 coefficients
  uint32_t mcc;
  uint32_t trial;              // codings that only measure a size: no encode callback
  uint32_t js_coding;          // channel pairs may be coded together (the header flag may be set alone)
  uint32_t lsb_check;
  uint32_t lsb_forth_shift;
  uint32_t lsb_roundup;
  uint32_t nominal_cg_size;
  uint32_t mcc_stages;
  uint32_t mcc_mode;
  uint32_t prec_corr_shift;
  uint32_t enforced_profiles;
  uint32_t conformant_profiles;
  const nals::ParcorVar* pcv;
  uint32_t bs_info_bytes;
  uint32_t ch_bits;
  uint32_t mcc_lag_bits;
  uint32_t ltp_lag_bits;
  uint32_t lpc_option;
  nals::LPC_CONTEXT lpc;
  nals::ACF_CONTEXT ltp_acf;
  int64_t* ltp_rxx;
  uint32_t open;
  uint32_t bs_thread_num;
  nals::BS_THREADS* bs_threads;
  // Per-job contexts of the block-switching workers: copies of the instance with their own
  // scratch records, handed out under ctx_mutex.
  NALSE_IMPL** ctx;
  uint8_t* ctx_busy;
  uint32_t ctx_count;
  struct NALS_MUTEX* ctx_mutex;
  int32_t* job_results;
  uint32_t* chan_index;       // 0, 1, ... channels - 1
};

namespace nals {

// Memory helpers of the encoder (host allocation pair, 16-byte aligned payloads).
void* AllocAligned(uint32_t size);
void* AllocZero(uint64_t size);

// Analysis (autocorrelation, LPC).
void ACF_Window(ACF_CONTEXT* ctx, const int32_t* x, uint32_t n);
void ACF_FixedPoint(ACF_CONTEXT* ctx, uint32_t n, uint32_t order, int64_t* r);
void NALSE_ACF_Calculate(ACF_CONTEXT* ctx, const int32_t* x, uint32_t n, uint32_t order, int64_t* r);
double GetPrecisePower(const int32_t* x, uint32_t n, uint32_t shift);
void Cholesky3(const double* a, double* out, double* b);
// LDL' solve of a symmetric n x n system (n at most 6, row-major a), in place; false on a tiny
// pivot. Shared by the multi-channel and long-term predictor fits.
bool SolveLdl(double* a, double* b, double* x, int n);
// Product of two samples shifted down to the precision of a correlation sum.
inline int64_t ShiftedProduct(int32_t a, int32_t b, uint32_t s) { return (static_cast<int64_t>(a) * b) >> s; }
uint32_t NALSE_LPC_Calculate(LPC_CONTEXT* lpc, const int32_t* x, uint32_t n, uint32_t order,
                             int8_t* asi);
void NALSE_PARCOR_Fixed(int8_t* asi, uint32_t valid, uint32_t order);

// Prediction filters.
uint32_t GetResidual_RA(const int32_t* x, uint32_t n, int32_t* c, uint32_t order, int32_t* d);
void GetResidual_Full(const int32_t* x, uint32_t n, const int32_t* c, uint32_t order, int32_t* d);
void GetSignal(int32_t* x, uint32_t n, const int32_t* c, uint32_t order);
void MCC_Synthesize(const int32_t* ref, const int32_t* e, uint32_t n, const MCC_STAGE& st,
                    int32_t* out);

// Block stages.
int32_t EncodeBlockAnalysis(NALSE_IMPL* enc, BLOCK_PARAM* bp, int32_t* x, uint32_t n,
                            uint32_t ra, uint32_t mcc_flag, uint32_t channel);
void CalculateResidual(NALSE_IMPL* enc, BLOCK_PARAM* bp, int32_t* x);
int32_t EncodeBlockCoding(NALSE_IMPL* enc, BLOCK_PARAM* bp, uint8_t* out, uint32_t size,
                          uint32_t channel);
uint32_t GetCodeParameters(const NALSE_IMPL* enc, uint32_t n, const int32_t* d, uint32_t w,
                           uint32_t* params);
uint64_t EstimateCodedSize(const NALSE_IMPL* enc, const BLOCK_PARAM* bp);
void LTP_Analysis(BLOCK_PARAM* bp, NALSE_IMPL* enc);
void MCC_GetGamma_3tap(const int32_t* r, double* power, const int32_t* x, uint32_t n,
                       int32_t* w, uint32_t shift);
void MCC_GetGamma_6tap(const int32_t* r, const int32_t* x, uint32_t n, int32_t* w, int32_t* lag,
                       const NALSE_IMPL* enc);
void CopyBlock(BLOCK_PARAM* dst, const BLOCK_PARAM* src, uint32_t max_order);

// Frame coding.
int32_t EncodeFrameCore(NALSE_IMPL* enc, NALS_STREAM* in, NALS_STREAM* out, uint32_t* samples);

// Worker threads for block switching.
int32_t NALSE_BSThreads_Init(BS_THREADS** pool, uint32_t count);
int32_t NALSE_BSThreads_Destroy(BS_THREADS* pool);
// Runs fn(i) for i in 0..count-1, on the workers when there are any.
void BSThreads_Run(BS_THREADS* pool, uint32_t count, void (*fn)(void* arg, uint32_t i), void* arg);

}  // namespace nals

// ALS against libFLAC: compressed size and encode/decode speed on a corpus made with sox and
// espeak-ng (music-like, speech, noise, tones; 16 and 24 bits).
//
//   bench_als [--corpus DIR] [benchmark options]
//
// The corpus is generated into DIR (default: $TMPDIR/orva_als_corpus) when missing. A table of
// compressed sizes in percent of the PCM size is printed before the timing runs.
#include <benchmark/benchmark.h>

#include <FLAC/stream_decoder.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench_corpus.h"
#include "nalsd.h"
#include "nalse.h"

namespace {

using alsbench::FlacEncode;
using alsbench::LoadCorpus;
using alsbench::Pcm;

// ---- ALS ----

struct AlsSetup {
  const char* name;
  uint32_t frame_length, joint_stereo, mcc, block_switching, ltp, max_order, threads;
  uint32_t random_access = 10;
};

const AlsSetup kAls[] = {
    {"als_lowdelay_256_mcc", 256, 0, 2, 0, 0, 15, 0, 1},
    {"als_2048_js", 2048, 1, 0, 0, 0, 15, 0},
    {"als_2048_mcc", 2048, 0, 2, 0, 0, 15, 0},
    {"als_4096_js_bs3_ltp", 4096, 1, 0, 3, 1, 31, 0},
    {"als_4096_mcc_bs3_ltp", 4096, 0, 2, 3, 1, 31, 0},
    {"als_4096_js_bs5_ltp_o63", 4096, 1, 0, 5, 1, 63, 0},
    {"als_4096_mcc_bs3_ltp_4thr", 4096, 0, 2, 3, 1, 31, 4},
};

void* Alloc(uint32_t, uint32_t, uint32_t size) { return std::malloc(size ? size : 1); }
void Free(void* p) { std::free(p); }

struct AlsStream {
  std::vector<uint8_t> header;
  std::vector<uint8_t> data;
  std::vector<uint32_t> sizes;
};

bool AlsEncode(const Pcm& pcm, const AlsSetup& s, AlsStream* out) {
  NALSE_IMPL* enc = nullptr;
  if (NALSE_Init(&enc, Alloc, Free)) return false;
  NALSE_PARAMS p{};
  p.frequency = pcm.rate;
  p.channels = pcm.channels;
  p.resolution = pcm.bits;
  p.samples_known = 1;
  p.samples = pcm.frames();
  p.frame_length = s.frame_length;
  p.random_access = s.random_access;
  p.max_order = s.max_order;
  p.adaptive = 1;
  p.mcc = s.mcc;
  p.joint_stereo = s.joint_stereo;
  p.block_switching = s.block_switching;
  p.ltp = s.ltp;
  p.bs_thread_num = s.threads;
  p.lsb_check = 1;
  bool ok = NALSE_Open(enc, &p, sizeof p) == 0;
  uint32_t max_frame = 0, max_header = 0;
  ok = ok && NALSE_GetMaximumFrameSize(enc, &max_frame) == 0 && NALSE_GetMaximumHeaderSize(enc, &max_header) == 0;
  out->data.clear();
  out->sizes.clear();
  std::vector<uint8_t> buf(max_frame);
  const uint32_t fb = pcm.channels * (pcm.bits / 8);
  for (uint32_t done = 0; ok && done < pcm.frames();) {
    uint32_t n = std::min(s.frame_length, pcm.frames() - done);
    uint32_t w = 0;
    ok = NALSE_EncodeFrameOnMemory(enc, pcm.bytes.data() + static_cast<size_t>(done) * fb, n, buf.data(), max_frame, &w) == 0;
    out->data.insert(out->data.end(), buf.begin(), buf.begin() + w);
    out->sizes.push_back(w);
    done += n;
  }
  out->header.resize(max_header);
  uint32_t hw = 0;
  ok = ok && NALSE_OutputHeaderToMemory(enc, out->header.data(), max_header, &hw) == 0;
  out->header.resize(hw);
  NALSE_Destroy(enc);
  return ok;
}

bool AlsDecode(const AlsStream& st, std::vector<uint8_t>* pcm) {
  NALSD_IMPL* dec = nullptr;
  if (NALSD_Init(&dec, Alloc, Free)) return false;
  NALSD_STREAM_INFO info{};
  bool ok = NALSD_OpenOnMemory(dec, st.header.data(), static_cast<uint32_t>(st.header.size()), nullptr, &info, sizeof info) == 0;
  std::vector<uint8_t> frame(static_cast<size_t>(info.channels) * info.frame_length * (info.resolution / 8));
  pcm->clear();
  size_t pos = 0;
  for (uint32_t size : st.sizes) {
    if (!ok) break;
    uint32_t samples = 0;
    ok = NALSD_DecodeFrameOnMemoryInterleaved(dec, st.data.data() + pos, size, nullptr, frame.data(), &samples, 0) == 0;
    pcm->insert(pcm->end(), frame.begin(), frame.begin() + static_cast<long>(samples) * info.channels * (info.resolution / 8));
    pos += size;
  }
  NALSD_Destroy(dec);
  return ok;
}

struct FlacReader {
  const std::vector<uint8_t>* data;
  size_t pos;
  size_t samples;
};

FLAC__StreamDecoderReadStatus FlacRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* d) {
  auto* r = static_cast<FlacReader*>(d);
  size_t n = std::min(*bytes, r->data->size() - r->pos);
  std::memcpy(buffer, r->data->data() + r->pos, n);
  r->pos += n;
  *bytes = n;
  return n ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderWriteStatus FlacOut(const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const[],
                                       void* d) {
  static_cast<FlacReader*>(d)->samples += frame->header.blocksize;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

size_t FlacDecode(const std::vector<uint8_t>& data) {
  FlacReader r{&data, 0, 0};
  FLAC__StreamDecoder* d = FLAC__stream_decoder_new();
  FLAC__stream_decoder_init_stream(d, FlacRead, nullptr, nullptr, nullptr, nullptr, FlacOut, nullptr, FlacError, &r);
  FLAC__stream_decoder_process_until_end_of_stream(d);
  FLAC__stream_decoder_delete(d);
  return r.samples;
}

std::vector<Pcm> g_corpus;

void Summary() {
  std::printf("%-26s", "compressed size, % of PCM");
  for (const Pcm& p : g_corpus) std::printf(" %9s", p.name.c_str());
  std::printf(" %9s %11s %11s\n", "total", "enc x rt", "dec x rt");
  auto row = [](const char* name, const std::function<size_t(const Pcm&, double*, double*)>& fn) {
    std::printf("%-26s", name);
    size_t all = 0, pcm_all = 0;
    double enc = 0, dec = 0, seconds = 0;
    for (const Pcm& p : g_corpus) {
      double te = 0, td = 0;
      size_t n = fn(p, &te, &td);
      all += n;
      pcm_all += p.bytes.size();
      enc += te;
      dec += td;
      seconds += static_cast<double>(p.frames()) / p.rate;
      std::printf(" %8.2f%%", 100.0 * n / p.bytes.size());
    }
    std::printf(" %8.2f%% %10.0fx %10.0fx\n", 100.0 * all / pcm_all, seconds / enc, seconds / dec);
  };
  using clk = std::chrono::steady_clock;
  auto secs = [](clk::time_point a, clk::time_point b) { return std::chrono::duration<double>(b - a).count(); };
  for (uint32_t level : {5u, 8u}) {
    std::string name = "flac -" + std::to_string(level);
    row(name.c_str(), [&](const Pcm& p, double* te, double* td) {
      std::vector<uint8_t> out;
      auto a = clk::now();
      FlacEncode(p, level, &out);
      auto b = clk::now();
      FlacDecode(out);
      auto c = clk::now();
      *te = secs(a, b);
      *td = secs(b, c);
      return out.size();
    });
  }
  for (const AlsSetup& s : kAls) {
    row(s.name, [&](const Pcm& p, double* te, double* td) {
      AlsStream st;
      auto a = clk::now();
      bool ok = AlsEncode(p, s, &st);
      auto b = clk::now();
      std::vector<uint8_t> back;
      ok = AlsDecode(st, &back) && ok;
      auto c = clk::now();
      if (!ok || back != p.bytes) std::printf("(MISMATCH %s) ", p.name.c_str());
      *te = secs(a, b);
      *td = secs(b, c);
      return st.data.size() + st.header.size();
    });
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = alsbench::DefaultCorpusDir();
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--corpus" && i + 1 < argc) dir = argv[++i];
    else rest.push_back(argv[i]);
  }
  g_corpus = LoadCorpus(dir);
  if (g_corpus.empty()) return 1;
  Summary();
  for (const Pcm& p : g_corpus) {
    for (uint32_t level : {5u, 8u}) {
      benchmark::RegisterBenchmark(("encode/flac-" + std::to_string(level) + "/" + p.name).c_str(),
                                   [&p, level](benchmark::State& state) {
                                     std::vector<uint8_t> out;
                                     for (auto _ : state) FlacEncode(p, level, &out);
                                     state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.bytes.size()));
                                     state.counters["ratio%"] = 100.0 * out.size() / p.bytes.size();
                                   })->Unit(benchmark::kMillisecond);
    }
    for (const AlsSetup& s : kAls) {
      benchmark::RegisterBenchmark((std::string("encode/") + s.name + "/" + p.name).c_str(),
                                   [&p, &s](benchmark::State& state) {
                                     AlsStream st;
                                     for (auto _ : state) AlsEncode(p, s, &st);
                                     state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.bytes.size()));
                                     state.counters["ratio%"] = 100.0 * (st.data.size() + st.header.size()) / p.bytes.size();
                                   })->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((std::string("decode/") + s.name + "/" + p.name).c_str(),
                                   [&p, &s](benchmark::State& state) {
                                     AlsStream st;
                                     AlsEncode(p, s, &st);
                                     std::vector<uint8_t> back;
                                     for (auto _ : state) AlsDecode(st, &back);
                                     state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.bytes.size()));
                                   })->Unit(benchmark::kMillisecond);
    }
  }
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

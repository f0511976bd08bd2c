// Parse + validate + encode of typical messages: an INVITE with SDP, a 200 response and a
// REGISTER with digest credentials. Reports messages per second and heap allocations per message.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <string>

#include "SLMsg.h"
#include "SLSip.h"
#include "sl_messages.h"

// Heap allocations are counted by wrapping the C allocator of this program.
namespace {
std::atomic<long> g_allocs{0};
}
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void *malloc(size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void *calloc(size_t a, size_t b) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(a, b);
}
extern "C" void *realloc(void *p, size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}

namespace {

// One received message: frame and parse, typed headers, validation, then encode for sending.
void roundTrip(benchmark::State &state, const std::string &text) {
  static bool started = SLSipInitialize() == 0;
  if (!started) {
    state.SkipWithError("SIP layer did not start");
    return;
  }
  std::string out(4096, '\0');
  long before = g_allocs.load();
  for (auto _ : state) {
    SLSipMsg *m = nullptr;
    int n = int(text.size());
    if (SLSipMsgParse(&m, text.data(), &n, SL_SIPMSG_MODE_UDP) != 0 || !m) {
      state.SkipWithError("parse failed");
      break;
    }
    SLSipMsgParseSipHdr(m);
    SLMsgData env{};
    env.type = SLSipMsgStartLineIsRequestLine(SLSipMsgGetStartLine(m)) ? SL_MSGDATA_REQUEST : SL_MSGDATA_RESPONSE;
    env.sipMsg = m;
    int valid = 0;
    SLMsgData *reply = nullptr;
    SLMsgValidate(&env, &valid, &reply, SLMsgSimpleValidate, nullptr, nullptr);
    if (!valid) state.SkipWithError("message not valid");
    SLSipMsgEncodeSipHdr(m);
    size_t size = out.size();
    SLSipMsgEncode(m, out.data(), &size);
    benchmark::DoNotOptimize(out.data());
    SLSipMsgDestroy(m);
  }
  state.counters["msgs/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["allocs/msg"] = double(g_allocs.load() - before) / double(state.iterations() ? state.iterations() : 1);
}

void BM_InviteWithSdp(benchmark::State &state) { roundTrip(state, slsample::kInviteWithSdp); }

void BM_Response200(benchmark::State &state) {
  static std::string text = [] {
    SLSipInitialize();
    return slsample::allEncoded()[3];
  }();
  roundTrip(state, text);
}

void BM_RegisterWithCredentials(benchmark::State &state) {
  static std::string text = [] {
    SLSipInitialize();
    SLSipMsg *m = slsample::buildRegister();
    std::string s = slsample::encode(m);
    SLSipMsgDestroy(m);
    return s;
  }();
  roundTrip(state, text);
}

BENCHMARK(BM_InviteWithSdp);
BENCHMARK(BM_Response200);
BENCHMARK(BM_RegisterWithCredentials);

}  // namespace

BENCHMARK_MAIN();

// Latency from `post` to the start of the command's handler, with four threads posting at once.
#include "app_controller.h"
#include "log.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

std::mutex g_mutex;
std::vector<double> g_latencies_ns;
std::atomic<int> g_handled{0};

void on_probe(app_controller&, const command& c)
{
    clock_type::rep sent = 0;
    std::memcpy(&sent, c.data.data(), sizeof sent);
    const double ns = static_cast<double>(clock_type::now().time_since_epoch().count() - sent);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_latencies_ns.push_back(ns);
    }
    g_handled.fetch_add(1, std::memory_order_release);
}

void BM_CommandPostToHandler(benchmark::State& state)
{
    constexpr int posters = 4;
    const int per_thread = static_cast<int>(state.range(0));
    log_s.set_level(-1);
    app_config config;
    auto previous = app_controller::set_handler(appcmd_local_info, &on_probe);

    for (auto _ : state) {
        g_latencies_ns.clear();
        g_handled = 0;
        app_controller controller(config, true);
        std::thread loop([&] { controller.main_loop(); });
        const auto start = clock_type::now();
        std::vector<std::thread> threads;
        for (int t = 0; t < posters; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < per_thread; ++i) {
                    const clock_type::rep now = clock_type::now().time_since_epoch().count();
                    controller.post(command(appcmd_local_info, &now, sizeof now));
                }
            });
        }
        for (auto& t : threads)
            t.join();
        while (g_handled.load(std::memory_order_acquire) < posters * per_thread)
            std::this_thread::yield();
        const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
        controller.post(command(appcmd_quit));
        loop.join();
        state.SetIterationTime(seconds);

        std::sort(g_latencies_ns.begin(), g_latencies_ns.end());
        const auto at = [](double q) { return g_latencies_ns[static_cast<std::size_t>(q * (g_latencies_ns.size() - 1))]; };
        state.counters["p50_us"] = at(0.50) / 1000.0;
        state.counters["p99_us"] = at(0.99) / 1000.0;
        state.counters["max_us"] = g_latencies_ns.back() / 1000.0;
    }
    state.SetItemsProcessed(state.iterations() * posters * per_thread);
    app_controller::set_handler(appcmd_local_info, previous);
}

BENCHMARK(BM_CommandPostToHandler)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

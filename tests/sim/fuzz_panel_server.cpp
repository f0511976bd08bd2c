// Messages to the simulated panel from its clients (bus transfers and viewer commands).
#include "panel_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_dir;

void write_line(int line, bool high)
{
    FILE* f = std::fopen((g_dir + "/gpio" + std::to_string(line) + "/value").c_str(), "w");
    if (f) {
        std::fputs(high ? "1" : "0", f);
        std::fclose(f);
    }
}

orva::sim::panel_server& server()
{
    static orva::sim::panel_server* s = [] {
        char tmpl[] = "/tmp/orva-fuzz-panel-XXXXXX";
        if (!::mkdtemp(tmpl))
            std::abort();
        g_dir = tmpl;
        ::mkdir((g_dir + "/gpio90").c_str(), 0755);
        ::mkdir((g_dir + "/gpio92").c_str(), 0755);
        return new orva::sim::panel_server(g_dir + "/bus", g_dir);
    }();
    return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& s = server();
    if (size == 0)
        return 0;
    // The first byte picks the select lines: none, display, key/LED board, both.
    write_line(90, data[0] & 1);
    write_line(92, data[0] & 2);
    const std::string answer = s.handle(data + 1, size - 1);
    if (answer.size() > 8192)
        std::abort();
    return 0;
}

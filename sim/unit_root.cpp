#include "unit_root.h"

#include <cstdlib>
#include <mutex>

namespace orva {
namespace {

std::mutex g_mutex;
bool g_loaded = false;
std::string g_root;

const std::string& load_locked()
{
    if (!g_loaded) {
        const char* env = std::getenv("ORVA_ROOT");
        g_root = env ? env : "";
        while (g_root.size() > 1 && g_root.back() == '/')
            g_root.pop_back();
        if (g_root == "/")
            g_root.clear();
        g_loaded = true;
    }
    return g_root;
}

}  // namespace

const std::string& unit_root()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return load_locked();
}

bool simulated_board()
{
    return !unit_root().empty();
}

std::string unit_path(const std::string& path)
{
    const std::string& root = unit_root();
    if (root.empty() || path.empty() || path.front() != '/')
        return path;
    return root + path;
}

void set_unit_root_for_test(const std::string& root)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_root = root;
    g_loaded = true;
}

}  // namespace orva

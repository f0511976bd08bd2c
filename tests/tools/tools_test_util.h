#pragma once
// Scratch directories and program runs for the tools' tests.

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

inline std::string make_scratch_dir()
{
    char pattern[] = "/tmp/orva_tools_XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "";
}

inline void remove_tree(const std::string& dir)
{
    if (!dir.empty())
        std::system(("rm -rf '" + dir + "'").c_str());
}

inline std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline bool exists(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

struct run_result {
    int status = -1;
    std::string out;
};

// Runs a shell command line and collects its standard output (and error, when redirected).
inline run_result run_shell(const std::string& command)
{
    run_result r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
        r.out.append(buffer, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

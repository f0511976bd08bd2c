#include "board_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orva::sim {
namespace {

bool make_dirs(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

void make_file(const std::string& path, const char* text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const size_t n = std::char_traits<char>::length(text);
    [[maybe_unused]] auto w = ::write(fd, text, n);
    ::close(fd);
}

}  // namespace

bool prepare_unit_root(const std::string& root)
{
    static const char* const dirs[] = {
        "/opt/QM/websetting", "/opt/QM.new", "/sys/class/gpio/gpio90", "/sys/class/gpio/gpio92",
        "/sys/class/video4linux", "/dev", "/media", "/etc", "/var/log", "/sim",
    };
    for (const char* d : dirs)
        if (!make_dirs(root + d))
            return false;
    make_file(root + "/sys/class/gpio/export", "");
    make_file(root + "/sys/class/gpio/unexport", "");
    for (const char* line : {"/sys/class/gpio/gpio90", "/sys/class/gpio/gpio92"}) {
        make_file(root + line + "/direction", "out\n");
        make_file(root + line + "/value", "0\n");
    }
    return true;
}

}  // namespace orva::sim

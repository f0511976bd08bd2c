#include "safe_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int replace_file(const std::string& path, const std::string& temp_path, const std::string& text)
{
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    int result = 0;
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0 && result == 0) {
        const ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno != EINTR)
                result = -errno;
            continue;
        }
        if (w == 0) {
            result = -EIO;
            continue;
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    if (result == 0 && ::fsync(fd) != 0)
        result = -errno;
    if (::close(fd) != 0 && result == 0)
        result = -errno;
    if (result == 0 && ::rename(temp_path.c_str(), path.c_str()) != 0)
        result = -errno;
    if (result != 0) {
        ::unlink(temp_path.c_str());
        return result;
    }
    // Make the rename itself durable.
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

// Random identifiers.
#include "SFUid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "SFResult.h"
#include "SFUidSource.h"
#include "unit_root.h"

namespace {

std::mutex g_sourceMutex;
std::string g_devicePath = "/dev/urandom";
bool g_useSystem = true;

// Reads exactly `size` bytes from the device, completing short reads; false when it cannot.
bool readDevice(const std::string& path, uint8_t* out, size_t size)
{
    const int fd = open(orva::unit_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, out + got, size - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // end of data or a read error
    }
    close(fd);
    return got == size;
}

bool readSystem(uint8_t* out, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = getrandom(out + got, size - got, 0);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

// Last resort: a counter run through a bijective mixer (splitmix64) from a seed of time, process
// and address; distinct counters give distinct outputs, so values do not repeat in this process.
void fillPrivate(uint8_t* out, size_t size)
{
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed = [] {
        struct timeval now;
        gettimeofday(&now, nullptr);
        return (static_cast<uint64_t>(now.tv_sec) << 20) ^ static_cast<uint64_t>(now.tv_usec) ^
               (static_cast<uint64_t>(getpid()) << 40) ^ reinterpret_cast<uintptr_t>(&counter);
    }();
    for (size_t i = 0; i < size; i += 8) {
        uint64_t z = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const size_t n = size - i < 8 ? size - i : 8;
        std::memcpy(out + i, &z, n);
    }
}

void fillRandom(uint8_t* out, size_t size)
{
    std::string path;
    bool useSystem;
    {
        std::lock_guard<std::mutex> lock(g_sourceMutex);
        path = g_devicePath;
        useSystem = g_useSystem;
    }
    if (readDevice(path, out, size))
        return;
    if (useSystem && readSystem(out, size))
        return;
    fillPrivate(out, size);
}

}  // namespace

void SFUidSetSource(const char* path, int useSystem)
{
    std::lock_guard<std::mutex> lock(g_sourceMutex);
    g_devicePath = path ? path : "/dev/urandom";
    g_useSystem = useSystem != 0;
}

int SFUidInitialize(void) { return 0; }
void SFUidCleanup(void) {}

int SFUidGenerateGuid(uint8_t guid[16])
{
    if (!guid)
        return SFResultError(SF_MODULE_MEM, SF_CODE_INVALID_ARGUMENT);
    fillRandom(guid, 16);
    return 0;
}

uint32_t SFUidGenerateUniqueNumber(void)
{
    uint32_t value;
    fillRandom(reinterpret_cast<uint8_t*>(&value), sizeof value);
    return value;
}

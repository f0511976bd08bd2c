// Fuzz target: lines of a log channel settings file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SFLogPf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fgets hands the parser at most 511 characters and a terminator.
    const std::string line(reinterpret_cast<const char*>(data), size < 511 ? size : 511);
    std::string key;
    uint32_t value = 0;
    if (SFLogPfParseLine(line.c_str(), &key, &value) && key.empty())
        __builtin_trap();  // a valid setting always has a key
    return 0;
}

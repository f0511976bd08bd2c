// The capture-source WAV parser of the simulated sound cards: any file content.
#include "alsa/wav_parse.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orva_wav_pcm16 wav{};
    if (orva_wav_find_pcm16(data, size, &wav) == 0) {
        // What the plugin then reads must lie inside the buffer.
        if (wav.channels == 0 || wav.channels > 16 || wav.frames == 0 ||
            wav.data_offset + wav.frames * wav.channels * 2 > size)
            std::abort();
        volatile uint8_t sink = data[wav.data_offset + wav.frames * wav.channels * 2 - 1];
        (void)sink;
    }
    return 0;
}

// Arbitrary payload bytes and loss flags through the decoders of every wideband mode.

#include <cstddef>
#include <cstdint>

#include "pcmswb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] % 3;
    const bool wide_out = (data[0] & 0x80) != 0;
    pcmswbDecoderState* dec = pcmswbDecode_const(mode);
    if (dec == nullptr)
        return 0;
    if (wide_out)
        pcmswbDecode_set(mode, dec);
    const size_t frame = static_cast<size_t>(pcmswbFrameBytes(mode));
    short out[160];
    size_t pos = 1;
    while (pos < size) {
        // One control byte per frame: its low bit marks the frame as lost.
        const bool lost = (data[pos++] & 1) != 0;
        if (lost) {
            pcmswbDecode(nullptr, out, dec, 1);
            continue;
        }
        if (size - pos < frame)
            break;
        pcmswbDecode(data + pos, out, dec, 0);
        pos += frame;
    }
    pcmswbDecode_dest(dec);
    return 0;
}

#include "softbit.h"

#include "swb_float.h"

namespace g722swb {

int hardbit2softbit(int bytes, const unsigned char* in, int16_t* out)
{
    for (int k = 0; k < bytes; ++k)
        for (int j = 0; j < 8; ++j)
            *out++ = ((in[k] >> j) & 1) ? G192_BIT1 : G192_BIT0;
    return bytes;
}

void softbit2hardbit(int bytes, const int16_t* in, unsigned char* out)
{
    for (int k = 0; k < bytes; ++k) {
        unsigned v = 0;
        for (int j = 0; j < 8; ++j)
            if (*in++ == G192_BIT1)
                v |= 1u << j;
        out[k] = static_cast<unsigned char>(v);
    }
}

void s_PushBitLong(int32_t value, int16_t** pos, int bits)
{
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = bits - 1; i >= 0; --i)
        *(*pos)++ = ((v >> i) & 1u) ? G192_BIT1 : G192_BIT0;
}

void s_PushBit(int16_t value, int16_t** pos, int bits)
{
    s_PushBitLong(static_cast<uint16_t>(value), pos, bits > 16 ? 16 : bits);
}

int32_t s_GetBitLong(const int16_t** pos, int bits)
{
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i)
        v = (v << 1) | (*(*pos)++ != G192_BIT0 ? 1u : 0u);
    return static_cast<int32_t>(v);
}

int16_t GetBit(const int16_t** pos, int bits)
{
    return static_cast<int16_t>(s_GetBitLong(pos, bits > 16 ? 16 : bits));
}

int checksoftbit(const int16_t* frame)
{
    if (frame[0] == G192_SYNC_BAD)
        return 0;
    if (frame[0] != G192_SYNC_GOOD)
        error_exit("G192 format (header) error.");
    const int count = frame[1];
    for (int i = 0; i < count; ++i)
        if (frame[2 + i] != G192_BIT0 && frame[2 + i] != G192_BIT1)
            error_exit("G192 format (bit) error.");
    return count;
}

}  // namespace g722swb

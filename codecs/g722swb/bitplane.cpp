#include "bitplane.h"

namespace g722swb {

const int plane_bit[8] = {2, 3, 4, 5, 6, 7, 1, 0};

void bst_G722_frame(const unsigned char* octets, unsigned char* planes)
{
    for (int p = 0; p < 8; ++p)
        for (int j = 0; j < 5; ++j) {
            unsigned v = 0;
            for (int i = 0; i < 8; ++i)
                v |= ((octets[8 * j + i] >> plane_bit[p]) & 1u) << i;
            planes[5 * p + j] = static_cast<unsigned char>(v);
        }
}

void bst_frame_G722(const unsigned char* planes, unsigned char* octets)
{
    for (int k = 0; k < BITPLANE_BYTES; ++k)
        octets[k] = 0;
    for (int p = 0; p < 8; ++p)
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 8; ++i)
                octets[8 * j + i] = static_cast<unsigned char>(
                    octets[8 * j + i] | (((planes[5 * p + j] >> i) & 1u) << plane_bit[p]));
}

}  // namespace g722swb

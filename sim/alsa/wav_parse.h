/*
 * Finding the 16-bit PCM samples of a RIFF/WAVE file held in memory. Header-only C, shared by
 * the sound-card plugin (its capture source) and its fuzz target.
 */
#ifndef ORVA_WAV_PARSE_H
#define ORVA_WAV_PARSE_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct orva_wav_pcm16 {
    unsigned channels;
    unsigned rate;
    size_t data_offset; /* first sample byte */
    size_t frames;      /* whole frames present in the buffer */
};

static inline uint32_t orva_wav_le32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline unsigned orva_wav_le16(const unsigned char *p)
{
    return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

/*
 * Walks the chunks of `buf` (`len` bytes). Returns 0 and fills `out` for 16-bit PCM with 1 to 16
 * channels and at least one frame ("data" may claim more than the buffer holds: the frames present
 * count); -1 for anything else. Never reads outside the buffer.
 */
static inline int orva_wav_find_pcm16(const unsigned char *buf, size_t len, struct orva_wav_pcm16 *out)
{
    size_t pos = 12;
    unsigned format = 0, channels = 0, bits = 0, rate = 0;
    int have_fmt = 0;
    if (!buf || len < 12 || memcmp(buf, "RIFF", 4) != 0 || memcmp(buf + 8, "WAVE", 4) != 0)
        return -1;
    while (len - pos >= 8) {
        const unsigned char *chunk = buf + pos;
        const size_t size = orva_wav_le32(chunk + 4);
        const size_t body = pos + 8;
        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || len - body < 16)
                return -1;
            format = orva_wav_le16(buf + body);
            channels = orva_wav_le16(buf + body + 2);
            rate = orva_wav_le32(buf + body + 4);
            bits = orva_wav_le16(buf + body + 14);
            have_fmt = 1;
        } else if (memcmp(chunk, "data", 4) == 0) {
            size_t present = len - body < size ? len - body : size;
            if (!have_fmt || (format != 1 && format != 0xfffe) || bits != 16 || channels == 0 || channels > 16)
                return -1;
            out->channels = channels;
            out->rate = rate;
            out->data_offset = body;
            out->frames = present / (2u * channels);
            return out->frames > 0 ? 0 : -1;
        }
        /* Chunks are padded to even sizes; a size past the end ends the walk. */
        if (size > len - body || len - body - size < (size & 1))
            return -1;
        pos = body + size + (size & 1);
    }
    return -1;
}

#endif

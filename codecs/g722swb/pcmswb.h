#pragma once
/*
 * The G.722-based coder "SBADPCM": one encoder and one decoder object per audio channel, each
 * made for a fixed mode and coding one 5 ms frame per call.
 *
 *   mode  input        output  frame bytes  bit rate   core
 *   0     16 or 32 kHz 16 kHz  30           48 kbit/s  G.722 with a 4-bit low band
 *   1     16 or 32 kHz 16 kHz  35           56 kbit/s  G.722 with a 5-bit low band
 *   2     16 or 32 kHz 16 kHz  40           64 kbit/s  5-bit low band + noise-shaped 6th bit
 *   3..5  32 kHz       32 kHz  40..60       64..96     super-wideband layers on top
 *
 * A frame is 80 samples at 16 kHz (160 at 32 kHz). The core's octets travel as bit planes, so
 * that the 30- and 35-byte prefixes of a 40-byte core are valid 48 and 56 kbit/s cores.
 * Nothing is thrown across this interface; all state lives in the objects the caller creates.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pcmswbEncoderState pcmswbEncoderState;
typedef struct pcmswbDecoderState pcmswbDecoderState;

/* Frame sizes of a mode: input samples at the given rate, bytes out; 0 for a bad mode. */
int pcmswbFrameBytes(int mode);

/*
 * Creates an encoder. rate 16000 takes 80 samples a frame; any other rate takes 160 samples at
 * 32 kHz. Returns null when memory runs out. A mode outside 0..5 ends the process with
 * "Encoding mode error." (status 1).
 */
pcmswbEncoderState* pcmswbEncode_const(int rate, int mode);
/* Frees an encoder; null is ignored. */
void pcmswbEncode_dest(pcmswbEncoderState* state);
/* Returns the encoder to its state at creation; returns 0, also for null. */
int pcmswbEncode_reset(pcmswbEncoderState* state);
/* Codes one frame of samples into the mode's frame bytes; returns 0 (1 for a null state). */
int pcmswbEncode(const short* input, unsigned char* output, pcmswbEncoderState* state);

/*
 * Creates a decoder. Returns null when memory runs out; a mode outside 0..5 ends the process
 * with "Decoding mode error." (status 1).
 */
pcmswbDecoderState* pcmswbDecode_const(int mode);
/*
 * Sets the decoder's mode and makes it produce 32 kHz output (160 samples a frame). Returns 0,
 * or -1 for a null state or a mode whose layers this decoder cannot decode.
 */
int pcmswbDecode_set(int mode, pcmswbDecoderState* state);
/* Frees a decoder; null is ignored. */
void pcmswbDecode_dest(pcmswbDecoderState* state);
/*
 * Returns the decoder to its state at creation, its G.722 core and concealment included, so a
 * new stream never starts from an old stream's history. Returns 0, also for null.
 */
int pcmswbDecode_reset(pcmswbDecoderState* state);
/*
 * Decodes one frame (the mode's frame bytes) into 80 or 160 samples. With lost = 1 the frame
 * is concealed from the decoder's history and input is never read (it may be null).
 * Returns 0, or 1 for a null state.
 */
int pcmswbDecode(const unsigned char* input, short* output, pcmswbDecoderState* state, int lost);

#ifdef __cplusplus
}
#endif

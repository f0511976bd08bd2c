/* MPEG-4 ALS lossless codec: what encoder and decoder share.
 *
 * Result codes, the host allocation pair, the stream object with its memory implementation,
 * the CRC-32 and the simple-profile masks. Plain C interface: nothing is thrown across it. */
#ifndef NALS_H
#define NALS_H

#include <stdint.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes: 0 success, negative failure grouped by hundreds. */
enum {
  NALS_OK = 0,
  NALS_ERR_ARGUMENT = -100,        /* null argument */
  NALS_ERR_ALREADY_INIT = -101,    /* the out pointer already holds an instance */
  NALS_ERR_NOT_OPEN = -102,
  NALS_ERR_ALREADY_OPEN = -103,
  NALS_ERR_MEMORY = -200,          /* out of memory, or a size that overflows */
  NALS_ERR_MUTEX = -201,
  NALS_ERR_SIGNAL = -202,
  NALS_ERR_THREADS = -203,
  NALS_ERR_UNSUPPORTED = -300,     /* floating point, BGMC, RLS-LMS */
  NALS_ERR_INVALID = -301,         /* invalid argument or information code */
  NALS_ERR_PROFILE = -302,         /* an enforced profile is violated */
  NALS_ERR_NOT_AVAILABLE = -303,
  NALS_ERR_END = -400,             /* end of the stream */
  NALS_ERR_WRITE = -401,
  NALS_ERR_READ = -402,
  NALS_ERR_ABORTED = -403,         /* frame abandoned by the encode callback */
  NALS_ERR_HDR_RA_TABLE = -500,    /* unit-size table without a known sample count */
  NALS_ERR_HDR_ID = -501,
  NALS_ERR_HDR_RESOLUTION = -502,
  NALS_ERR_HDR_SORTING = -503,
  NALS_ERR_HDR_POSITION = -504,    /* channel positions are not a permutation */
  NALS_ERR_HDR_ORDER = -505,
  NALS_ERR_SUBBLOCKS = -600,
  NALS_ERR_RICE_PARAM = -601,
  NALS_ERR_ORDER = -602,
  NALS_ERR_PARCOR = -603,
  NALS_ERR_LTP_GAIN = -604,
  NALS_ERR_MCC_MASTER = -605,
  NALS_ERR_MCC_WEIGHT = -606,      /* weight index out of range, or too many MCC stages */
  NALS_ERR_MCC_CYCLE = -607,
  NALS_ERR_LTP_SHORT = -608,
  NALS_ERR_PARTITION = -610,
  NALS_ERR_MCC_REFERENCE = -611,
  NALS_ERR_FREQUENCY = -700,
  NALS_ERR_CHANNELS = -701,
  NALS_ERR_MSB_FIRST = -702,
  NALS_ERR_PROFILES = -703,
  NALS_ERR_CH_CFG = -704,
  NALS_ERR_CH_POSITIONS = -705,
  NALS_ERR_RESOLUTION = -706,
  NALS_ERR_RA_LOCATION = -707,
  NALS_ERR_FILE_TYPE = -708,
  NALS_ERR_COEFF_TABLE = -709
};

/* Information codes shared by the encoder and decoder callbacks and queries. */
enum {
  NALS_INFO_FREQUENCY = 0, NALS_INFO_SAMPLES = 1, NALS_INFO_CHANNELS = 2, NALS_INFO_FILE_TYPE = 3,
  NALS_INFO_RESOLUTION = 4, NALS_INFO_FLOATING = 5, NALS_INFO_MSB_FIRST = 6,
  NALS_INFO_FRAME_LENGTH = 7, NALS_INFO_RANDOM_ACCESS = 8, NALS_INFO_RA_LOCATION = 9,
  NALS_INFO_RA_TABLE = 10, NALS_INFO_CRC_ENABLED = 11, NALS_INFO_POSITION = 12, NALS_INFO_CRC = 13,
  NALS_INFO_CRC_STORED = 14, NALS_INFO_ORIG_HEADER = 15, NALS_INFO_ORIG_TRAILER = 16,
  NALS_INFO_AUX_DATA = 17, NALS_INFO_CONFORMANT_PROFILES = 18, NALS_INFO_ENFORCED_PROFILES = 19,
  NALS_INFO_MAX_ORDER = 20, NALS_INFO_ADAPTIVE = 21, NALS_INFO_MCC = 22, NALS_INFO_JOINT_STEREO = 23,
  NALS_INFO_CH_SORTING = 24, NALS_INFO_BLOCK_SWITCHING = 25, NALS_INFO_LSB_CHECK = 26,
  NALS_INFO_LSB_FORTH_SHIFT = 27, NALS_INFO_LTP = 28, NALS_INFO_BGMC = 29, NALS_INFO_RLSLMS = 30,
  NALS_INFO_CH_CFG_INFO = 31, NALS_INFO_LPC_OPTION = 32, NALS_INFO_MCC_STAGES = 33,
  NALS_INFO_MCC_MODE = 34, NALS_INFO_ENCODER_HINT = 37, NALS_INFO_LSB_ROUNDUP = 38,
  NALS_INFO_COEFF_TABLE = 39, NALS_INFO_BS_THREADS = 40
};

/* Host allocation pair. Memory spaces 0 "L1", 1 "L2", 2 "L3"; kinds 0 "SCRATCH",
 * 1 "LOOSELY_SCRATCH", 2 "PERSISTENT", 3 "CODE". Returns the memory or null. */
typedef void* (*NALS_AllocFunction)(uint32_t space, uint32_t kind, uint32_t size);
typedef void (*NALS_FreeFunction)(void* block);
enum { NALS_SPACE_L1 = 0, NALS_SPACE_L2 = 1, NALS_SPACE_L3 = 2 };
enum { NALS_KIND_SCRATCH = 0, NALS_KIND_LOOSELY_SCRATCH = 1, NALS_KIND_PERSISTENT = 2, NALS_KIND_CODE = 3 };

/* Stream object: the first member points to a table of seven operations. */
typedef struct NALS_STREAM NALS_STREAM;
typedef struct NALS_STREAM_FUNCTIONS {
  uint64_t (*read)(void* dst, uint64_t count, NALS_STREAM* s);
  uint64_t (*write)(const void* src, uint64_t count, NALS_STREAM* s);
  int32_t (*error)(NALS_STREAM* s);                   /* non-zero: the stream failed */
  void (*reserved)(NALS_STREAM* s);
  int32_t (*seek)(NALS_STREAM* s, int64_t offset, int32_t origin); /* 0 start, 1 current, 2 end */
  int32_t (*tell)(NALS_STREAM* s, uint64_t* position);
  void (*close)(NALS_STREAM* s);
} NALS_STREAM_FUNCTIONS;

struct NALS_STREAM {
  const NALS_STREAM_FUNCTIONS* functions;
  int32_t error;        /* set when an operation is missing or a seek fails; never cleared */
  uint32_t mode;        /* 1 readable, 2 writable */
  uint8_t* buffer;
  uint64_t size;
  uint64_t position;
};

/* Opens a memory stream over a caller's buffer; mode "r", "w" or "rw". 1 on success, else 0. */
int32_t NALS_MemStream_Open(NALS_STREAM* s, void* buffer, uint64_t size, const char* mode);
/* Calls the close operation when there is one, then clears the object; null is ignored. */
void NALS_Stream_Close(NALS_STREAM* s);
/* Reads up to count bytes; 0 and the error flag set when the stream has no read operation. */
uint64_t NALS_Stream_Read(void* dst, uint64_t count, NALS_STREAM* s);
/* Writes up to count bytes; 0 and the error flag set when the stream has no write operation. */
uint64_t NALS_Stream_Write(const void* src, uint64_t count, NALS_STREAM* s);
/* 1 when the 4 big-endian bytes of value were written, else 0. */
int32_t NALS_Stream_Write32BE(NALS_STREAM* s, uint32_t value);
/* 1 with the big-endian value when 4 bytes arrived, else 0. */
int32_t NALS_Stream_Read32BE(NALS_STREAM* s, uint32_t* value);
/* The tell operation's result (1 with the offset), or 0 without one. */
int32_t NALS_Stream_Tell(NALS_STREAM* s, uint64_t* position);
/* The seek operation's result (1 on success); 0 and the error flag set without one. */
int32_t NALS_Stream_Seek(NALS_STREAM* s, int64_t offset, int32_t origin);
/* Copies size bytes at offset of source into destination in pieces of at most 128 bytes and
 * restores the source position: 0, -401 (write) or -402 (seek or read). */
int32_t StreamCopy(NALS_STREAM* source, uint64_t offset, uint64_t size, NALS_STREAM* destination);

/* CRC-32 of ISO 3309 (reflected polynomial 0xEDB88320). */
void NALS_CRC32_Init(uint32_t* state);
void NALS_CRC32_ProcessBlock(uint32_t* state, const void* bytes, uint64_t count);
uint32_t NALS_CRC32_Get(const uint32_t* state);
void NALS_CRC32_Set(uint32_t* state, uint32_t value);

/* Simple-profile levels. */
enum {
  NALS_Profile_Empty = 0, NALS_Profile_Simple_L1 = 1, NALS_Profile_Simple_L2 = 2,
  NALS_Profile_Simple_L3 = 4, NALS_Profile_Simple_L4 = 8, NALS_Profile_All = 15
};

/* The ALS specific configuration held alike by encoder and decoder. */
typedef struct NALS_ASC {
  uint16_t* channel_positions;  /* one entry per coded channel, or null */
  uint32_t frequency;
  uint32_t samples;             /* 0xFFFFFFFF: unknown */
  uint32_t crc;
  uint32_t header_size;
  uint32_t trailer_size;
  uint32_t aux_data_size;
  uint32_t channels;
  uint32_t frame_length;
  uint32_t ch_cfg_info;
  uint32_t max_order;
  uint32_t random_access;
  uint32_t resolution;          /* bits: 8, 16, 24 or 32 */
  uint32_t file_type;
  uint32_t block_switching;     /* levels 0..5 */
  uint32_t ra_location;
  uint32_t coeff_table;
  uint8_t floating, msb_first, adaptive, ltp, bgmc, subblock_part, joint_stereo, mcc;
  uint8_t ch_cfg_present, ch_sorting, crc_enabled, rlslms, aux_data_present;
} NALS_ASC;

/* Clears from *mask every simple level the configuration exceeds. */
void NALS_Profile_CheckConformance_ASC(uint32_t* mask, const NALS_ASC* asc);
/* With 2 or more MCC stages clears all levels and returns 1 when any was set; else 0. */
int32_t NALS_Profile_CheckConformane_MCCStages(uint32_t* mask, uint32_t stages);
/* Number of random-access units of the configuration. */
uint32_t NALS_ASC_GetNumRAUnits(const NALS_ASC* asc);

#ifdef __cplusplus
}
#endif

#endif

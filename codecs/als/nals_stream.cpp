// Memory stream over a caller's buffer and the wrappers every stream user goes through.
#include <cstring>

#include "nals.h"

namespace {

uint64_t MS_Read(void* dst, uint64_t count, NALS_STREAM* s) {
  if (!s || !dst || !(s->mode & 1) || s->position > s->size) return 0;
  uint64_t n = s->size - s->position;
  if (count < n) n = count;
  if (n) std::memcpy(dst, s->buffer + s->position, static_cast<size_t>(n));
  s->position += n;
  return n;
}

uint64_t MS_Write(const void* src, uint64_t count, NALS_STREAM* s) {
  if (!s || !src || !(s->mode & 2) || s->position > s->size) return 0;
  uint64_t n = s->size - s->position;
  if (count < n) n = count;
  if (n) std::memcpy(s->buffer + s->position, src, static_cast<size_t>(n));
  s->position += n;
  return n;
}

int32_t MS_Seek(NALS_STREAM* s, int64_t offset, int32_t origin) {
  if (!s) return 0;
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = static_cast<int64_t>(s->position); break;
    case 2: base = static_cast<int64_t>(s->size); break;
    default: return 0;
  }
  // Compute in unsigned arithmetic so that hostile offsets cannot overflow.
  uint64_t target = static_cast<uint64_t>(base) + static_cast<uint64_t>(offset);
  bool below = offset < 0 && static_cast<uint64_t>(-(offset + 1)) + 1 > static_cast<uint64_t>(base);
  if (below || target > s->size) {
    s->error = 1;
    return 0;
  }
  s->position = target;
  return 1;
}

int32_t MS_Tell(NALS_STREAM* s, uint64_t* position) {
  if (!s || !position) return 0;
  *position = s->position;
  return 1;
}

const NALS_STREAM_FUNCTIONS memstream_functions = {MS_Read, MS_Write, nullptr, nullptr,
                                                   MS_Seek, MS_Tell, nullptr};

}  // namespace

extern "C" {

int32_t NALS_MemStream_Open(NALS_STREAM* s, void* buffer, uint64_t size, const char* mode) {
  if (!s || !mode || (size && !buffer)) return 0;
  uint32_t flags;
  if (std::strcmp(mode, "r") == 0) flags = 1;
  else if (std::strcmp(mode, "w") == 0) flags = 2;
  else if (std::strcmp(mode, "rw") == 0) flags = 3;
  else return 0;
  s->functions = &memstream_functions;
  s->error = 0;
  s->mode = flags;
  s->buffer = static_cast<uint8_t*>(buffer);
  s->size = size;
  s->position = 0;
  return 1;
}

void NALS_Stream_Close(NALS_STREAM* s) {
  if (!s) return;
  if (s->functions && s->functions->close) s->functions->close(s);
  std::memset(s, 0, sizeof *s);
}

uint64_t NALS_Stream_Read(void* dst, uint64_t count, NALS_STREAM* s) {
  if (!s) return 0;
  if (!s->functions || !s->functions->read) {
    s->error = 1;
    return 0;
  }
  return s->functions->read(dst, count, s);
}

uint64_t NALS_Stream_Write(const void* src, uint64_t count, NALS_STREAM* s) {
  if (!s) return 0;
  if (!s->functions || !s->functions->write) {
    s->error = 1;
    return 0;
  }
  return s->functions->write(src, count, s);
}

int32_t NALS_Stream_Write32BE(NALS_STREAM* s, uint32_t value) {
  if (!s) return 0;
  const uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return NALS_Stream_Write(b, 4, s) == 4 ? 1 : 0;
}

int32_t NALS_Stream_Read32BE(NALS_STREAM* s, uint32_t* value) {
  if (!s || !value) return 0;
  uint8_t b[4];
  if (NALS_Stream_Read(b, 4, s) != 4) return 0;
  *value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return 1;
}

int32_t NALS_Stream_Tell(NALS_STREAM* s, uint64_t* position) {
  if (!s || !s->functions || !s->functions->tell) return 0;
  return s->functions->tell(s, position);
}

int32_t NALS_Stream_Seek(NALS_STREAM* s, int64_t offset, int32_t origin) {
  if (!s) return 0;
  if (!s->functions || !s->functions->seek) {
    s->error = 1;
    return 0;
  }
  return s->functions->seek(s, offset, origin);
}

int32_t StreamCopy(NALS_STREAM* source, uint64_t offset, uint64_t size, NALS_STREAM* destination) {
  if (size == 0) return 0;
  if (!destination) return NALS_ERR_WRITE;
  uint64_t saved;
  if (!source || !NALS_Stream_Tell(source, &saved)) return NALS_ERR_READ;
  if (offset > INT64_MAX || !NALS_Stream_Seek(source, static_cast<int64_t>(offset), 0))
    return NALS_ERR_READ;
  int32_t result = 0;
  uint8_t piece[128];
  while (size) {
    uint64_t want = size < sizeof piece ? size : sizeof piece;
    uint64_t got = NALS_Stream_Read(piece, want, source);
    if (got == 0) {
      result = NALS_ERR_READ;
      break;
    }
    if (NALS_Stream_Write(piece, got, destination) != got) {
      result = NALS_ERR_WRITE;
      break;
    }
    size -= got;
  }
  if (!NALS_Stream_Seek(source, static_cast<int64_t>(saved), 0) && result == 0)
    result = NALS_ERR_READ;
  return result;
}

}  // extern "C"

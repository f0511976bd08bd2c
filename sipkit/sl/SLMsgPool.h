// Private to the message layer: counted, zero-filling allocation per module, owned text copies,
// result codes and small text helpers shared by the parsers and encoders.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "SFMem.h"
#include <string_view>

namespace slmsg {

// Counted memory pool of one module: every object of the module is allocated from it (through
// the SIP layer's locked allocator), so a leak shows as a count that does not return to zero.
struct Pool {
  SFMemMemoryPool pool{};
  int live() const;
};

void *alloc(Pool &pool, size_t size);  // zero-filled, nullptr when memory runs out
void release(Pool &pool, void *block);  // nullptr is ignored
char *dup(Pool &pool, const char *text, long length = -1);  // nullptr for no text or no memory
inline char *dup(Pool &pool, std::string_view s) { return dup(pool, s.data(), long(s.size())); }
// Replaces *slot by a copy of text (nullptr clears); false when the copy failed (slot kept).
bool setText(Pool &pool, char **slot, const char *text);

constexpr int err(unsigned module, unsigned code) { return static_cast<int>(0xA0000000u | (module << 16) | code); }
constexpr unsigned kModRslv = 0x0A1, kModMsg = 0x0A2, kModUri = 0x0AA, kModHdr = 0x0AB, kModCommon = 0x0AD;
constexpr unsigned kEmpty = 0x8001, kNoMem = 0x8008, kStartup = 0x8009, kTooSmall = 0x800A, kInval = 0x800B,
                   kNotInit = 0x800C, kSyntax = 0xA001;

inline bool isWs(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
std::string_view trim(std::string_view s);
bool ieq(std::string_view a, std::string_view b);
int icmp(const char *a, const char *b);  // null-safe: a missing text is smaller
int scmp(const char *a, const char *b);  // null-safe, case-sensitive

// Decimal reader with the rules of the kit's SFStr_strtoui: optional white space and sign,
// error 1 for a negative non-zero value, -1 on overflow (value 0xFFFFFFFF).
uint32_t strtoui(const char *text, const char **end, int *error);
// A whole text read with strtoui: at least one digit, no error, nothing left after the digits.
bool wholeUnsigned(std::string_view s, uint32_t &value);

// Size-counting output: appends count in needed even when they do not fit, so an encoder run
// without a buffer learns the size it needs.
struct Out {
  char *data;
  size_t capacity;
  size_t used = 0;
  size_t needed = 0;
  Out(char *d, size_t cap) : data(d), capacity(d ? cap : 0) {}
  bool put(const char *s, size_t n) {
    needed += n;
    if (data && capacity - used >= n) {
      memcpy(data + used, s, n);
      used += n;
      return true;
    }
    return false;
  }
  bool put(std::string_view s) { return put(s.data(), s.size()); }
  bool put(const char *s) { return s ? put(s, strlen(s)) : true; }
  bool putc(char c) { return put(&c, 1); }
  bool putu(unsigned long v);
  bool fits() const { return needed <= capacity && (data != nullptr || needed == 0); }
};

}  // namespace slmsg

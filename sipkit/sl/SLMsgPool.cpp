#include "SLMsgPool.h"


#include "SLMem.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

namespace slmsg {

void *alloc(Pool &pool, size_t size) { return SLMemAllocateZeroed(&pool.pool, size ? size : 1); }

void release(Pool &pool, void *block) { SLMemFreeMemory(&pool.pool, block); }

int Pool::live() const { return pool.count; }

char *dup(Pool &pool, const char *text, long length) {
  if (!text) return nullptr;
  size_t n = length < 0 ? strlen(text) : size_t(length);
  char *p = static_cast<char *>(alloc(pool, n + 1));
  if (p) memcpy(p, text, n);
  return p;
}

bool setText(Pool &pool, char **slot, const char *text) {
  char *copy = nullptr;
  if (text) {
    copy = dup(pool, text);
    if (!copy) return false;
  }
  release(pool, *slot);
  *slot = copy;
  return true;
}

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isWs(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && isWs(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool ieq(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

int icmp(const char *a, const char *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  return strcasecmp(a, b);
}

int scmp(const char *a, const char *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  return strcmp(a, b);
}

uint32_t strtoui(const char *text, const char **end, int *error) {
  const char *p = text;
  while (*p && isspace(static_cast<unsigned char>(*p))) ++p;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  uint32_t v = 0;
  int err = 0;
  while (*p >= '0' && *p <= '9') {
    unsigned d = unsigned(*p - '0');
    if (v > 429496729u || (v == 429496729u && d > 5)) {
      v = 0xFFFFFFFFu;
      err = -1;
      break;
    }
    v = v * 10 + d;
    ++p;
  }
  if (err == 0 && neg && v != 0) err = 1;
  if (end) *end = p;
  if (error) *error = err;
  return v;
}

bool wholeUnsigned(std::string_view s, uint32_t &value) {
  char b[64];
  if (s.empty() || s.size() >= sizeof b) return false;
  memcpy(b, s.data(), s.size());
  b[s.size()] = '\0';
  bool digit = false;
  for (char c : s) digit = digit || (c >= '0' && c <= '9');
  const char *end;
  int error;
  uint32_t v = strtoui(b, &end, &error);
  if (!digit || error != 0 || *end != '\0') return false;
  value = v;
  return true;
}

bool Out::putu(unsigned long v) {
  char b[24];
  int n = snprintf(b, sizeof b, "%lu", v);
  return put(b, size_t(n));
}

}  // namespace slmsg

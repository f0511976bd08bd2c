// Base64 with the standard alphabet and '=' padding (RFC 4648).
#include "SLAuth.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digitOf(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

int SLBase64Encode(const char *text, int length, char *out, int size) {
  if (!text || !out || size <= 0 || length < 0) return -1;
  int n = 0;
  while (n < length && text[n] != '\0') ++n;
  int need = (n + 2) / 3 * 4;
  if (need + 1 > size) {
    out[0] = '\0';
    return -1;
  }
  const unsigned char *in = reinterpret_cast<const unsigned char *>(text);
  int o = 0;
  for (int i = 0; i < n; i += 3) {
    unsigned v = unsigned(in[i]) << 16;
    if (i + 1 < n) v |= unsigned(in[i + 1]) << 8;
    if (i + 2 < n) v |= in[i + 2];
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
    out[o++] = i + 2 < n ? kAlphabet[v & 63] : '=';
  }
  out[o] = '\0';
  return o;
}

int SLBase64Decode(const char *text, int length, char *out, int size) {
  if (!text || !out || size <= 0 || length < 0) return -1;
  int o = 0;
  unsigned group = 0;
  int count = 0, pads = 0;
  for (int i = 0; i < length && text[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int d;
    if (c == '=') {
      // A pad closes the group once enough characters were seen; padded groups end decoding.
      if (count < 2) continue;
      ++pads;
      d = 0;
    } else {
      d = digitOf(c);
      if (d < 0 || pads) continue;
    }
    group = group << 6 | unsigned(d);
    if (++count == 4) {
      int bytes = 3 - pads;
      if (o + bytes + 1 > size) {
        out[0] = '\0';
        return -1;
      }
      out[o++] = static_cast<char>(group >> 16);
      if (bytes > 1) out[o++] = static_cast<char>(group >> 8);
      if (bytes > 2) out[o++] = static_cast<char>(group);
      group = 0;
      count = 0;
      if (pads) break;
    }
  }
  out[o] = '\0';
  return o;
}

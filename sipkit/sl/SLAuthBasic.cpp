// Basic credentials: Base64 of user ":" password. The temporary text comes from the dialog
// manager's counted pool, the only caller of this routine.
#include <string.h>

#include "SLAuth.h"
#include "SLDmMem.h"

int SLAuthCalcBasicCredential(const char *username, const char *password, char *out, int size) {
  constexpr int kInvalid = static_cast<int>(0xA102800Bu);
  constexpr int kNoMemory = static_cast<int>(0xA1028008u);
  if (!username || !password || !out || size <= 0) return kInvalid;
  out[0] = '\0';
  if (strchr(username, ':')) return kInvalid;
  size_t u = strlen(username), p = strlen(password);
  char *text = static_cast<char *>(SLDmMemAlloc(u + p + 2));
  if (!text) return kNoMemory;
  memcpy(text, username, u);
  text[u] = ':';
  memcpy(text + u + 1, password, p + 1);
  int n = SLBase64Encode(text, static_cast<int>(u + p + 1), out, size);
  SLDmMemFree(text);
  return n < 0 ? kInvalid : 0;
}

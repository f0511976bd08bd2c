// URI parser, encoder, comparison and resolution of arbitrary text.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "SLAddr.h"
#include "SLSip.h"
#include "SLUri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = SLSipInitialize() == 0;
  (void)started;
  std::string text(reinterpret_cast<const char *>(data), size);
  SLUri *u = nullptr, *v = nullptr;
  if (SLUriCreate(&u) != 0) return 0;
  if (SLUriParse(u, text.c_str()) == 0) {
    size_t need = 0;
    SLUriEncode(u, nullptr, &need, 0);
    std::string out(need, '\0');
    if (SLUriEncode(u, out.data(), &need, 0) == 0 && SLUriCreate(&v) == 0) {
      // What we write we read back.
      if (SLUriParse(v, out.c_str()) == 0) {
        SLUriCompare(u, v);
        SLSipUriCompare(u, v);
      }
    }
    SLAddrList *list = nullptr;
    SLRslvResolveUri(&list, u);
    SLAddrListDestroy(list);
    SLSipUriAorTrimComponents(u);
  }
  SLUriDestroy(u);
  SLUriDestroy(v);
  return 0;
}

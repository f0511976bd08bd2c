// Header-block parser and every typed header parser, with encode and clone of what parsed.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "SLGenHdr.h"
#include "SLSip.h"
#include "SLSipHdrTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = SLSipInitialize() == 0;
  (void)started;
  std::vector<char> bytes(data, data + size);
  SLGenHdrList *list = nullptr;
  if (SLGenHdrListCreate(&list) != 0) return 0;
  if (SLGenHdrListParse(list, bytes.data(), bytes.size()) == 0) {
    SLSipHdrTable table{}, copy{};
    if (SLSipHdrTableParse(&table, list) == 0) {
      SLSipHdrTableCopy(&copy, &table);
      SLGenHdrList *out = nullptr;
      if (SLGenHdrListCreate(&out) == 0) {
        SLSipHdrTableEncode(&copy, out);
        size_t need = 0;
        SLGenHdrListEncode(out, nullptr, &need);
        std::string text(need, '\0');
        SLGenHdrListEncode(out, text.data(), &need);
        SLGenHdrListDestroy(out);
      }
    }
    SLSipHdrTableClear(&table);
    SLSipHdrTableClear(&copy);
    // Every field again under every parse class.
    for (SLGenHdr *h = SLGenHdrListGetFirst(list); h; h = SLGenHdrListGetNext(h))
      for (SLGenField *f = SLGenHdrGetFieldList(h); f; f = SLGenFieldGetNext(f)) {
        const char *raw = SLGenFieldGetElement(f);
        if (!raw) continue;
        for (int cls = 0; cls <= 7; ++cls) {
          SLGenField *g = nullptr;
          if (SLGenFieldParse(&g, cls, raw, std::char_traits<char>::length(raw)) == 0) {
            size_t need = 0;
            SLGenFieldEncode(g, cls, nullptr, &need);
          }
          SLGenFieldDestroy(g);
        }
      }
  }
  SLGenHdrListDestroy(list);
  return 0;
}

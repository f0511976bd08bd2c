// Every typed header parser over arbitrary header values: the input is the value of each of the
// table's 68 header names in turn; what parses is copied, encoded and compared.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "SLGenHdr.h"
#include "SLSip.h"
#include "SLSipHdrTable.h"

namespace {
const char *const kNames[] = {
#define SL_FUZZ_NAME(slot, name, family) name,
    SL_SIPHDR_TABLE_SLOTS(SL_FUZZ_NAME)
#undef SL_FUZZ_NAME
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = SLSipInitialize() == 0;
  (void)started;
  if (size > 600) return 0;
  std::string value(reinterpret_cast<const char *>(data), size);
  for (const char *name : kNames) {
    std::string line = std::string(name) + ": " + value;
    SLGenHdrList *list = nullptr;
    if (SLGenHdrListCreate(&list) != 0) return 0;
    if (SLGenHdrListParse(list, line.data(), line.size()) == 0) {
      SLSipHdrTable table{}, copy{};
      if (SLSipHdrTableParse(&table, list) == 0 && SLSipHdrTableCopy(&copy, &table) == 0) {
        SLGenHdrList *out = nullptr;
        if (SLGenHdrListCreate(&out) == 0 && SLSipHdrTableEncode(&copy, out) == 0) {
          size_t need = 0;
          SLGenHdrListEncode(out, nullptr, &need);
          std::string text(need, '\0');
          SLGenHdrListEncode(out, text.data(), &need);
          // What the encoder writes parses again.
          SLSipHdrTable again{};
          SLGenHdrList *back = nullptr;
          if (SLGenHdrListCreate(&back) == 0 && SLGenHdrListParse(back, text.data(), text.size()) == 0)
            SLSipHdrTableParse(&again, back);
          SLSipHdrTableClear(&again);
          SLGenHdrListDestroy(back);
        }
        SLGenHdrListDestroy(out);
      }
      SLSipHdrTableClear(&table);
      SLSipHdrTableClear(&copy);
    }
    SLGenHdrListDestroy(list);
  }
  return 0;
}

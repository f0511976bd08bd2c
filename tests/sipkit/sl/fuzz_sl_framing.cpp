// Message framing and parsing of arbitrary received bytes in every transport mode, then the
// typed view, the Request-URI, validation and re-encoding of whatever parsed.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "SLMsg.h"
#include "SLSip.h"
#include "SLSipMsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = SLSipInitialize() == 0;
  (void)started;
  if (size == 0) return 0;
  // The first byte picks the mode; the rest sits at the end of its own allocation.
  static const int kModes[] = {SL_SIPMSG_MODE_FRAGMENT, SL_SIPMSG_MODE_UDP, SL_SIPMSG_MODE_TCP, SL_SIPMSG_MODE_TLS};
  int mode = kModes[data[0] & 3];
  std::vector<char> bytes(data + 1, data + size);
  size_t offset = 0;
  for (int round = 0; round < 8 && offset < bytes.size(); ++round) {
    SLSipMsg *m = nullptr;
    int n = int(bytes.size() - offset);
    int r = SLSipMsgParse(&m, bytes.data() + offset, &n, mode);
    if (r < 0 || n <= 0) {
      SLSipMsgDestroy(m);
      break;
    }
    if (m) {
      SLSipMsgParseSipHdr(m);
      SLSipMsgParseReqUri(m);
      SLMsgData *env = SLMsgDataCreate();
      env->type = SLSipMsgStartLineIsRequestLine(SLSipMsgGetStartLine(m)) ? SL_MSGDATA_REQUEST : SL_MSGDATA_RESPONSE;
      SLMsgDataSetSipMsgPtr(env, m);
      int valid = 0;
      SLMsgData *reply = nullptr;
      SLMsgValidate(env, &valid, &reply, SLMsgSimpleValidate, nullptr, nullptr);
      SLMsgDataDestroy(reply);
      SLSipMsgEncodeSipHdr(m);
      size_t need = 0;
      SLSipMsgEncode(m, nullptr, &need);
      std::string out(need, '\0');
      SLSipMsgEncode(m, out.data(), &need);
      SLMsgDataDestroy(env);
    }
    offset += size_t(n);
  }
  return 0;
}

// Typed headers: module state, method table and the helpers every family uses.
#include <string.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slmsg;

namespace slhdr {

Pool gPool;

bool named(const SLGenHdr *hdr, const char *name) { return hdr && SLGenHdrIsNamed(hdr, name); }

const SLGenField *firstField(const SLGenHdr *hdr) { return hdr ? hdr->fields : nullptr; }

std::string_view fieldValue(const SLGenField *field) {
  return field && field->value ? trim(field->value) : std::string_view();
}

bool readNumber(std::string_view text, uint32_t &value) { return wholeUnsigned(trim(text), value); }

int newHeader(SLGenHdr **out, const char *name) { return SLGenHdrCreate(out, name); }

int makeField(SLGenField **out, int parseClass, const char *value, const SLParam *params) {
  return SLGenFieldCreate(out, parseClass, value, nullptr, params);
}

int addField(SLGenHdr *hdr, SLGenField *field) { return SLGenHdrInsertFieldPtr(hdr, nullptr, field); }

std::string requote(const char *value) {
  std::string s = "\"";
  for (const char *p = value ? value : ""; *p; ++p) {
    if (*p == '\\' || *p == '"') s.push_back('\\');
    s.push_back(*p);
  }
  s.push_back('"');
  return s;
}

int setParam(SLParam **head, const char *name, const char *value) {
  if (!name || !*name) return kInvalid;
  return paramSet(head, SL_PARAM_TOKEN, name, value, kModHdr);
}

int copyParams(SLParam **target, const SLParam *src) {
  for (; src; src = src->next) {
    if (!src->name || !*src->name) continue;
    std::string v;
    const char *value = src->value;
    if (src->valueType == SL_PARAM_QUOTED) {
      v = requote(src->value);
      value = v.c_str();
    }
    int r = setParam(target, src->name, value);
    if (r < 0) return r;
  }
  return 0;
}

int nameAddr(const SLGenField *field, char *&display, SLUri *&uri) {
  display = nullptr;
  uri = nullptr;
  std::string_view v = fieldValue(field);
  std::string uriText;
  std::string_view disp;
  size_t lt = v.rfind('<');
  if (lt == std::string_view::npos) {
    uriText = std::string(v);
  } else {
    size_t gt = v.find('>', lt);
    if (gt == std::string_view::npos) return kSyntaxErr;
    disp = trim(v.substr(0, lt));
    uriText = std::string(v.substr(lt, gt - lt + 1));
  }
  int r = SLUriCreate(&uri);
  if (r < 0) return kNoMemory;
  r = SLUriParse(uri, uriText.c_str());
  if (r < 0) {
    SLUriDestroy(uri);
    uri = nullptr;
    return r == err(kModUri, kSyntax) ? kSyntaxErr : r == err(kModUri, kNoMem) ? kNoMemory : kSyntaxErr;
  }
  if (!disp.empty()) {
    display = dup(gPool, disp);
    if (!display) {
      SLUriDestroy(uri);
      uri = nullptr;
      return kNoMemory;
    }
  }
  return 0;
}

int uriEqual(const SLUri *a, const SLUri *b) {
  if (!a || !b) return a == b;
  return SLSipUriCompare(a, b) == 0;
}

int cloneUri(SLUri *&dst, const SLUri *src) {
  SLUri *c = nullptr;
  if (src) {
    int r = SLUriClone(&c, src);
    if (r < 0) return kNoMemory;
  }
  SLUriDestroy(dst);
  dst = c;
  return 0;
}

}  // namespace slhdr

using namespace slhdr;

namespace {
struct MethodRow {
  const char *name;
  int id;
};
const MethodRow SipMethodMap[] = {{"ACK", 1},      {"BYE", 2},    {"CANCEL", 3}, {"INVITE", 4},    {"OPTIONS", 5},
                                  {"REGISTER", 6}, {"PRACK", 7},  {"INFO", 8},   {"REFER", 9},     {"NOTIFY", 10},
                                  {"COMET", 11},   {"UPDATE", 12}, {"NEGOTIATE", 13}, {"SUBSCRIBE", 14},
                                  {"MESSAGE", 15}, {"DATA", 16},  {"PUBLISH", 17}, {"", 0}};
}  // namespace

SFResult SLSipHdrInitialize(void) { return 0; }
void SLSipHdrCleanup(void) {}
int SLSipHdrGetLiveCount(void) { return gPool.live(); }

int SLSipHdrGetMethod(const char *name) {
  if (!name) return 0;
  for (const MethodRow *r = SipMethodMap; *r->name; ++r)
    if (strcmp(r->name, name) == 0) return r->id;
  return 0;
}

const char *SLSipHdrGetMethodStr(int id) { return id >= 1 && id <= 17 ? SipMethodMap[id - 1].name : nullptr; }

void *SLSipHdrMemAlloc(size_t size) { return alloc(gPool, size); }
void SLSipHdrMemFree(void *block) { release(gPool, block); }

SFResult SLSipHdrSetString(char **slot, const char *text) {
  if (!slot) return kInvalid;
  return copyText(*slot, text) ? 0 : kNoMemory;
}

SFResult SLSipHdrSetUri(SLUri **slot, const SLUri *uri) {
  if (!slot) return kInvalid;
  return cloneUri(*slot, uri);
}

SFResult SLSipHdrNameAddrParse(const SLGenField *field, char **displayName, SLUri **uri) {
  if (!field || !displayName || !uri) return kInvalid;
  return nameAddr(field, *displayName, *uri);
}

SFResult SLSipHdrNameAddrEncode(SLGenField **out, int parseClass, const char *displayName, const SLUri *uri,
                                int forceBrackets) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!uri) return kInvalid;
  char text[1024];
  size_t size = sizeof text - 1;
  int r = SLUriEncode(uri, text, &size, 0);
  if (r < 0) return r;
  text[size] = '\0';
  std::string v;
  if (displayName && *displayName) {
    v = std::string(displayName) + " <" + text + ">";
  } else if (forceBrackets || strpbrk(text, ",?;")) {
    v = std::string("<") + text + ">";
  } else {
    v = text;
  }
  return makeField(out, parseClass, v.c_str(), nullptr);
}

SFResult SLSipHdrParseParamList(SLParam **target, const SLParam *fieldParams) {
  if (!target) return kInvalid;
  return copyParams(target, fieldParams);
}

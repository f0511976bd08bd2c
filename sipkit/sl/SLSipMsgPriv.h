// Private to the message layer: the message records.
#pragma once
#include "SLSipMsg.h"

struct SLSipMsgStartLine {
  int isRequest;
  char *version;
  char *method;
  char *requestUri;
  unsigned statusCode;
  char *reason;
};

struct SLSipMsgBody {
  int length;
  char *data;  // followed by an uncounted NUL; none for length 0
};

struct SLSipMsg {
  SLSipMsgStartLine *startLine;
  SLGenHdrList *headers;
  SLSipMsgBody *body;
  SLUri *requestUri;
  SLSipHdrTable table;
};

// message/sipfrag bodies (RFC 3420): the status line and headers of a response, as carried in
// the NOTIFY requests of a transfer.
#pragma once
#include <stdint.h>

#include "SFResult.h"
#include "SLSipMsg.h"

typedef struct SipFragBuffer {
  uint32_t length;  // encoding: capacity in, fragment length out; parsing: text length
  char *text;
} SipFragBuffer;

/** Writes the fragment of the message (never its body) into buf. 0, 0xA201800B, 0xA201800A. */
SFResult SipFragEncode(SipFragBuffer *buf, const SLSipMsg *msg);
/** Parses a fragment into a new message with its typed headers parsed. */
SFResult SipFragParse(SLSipMsg **out, const SipFragBuffer *buf);
SFResult BuildFragmentString(SipFragBuffer *buf, char *buffer, const SLSipMsg *msg);

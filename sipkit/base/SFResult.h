#pragma once
// Kit result codes, shared by every module of the SIP kit.
//
// A result is a signed 32-bit integer: 0 or positive is success. An error carries the hex digit A
// in its top four bits, the module number in bits 16..27 and a 16-bit code: 0x8000 | n for general
// errors, 0xA000 | n for syntax errors. Peers and upper layers compare whole values (for example
// 0xA0ABA001 is answered 400), so the numbers below are part of the interface.

#include <cstdint>

typedef int32_t SFResult;

// Module numbers.
enum : uint32_t {
    SF_MODULE_MEM = 0x083,      // base memory (SFMem)
    SF_MODULE_SIP = 0x0A1,      // SIP layer start-up (SLSip) and resolver (SLRslv)
    SF_MODULE_MSG = 0x0A2,      // message envelopes (SLMsg, SLMsgData)
    SF_MODULE_CMG = 0x0A3,      // stack message thread (SLCmg)
    SF_MODULE_TRM = 0x0A4,      // transport manager (SLTrm)
    SF_MODULE_TXM = 0x0A5,      // transaction manager (SLTxm)
    SF_MODULE_TUM = 0x0A6,      // transaction users (SLTum)
    SF_MODULE_IFM = 0x0A7,      // interface manager (SLIfm)
    SF_MODULE_TLS = 0x0A8,      // TLS (SLTls)
    SF_MODULE_NET = 0x0A9,      // network thread (SLNet)
    SF_MODULE_URI = 0x0AA,      // URIs (SLUri)
    SF_MODULE_HDR = 0x0AB,      // headers and SIP messages (SLGenHdr, SLSipHdr, SLSipMsg)
    SF_MODULE_SDP = 0x0AC,      // SDP (Sdp)
    SF_MODULE_CMN = 0x0AD,      // common foundations (SLMem, SLList, SLParam, addresses)
    SF_MODULE_SDPHLP = 0x101,   // SDP offer/answer helper (Sdphlp)
    SF_MODULE_DM = 0x102,       // dialog manager (also the credential arithmetic)
    SF_MODULE_UA = 0x201,       // user agent (also sipfrag)
    SF_MODULE_PF = 0x301,       // profile layer
};

// General codes (0x8000 | n) and the syntax code.
enum : uint32_t {
    SF_CODE_EMPTY_TOKEN = 0x8001,
    SF_CODE_UNKNOWN_OPTION = 0x8002,
    SF_CODE_STOPPING = 0x8007,
    SF_CODE_NO_MEMORY = 0x8008,
    SF_CODE_STARTUP_FAILED = 0x8009,
    SF_CODE_BUFFER_TOO_SMALL = 0x800A,
    SF_CODE_INVALID_ARGUMENT = 0x800B,
    SF_CODE_NOT_INITIALIZED = 0x800C,
    SF_CODE_ALREADY_INITIALIZED = 0x800D,
    SF_CODE_WRONG_STATE = 0x800E,
    SF_CODE_SYNTAX = 0xA001,
};

// The error of `code` in `module`.
constexpr SFResult SFResultError(uint32_t module, uint32_t code)
{
    return static_cast<SFResult>(0xA0000000u | ((module & 0xFFFu) << 16) | (code & 0xFFFFu));
}

constexpr bool SFResultIsError(SFResult r) { return r < 0; }
constexpr uint32_t SFResultModule(SFResult r) { return (static_cast<uint32_t>(r) >> 16) & 0xFFFu; }
constexpr uint32_t SFResultCode(SFResult r) { return static_cast<uint32_t>(r) & 0xFFFFu; }

static_assert(SFResultError(SF_MODULE_SIP, SF_CODE_ALREADY_INITIALIZED) == static_cast<SFResult>(0xA0A1800Du));
static_assert(SFResultError(SF_MODULE_HDR, SF_CODE_SYNTAX) == static_cast<SFResult>(0xA0ABA001u));

// Generic SIP header model: headers with a name, a parse class and fields; fields with their raw
// text, value, comment and parameters. Cuts header blocks into lines, lines into fields and fields
// into value and parameters, and writes them back.
#pragma once
#include <stddef.h>

#include "SFResult.h"
#include "SLParam.h"

// Parse classes: how the value of a header is split into fields.
enum {
  SL_HDR_CLASS_RAW = 0,        // one field, not analysed (Call-ID, Expires, User-Agent)
  SL_HDR_CLASS_PARAMS = 1,     // value with ";" parameters, "," separates values (Via, CSeq)
  SL_HDR_CLASS_LIST = 2,       // comma-separated values with ";" parameters (Contact, Route)
  SL_HDR_CLASS_AUTH = 3,       // scheme, then "," separated parameters (Authorization)
  SL_HDR_CLASS_AUTHINFO = 4,   // "," separated parameters only (Authentication-Info)
  SL_HDR_CLASS_PRIVACY = 5,    // values separated by ";" (Privacy)
  SL_HDR_CLASS_DATE = 6,       // raw (Date)
  SL_HDR_CLASS_SINGLE = 7,     // one value with ";" parameters (From, To, Refer-To)
};

// Parameter value types set by the parser.
enum { SL_PARAM_TOKEN = 1, SL_PARAM_QUOTED = 2 };

typedef struct SLGenField SLGenField;
typedef struct SLGenHdr SLGenHdr;
typedef struct SLGenHdrList SLGenHdrList;

SFResult SLGenHdrInitialize(void);
void SLGenHdrCleanup(void);
/** Live allocations of the module (for leak checks). */
int SLGenHdrGetLiveCount(void);

// Headers.
SFResult SLGenHdrCreate(SLGenHdr **out, const char *name);
SFResult SLGenHdrCreate2(SLGenHdr **out, const char *name, int parseClass);
/** One header line (name, colon, value) into a new header. */
SFResult SLGenHdrParse(SLGenHdr **out, const char *line, size_t length);
/** Name, ": " and the fields; *size: capacity in, full length needed out. 0 or 0xA0AB800A. */
SFResult SLGenHdrEncode(const SLGenHdr *hdr, char *buffer, size_t *size);
SFResult SLGenHdrClone(SLGenHdr **out, const SLGenHdr *src);
void SLGenHdrDestroy(SLGenHdr *hdr);
int SLGenHdrCompare(const SLGenHdr *a, const SLGenHdr *b);
int SLGenHdrGetType(const SLGenHdr *hdr);
const char *SLGenHdrGetName(const SLGenHdr *hdr);
SLGenField *SLGenHdrGetFieldList(const SLGenHdr *hdr);
int SLGenHdrGetFieldCount(const SLGenHdr *hdr);
SLGenField *SLGenHdrGetNextField(const SLGenHdr *hdr, const SLGenField *field);
SLGenField *SLGenHdrGetPrevField(const SLGenHdr *hdr, const SLGenField *field);
/** Inserts a clone of field before `before` (at the end when none). */
SFResult SLGenHdrInsertField(SLGenHdr *hdr, SLGenField *before, const SLGenField *field);
/** Inserts the field itself; the header owns it afterwards. */
SFResult SLGenHdrInsertFieldPtr(SLGenHdr *hdr, SLGenField *before, SLGenField *field);
SFResult SLGenHdrRemoveField(SLGenHdr *hdr, SLGenField *field);
SFResult SLGenHdrDeleteField(SLGenHdr *hdr, SLGenField *field);
void SLGenHdrDeleteAllFields(SLGenHdr *hdr);
/** Long name of a one-letter compact name, or none. */
const char *SLGenHdrGetLongForm(const char *name);
/** Parse class of a header name (compact names expanded; unknown names 0). */
int SLGenHdrGetHdrType(const char *name);
/** Cuts a header value into fields and appends them. */
SFResult SLGenHdrParseHeaderValue(SLGenHdr *hdr, const char *text, size_t length);
/** 1 when the header's name is `name` or its compact/long counterpart (case-insensitive). */
int SLGenHdrIsNamed(const SLGenHdr *hdr, const char *name);

// Header lists.
SFResult SLGenHdrListCreate(SLGenHdrList **out);
void SLGenHdrListDestroy(SLGenHdrList *list);
SFResult SLGenHdrListClone(SLGenHdrList **out, const SLGenHdrList *src);
/** Empties the list. */
void SLGenHdrListClear(SLGenHdrList *list);
/** Replaces the contents with the headers of a header block. */
SFResult SLGenHdrListParse(SLGenHdrList *list, const char *text, size_t length);
/** Every header followed by "\r\n". */
SFResult SLGenHdrListEncode(const SLGenHdrList *list, char *buffer, size_t *size);
SLGenHdr *SLGenHdrListGetFirst(const SLGenHdrList *list);
SLGenHdr *SLGenHdrListGetNext(const SLGenHdr *hdr);
SLGenHdr *SLGenHdrListFindItem(const SLGenHdrList *list, const SLGenHdr *after, const char *name);
/** Field number index (from 0; -1 for the last) of that header, or none. */
SLGenField *SLGenHdrListGetField(const SLGenHdrList *list, const char *name, int index);
const char *SLGenHdrListGetHdr(const SLGenHdrList *list, const char *name, int index);
/** Inserts a clone before `before` (end when none); 0xA0AB800B when the name is already there. */
SFResult SLGenHdrListInsertItem(SLGenHdrList *list, SLGenHdr *before, const SLGenHdr *hdr);
/** Inserts the header itself (ownership passes), before `before` or at the end. */
SFResult SLGenHdrListInsertItemPtr(SLGenHdrList *list, SLGenHdr *before, SLGenHdr *hdr);
/** Unlinks and destroys one header of the list. */
SFResult SLGenHdrListDeleteItem(SLGenHdrList *list, SLGenHdr *hdr);
/** Destroys every header of that name (long or compact); returns how many. */
int SLGenHdrListDeleteNamed(SLGenHdrList *list, const char *name);
/** Appends a field whose value is the text as given (not analysed). */
SFResult SLGenHdrListAddHdr(SLGenHdrList *list, const char *name, const char *text);
/** Appends the fields parsed from the text with the class of the header name. */
SFResult SLGenHdrListAddHdrParsed(SLGenHdrList *list, const char *name, const char *text);
SFResult SLGenHdrListAddField(SLGenHdrList *list, const char *name, const SLGenField *field);

// Fields.
SFResult SLGenFieldParse(SLGenField **out, int parseClass, const char *text, size_t length);
SFResult SLGenFieldCreate(SLGenField **out, int parseClass, const char *value, const char *comment,
                          const SLParam *params);
SFResult SLGenFieldEncode(const SLGenField *field, int parseClass, char *buffer, size_t *size);
SFResult SLGenFieldClone(SLGenField **out, const SLGenField *src);
SFResult SLGenFieldCloneNoElement(SLGenField **out, const SLGenField *src);
void SLGenFieldDestroy(SLGenField *field);
int SLGenFieldCompare(const SLGenField *a, const SLGenField *b);
SLGenField *SLGenFieldGetNext(const SLGenField *field);
const char *SLGenFieldGetElement(const SLGenField *field);
SFResult SLGenFieldSetElement(SLGenField *field, const char *text);
const char *SLGenFieldGetValue(const SLGenField *field);
SFResult SLGenFieldSetValue(SLGenField *field, const char *text);
const char *SLGenFieldGetComment(const SLGenField *field);
SFResult SLGenFieldSetComment(SLGenField *field, const char *text);
/** The field's parameters (a list of the parameter module). */
SLParamList *SLGenFieldGetParamList(const SLGenField *field);
SLParam *SLGenFieldFindParam(const SLGenField *field, const char *name);
const char *SLGenFieldGetParam(const SLGenField *field, const char *name);
SFResult SLGenFieldSetParam(SLGenField *field, int valueType, const char *name, const char *value);
/** Field lists: a head word holding the first field. */
SFResult SLGenFieldListCreate(SLGenField ***out);
void SLGenFieldListDestroy(SLGenField **head);
SFResult SLGenFieldListClone(SLGenField ***out, SLGenField *const *src);

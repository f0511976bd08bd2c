#pragma once
// Kit log channels.
//
// A channel has a name, a level threshold, a function (category) mask, output options and a line
// prefix. "/etc/<name>.log.conf" (keys Level, Funcs, Options) may override what the caller gives.
// Lines read "<prefix> hh:mm:ss.mmm [tid] <tag> <message>". Log calls never report errors.

#include <cstdarg>
#include <cstdint>

// Output options.
enum : uint32_t {
    SF_LOG_STDOUT = 1,
    SF_LOG_DEBUGGER = 2,  // accepted, writes nothing here
    SF_LOG_FILE = 4,      // "/var/log/<name>YYYYMMDD-HHMM.log"
    SF_LOG_SYSLOG = 8,    // accepted, writes nothing here
};

// Levels (a line of level L is written when 0 < L <= the channel's level).
enum : uint32_t {
    SF_LOG_ERR = 1,
    SF_LOG_INF = 2,
    SF_LOG_TRC = 3,
    SF_LOG_DBG = 4,
    SF_LOG_COM = 5,
    SF_LOG_TCK = 6,
};

struct SFLogChannel;

// Creates the channel, replacing one of the same name. 0; -2 without a name or when the prefix
// leaves fewer than 22 characters of room; -4 out of memory; -1 when the log file cannot be created.
int SFLogInitialize(const char* name, uint32_t level, uint32_t functions, uint32_t options, const char* prefix);
void SFLogCleanup(const char* name);
SFLogChannel* SFLogGetEntry(const char* name);

void SFLogOutString(const char* name, uint32_t level, uint32_t functions, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void SFLogOutCustomVString(const char* name, uint32_t level, uint32_t functions, const char* subPrefix,
                           const char* format, va_list args);
// A parameter or result line between an entry and an exit banner.
void SFLogOutFunctionParam(const char* name, uint32_t level, uint32_t functions, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void SFLogOutFunctionName(const char* name, uint32_t level, uint32_t functions, const char* functionName, int leave,
                          char fill);
void SFLogOutFunctionName1_In(const char* name, uint32_t level, uint32_t functions, const char* functionName);
void SFLogOutFunctionName1_Out(const char* name, uint32_t level, uint32_t functions, const char* functionName);
void SFLogOutFunctionName2_In(const char* name, uint32_t level, uint32_t functions, const char* functionName);
void SFLogOutFunctionName2_Out(const char* name, uint32_t level, uint32_t functions, const char* functionName);
// One log line per text line of `data` (bytes other than tab and 32..126 shown as ".").
void SFLogOutTextData(const char* name, uint32_t level, uint32_t functions, const char* subPrefix, const char* data,
                      uint32_t length);

// Settings of a channel, for inspection.
int SFLogGetSettings(const char* name, uint32_t* level, uint32_t* functions, uint32_t* options);

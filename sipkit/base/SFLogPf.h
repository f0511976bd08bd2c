#pragma once
// Platform part of the kit log channels (configuration file, log file, time stamp, outputs).

#include <cstdint>
#include <cstdio>
#include <string>

struct SFLogPfInstance {
    std::string name;
    FILE* file = nullptr;
};

// Reads "/etc/<name>.log.conf"; each key found replaces the value passed in.
void SFLogPfGetLogParam(const char* name, uint32_t* level, uint32_t* functions, uint32_t* options);
// Parses one configuration line; true with key and value when the line is a valid setting.
bool SFLogPfParseLine(const char* line, std::string* key, uint32_t* value);
// The log file is created only with the file option; -1 when it cannot be.
int SFLogPfCreateInstance(SFLogPfInstance* instance, const char* name, uint32_t options);
void SFLogPfDeleteInstance(SFLogPfInstance* instance);
// Writes " hh:mm:ss.mmm [tid] " into `out` (at most `size`); returns its length.
int SFLogPfSetLineHeader(char* out, int size);
void SFLogPfPutStdout(const char* text);
void SFLogPfPutFile(SFLogPfInstance* instance, const char* text);
void _SFLogPfPutDebbuger(const char* text);
void SFLogPfPutLogSystem(const char* text);
// Bounded copy that always terminates; returns the length copied.
int SFLogPfCopyString(char* out, const char* text, int size);
// True for the characters that end a configuration value.
bool SFLogPfIsTerminated(char c);

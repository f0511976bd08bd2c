// Platform part of the kit log channels.
#include "SFLogPf.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>

#include "unit_root.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool SFLogPfIsTerminated(char c)
{
    return c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';';
}

bool SFLogPfParseLine(const char* line, std::string* key, uint32_t* value)
{
    const char* p = line;
    while (isBlank(*p))
        ++p;
    if (*p == ';')
        return false;
    const char* keyStart = p;
    while (*p && !isBlank(*p) && *p != '=' && *p != '\r' && *p != '\n')
        ++p;
    if (p == keyStart)
        return false;
    std::string k(keyStart, p);
    while (isBlank(*p))
        ++p;
    if (*p != '=')
        return false;  // no "=", or a second word before it
    ++p;
    while (isBlank(*p))
        ++p;
    if (SFLogPfIsTerminated(*p))
        return false;  // no value
    uint32_t v = 0;
    if (p[0] == '0' && p[1] == 'x') {
        p += 2;
        if (SFLogPfIsTerminated(*p))
            return false;
        for (; !SFLogPfIsTerminated(*p); ++p) {
            const char c = *p;
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
            v = (v << 4) | d;
        }
    } else {
        for (; !SFLogPfIsTerminated(*p); ++p) {
            if (*p < '0' || *p > '9')
                return false;
            v = v * 10 + static_cast<uint32_t>(*p - '0');
        }
    }
    *key = std::move(k);
    *value = v;
    return true;
}

void SFLogPfGetLogParam(const char* name, uint32_t* level, uint32_t* functions, uint32_t* options)
{
    const std::string path = orva::unit_path(std::string("/etc/") + name + ".log.conf");
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        std::string key;
        uint32_t value;
        if (!SFLogPfParseLine(line, &key, &value))
            continue;
        if (key == "Level")
            *level = value;
        else if (key == "Funcs")
            *functions = value;
        else if (key == "Options")
            *options = value;
    }
    std::fclose(f);
}

int SFLogPfCreateInstance(SFLogPfInstance* instance, const char* name, uint32_t options)
{
    instance->name = name;
    instance->file = nullptr;
    if (!(options & 4))
        return 0;
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u.log", static_cast<unsigned>(local.tm_year + 1900),
                  static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
                  static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min));
    const std::string path = orva::unit_path(std::string("/var/log/") + name + stamp);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    instance->file = std::fopen(path.c_str(), "w");
    return instance->file ? 0 : -1;
}

void SFLogPfDeleteInstance(SFLogPfInstance* instance)
{
    if (instance->file)
        std::fclose(instance->file);
    instance->file = nullptr;
}

int SFLogPfSetLineHeader(char* out, int size)
{
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    const unsigned tid = static_cast<unsigned>(syscall(SYS_gettid));
    const int n = std::snprintf(out, static_cast<size_t>(size), " %02u:%02u:%02u.%03u [%08x] ",
                                static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
                                static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(now.tv_usec / 1000), tid);
    if (n < 0)
        return 0;
    return n < size ? n : size - 1;
}

void SFLogPfPutStdout(const char* text) { std::printf("%s", text); }

void SFLogPfPutFile(SFLogPfInstance* instance, const char* text)
{
    if (instance->file)
        std::fputs(text, instance->file);
}

void _SFLogPfPutDebbuger(const char*) {}
void SFLogPfPutLogSystem(const char*) {}

int SFLogPfCopyString(char* out, const char* text, int size)
{
    if (size <= 0)
        return 0;
    int n = 0;
    while (text && text[n] && n < size - 1) {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

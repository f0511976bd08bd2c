// Kit log channels.
#include "SFLog.h"

#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "SFLogPf.h"

struct SFLogChannel {
    SFLogChannel* next = nullptr;
    SFLogChannel* prev = nullptr;
    std::string name;
    uint32_t level = 0;
    uint32_t functions = 0;
    uint32_t options = 0;
    std::mutex mutex;  // one line buffer per channel: lines never interleave
    SFLogPfInstance instance;
    int room = 0;       // characters after the prefix
    int lineStart = 0;  // just after the prefix
    char text[512] = {};
};

namespace {

// The longest line, prefix and newline included.
constexpr int kMaxLine = 509;

std::mutex& listMutex()
{
    static std::mutex m;  // kept for the life of the process
    return m;
}
SFLogChannel* g_first = nullptr;
SFLogChannel* g_last = nullptr;

SFLogChannel* find(const char* name)
{
    for (SFLogChannel* c = g_first; c; c = c->next)
        if (c->name == name)
            return c;
    return nullptr;
}

void unlinkLocked(SFLogChannel* c)
{
    if (c->prev)
        c->prev->next = c->next;
    else
        g_first = c->next;
    if (c->next)
        c->next->prev = c->prev;
    else
        g_last = c->prev;
}

const char* levelTag(uint32_t level)
{
    static const char* const kTags[] = {"*ERR*", "[inf]", "[trc]", "[dbg]", "[com]", "[tck]"};
    return level >= 1 && level <= 6 ? kTags[level - 1] : "[???]";
}

// Lookup and filter; none when the line is not to be written.
SFLogChannel* channelFor(const char* name, uint32_t level, uint32_t functions)
{
    if (!name || level == 0)
        return nullptr;
    SFLogChannel* c = SFLogGetEntry(name);
    if (!c || level > c->level || !(functions & c->functions))
        return nullptr;
    return c;
}

// Appends `text` to the line at `pos`, keeping room for the newline.
int append(SFLogChannel* c, int pos, const char* text)
{
    while (*text && pos < kMaxLine - 1)
        c->text[pos++] = *text++;
    return pos;
}

int writeHead(SFLogChannel* c, uint32_t level, const char* subPrefix)
{
    char head[64];
    SFLogPfSetLineHeader(head, sizeof head);
    int pos = append(c, c->lineStart, head);
    pos = append(c, pos, levelTag(level));
    if (subPrefix) {
        pos = append(c, pos, " ");
        pos = append(c, pos, subPrefix);
    }
    return append(c, pos, " ");
}

void emit(SFLogChannel* c, int pos)
{
    c->text[pos++] = '\n';
    c->text[pos] = '\0';
    if (c->options & SF_LOG_STDOUT)
        SFLogPfPutStdout(c->text);
    if (c->options & SF_LOG_DEBUGGER)
        _SFLogPfPutDebbuger(c->text);
    if (c->options & SF_LOG_FILE)
        SFLogPfPutFile(&c->instance, c->text);
    if (c->options & SF_LOG_SYSLOG)
        SFLogPfPutLogSystem(c->text);
}

}  // namespace

int SFLogInitialize(const char* name, uint32_t level, uint32_t functions, uint32_t options, const char* prefix)
{
    if (!name)
        return -2;
    SFLogCleanup(name);
    SFLogPfGetLogParam(name, &level, &functions, &options);

    SFLogChannel* c = new (std::nothrow) SFLogChannel;
    if (!c)
        return -4;
    c->name = name;
    c->level = level;
    c->functions = functions;
    c->options = options;
    const int prefixLength = SFLogPfCopyString(c->text, prefix ? prefix : "", 511);
    c->room = 511 - prefixLength;
    c->lineStart = prefixLength;
    if (c->room < 22) {
        delete c;
        return -2;
    }
    if (SFLogPfCreateInstance(&c->instance, name, options) != 0) {
        SFLogPfDeleteInstance(&c->instance);
        delete c;
        return -1;
    }
    std::lock_guard<std::mutex> lock(listMutex());
    c->prev = g_last;
    if (g_last)
        g_last->next = c;
    else
        g_first = c;
    g_last = c;
    return 0;
}

void SFLogCleanup(const char* name)
{
    if (!name)
        return;
    SFLogChannel* c;
    {
        std::lock_guard<std::mutex> lock(listMutex());
        c = find(name);
        if (!c)
            return;
        unlinkLocked(c);
    }
    SFLogPfDeleteInstance(&c->instance);
    delete c;
}

SFLogChannel* SFLogGetEntry(const char* name)
{
    if (!name)
        return nullptr;
    std::lock_guard<std::mutex> lock(listMutex());
    return find(name);
}

int SFLogGetSettings(const char* name, uint32_t* level, uint32_t* functions, uint32_t* options)
{
    SFLogChannel* c = SFLogGetEntry(name);
    if (!c)
        return -1;
    if (level)
        *level = c->level;
    if (functions)
        *functions = c->functions;
    if (options)
        *options = c->options;
    return 0;
}

void SFLogOutCustomVString(const char* name, uint32_t level, uint32_t functions, const char* subPrefix,
                           const char* format, va_list args)
{
    SFLogChannel* c = channelFor(name, level, functions);
    if (!c || !format)
        return;
    std::lock_guard<std::mutex> lock(c->mutex);
    int pos = writeHead(c, level, subPrefix);
    // Longer messages are cut; the line still ends in a newline.
    const int n = std::vsnprintf(c->text + pos, static_cast<size_t>(kMaxLine - pos), format, args);
    if (n > 0)
        pos = pos + n < kMaxLine - 1 ? pos + n : kMaxLine - 1;
    emit(c, pos);
}

void SFLogOutString(const char* name, uint32_t level, uint32_t functions, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    SFLogOutCustomVString(name, level, functions, nullptr, format, args);
    va_end(args);
}

void SFLogOutFunctionParam(const char* name, uint32_t level, uint32_t functions, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    SFLogOutCustomVString(name, level, functions, "+             ", format, args);
    va_end(args);
}

void SFLogOutFunctionName(const char* name, uint32_t level, uint32_t functions, const char* functionName, int leave,
                          char fill)
{
    char message[81];
    std::string m = "+";
    m.append(2, fill);
    m += leave ? "[LEAVE]" : "[ENTER]";
    m.append(2, fill);
    m += ' ';
    m.append(functionName ? functionName : "", 0, 67);
    for (const char* tail : {"(", ")", " "})
        if (m.size() < 80)
            m += tail;
    if (m.size() < 80)
        m.append(80 - m.size(), fill);
    SFLogPfCopyString(message, m.c_str(), sizeof message);
    SFLogOutString(name, level, functions, "%s", message);
}

void SFLogOutFunctionName1_In(const char* name, uint32_t level, uint32_t functions, const char* functionName)
{
    SFLogOutFunctionName(name, level, functions, functionName, 0, '=');
}

void SFLogOutFunctionName1_Out(const char* name, uint32_t level, uint32_t functions, const char* functionName)
{
    SFLogOutFunctionName(name, level, functions, functionName, 1, '=');
}

void SFLogOutFunctionName2_In(const char* name, uint32_t level, uint32_t functions, const char* functionName)
{
    SFLogOutFunctionName(name, level, functions, functionName, 0, '-');
}

void SFLogOutFunctionName2_Out(const char* name, uint32_t level, uint32_t functions, const char* functionName)
{
    SFLogOutFunctionName(name, level, functions, functionName, 1, '-');
}

void SFLogOutTextData(const char* name, uint32_t level, uint32_t functions, const char* subPrefix, const char* data,
                      uint32_t length)
{
    SFLogChannel* c = channelFor(name, level, functions);
    if (!c || (!data && length))
        return;
    std::lock_guard<std::mutex> lock(c->mutex);
    // Every line carries the same stamp, built once.
    const int bodyStart = writeHead(c, level, subPrefix);
    int pos = bodyStart;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i == length || data[i] == '\n') {
            emit(c, pos);
            pos = bodyStart;
            continue;
        }
        const unsigned char ch = static_cast<unsigned char>(data[i]);
        if (pos < kMaxLine - 1)
            c->text[pos++] = (ch == '\t' || (ch >= 32 && ch <= 126)) ? static_cast<char>(ch) : '.';
    }
}

#include "debug_console.h"

#include "app_controller.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {

enum console_id {
    con_quit = 1,
    con_help = 2,
    con_connect = 3,
    con_connect_lpcm = 4,
    con_disconnect = 5,
    con_accept = 6,
    con_ip = 7,
    con_src = 8,
    con_hp = 9,
    con_pb_pkts = 10,
    con_local_info = 11,
    con_patest = 12,
    con_v_test = 13,
    con_v_q = 14,
};

constexpr int wait_ms = 200;

const char* const help_lines[] = {
    "q\t: quit\n",
    "h\t: help\n",
    "c\t: connect <remote_id>\n",
    "ip\t: connect <IP address>\n",
    "d\t: disconnect\n",
    "l\t: show local information\n",
    "cl\t: connect <remote id> (LPCM)\n",
    "src\t: set audio src <A|D>\n",
    "pb_pkts\t: set number of packet to playback\n",
    "patest: portaudio test\n",
    "v_test: video test\n",
    "v_q: quit video test\n",
};

// Copies `text` into a zero-filled record of `size` bytes, keeping a terminating zero.
std::vector<unsigned char> text_record(const std::string& text, std::size_t size, std::size_t text_room)
{
    std::vector<unsigned char> record(size, 0);
    std::memcpy(record.data(), text.data(), std::min(text.size(), text_room));
    return record;
}

}  // namespace

const std::vector<debug_console_f::entry> debug_console_f::debcmd_table = {
    {"q", con_quit},        {"h", con_help},         {"c", con_connect},    {"d", con_disconnect},
    {"l", con_local_info},  {"a", con_accept},       {"ip", con_ip},        {"cl", con_connect_lpcm},
    {"patest", con_patest}, {"v_test", con_v_test},  {"v_q", con_v_q},      {"src", con_src},
    {"hp", con_hp},         {"pb_pkts", con_pb_pkts},
};

debug_console_f::debug_console_f(command_sink& sink, int in_fd, FILE* out) : m_sink(sink), m_in(in_fd), m_out(out)
{
}

bool debug_console_f::read_line(std::string& line)
{
    pollfd p{m_in, POLLIN, 0};
    int timeout = wait_ms;
    // Byte by byte, so that what follows the line stays in the input for the next console
    // (a rebuilt controller starts a new one on the same input).
    for (;;) {
        const int r = poll(&p, 1, timeout);
        if (r <= 0)
            return false;
        char c;
        const ssize_t n = ::read(m_in, &c, 1);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            end();
            return false;
        }
        if (n == 0) {
            // End of input: nothing more will come.
            end();
            if (m_pending.empty())
                return false;
            line.swap(m_pending);
            m_pending.clear();
            return true;
        }
        if (c == '\n') {
            line.swap(m_pending);
            m_pending.clear();
            return true;
        }
        m_pending.push_back(c);
        timeout = 0;
    }
}

void debug_console_f::main_loop()
{
    if (!m_prompted) {
        fputs(">", m_out);
        fflush(m_out);
        m_prompted = true;
    }
    std::string line;
    if (!read_line(line))
        return;
    m_prompted = false;
    handle_line(line);
}

void debug_console_f::handle_line(const std::string& line)
{
    std::istringstream words_in(line);
    std::vector<std::string> words;
    for (std::string w; words_in >> w;)
        words.push_back(w);
    if (words.empty())
        return;

    const entry* found = nullptr;
    for (const auto& e : debcmd_table) {
        if (words[0] == e.word) {
            found = &e;
            break;
        }
    }
    if (!found) {
        fprintf(m_out, "unknown commmand %s\n", words[0].c_str());
        fflush(m_out);
        return;
    }
    const std::string arg = words.size() > 1 ? words[1] : std::string();
    const bool has_arg = words.size() > 1;

    switch (found->id) {
    case con_quit:
        m_sink.post(command(appcmd_quit));
        end();
        break;
    case con_help:
        for (const char* l : help_lines)
            fputs(l, m_out);
        break;
    case con_connect:
    case con_connect_lpcm:
        if (!has_arg) {
            fputs("c\t: connect <remote_id>\n", m_out);
            break;
        }
        {
            const auto record = text_record(arg, sizeof(appcmd_connect_sip_data), 31);
            m_sink.post(command(appcmd_connect_sip, record.data(), record.size()));
        }
        break;
    case con_disconnect:
        m_sink.post(command(appcmd_disconnect));
        break;
    case con_local_info:
        m_sink.post(command(appcmd_local_info));
        break;
    case con_accept:
        m_sink.post(command(appcmd_sip_accept));
        break;
    case con_ip:
        if (!has_arg) {
            fputs("ip\t: connect <IP address>\n", m_out);
            break;
        }
        {
            const auto record = text_record(arg, 32, 31);
            m_sink.post(command(appcmd_connect_ip, record.data(), record.size()));
        }
        break;
    case con_patest:
        m_sink.post(command(appcmd_patest));
        break;
    case con_v_test:
        m_sink.post(command(appcmd_video_test));
        break;
    case con_v_q:
        m_sink.post(command(appcmd_video_quit));
        break;
    case con_src: {
        const char letter = has_arg ? arg[0] : '\0';
        int32_t source = -1;
        if (letter == 'A' || letter == 'a')
            source = 1;
        else if (letter == 'D' || letter == 'd')
            source = 0;
        if (source < 0) {
            fputs("src [A|D]\n set audio source.", m_out);
            fputs(" A: analog\n D: digital\n", m_out);
            break;
        }
        m_sink.post(command(appcmd_audio_src, &source, sizeof source));
        break;
    }
    case con_hp: {
        const char letter = has_arg ? arg[0] : '\0';
        int32_t source = -1;
        if (letter == 'D' || letter == 'd')
            source = 1;
        else if (letter == 'E' || letter == 'e')
            source = 0;
        if (source < 0) {
            fputs("hp [E|D]\n set headphone source.", m_out);
            fputs(" E: encode\n D: decode\n", m_out);
            break;
        }
        m_sink.post(command(appcmd_hp_src, &source, sizeof source));
        break;
    }
    case con_pb_pkts: {
        if (!has_arg) {
            fputs("pb_pkts num_of_pkts\n", m_out);
            break;
        }
        const int32_t packets = static_cast<int32_t>(std::strtol(arg.c_str(), nullptr, 10));
        m_sink.post(command(appcmd_pb_pkts, &packets, sizeof packets));
        break;
    }
    default:
        break;
    }
    fflush(m_out);
}

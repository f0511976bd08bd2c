#include "ipc_parser.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>

namespace {

struct result_entry {
    int code;
    const char* text;
};

constexpr result_entry k_result_texts[] = {
    {IPC_RESULT_OK, "OK"},
    {IPC_RESULT_BUSY, "BUSY"},
    {IPC_RESULT_NGN_MODE, "NGN MODE"},
    {IPC_RESULT_INVALID_SETTING, "INVALID SETTING"},
    {IPC_RESULT_UNKNOWN_COMMAND, "UNKNOWN COMMAND"},
    {IPC_RESULT_NOT_SUPPORTED, "NOT SUPPORTED"},
    {IPC_RESULT_INVALID_COMMAND, "INVALID COMMAND"},
    {IPC_RESULT_UNACCEPTABLE, "UNACCEPTABLE"},
    {IPC_RESULT_TIMEOUT, "TIMEOUT"},
    {IPC_RESULT_INTERNAL_ERROR, "INTERNAL ERROR"},
};

constexpr const char* k_cmd_names[] = {
    "", "CALL", "CALL-RSP", "START", "START-RSP", "DISCONNECT", "DISCONNECT-RSP",
};

}  // namespace

const char* ipc_result_text(int code)
{
    for (const auto& e : k_result_texts) {
        if (e.code == code) {
            return e.text;
        }
    }
    return "";
}

void ipc_copy_text(char* to, std::size_t size, const std::string& text)
{
    if (size == 0) {
        return;
    }
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), n);
    std::memset(to + n, 0, size - n);
}

namespace ipc_parser {

namespace {

// A text field as it goes on the wire. A line feed would split the line and let a value forge
// keys of its own, so the text ends before one.
std::string_view wire_text(const char* s, std::size_t size)
{
    std::string_view v(s, strnlen(s, size));
    const auto lf = v.find('\n');
    return lf == std::string_view::npos ? v : v.substr(0, lf);
}

template <std::size_t N>
void line(std::ostream& os, const char* key, const char (&value)[N])
{
    os << key << ':' << wire_text(value, N) << "\r\n";
}

void line(std::ostream& os, const char* key, long long value)
{
    os << key << ':' << value << "\r\n";
}

void output_result(std::ostream& os, const ipc_msg_result& m)
{
    line(os, "RESULT-CODE", m.result_code);
    line(os, "RESULT-TEXT", m.result_text);
}

const std::string* find(const item_map& items, const char* key)
{
    const auto it = items.find(key);
    return it == items.end() ? nullptr : &it->second;
}

template <std::size_t N>
bool get_text(const item_map& items, const char* key, char (&to)[N], bool required)
{
    const std::string* v = find(items, key);
    if (!v) {
        return !required;
    }
    ipc_copy_text(to, *v);
    return true;
}

bool get_int(const item_map& items, const char* key, int32_t& to)
{
    const auto v = get_int_item(items, key, 0);
    if (!v) {
        return false;
    }
    to = *v;
    return true;
}

bool get_port(const item_map& items, const char* key, uint16_t& to)
{
    int32_t v = 0;
    if (!get_int(items, key, v)) {
        return false;
    }
    to = static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xffffu);
    return true;
}

bool get_bool(const item_map& items, const char* key, bool& to)
{
    int32_t v = 0;
    if (!get_int(items, key, v)) {
        return false;
    }
    to = v != 0;
    return true;
}

bool parse_result(const item_map& items, ipc_msg_result& m, bool with_text)
{
    if (!get_int(items, "RESULT-CODE", m.result_code)) {
        return false;
    }
    return !with_text || get_text(items, "RESULT-TEXT", m.result_text, false);
}

item_map split_items(std::string_view text)
{
    item_map items;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        std::string_view ln = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        if (!ln.empty() && ln.back() == '\r') {
            ln.remove_suffix(1);
        }
        const auto colon = ln.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        items[std::string(ln.substr(0, colon))] = trim_right(ln.substr(colon + 1));
    }
    return items;
}

}  // namespace

const char* to_cmd_name(int cmd)
{
    return cmd >= 1 && cmd <= 6 ? k_cmd_names[cmd] : "";
}

ipc_cmd_id get_command_value(const std::string& name)
{
    for (int c = IPC_CMD_CALL; c <= IPC_CMD_DISCONNECT_RSP; ++c) {
        if (name == k_cmd_names[c]) {
            return static_cast<ipc_cmd_id>(c);
        }
    }
    return IPC_CMD_NONE;
}

void output_base(std::ostream& os, const ipc_message& m)
{
    line(os, "VERSION", m.version);
    line(os, "CALL-ID", m.call_id);
    line(os, "SEQ-NO.", m.seq_no);
    os << "COMMAND:" << to_cmd_name(m.command) << "\r\n";
    line(os, "SRC-ADDR", m.src_addr);
    line(os, "SRC-PORT", m.src_port);
    line(os, "DST-ADDR", m.dst_addr);
    if (m.contact_addr[0] != '\0') {
        line(os, "CONTACT-ADDR", m.contact_addr);
    }
}

void output_connect_data(std::ostream& os, const ipc_connect_data& d)
{
    line(os, "MEDIA-ADDR", d.media_addr);
    line(os, "A-PORT", d.audio_port);
    line(os, "V-PORT", d.video_port);
    line(os, "C-PORT", d.control_port);
    line(os, "I-PORT", d.incom_port);
    line(os, "VIDEO-MODE", d.video_mode);
    line(os, "CTRL-ENABLE", d.ctrl_enable ? 1 : 0);
    line(os, "INCOM-ENABLE", d.incom_enable ? 1 : 0);
    line(os, "V-TCP-ACTIVE", d.v_tcp_active ? 1 : 0);
    line(os, "C-TCP-ACTIVE", d.c_tcp_active ? 1 : 0);
    line(os, "GPIO", d.gpio);
    line(os, "CODEC", d.codec);
    line(os, "CODEC-OPTION", d.codec_option);
}

std::string to_string(const ipc_message& start)
{
    std::ostringstream os;
    output_base(os, start);
    return os.str();
}

std::string to_string(const ipc_msg_call& m)
{
    std::ostringstream os;
    output_base(os, m);
    output_connect_data(os, m.data);
    return os.str();
}

std::string to_string(const ipc_msg_call_rsp& m)
{
    std::ostringstream os;
    output_base(os, m);
    output_result(os, m);
    output_connect_data(os, m.data);
    return os.str();
}

std::string to_string(const ipc_msg_start_rsp& m)
{
    std::ostringstream os;
    output_base(os, m);
    output_result(os, m);
    return os.str();
}

std::string to_string(const ipc_msg_disconnect& m)
{
    return to_string(static_cast<const ipc_message&>(m));
}

std::string to_string(const ipc_msg_disconnect_rsp& m)
{
    std::ostringstream os;
    output_base(os, m);
    output_result(os, m);
    return os.str();
}

std::string to_text(const ipc_message& m)
{
    switch (m.command) {
    case IPC_CMD_CALL:
        if (auto p = dynamic_cast<const ipc_msg_call*>(&m)) {
            return to_string(*p);
        }
        break;
    case IPC_CMD_CALL_RSP:
        if (auto p = dynamic_cast<const ipc_msg_call_rsp*>(&m)) {
            return to_string(*p);
        }
        break;
    case IPC_CMD_START:
        return to_string(m);
    case IPC_CMD_START_RSP:
        if (auto p = dynamic_cast<const ipc_msg_start_rsp*>(&m)) {
            return to_string(*p);
        }
        break;
    case IPC_CMD_DISCONNECT:
        return to_string(m);
    case IPC_CMD_DISCONNECT_RSP:
        if (auto p = dynamic_cast<const ipc_msg_disconnect_rsp*>(&m)) {
            return to_string(*p);
        }
        break;
    default:
        break;
    }
    return {};
}

std::optional<int32_t> get_int_item(const item_map& items, const char* key, int32_t def)
{
    const std::string* v = find(items, key);
    if (!v) {
        return def;
    }
    const char* s = v->c_str();
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE || n < std::numeric_limits<int32_t>::min() ||
        n > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(n);
}

std::string trim_right(std::string_view s)
{
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1));
}

void set_result_text(char (&text)[32], int code)
{
    ipc_copy_text(text, ipc_result_text(code));
}

bool parse_base(const item_map& items, ipc_message& m)
{
    for (const char* key : {"VERSION", "CALL-ID", "SEQ-NO.", "COMMAND", "SRC-ADDR", "SRC-PORT", "DST-ADDR"}) {
        if (!find(items, key)) {
            return false;
        }
    }
    if (find(items, "SRC-ADDR")->size() >= sizeof m.src_addr) {
        return false;
    }
    m.command = get_command_value(*find(items, "COMMAND"));
    return get_int(items, "VERSION", m.version) && get_text(items, "CALL-ID", m.call_id, true) &&
           get_int(items, "SEQ-NO.", m.seq_no) && get_text(items, "SRC-ADDR", m.src_addr, true) &&
           get_port(items, "SRC-PORT", m.src_port) && get_text(items, "DST-ADDR", m.dst_addr, true) &&
           get_text(items, "CONTACT-ADDR", m.contact_addr, false);
}

bool parse_connect_data(const item_map& items, ipc_connect_data& d)
{
    return get_text(items, "MEDIA-ADDR", d.media_addr, true) && get_port(items, "A-PORT", d.audio_port) &&
           get_port(items, "V-PORT", d.video_port) && get_port(items, "C-PORT", d.control_port) &&
           get_port(items, "I-PORT", d.incom_port) && get_int(items, "VIDEO-MODE", d.video_mode) &&
           get_bool(items, "CTRL-ENABLE", d.ctrl_enable) && get_bool(items, "INCOM-ENABLE", d.incom_enable) &&
           get_bool(items, "V-TCP-ACTIVE", d.v_tcp_active) && get_bool(items, "C-TCP-ACTIVE", d.c_tcp_active) &&
           get_int(items, "GPIO", d.gpio) && get_int(items, "CODEC", d.codec) &&
           get_text(items, "CODEC-OPTION", d.codec_option, false);
}

bool parse_call_cmd(const item_map& items, ipc_msg_call& m)
{
    return parse_base(items, m) && parse_connect_data(items, m.data);
}

bool parse_call_rsp_cmd(const item_map& items, ipc_msg_call_rsp& m)
{
    return parse_base(items, m) && parse_result(items, m, true) && parse_connect_data(items, m.data);
}

bool parse_start_cmd(const item_map& items, ipc_message& m)
{
    return parse_base(items, m);
}

bool parse_start_rsp_cmd(const item_map& items, ipc_msg_start_rsp& m)
{
    return parse_base(items, m) && parse_result(items, m, true);
}

bool parse_disconnect_cmd(const item_map& items, ipc_msg_disconnect& m)
{
    return parse_base(items, m);
}

bool parse_disconnect_rsp_cmd(const item_map& items, ipc_msg_disconnect_rsp& m)
{
    // The answer to DISCONNECT carries its code only; a text is not read back.
    return parse_base(items, m) && parse_result(items, m, false);
}

namespace {

template <typename Record, typename Parse>
std::unique_ptr<ipc_message> make(const item_map& items, Parse parse_fn)
{
    auto m = std::make_unique<Record>();
    if (!parse_fn(items, *m)) {
        return nullptr;
    }
    return m;
}

}  // namespace

std::unique_ptr<ipc_message> parse(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    const item_map items = split_items(text);
    const std::string* cmd = find(items, "COMMAND");
    if (!cmd) {
        return nullptr;
    }
    switch (get_command_value(*cmd)) {
    case IPC_CMD_CALL:
        return make<ipc_msg_call>(items, parse_call_cmd);
    case IPC_CMD_CALL_RSP:
        return make<ipc_msg_call_rsp>(items, parse_call_rsp_cmd);
    case IPC_CMD_START:
        return make<ipc_message>(items, parse_start_cmd);
    case IPC_CMD_START_RSP:
        return make<ipc_msg_start_rsp>(items, parse_start_rsp_cmd);
    case IPC_CMD_DISCONNECT:
        return make<ipc_msg_disconnect>(items, parse_disconnect_cmd);
    case IPC_CMD_DISCONNECT_RSP:
        return make<ipc_msg_disconnect_rsp>(items, parse_disconnect_rsp_cmd);
    default:
        return nullptr;
    }
}

}  // namespace ipc_parser

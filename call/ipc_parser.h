#pragma once
// Text form of the IP call messages: records to text and received text to records.
//
// Writing: one line per field, "KEY:value" followed by CR LF, in a fixed key order, nothing
// before the first line and nothing after the last CR LF. Reading accepts LF or CR LF line ends,
// takes keys exactly (case included) and never throws: text that is no valid message gives null.

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "ipc_message.h"

namespace ipc_parser {

using item_map = std::map<std::string, std::string>;

// The wire name of a command ("CALL" ...); the empty text outside 1 to 6.
const char* to_cmd_name(int cmd);

// The command of a wire name; IPC_CMD_NONE unless the name is exactly one of the six.
ipc_cmd_id get_command_value(const std::string& name);

// The texts of the messages, exactly the characters to send (no terminating NUL).
std::string to_string(const ipc_message& start);  // START (a bare head)
std::string to_string(const ipc_msg_call& m);
std::string to_string(const ipc_msg_call_rsp& m);
std::string to_string(const ipc_msg_start_rsp& m);
std::string to_string(const ipc_msg_disconnect& m);
std::string to_string(const ipc_msg_disconnect_rsp& m);
// Any record, chosen by its command field; the empty text for an unknown command.
std::string to_text(const ipc_message& m);

// The head lines, then the connection-parameter lines, onto a stream.
void output_base(std::ostream& os, const ipc_message& m);
void output_connect_data(std::ostream& os, const ipc_connect_data& d);

// A received text (up to its first NUL byte) as a record of its command, or null when it is no
// valid message: COMMAND missing or unknown, a required key missing, a number that does not
// convert, or a SRC-ADDR of 32 characters or more.
std::unique_ptr<ipc_message> parse(std::string_view text);

// Building blocks of parse; false when a required item is missing or a number does not convert.
bool parse_base(const item_map& items, ipc_message& m);
bool parse_connect_data(const item_map& items, ipc_connect_data& d);
bool parse_call_cmd(const item_map& items, ipc_msg_call& m);
bool parse_call_rsp_cmd(const item_map& items, ipc_msg_call_rsp& m);
bool parse_start_cmd(const item_map& items, ipc_message& m);
bool parse_start_rsp_cmd(const item_map& items, ipc_msg_start_rsp& m);
bool parse_disconnect_cmd(const item_map& items, ipc_msg_disconnect& m);
bool parse_disconnect_rsp_cmd(const item_map& items, ipc_msg_disconnect_rsp& m);

// The number under `key`: `def` when the key is missing, nothing when its value does not read as
// a 32-bit signed decimal (leading white space and a sign allowed, anything after the digits
// ignored).
std::optional<int32_t> get_int_item(const item_map& items, const char* key, int32_t def);

// A copy of `s` without trailing blanks, tabs, CR and LF.
std::string trim_right(std::string_view s);

// Copies the text of `code` into a 32-byte result text.
void set_result_text(char (&text)[32], int code);

}  // namespace ipc_parser

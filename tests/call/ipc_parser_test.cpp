#include "ipc_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ipc_parser::parse;

// A CALL as a peer would send it, with LF or CR LF line ends.
std::string call_text(const std::string& eol = "\r\n")
{
    const char* lines[] = {
        "VERSION:1", "CALL-ID:0A1B2C3D", "SEQ-NO.:1", "COMMAND:CALL", "SRC-ADDR:192.0.2.1",
        "SRC-PORT:23500", "DST-ADDR:192.0.2.2", "MEDIA-ADDR:192.0.2.1", "A-PORT:15000",
        "V-PORT:26000", "C-PORT:17000", "I-PORT:16000", "VIDEO-MODE:1", "CTRL-ENABLE:1",
        "INCOM-ENABLE:0", "V-TCP-ACTIVE:0", "C-TCP-ACTIVE:1", "GPIO:2", "CODEC:97",
        "CODEC-OPTION:",
    };
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += eol;
    }
    return s;
}

// Replaces (or with an empty value-less key, removes) one line of a message text.
std::string with_line(std::string text, const std::string& key, const std::string* value)
{
    auto pos = text.rfind("\n" + key + ":");
    pos = text.compare(0, key.size() + 1, key + ":") == 0 ? 0 : pos == std::string::npos ? pos : pos + 1;
    if (pos == std::string::npos) {
        return value ? text + key + ":" + *value + "\r\n" : text;
    }
    const auto end = text.find('\n', pos);
    text.erase(pos, end + 1 - pos);
    if (value) {
        text.insert(pos, key + ":" + *value + "\r\n");
    }
    return text;
}

std::string set(const std::string& text, const std::string& key, const std::string& value)
{
    return with_line(text, key, &value);
}

std::string drop(const std::string& text, const std::string& key)
{
    return with_line(text, key, nullptr);
}

TEST(IpcParser, ReadsACallWithEveryField)
{
    const auto m = parse(call_text());
    ASSERT_TRUE(m);
    ASSERT_EQ(m->command, IPC_CMD_CALL);
    const auto& c = static_cast<const ipc_msg_call&>(*m);
    EXPECT_EQ(c.version, 1);
    EXPECT_STREQ(c.call_id, "0A1B2C3D");
    EXPECT_EQ(c.seq_no, 1);
    EXPECT_STREQ(c.src_addr, "192.0.2.1");
    EXPECT_EQ(c.src_port, 23500);
    EXPECT_STREQ(c.dst_addr, "192.0.2.2");
    EXPECT_STREQ(c.contact_addr, "");
    EXPECT_STREQ(c.data.media_addr, "192.0.2.1");
    EXPECT_EQ(c.data.audio_port, 15000);
    EXPECT_EQ(c.data.video_port, 26000);
    EXPECT_EQ(c.data.control_port, 17000);
    EXPECT_EQ(c.data.incom_port, 16000);
    EXPECT_EQ(c.data.video_mode, 1);
    EXPECT_TRUE(c.data.ctrl_enable);
    EXPECT_FALSE(c.data.incom_enable);
    EXPECT_FALSE(c.data.v_tcp_active);
    EXPECT_TRUE(c.data.c_tcp_active);
    EXPECT_EQ(c.data.gpio, 2);
    EXPECT_EQ(c.data.codec, 97);
    EXPECT_STREQ(c.data.codec_option, "");
}

struct validity_case {
    const char* what;
    std::string text;
    bool valid;
};

TEST(IpcParser, AcceptsOrRefusesWholeMessages)
{
    const std::string call = call_text();
    const validity_case cases[] = {
        {"LF line ends", call_text("\n"), true},
        {"lower-case key", set(drop(call, "COMMAND"), "command", "CALL"), false},
        {"no COMMAND", drop(call, "COMMAND"), false},
        {"unknown command", set(call, "COMMAND", "RING"), false},
        {"command with trailing blanks", set(call, "COMMAND", "CALL \t "), true},
        {"command with a leading blank", set(call, "COMMAND", " CALL"), false},
        {"no VERSION", drop(call, "VERSION"), false},
        {"no CALL-ID", drop(call, "CALL-ID"), false},
        {"no SEQ-NO.", drop(call, "SEQ-NO."), false},
        {"no SRC-ADDR", drop(call, "SRC-ADDR"), false},
        {"no SRC-PORT", drop(call, "SRC-PORT"), false},
        {"no DST-ADDR", drop(call, "DST-ADDR"), false},
        {"no MEDIA-ADDR in a CALL", drop(call, "MEDIA-ADDR"), false},
        {"SRC-ADDR of 31 characters", set(call, "SRC-ADDR", std::string(31, '1')), true},
        {"SRC-ADDR of 32 characters", set(call, "SRC-ADDR", std::string(32, '1')), false},
        {"number that does not convert", set(call, "SEQ-NO.", "abc"), false},
        {"empty number", set(call, "A-PORT", ""), false},
        {"number beyond 32 bits", set(call, "CODEC", "4294967296"), false},
        {"number just inside 32 bits", set(call, "CODEC", "-2147483648"), true},
        {"port number with text after it", set(call, "A-PORT", "15000abc"), true},
        {"no colon anywhere", "VERSION 1\r\nCOMMAND CALL\r\n", false},
        {"empty text", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse(c.text) != nullptr, c.valid) << c.what;
    }
}

struct number_case {
    const char* value;
    int32_t expected;
};

TEST(IpcParser, ReadsNumbersFromTheStartOfTheValue)
{
    const number_case cases[] = {
        {"42", 42}, {"  42  ", 42}, {"\t+42", 42}, {"-7", -7}, {"12x34", 12}, {"0", 0},
    };
    for (const auto& c : cases) {
        const auto m = parse(set(call_text(), "SEQ-NO.", c.value));
        ASSERT_TRUE(m) << c.value;
        EXPECT_EQ(m->seq_no, c.expected) << c.value;
    }
}

TEST(IpcParser, MissingOptionalFieldsTakeTheirDefaults)
{
    std::string text = call_text();
    for (const char* key : {"A-PORT", "V-PORT", "C-PORT", "I-PORT", "VIDEO-MODE", "CTRL-ENABLE",
                            "INCOM-ENABLE", "V-TCP-ACTIVE", "C-TCP-ACTIVE", "GPIO", "CODEC", "CODEC-OPTION"}) {
        text = drop(text, key);
    }
    const auto m = parse(text);
    ASSERT_TRUE(m);
    ipc_connect_data expected{};
    ipc_copy_text(expected.media_addr, "192.0.2.1");
    EXPECT_EQ(static_cast<const ipc_msg_call&>(*m).data, expected);
}

TEST(IpcParser, CutsLongTextsAndKeepsTheLastOfRepeatedKeys)
{
    std::string text = call_text();
    text = set(text, "CALL-ID", std::string(20, 'C'));
    text = set(text, "DST-ADDR", std::string(40, 'D'));
    text = set(text, "CODEC-OPTION", std::string(100, 'o'));
    text += "CALL-ID:LATER\r\n";
    text = set(text, "A-PORT", "70000");  // keeps the low 16 bits
    const auto m = parse(text);
    ASSERT_TRUE(m);
    const auto& c = static_cast<const ipc_msg_call&>(*m);
    EXPECT_STREQ(c.call_id, "LATER");
    EXPECT_EQ(std::string(c.dst_addr), std::string(31, 'D'));
    EXPECT_EQ(std::string(c.data.codec_option), std::string(63, 'o'));
    EXPECT_EQ(c.data.audio_port, 70000 & 0xffff);
}

TEST(IpcParser, ValuesKeepLeadingBlanksAndLoseTrailingOnes)
{
    const auto m = parse(set(set(call_text(), "CALL-ID", " AB \t"), "SRC-ADDR", "192.0.2.9   "));
    ASSERT_TRUE(m);
    EXPECT_STREQ(m->call_id, " AB");
    EXPECT_STREQ(m->src_addr, "192.0.2.9");
}

TEST(IpcParser, ResponsesWithoutResultCodeAreAccepted)
{
    std::string rsp = set(drop(call_text(), "COMMAND"), "COMMAND", "CALL-RSP");
    auto m = parse(rsp);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->command, IPC_CMD_CALL_RSP);
    EXPECT_EQ(static_cast<const ipc_msg_call_rsp&>(*m).result_code, 0);

    m = parse(set(set(rsp, "RESULT-CODE", "100"), "RESULT-TEXT", "BUSY"));
    ASSERT_TRUE(m);
    EXPECT_EQ(static_cast<const ipc_msg_call_rsp&>(*m).result_code, 100);
    EXPECT_STREQ(static_cast<const ipc_msg_call_rsp&>(*m).result_text, "BUSY");
}

TEST(IpcParser, TextEndsAtTheFirstNulByte)
{
    std::string text = call_text();
    text.insert(text.find("DST-ADDR"), std::string("\0", 1));
    EXPECT_FALSE(parse(text));  // DST-ADDR and after are gone
}

TEST(IpcParser, WritesEveryRecordInKeyOrder)
{
    ipc_msg_call_rsp rsp;
    ipc_copy_text(rsp.call_id, "00C0FFEE");
    rsp.seq_no = 2;
    ipc_copy_text(rsp.src_addr, "192.0.2.2");
    rsp.src_port = 23500;
    ipc_copy_text(rsp.dst_addr, "192.0.2.1");
    rsp.result_code = 104;
    ipc_parser::set_result_text(rsp.result_text, 104);
    ipc_copy_text(rsp.data.media_addr, "192.0.2.2");
    rsp.data.audio_port = 15000;
    rsp.data.ctrl_enable = true;
    rsp.data.gpio = 4;
    rsp.data.codec = 97;
    EXPECT_EQ(ipc_parser::to_string(rsp),
              "VERSION:1\r\nCALL-ID:00C0FFEE\r\nSEQ-NO.:2\r\nCOMMAND:CALL-RSP\r\nSRC-ADDR:192.0.2.2\r\n"
              "SRC-PORT:23500\r\nDST-ADDR:192.0.2.1\r\nRESULT-CODE:104\r\nRESULT-TEXT:NOT SUPPORTED\r\n"
              "MEDIA-ADDR:192.0.2.2\r\nA-PORT:15000\r\nV-PORT:0\r\nC-PORT:0\r\nI-PORT:0\r\nVIDEO-MODE:0\r\n"
              "CTRL-ENABLE:1\r\nINCOM-ENABLE:0\r\nV-TCP-ACTIVE:0\r\nC-TCP-ACTIVE:0\r\nGPIO:4\r\nCODEC:97\r\n"
              "CODEC-OPTION:\r\n");

    ipc_message start(IPC_CMD_START);
    ipc_copy_text(start.call_id, "1");
    ipc_copy_text(start.contact_addr, "198.51.100.7");
    EXPECT_EQ(ipc_parser::to_string(start),
              "VERSION:1\r\nCALL-ID:1\r\nSEQ-NO.:1\r\nCOMMAND:START\r\nSRC-ADDR:\r\nSRC-PORT:0\r\n"
              "DST-ADDR:\r\nCONTACT-ADDR:198.51.100.7\r\n");

    ipc_msg_disconnect_rsp drsp;
    EXPECT_EQ(ipc_parser::to_string(drsp),
              "VERSION:1\r\nCALL-ID:\r\nSEQ-NO.:1\r\nCOMMAND:DISCONNECT-RSP\r\nSRC-ADDR:\r\nSRC-PORT:0\r\n"
              "DST-ADDR:\r\nRESULT-CODE:0\r\nRESULT-TEXT:\r\n");
}

TEST(IpcParser, EveryRecordReadsBackAsWritten)
{
    ipc_msg_call call;
    ipc_copy_text(call.call_id, "DEADBEEF");
    call.seq_no = 7;
    ipc_copy_text(call.src_addr, "192.0.2.1");
    ipc_copy_text(call.contact_addr, "198.51.100.1");
    call.data.video_mode = 2;
    call.data.v_tcp_active = true;
    call.data.codec = 100;
    ipc_copy_text(call.data.codec_option, "mode=1");
    ipc_msg_start_rsp srsp;
    srsp.result_code = 106;
    ipc_parser::set_result_text(srsp.result_text, 106);
    ipc_message start(IPC_CMD_START);
    ipc_msg_disconnect disc;
    std::vector<const ipc_message*> records = {&call, &srsp, &start, &disc};
    for (const ipc_message* r : records) {
        const std::string text = ipc_parser::to_text(*r);
        const auto back = parse(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(ipc_parser::to_text(*back), text);
    }
    const auto c = parse(ipc_parser::to_string(call));
    EXPECT_EQ(static_cast<const ipc_msg_call&>(*c).data, call.data);
}

TEST(IpcParser, ALineFeedInsideAValueCannotForgeAKey)
{
    ipc_message start(IPC_CMD_START);
    ipc_copy_text(start.call_id, "AB\nCOMMAND:CALL");
    const auto back = parse(ipc_parser::to_string(start));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->command, IPC_CMD_START);
    EXPECT_STREQ(back->call_id, "AB");
}

TEST(IpcParser, NamesAndTexts)
{
    const char* names[] = {"", "CALL", "CALL-RSP", "START", "START-RSP", "DISCONNECT", "DISCONNECT-RSP", ""};
    for (int c = 0; c <= 7; ++c) {
        EXPECT_STREQ(ipc_parser::to_cmd_name(c), names[c]);
        if (c >= 1 && c <= 6) {
            EXPECT_EQ(ipc_parser::get_command_value(names[c]), c);
        }
    }
    EXPECT_STREQ(ipc_parser::to_cmd_name(-1), "");
    const std::pair<int, const char*> texts[] = {
        {0, "OK"}, {100, "BUSY"}, {101, "NGN MODE"}, {102, "INVALID SETTING"}, {103, "UNKNOWN COMMAND"},
        {104, "NOT SUPPORTED"}, {105, "INVALID COMMAND"}, {106, "UNACCEPTABLE"}, {107, "TIMEOUT"},
        {199, "INTERNAL ERROR"}, {108, ""}, {-1, ""},
    };
    for (const auto& [code, text] : texts) {
        EXPECT_STREQ(ipc_result_text(code), text);
    }
    EXPECT_EQ(ipc_parser::trim_right("a b \t\r\n"), "a b");
    EXPECT_EQ(ipc_parser::trim_right(" \t"), "");
}

}  // namespace

#include "app_controller.h"
#include "debug_console.h"
#include "log_capture.h"
#include "waitable_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(WaitableQueue, PopReturnsElementsInOrderOrTimesOut)
{
    waitable_queue<int> q;
    int out = 7;
    EXPECT_EQ(q.pop(out, 0), -1);
    EXPECT_EQ(out, 7);
    EXPECT_EQ(q.push(1), 1);
    EXPECT_EQ(q.push(2), 2);
    EXPECT_EQ(q.pop(out, 0), 1);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(q.pop(out, 100), 1);
    EXPECT_EQ(out, 2);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(q.pop(out, 50), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

TEST(WaitableQueue, PopWakesOnPushFromAnotherThread)
{
    waitable_queue<std::vector<unsigned char>> q;
    std::thread producer([&] {
        std::this_thread::sleep_for(50ms);
        q.push({1, 2, 3});
    });
    std::vector<unsigned char> out;
    EXPECT_EQ(q.pop(out, 10000), 1);
    EXPECT_EQ(out.size(), 3u);
    producer.join();
}

TEST(Command, PayloadIsCopied)
{
    const int32_t value = 42;
    command c(appcmd_set_codec, &value, sizeof value);
    EXPECT_EQ(c.data.size(), 4u);
    EXPECT_EQ(command(appcmd_stop_rtp, nullptr, 10).data.size(), 0u);
}

TEST(Command, TableGivesPayloadSizes)
{
    struct row {
        int32_t id;
        int size;
    };
    const row rows[] = {{1, 0},  {2, 8},  {3, 8},  {4, 33}, {7, 32}, {9, 8},  {13, 88}, {15, 4}, {20, 97},
                        {22, 1}, {24, 64}, {25, 36}, {33, 8}, {35, 8}, {36, 4}, {40, 20}, {41, 0}};
    for (const auto& r : rows) {
        const command_info* info = find_command_info(r.id);
        ASSERT_NE(info, nullptr) << r.id;
        EXPECT_EQ(info->payload_size, r.size) << r.id;
    }
    for (int32_t id : {0, 12, 17, 21, 42, 43, 44, 45, 46, -1})
        EXPECT_EQ(find_command_info(id), nullptr) << id;
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen().clear();
        saved = app_controller::dispatch_table();
    }
    void TearDown() override { app_controller::dispatch_table() = saved; }

    static std::vector<int>& seen()
    {
        static std::vector<int> ids;
        return ids;
    }
    static void record(app_controller&, const command& c) { seen().push_back(c.id); }

    app_controller::dispatch_table_type saved{};
    app_config config;
};

TEST_F(ControllerTest, UnknownIdsAreDroppedAndQuitReturns)
{
    app_controller::set_handler(appcmd_disconnect, &record);
    app_controller controller(config, true);
    for (int32_t id : {0, 46, -3, 12, 45, int(appcmd_stop_rtp), int(appcmd_disconnect)})
        controller.post(command(id));
    controller.post(command(appcmd_quit));
    controller.post(command(appcmd_disconnect));
    EXPECT_EQ(controller.main_loop(), 0);
    EXPECT_EQ(seen(), std::vector<int>{appcmd_disconnect}) << "commands after quit stay unhandled";
}

TEST_F(ControllerTest, ThrowingHandlerIsReportedAndLoopGoesOn)
{
    app_controller::set_handler(appcmd_set_codec, [](app_controller&, const command&) {
        throw std::runtime_error("unsupported codec");
    });
    app_controller::set_handler(appcmd_set_incom, [](app_controller&, const command&) { throw 5; });
    app_controller::set_handler(appcmd_stop_rtp, &record);
    app_controller controller(config, false);
    controller.post(command(appcmd_set_codec));
    controller.post(command(appcmd_set_incom));
    controller.post(command(appcmd_stop_rtp));
    controller.post(command(appcmd_quit));
    testing::internal::CaptureStderr();
    EXPECT_EQ(controller.main_loop(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "main_loop exception cathed: unsupported codec\nunknown exception.\n");
    EXPECT_EQ(seen(), std::vector<int>{appcmd_stop_rtp});
}

TEST_F(ControllerTest, CommandsPostedDuringAHandlerFollowInOrder)
{
    static app_controller* self = nullptr;
    app_controller::set_handler(appcmd_start_rtp, [](app_controller& c, const command& cmd) {
        record(c, cmd);
        c.post(command(appcmd_stop_rtp));
        c.queue().push(command(appcmd_rcv_rtp));
    });
    app_controller::set_handler(appcmd_stop_rtp, &record);
    app_controller::set_handler(appcmd_rcv_rtp, &record);
    app_controller controller(config, true);
    self = &controller;
    std::thread poster([] {
        self->post(command(appcmd_start_rtp));
        std::this_thread::sleep_for(50ms);
        self->post(command(appcmd_quit));
    });
    EXPECT_EQ(controller.main_loop(), 0);
    poster.join();
    EXPECT_EQ(seen(), (std::vector<int>{appcmd_start_rtp, appcmd_stop_rtp, appcmd_rcv_rtp}));
}

TEST_F(ControllerTest, ManyPostersLoseNothing)
{
    app_controller::set_handler(appcmd_local_info, &record);
    app_controller controller(config, true);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                controller.post(command(appcmd_local_info));
        });
    std::thread closer([&] {
        for (auto& p : posters)
            p.join();
        controller.post(command(appcmd_quit));
    });
    EXPECT_EQ(controller.main_loop(), 0);
    closer.join();
    EXPECT_EQ(seen().size(), 4000u);
}

TEST_F(ControllerTest, RtpNotificationsPostTheirCommands)
{
    app_controller::set_handler(appcmd_disconnect, &record);
    app_controller::set_handler(appcmd_rcv_rtp, &record);
    app_controller controller(config, true);
    controller.notify_rtp_stat(true);
    controller.notify_rtp_stat(false);
    controller.notify_rcv_end_packet();
    controller.post(command(appcmd_quit));
    controller.main_loop();
    EXPECT_EQ(seen(), (std::vector<int>{appcmd_rcv_rtp, appcmd_disconnect, appcmd_disconnect}));
}

TEST_F(ControllerTest, CopySettingClampsAndSkipsUnreadable)
{
    log_capture capture;
    app_controller controller(config, true);
    app_config web;
    web.set("audio.port", std::string("70000"));
    web.set("comm.speed", std::string("fast"));
    web.set("audio.out_delay", std::string(""));
    web.set("audio.in_delay", 3);
    controller.copy_setting<int>(web, "audio.port", 1024, 65535);
    controller.copy_setting<int>(web, "comm.speed", 300, 115200);
    controller.copy_setting<int>(web, "audio.out_delay", 2, 256);
    controller.copy_setting<int>(web, "audio.in_delay", 2, 256);
    controller.copy_setting<int>(web, "video.port", 10000, 65535);
    const auto tree = config.current();
    EXPECT_EQ(tree.get<std::string>("audio.port"), "65535");
    EXPECT_FALSE(tree.get_optional<std::string>("comm.speed"));
    EXPECT_FALSE(tree.get_optional<std::string>("audio.out_delay"));
    EXPECT_FALSE(tree.get_optional<std::string>("audio.in_delay")) << "equal to the current value";
    EXPECT_NE(capture.take().find("web setting - audio.port : 65535"), std::string::npos);
}

// Records what the console posts.
struct fake_sink : command_sink {
    std::vector<command> posted;
    void post(const command& c) override { posted.push_back(c); }
};

struct console_run {
    fake_sink sink;
    std::string output;
};

console_run run_console(const std::vector<std::string>& lines)
{
    console_run run;
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    debug_console_f console(run.sink, -1, out);
    for (const auto& l : lines)
        console.handle_line(l);
    fclose(out);
    run.output.assign(text, size);
    free(text);
    return run;
}

TEST(DebugConsole, LinesBecomeCommands)
{
    struct row {
        const char* line;
        int32_t id;            // -1: nothing posted
        std::vector<unsigned char> payload_prefix;
        std::size_t payload_size;
        const char* output;
    };
    const std::vector<unsigned char> none;
    const row rows[] = {
        {"d", appcmd_disconnect, none, 0, ""},
        {"l", appcmd_local_info, none, 0, ""},
        {"a", appcmd_sip_accept, none, 0, ""},
        {"patest", appcmd_patest, none, 0, ""},
        {"v_test", appcmd_video_test, none, 0, ""},
        {"v_q", appcmd_video_quit, none, 0, ""},
        {"c 0312345678", appcmd_connect_sip, {'0', '3', '1'}, 33, ""},
        {"cl 99", appcmd_connect_sip, {'9', '9', 0}, 33, ""},
        {"ip 192.0.2.7", appcmd_connect_ip, {'1', '9', '2'}, 32, ""},
        {"src a", appcmd_audio_src, {1, 0, 0, 0}, 4, ""},
        {"src Digital", appcmd_audio_src, {0, 0, 0, 0}, 4, ""},
        {"src x", -1, none, 0, "src [A|D]\n set audio source. A: analog\n D: digital\n"},
        {"hp d", appcmd_hp_src, {1, 0, 0, 0}, 4, ""},
        {"hp E", appcmd_hp_src, {0, 0, 0, 0}, 4, ""},
        {"hp", -1, none, 0, "hp [E|D]\n set headphone source. E: encode\n D: decode\n"},
        {"pb_pkts 6", appcmd_pb_pkts, {6, 0, 0, 0}, 4, ""},
        {"pb_pkts", -1, none, 0, "pb_pkts num_of_pkts\n"},
        {"foo bar", -1, none, 0, "unknown commmand foo\n"},
        {"   \t ", -1, none, 0, ""},
        {"c", -1, none, 0, "c\t: connect <remote_id>\n"},
        {"ip", -1, none, 0, "ip\t: connect <IP address>\n"},
    };
    for (const auto& r : rows) {
        const auto run = run_console({r.line});
        EXPECT_EQ(run.output, r.output) << r.line;
        if (r.id < 0) {
            EXPECT_TRUE(run.sink.posted.empty()) << r.line;
            continue;
        }
        ASSERT_EQ(run.sink.posted.size(), 1u) << r.line;
        const command& c = run.sink.posted[0];
        EXPECT_EQ(c.id, r.id) << r.line;
        EXPECT_EQ(c.data.size(), r.payload_size) << r.line;
        ASSERT_GE(c.data.size(), r.payload_prefix.size());
        EXPECT_TRUE(std::equal(r.payload_prefix.begin(), r.payload_prefix.end(), c.data.begin())) << r.line;
    }
}

TEST(DebugConsole, LongArgumentsAreCutInsideTheirRecord)
{
    const auto run = run_console({"c " + std::string(80, '7'), "ip " + std::string(50, '1')});
    ASSERT_EQ(run.sink.posted.size(), 2u);
    EXPECT_EQ(run.sink.posted[0].data.size(), 33u);
    EXPECT_EQ(run.sink.posted[0].data[31], 0);
    EXPECT_EQ(run.sink.posted[0].data[32], 0);
    EXPECT_EQ(run.sink.posted[1].data.size(), 32u);
    EXPECT_EQ(run.sink.posted[1].data[31], 0);
}

TEST(DebugConsole, HelpListsTwelveLines)
{
    const auto run = run_console({"h"});
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 12);
    EXPECT_EQ(run.output.rfind("q\t: quit\nh\t: help\n", 0), 0u);
}

TEST(DebugConsole, QuitPostsOneAndEnds)
{
    fake_sink sink;
    debug_console_f console(sink, -1, stdout);
    console.handle_line("q");
    ASSERT_EQ(sink.posted.size(), 1u);
    EXPECT_EQ(sink.posted[0].id, appcmd_quit);
    EXPECT_TRUE(console.ended());
}

TEST(DebugConsole, EndOfInputStopsTheThread)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "l\nd", 3), 3);
    close(fds[1]);
    fake_sink sink;
    FILE* out = fopen("/dev/null", "w");
    debug_console_f console(sink, fds[0], out);
    std::thread t(std::ref(console));
    t.join();  // ends by itself
    fclose(out);
    close(fds[0]);
    ASSERT_EQ(sink.posted.size(), 2u);
    EXPECT_EQ(sink.posted[0].id, appcmd_local_info);
    EXPECT_EQ(sink.posted[1].id, appcmd_disconnect);
}

TEST(DebugConsole, EndWhileWaitingForInputTakesEffectPromptly)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fake_sink sink;
    FILE* out = fopen("/dev/null", "w");
    debug_console_f console(sink, fds[0], out);
    std::thread t(std::ref(console));
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    console.end();
    t.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    fclose(out);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(ControllerTest, ConsoleQuitEndsTheLoopAndIsJoined)
{
    config.set("debug.console", 1);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int saved_stdin = dup(0);
    dup2(fds[0], 0);
    ASSERT_EQ(write(fds[1], "q\n", 2), 2);
    app_controller controller(config, true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(controller.main_loop(), 0);
    testing::internal::GetCapturedStdout();
    dup2(saved_stdin, 0);
    close(saved_stdin);
    close(fds[0]);
    close(fds[1]);
}

}  // namespace

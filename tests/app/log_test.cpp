#include "log.h"
#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// 5 March 2026, 09:07:03.042 local time.
timespec fixed_clock()
{
    tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 9;
    local.tm_min = 7;
    local.tm_sec = 3;
    local.tm_isdst = -1;
    timespec t{};
    t.tv_sec = mktime(&local);
    t.tv_nsec = 42 * 1000000L + 999;
    return t;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { log_s.set_clock(&fixed_clock); }
    void TearDown() override
    {
        log_s.set_clock(nullptr);
        log_s.set_level(3);
    }
    log_capture capture;
};

TEST_F(LogTest, LineFormatWithFixedClock)
{
    log_s.warn("x");
    log_s.error("code %d: %s", 7, "bad");
    log_s.info("i");
    log_s.debug("d");
    EXPECT_EQ(capture.take(),
              "26/03/05 09:07:03.042 W x\n"
              "26/03/05 09:07:03.042 E code 7: bad\n"
              "26/03/05 09:07:03.042 I i\n"
              "26/03/05 09:07:03.042 D d\n");
}

TEST_F(LogTest, ThresholdFiltersLevelsButNeverControlLines)
{
    struct row {
        int threshold;
        const char* expected_letters;
    };
    const row rows[] = {{-1, ""}, {0, "E"}, {1, "EW"}, {2, "EWI"}, {3, "EWID"}};
    for (const auto& r : rows) {
        log_s.set_level(r.threshold);
        log_s.error("m");
        log_s.warn("m");
        log_s.info("m");
        log_s.debug("m");
        log_s.enable_rotation(true);
        std::string letters;
        std::istringstream lines(capture.take());
        std::string control;
        for (std::string line; std::getline(lines, line);) {
            if (line.size() > 22 && line[21] == ' ' && line[23] == ' ')
                letters += line[22];
            else
                control += line;
        }
        EXPECT_EQ(letters, r.expected_letters) << "threshold " << r.threshold;
        EXPECT_EQ(control, "ENABLE ROTATION") << "threshold " << r.threshold;
    }
}

TEST_F(LogTest, ControlLinesAreExact)
{
    log_s.enable_rotation(true);
    log_s.enable_rotation(false);
    log_s.notify_reload();
    EXPECT_EQ(capture.take(), "ENABLE ROTATION\nDISABLE ROTATION\nRELOAD CONFIG\n");
}

TEST_F(LogTest, EmptyMessageWritesNothing)
{
    log_s.info("%s", "");
    EXPECT_EQ(capture.take(), "");
}

TEST_F(LogTest, LineBreaksCannotForgeControlLines)
{
    log_s.info("peer said: %s", "hello\nRELOAD CONFIG\r\nDISABLE ROTATION");
    const std::string out = capture.take();
    EXPECT_EQ(out, "26/03/05 09:07:03.042 I peer said: hello RELOAD CONFIG  DISABLE ROTATION\n");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST_F(LogTest, LongMessageIsCutToOneLine)
{
    const std::string big(5000, 'a');
    log_s.info("%s", big.c_str());
    const std::string out = capture.take();
    ASSERT_EQ(out.size(), static_cast<std::size_t>(log_system::line_size - 1));
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1);
}

TEST_F(LogTest, BannerNamesVersionAndBuild)
{
    log_s.show_version();
    const std::string out = capture.take();
    EXPECT_EQ(out.rfind("26/03/05 09:07:03.042 I ORVA-700 Version 6.3.0 ", 0), 0u) << out;
    EXPECT_NE(out.find(" release\n"), std::string::npos) << out;
}

TEST(LogThreads, EightThreadsThroughOnePipeNeverInterleave)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    log_s.set_output_fd(fds[1]);
    constexpr int threads = 8;
    constexpr int lines_each = 2000;
    std::string collected;
    std::thread reader([&] {
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            collected.append(buffer, static_cast<std::size_t>(n));
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            // Long lines, so that a torn write would show.
            const std::string body(900, static_cast<char>('a' + t));
            for (int i = 0; i < lines_each; ++i)
                log_s.info("T%d %06d %s", t, i, body.c_str());
        });
    }
    for (auto& w : writers)
        w.join();
    log_s.set_output_fd(2);
    close(fds[1]);
    reader.join();
    close(fds[0]);

    std::istringstream in(collected);
    int counts[threads] = {};
    int total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        ASSERT_GT(line.size(), 24u + 10u);
        const std::string message = line.substr(24);
        ASSERT_EQ(message[0], 'T');
        const int t = message[1] - '0';
        ASSERT_TRUE(t >= 0 && t < threads) << line.substr(0, 60);
        const int i = std::stoi(message.substr(3, 6));
        EXPECT_EQ(i, counts[t]) << "lines of one thread stay in order";
        counts[t] = i + 1;
        EXPECT_EQ(message.substr(10), std::string(900, static_cast<char>('a' + t))) << "line " << total;
    }
    EXPECT_EQ(total, threads * lines_each);
}

}  // namespace

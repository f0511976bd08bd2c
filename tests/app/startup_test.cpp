#include "startup.h"
#include "version.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct parsed {
    start_action action;
    unsigned timeout_us;
    std::string out;
    std::string err;
};

parsed parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "orva700");
    gpio_select_timeout = 100000;
    char* out_text = nullptr;
    char* err_text = nullptr;
    size_t out_size = 0, err_size = 0;
    FILE* out = open_memstream(&out_text, &out_size);
    FILE* err = open_memstream(&err_text, &err_size);
    const start_action action = parse_command_line(static_cast<int>(args.size()), const_cast<char**>(args.data()), out, err);
    fclose(out);
    fclose(err);
    parsed p{action, gpio_select_timeout, std::string(out_text, out_size), std::string(err_text, err_size)};
    free(out_text);
    free(err_text);
    gpio_select_timeout = 100000;
    return p;
}

TEST(CommandLine, Options)
{
    struct row {
        std::vector<const char*> args;
        start_action action;
        unsigned timeout_us;
        const char* out;
        bool refused;
    };
    const row rows[] = {
        {{}, start_action::run, 100000, "", false},
        {{"-v"}, start_action::show_version, 100000, "", false},
        {{"-g", "30"}, start_action::run, 30000, "gpio_select_timeout = 30\n", false},
        {{"-g", "5", "-v", "-g", "7"}, start_action::show_version, 5000, "gpio_select_timeout = 5\n", false},
        {{"-gx", "12", "-vv"}, start_action::show_version, 12000, "gpio_select_timeout = 12\n", false},
        {{"-g", "word"}, start_action::run, 0, "gpio_select_timeout = 0\n", false},
        {{"-g"}, start_action::run, 100000, "", false},
        {{"-g", "-5"}, start_action::run, 100000, "", true},
        {{"-g", "99999999999"}, start_action::run, 100000, "", true},
        {{"-g", "2500"}, start_action::run, 2500000, "gpio_select_timeout = 2500\n", false},
        {{"x", "-q", "-g", "1"}, start_action::run, 1000, "gpio_select_timeout = 1\n", false},
    };
    for (const auto& r : rows) {
        const parsed p = parse(r.args);
        const std::string name = r.args.empty() ? "(none)" : r.args[0];
        EXPECT_EQ(p.action, r.action) << name;
        EXPECT_EQ(p.timeout_us, r.timeout_us) << name;
        EXPECT_EQ(p.out, r.out) << name;
        EXPECT_EQ(!p.err.empty(), r.refused) << name << ": " << p.err;
    }
}

TEST(CommandLine, LongTimeoutsGiveValidSelectTimes)
{
    struct row {
        unsigned us;
        time_t sec;
        suseconds_t usec;
    };
    const row rows[] = {{100000, 0, 100000}, {999000, 0, 999000}, {1000000, 1, 0}, {2500000, 2, 500000}};
    for (const auto& r : rows) {
        gpio_select_timeout = r.us;
        const timeval tv = gpio_select_timeval();
        EXPECT_EQ(tv.tv_sec, r.sec);
        EXPECT_EQ(tv.tv_usec, r.usec);
        EXPECT_LT(tv.tv_usec, 1000000);
    }
    gpio_select_timeout = 100000;
}

// orva700 itself, run as a child with its own unit root.
class UnitProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orva_unit_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_EQ(system(("mkdir -p '" + root + "/opt/QM'").c_str()), 0);
    }
    void TearDown() override
    {
        stop();
        system(("rm -rf '" + root + "'").c_str());
    }

    void start(const std::vector<std::string>& args)
    {
        int in[2], err[2];
        ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(err, O_CLOEXEC), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(in[0], 0);
            dup2(err[1], 2);
            dup2(err[1], 1);
            setenv("ORVA_ROOT", root.c_str(), 1);
            std::vector<char*> argv;
            const std::string program = ORVA_BINARY_DIR "/app/orva700";
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(err[1]);
        to_child = in[1];
        from_child = err[0];
    }

    // Reads the child's output until it holds `count` occurrences of `text` (or 60 s pass).
    bool wait_for(const std::string& text, int count = 1)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            int seen = 0;
            for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
                ++seen;
            if (seen >= count)
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd p{from_child, POLLIN, 0};
            if (poll(&p, 1, 200) > 0) {
                char buffer[4096];
                const ssize_t n = read(from_child, buffer, sizeof buffer);
                if (n <= 0)
                    return false;
                output.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }

    // Collects the child's output for `ms` milliseconds.
    void drain(int ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{from_child, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buffer[4096];
                const ssize_t n = read(from_child, buffer, sizeof buffer);
                if (n <= 0)
                    return;
                output.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }

    void stop()
    {
        if (to_child >= 0)
            close(to_child);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (from_child >= 0)
            close(from_child);
        pid = -1;
        to_child = from_child = -1;
    }

    std::string root;
    pid_t pid = -1;
    int to_child = -1;
    int from_child = -1;
    std::string output;
};

TEST_F(UnitProcess, VersionOptionPrintsAndExits)
{
    start({"-g", "30", "-v"});
    close(to_child);
    to_child = -1;
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    pid = -1;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    char buffer[256];
    const ssize_t n = read(from_child, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "gpio_select_timeout = 30\n6.3.0\n") << "no banner before -v";
}

TEST_F(UnitProcess, ConsoleQuitRebuildsTheController)
{
    std::ofstream(root + "/opt/QM/orva700.cfg") << "[debug]\nconsole=1\n";
    start({});
    ASSERT_TRUE(wait_for(" I ORVA-700 Version 6.3.0 "));
    ASSERT_TRUE(wait_for("app_controller::app_controller: first start 1\n"));
    ASSERT_EQ(write(to_child, "q\nq\n", 4), 4);
    ASSERT_TRUE(wait_for("app_controller::app_controller: first start 0\n", 2)) << output;
    EXPECT_EQ(output.find("first start 1", output.find("first start 1") + 1), std::string::npos)
        << "only the first controller is told it is the first start";
    // End of input: the console stops, the unit runs on without spinning.
    close(to_child);
    to_child = -1;
    usleep(300000);
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the unit still runs";
}

TEST_F(UnitProcess, LogLevelComesFromTheConfiguration)
{
    std::ofstream(root + "/opt/QM/orva700.cfg") << "[log]\nlevel=2\n";
    start({});
    ASSERT_TRUE(wait_for(" I ORVA-700 Version"));
    drain(500);
    EXPECT_EQ(output.find(" D "), std::string::npos) << output;
}

TEST_F(UnitProcess, BrokenConfigurationEndsInTheFatalDisplay)
{
    std::ofstream(root + "/opt/QM/orva700.cfg") << "[audio]\ncodec_id=1\ncodec_id=2\n";
    start({});
    ASSERT_TRUE(wait_for(" E FATAL ERROR\n")) << output;
    EXPECT_NE(output.find(" E exception: "), std::string::npos) << output;
    EXPECT_NE(output.find("duplicate key"), std::string::npos) << output;
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the fatal display never returns";
}

}  // namespace

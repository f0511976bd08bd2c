// orva700 on the simulated board with a configuration file that is not ini: the start-up ends in
// the fatal-error display, which a person sees through the panel viewer.
#include "panel_server.h"
#include "test_unit.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(FatalErrorUnit, InvalidConfigurationShowsFatalErrorWithTheBlink)
{
    orva::test::scoped_unit unit;
    orva::sim::panel_server panel(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
    panel.start();
    unit.write("/opt/QM/orva700.cfg", "[audio\nthis is = not [ini\n");

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("ORVA_ROOT", unit.root().c_str(), 1);
        const std::string log = unit.path("/var/log/orva700.log");
        FILE* err = std::freopen(log.c_str(), "w", stderr);
        (void)err;
        ::execl(ORVA_BINARY_DIR "/app/orva700", "orva700", static_cast<char*>(nullptr));
        ::_exit(127);
    }

    // What the viewer shows, sampled over three seconds.
    orva::sim::panel_client viewer(panel.socket_path());
    bool shown = false, lit = false, dark = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int samples_after_shown = 0;
    while (std::chrono::steady_clock::now() < until && samples_after_shown < 60) {
        auto st = viewer.state();
        if (st["line1"] == "FATAL ERROR         ") {
            shown = true;
            ++samples_after_shown;
            if (st["leds"] == "lan=1 gw=1 err=1 con=1 ipc=1 ngn=1 in=1 out=0" && st["meter0"] == "19 19 1")
                lit = true;
            if (st["leds"] == "lan=0 gw=0 err=1 con=0 ipc=0 ngn=0 in=0 out=0" && st["meter0"] == "0 0 0")
                dark = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "orva700 must stay in the fatal-error display";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(lit);
    EXPECT_TRUE(dark);
    EXPECT_NE(unit.read("/var/log/orva700.log").find("exception"), std::string::npos);
}

}  // namespace

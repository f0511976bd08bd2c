// The call-state indicator: lock directory, connected output, connection lamp, STATUS request and
// the log writer's rotation switch.

#include "comm_status.h"
#include "key_led.h"
#include "log_capture.h"
#include "test_unit.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class fake_line : public orva::output_line_port {
public:
    explicit fake_line(bool& v) : m_v(v) {}
    int set(bool on) override
    {
        m_v = on;
        return 0;
    }
    bool get() const override { return m_v; }

private:
    bool& m_v;
};

TEST(CommStatus, FollowsTheCallState)
{
    orva::test::scoped_unit unit;
    log_capture log;
    int sent = 0;
    bool output = false;
    comm_status s([&] { ++sent; }, nullptr, std::make_unique<fake_line>(output), true);
    const auto lock = [] { return std::filesystem::is_directory(comm_status::lock_dir()); };
    struct step {
        int state;
        bool lock, output;
        int sent;
        const char* rotation;
    };
    const step steps[] = {
        {1, false, false, 0, ""},                     // the same state: nothing
        {2, true, false, 1, "DISABLE ROTATION\n"},    // a SIP call being placed
        {3, true, true, 2, "DISABLE ROTATION\n"},     // connected
        {9, true, true, 3, "DISABLE ROTATION\n"},     // still connected, other text
        {10, true, false, 4, "DISABLE ROTATION\n"},
        {1, false, false, 5, "ENABLE ROTATION\n"},
        {7, true, false, 6, "DISABLE ROTATION\n"},
        {0, false, false, 7, "DISABLE ROTATION\n"},
    };
    for (const auto& st : steps) {
        SCOPED_TRACE(st.state);
        s.update(st.state);
        EXPECT_EQ(lock(), st.lock);
        EXPECT_EQ(output, st.output);
        EXPECT_EQ(sent, st.sent);
        EXPECT_EQ(log.take(), st.rotation);
    }
}

TEST(CommStatus, OutputOnlyWhenDriven)
{
    orva::test::scoped_unit unit;
    log_capture log;
    bool output = true;
    comm_status s([] {}, nullptr, std::make_unique<fake_line>(output), false);
    s.update(9);
    EXPECT_TRUE(output);  // not driven: untouched
    s.enable_gpio(false);
    EXPECT_FALSE(output);
    s.enable_gpio(true);
    s.update(3);
    EXPECT_TRUE(output);
}

}  // namespace

// The LAN watch reports a link once when it is up at start, and nothing for an interface that
// does not exist (it counts as down, the state it starts from).

#include "watch_thr_f.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class sink : public command_sink {
public:
    void post(const command& c) override
    {
        std::lock_guard lock(m);
        posted.push_back(c);
    }
    std::mutex m;
    std::vector<command> posted;
};

TEST(LanWatch, LinkUpIsReportedOnceWithItsAddress)
{
    sink s;
    watch_thr_f w("lo", s);
    uint32_t address = 0;
    ASSERT_TRUE(w.link_up(address));
    w.main_loop();
    w.main_loop();
    ASSERT_EQ(s.posted.size(), 1u);
    EXPECT_EQ(s.posted[0].id, appcmd_change_lan_stat);
    ASSERT_EQ(s.posted[0].data.size(), 8u);
    EXPECT_EQ(s.posted[0].data[0], 1);
    uint32_t reported;
    memcpy(&reported, &s.posted[0].data[4], 4);
    EXPECT_EQ(ntohl(reported), INADDR_LOOPBACK);
}

TEST(LanWatch, MissingInterfaceReadsAsDown)
{
    sink s;
    watch_thr_f w("orvanone0", s);
    uint32_t address = 0;
    EXPECT_FALSE(w.link_up(address));
    w.main_loop();
    EXPECT_TRUE(s.posted.empty());
}

}  // namespace

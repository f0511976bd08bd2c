#include "reconnector.h"

#include <gtest/gtest.h>

#include "recording_host.h"

namespace {

TEST(Reconnector, RetriesUpToTheMaximumThenDisarms)
{
    recording_host host;
    reconnector r(host, false, 3);
    r.enable("192.0.2.1", false);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(r.retry()) << i;
        EXPECT_EQ(r.count(), i);
    }
    EXPECT_FALSE(r.retry());
    EXPECT_FALSE(r.armed());
    EXPECT_FALSE(r.retry());
    const auto posted = host.posted();
    ASSERT_EQ(posted.size(), 3u);
    for (const auto& c : posted) {
        EXPECT_EQ(c.id, 7);
        ASSERT_EQ(c.data.size(), 32u);
        EXPECT_STREQ(reinterpret_cast<const char*>(c.data.data()), "192.0.2.1");
    }
}

TEST(Reconnector, DoesNothingUntilArmed)
{
    recording_host host;
    reconnector r(host, true, 10);
    EXPECT_FALSE(r.retry());
    r.enable("0312345678", true);
    r.disable();
    EXPECT_FALSE(r.retry());
    EXPECT_EQ(r.count(), 0);
    EXPECT_EQ(r.destination(), "");
    EXPECT_TRUE(host.posted().empty());
}

TEST(Reconnector, SipDialCarriesTheNumberAndTheFlagByte)
{
    recording_host host;
    reconnector r(host, false, 2);
    const std::string long_number(40, '9');
    r.enable(long_number, true);
    ASSERT_TRUE(r.retry());
    const auto c = host.posted().at(0);
    EXPECT_EQ(c.id, 4);
    ASSERT_EQ(c.data.size(), 33u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.data.data())), std::string(31, '9'));
    EXPECT_EQ(c.data[31], 0);
    EXPECT_EQ(c.data[32], 0);
}

TEST(Reconnector, ANewMaximumTakesEffectAtOnce)
{
    recording_host host;
    reconnector r(host, false, 5);
    r.enable("192.0.2.1", false);
    ASSERT_TRUE(r.retry());
    r.set_max_times(1);
    EXPECT_FALSE(r.retry());
    r.enable("192.0.2.1", false);  // arming again starts a new count
    EXPECT_TRUE(r.retry());
}

}  // namespace

// Start-up of the SIP layer: order, double start, and exact roll-back when a module fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SLSip.h"
#include "SLSipModules.h"

namespace {

std::vector<std::string> g_calls;
std::string g_failing;

// Stand-ins for every module of the real table, recording their calls by name.
template <size_t I>
int fakeInit()
{
    size_t n = 0;
    const std::string name = SLSipGetModules(&n)[I].name;
    g_calls.push_back("init " + name);
    return name == g_failing ? static_cast<int>(0xA0A98009u) : 0;
}
template <size_t I>
void fakeCleanup()
{
    size_t n = 0;
    g_calls.push_back(std::string("cleanup ") + SLSipGetModules(&n)[I].name);
}

class SLSipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        size_t n = 0;
        const SLSipModule* real = SLSipGetModules(&n);
        ASSERT_EQ(14u, n);
        fakes_.assign(real, real + n);
        fill(std::make_index_sequence<14>{});
        SLSipSetModules(fakes_.data(), fakes_.size());
        g_calls.clear();
        g_failing.clear();
    }
    void TearDown() override
    {
        SLSipCleanup();
        SLSipSetModules(nullptr, 0);
    }
    template <size_t... I>
    void fill(std::index_sequence<I...>)
    {
        ((fakes_[I].initialize = fakeInit<I>, fakes_[I].cleanup = fakeCleanup<I>), ...);
    }
    std::vector<SLSipModule> fakes_;
};

const std::vector<std::string> kStartOrder = {"SLMem", "SLParam", "SLAddr", "SLUri", "SLGenHdr", "SLSipHdr", "SLSipMsg",
                                              "SLMsg", "SLMsgData", "SLCmgTimer", "SLCmg", "SLIfm", "SLNet", "SLTrm"};
const std::vector<std::string> kCleanupOrder = {"SLCmg", "SLCmgTimer", "SLTrm", "SLNet", "SLIfm", "SLMsg", "SLMsgData",
                                                "SLSipMsg", "SLSipHdr", "SLGenHdr", "SLUri", "SLAddr", "SLParam", "SLMem"};

std::vector<std::string> prefixed(const char* verb, const std::vector<std::string>& names)
{
    std::vector<std::string> out;
    for (const std::string& n : names)
        out.push_back(std::string(verb) + " " + n);
    return out;
}

TEST_F(SLSipTest, StartsInOrderAndCleansUpInItsOwnOrder)
{
    ASSERT_EQ(0, SLSipInitialize());
    EXPECT_EQ(prefixed("init", kStartOrder), g_calls);
    EXPECT_EQ(0xFFFDu, SLSipGetFlags());
    g_calls.clear();
    EXPECT_EQ(static_cast<int>(0xA0A1800Du), SLSipInitialize());
    EXPECT_TRUE(g_calls.empty());  // the running layer is untouched
    ASSERT_EQ(0, SLSipCleanup());
    EXPECT_EQ(prefixed("cleanup", kCleanupOrder), g_calls);
    EXPECT_EQ(0u, SLSipGetFlags());
    EXPECT_EQ(static_cast<int>(0xA0A1800Cu), SLSipCleanup());
}

// Whichever module fails, exactly the modules started before it are cleaned up, in clean-up
// order, and the failing module's error is returned.
TEST_F(SLSipTest, FailureRollsBackExactlyWhatStarted)
{
    for (size_t k = 0; k < kStartOrder.size(); ++k) {
        g_calls.clear();
        g_failing = kStartOrder[k];
        EXPECT_EQ(static_cast<int>(0xA0A98009u), SLSipInitialize()) << g_failing;
        std::vector<std::string> expected;
        for (size_t i = 0; i <= k; ++i)
            expected.push_back("init " + kStartOrder[i]);
        for (const std::string& name : kCleanupOrder)
            for (size_t i = 0; i < k; ++i)
                if (kStartOrder[i] == name)
                    expected.push_back("cleanup " + name);
        EXPECT_EQ(expected, g_calls) << g_failing;
        EXPECT_EQ(0u, SLSipGetFlags());
        EXPECT_EQ(static_cast<int>(0xA0A1800Cu), SLSipCleanup());
    }
}

TEST_F(SLSipTest, NetworkFailureCleansUpEverythingBeforeIt)
{
    g_failing = "SLNet";
    SLSipInitialize();
    const std::vector<std::string> tail(g_calls.begin() + 13, g_calls.end());
    EXPECT_EQ((std::vector<std::string>{"cleanup SLCmg", "cleanup SLCmgTimer", "cleanup SLIfm", "cleanup SLMsg",
                                        "cleanup SLMsgData", "cleanup SLSipMsg", "cleanup SLSipHdr", "cleanup SLGenHdr",
                                        "cleanup SLUri", "cleanup SLAddr", "cleanup SLParam", "cleanup SLMem"}),
              tail);
}

TEST_F(SLSipTest, StopMsgQueueThenCleanup)
{
    EXPECT_EQ(static_cast<int>(0xA0A1800Cu), SLSipStopMsgQueue());
    ASSERT_EQ(0, SLSipInitialize());
    g_calls.clear();
    ASSERT_EQ(0, SLSipStopMsgQueue());
    EXPECT_EQ((std::vector<std::string>{"cleanup SLCmg", "cleanup SLCmgTimer"}), g_calls);
    EXPECT_EQ(0u, SLSipGetFlags() & (SL_SIP_FLAG_CMG | SL_SIP_FLAG_CMG_TIMER));
    g_calls.clear();
    ASSERT_EQ(0, SLSipCleanup());
    const std::vector<std::string> all = prefixed("cleanup", kCleanupOrder);
    EXPECT_EQ(std::vector<std::string>(all.begin() + 2, all.end()), g_calls);
    EXPECT_EQ(87340u, SLSipGetVersion());
}

TEST(SLSipReal, StartsAndStopsTheModulesOfThisBuild)
{
    ASSERT_EQ(0, SLSipInitialize());
    EXPECT_TRUE(SLSipGetFlags() & SL_SIP_FLAG_MEM);
    EXPECT_TRUE(SLSipGetFlags() & SL_SIP_FLAG_PARAM);
    EXPECT_EQ(0, SLSipCleanup());
}

}  // namespace

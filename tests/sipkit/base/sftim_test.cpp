// Calendar conversion, checked against Python's calendar over many random times.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "SFTim.h"

namespace {

TEST(SFTim, KnownDates)
{
    SFTimTm tm{};
    ASSERT_EQ(0, SFTimGmtime(&tm, 68169600));
    EXPECT_EQ(72, tm.year);
    EXPECT_EQ(1, tm.mon);
    EXPECT_EQ(29, tm.mday);
    EXPECT_EQ(59, tm.yday);
    EXPECT_EQ(2, tm.wday);  // Tuesday

    ASSERT_EQ(0, SFTimGmtime(&tm, 0));
    EXPECT_EQ(70, tm.year);
    EXPECT_EQ(0, tm.mon);
    EXPECT_EQ(1, tm.mday);
    EXPECT_EQ(4, tm.wday);  // Thursday

    SFTimTm march{};
    march.year = 72;
    march.mon = 2;
    march.mday = 1;
    EXPECT_EQ(68256000, SFTimMktime(&march));
    EXPECT_EQ(60, march.yday);

    EXPECT_EQ(-1, SFTimGmtime(&tm, -1));
    SFTimTm bad{};
    bad.year = 100;
    bad.mon = 12;
    EXPECT_EQ(-1, SFTimMktime(&bad));
}

// Python prints, for seeded random times up to the year 2400, the seconds and their UTC fields.
TEST(SFTim, AgreesWithPythonOverRandomTimes)
{
    const char* script =
        "import random,datetime\n"
        "r=random.Random(8103)\n"
        "e=datetime.datetime(1970,1,1)\n"
        "for s in [0,951782400,951868799,4107542400,4107542399,4102444800]+[r.randrange(0,13569465600) for _ in range(20000)]:\n"
        "  d=e+datetime.timedelta(seconds=s)\n"
        "  t=d.timetuple()\n"
        "  print(s,t.tm_year-1900,t.tm_mon-1,t.tm_mday,t.tm_hour,t.tm_min,t.tm_sec,(t.tm_wday+1)%7,t.tm_yday-1)\n";
    const std::string command = "python3 -c '" + std::string(script) + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(nullptr, pipe) << "python3 is needed for this check";
    long long seconds;
    int fields[8];
    int lines = 0;
    while (std::fscanf(pipe.get(), "%lld %d %d %d %d %d %d %d %d", &seconds, &fields[0], &fields[1], &fields[2],
                       &fields[3], &fields[4], &fields[5], &fields[6], &fields[7]) == 9) {
        ++lines;
        SFTimTm tm{};
        ASSERT_EQ(0, SFTimGmtime(&tm, seconds));
        const int got[8] = {tm.year, tm.mon, tm.mday, tm.hour, tm.min, tm.sec, tm.wday, tm.yday};
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(fields[i], got[i]) << "seconds " << seconds << " field " << i;
        SFTimTm back{};
        back.year = tm.year;
        back.mon = tm.mon;
        back.mday = tm.mday;
        back.hour = tm.hour;
        back.min = tm.min;
        back.sec = tm.sec;
        ASSERT_EQ(seconds, SFTimMktime(&back));
    }
    EXPECT_EQ(20006, lines) << "python3 did not run";
}

TEST(SFTim, MillisecondClockAdvances)
{
    SFTimInitialize();
    const uint32_t a = SFTimGetTime();
    struct timespec pause = {0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    const uint32_t b = SFTimGetTime();
    EXPECT_GE(b - a, 15u);
    EXPECT_LT(b - a, 60000u);
}

}  // namespace

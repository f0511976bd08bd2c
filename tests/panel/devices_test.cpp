#include "gpio_dev.h"
#include "hp_volume.h"
#include "test_unit.h"

#include <sys/select.h>

#include <gtest/gtest.h>

#include <chrono>
#include <system_error>
#include <thread>

namespace {

bool edge_within(int fd, int ms)
{
    fd_set except;
    FD_ZERO(&except);
    FD_SET(fd, &except);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::select(fd + 1, nullptr, nullptr, &except, &tv) == 1;
}

TEST(GpioDev, OutputLineFiles)
{
    orva::test::scoped_unit unit;
    gpio_out_dev out(93, true);
    EXPECT_EQ(unit.read("/sys/class/gpio/export"), "93");
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio93/direction"), "out");
    EXPECT_EQ(out.set(false), 0);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio93/value")[0], '0');
    EXPECT_EQ(out.set(true), 0);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio93/value"), "1\n");  // one byte written over the line's value
    EXPECT_TRUE(out.get());
    gpio_out_dev keep(87, false);
    EXPECT_EQ(unit.read("/sys/class/gpio/export"), "87");
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio87/direction"), "in\n");  // left as it was
}

TEST(GpioDev, InputsAreActiveLowAndWakeOnEdges)
{
    orva::test::scoped_unit unit;
    gpio_in_dev in(168, true);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio168/direction"), "in");
    struct level_case {
        const char* file;
        bool active;
    };
    const level_case cases[] = {{"0\n", true}, {"1\n", false}, {"0", true}, {"", false}};
    for (const auto& c : cases) {
        unit.write("/sys/class/gpio/gpio168/value", c.file);
        EXPECT_EQ(in.get(), c.active) << c.file;
    }
    unit.write("/sys/class/gpio/gpio168/value", "1\n");
    // The changes above were edges too; let them arrive, then read them away.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    in.get();
    EXPECT_FALSE(edge_within(in.edge_fd(), 300));
    unit.write("/sys/class/gpio/gpio168/value", "0\n");
    ASSERT_TRUE(edge_within(in.edge_fd(), 5000));
    EXPECT_TRUE(in.get());
    EXPECT_FALSE(edge_within(in.edge_fd(), 0));  // reading clears the edge
}

TEST(GpioDev, MissingLineDirectoryThrowsNamingTheFile)
{
    orva::test::scoped_unit unit;
    std::filesystem::remove(unit.path("/sys/class/gpio/export"));
    std::filesystem::remove_all(unit.path("/sys/class/gpio"));
    try {
        gpio_in_dev in(174, false);
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("/sys/class/gpio/export"), std::string::npos) << e.what();
        EXPECT_EQ(e.code().value(), ENOENT);
    }
}

TEST(HpVolume, WritesBothChannelsOnlyOnAChange)
{
    orva::test::scoped_unit unit;
    hp_volume hp("/dev/spidev0.3");
    struct step {
        int request;
        int result;
        const char* sent;
    };
    const step steps[] = {
        {-5, 0, ""},
        {100, 63, "mode=3 bits=16 speed=500000 tx=3f01\nmode=3 bits=16 speed=500000 tx=3f02\n"},
        {70, 63, ""},
        {10, 10, "mode=3 bits=16 speed=500000 tx=0a01\nmode=3 bits=16 speed=500000 tx=0a02\n"},
        {0, 0, "mode=3 bits=16 speed=500000 tx=0001\nmode=3 bits=16 speed=500000 tx=0002\n"},
    };
    std::string log;
    for (const auto& s : steps) {
        EXPECT_EQ(hp.set(s.request), s.result) << s.request;
        log += s.sent;
        EXPECT_EQ(unit.read("/dev/spidev0.3"), log) << s.request;
    }
    EXPECT_EQ(hp.get(), 0);
}

TEST(HpVolume, UnopenableDeviceThrowsWithThePath)
{
    orva::test::scoped_unit unit;
    std::filesystem::remove_all(unit.path("/dev"));
    try {
        hp_volume hp("/dev/spidev0.3");
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("/dev/spidev0.3"), std::string::npos);
    }
}

}  // namespace

#include "gpio_sim.h"
#include "test_unit.h"

#include <sys/select.h>

#include <gtest/gtest.h>

namespace {

bool edge_within(int fd, int ms)
{
    fd_set except;
    FD_ZERO(&except);
    FD_SET(fd, &except);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::select(fd + 1, nullptr, nullptr, &except, &tv) == 1;
}

TEST(GpioSim, ExportMakesTheLineWithoutTouchingAnExistingValue)
{
    orva::test::scoped_unit unit;
    const std::string dir = unit.path("/sys/class/gpio");
    ASSERT_EQ(orva::sim::gpio_export(dir, 168), 0);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio168/value"), "1\n");
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio168/direction"), "in\n");
    unit.write("/sys/class/gpio/gpio168/value", "0");
    ASSERT_EQ(orva::sim::gpio_export(dir, 168), 0);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio168/value"), "0");
}

TEST(GpioSim, AChangedValueIsAnEdgeUntilAcknowledged)
{
    orva::test::scoped_unit unit;
    ASSERT_EQ(orva::sim::gpio_export(unit.path("/sys/class/gpio"), 174), 0);
    const int fd = orva::sim::gpio_edge_open(unit.path("/sys/class/gpio/gpio174/value"));
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(edge_within(fd, 300));
    unit.write("/sys/class/gpio/gpio174/value", "0\n");
    EXPECT_TRUE(edge_within(fd, 5000));
    EXPECT_TRUE(edge_within(fd, 0));  // stays pending
    orva::sim::gpio_edge_ack(fd);
    EXPECT_FALSE(edge_within(fd, 0));
    unit.write("/sys/class/gpio/gpio174/value", "0\n");  // same level: no edge
    EXPECT_FALSE(edge_within(fd, 500));
    unit.write("/sys/class/gpio/gpio174/value", "1\n");
    EXPECT_TRUE(edge_within(fd, 5000));
    orva::sim::gpio_edge_close(fd);
}

}  // namespace

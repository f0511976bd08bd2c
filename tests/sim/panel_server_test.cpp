#include "panel_server.h"
#include "spidev.h"
#include "test_unit.h"

#include <linux/spi/spidev.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using orva::sim::panel_client;
using orva::sim::panel_server;

class PanelServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<panel_server>(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
        server->start();
    }
    void select(bool line90, bool line92)
    {
        unit.write("/sys/class/gpio/gpio90/value", line90 ? "1" : "0");
        unit.write("/sys/class/gpio/gpio92/value", line92 ? "1" : "0");
    }
    // One transfer as the board's bus driver makes it.
    int transfer(int fd, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speed = 100000)
    {
        spi_ioc_transfer x{};
        x.tx_buf = reinterpret_cast<uintptr_t>(tx);
        x.rx_buf = reinterpret_cast<uintptr_t>(rx);
        x.len = len;
        x.speed_hz = speed;
        x.bits_per_word = 8;
        return orva::spidev_ioctl(fd, SPI_IOC_MESSAGE(1), &x);
    }
    int open_bus()
    {
        const int fd = orva::spidev_open("/dev/spidev4.0");
        uint8_t mode = 3;
        EXPECT_EQ(orva::spidev_ioctl(fd, SPI_IOC_WR_MODE, &mode), 0);
        return fd;
    }

    orva::test::scoped_unit unit;
    std::unique_ptr<panel_server> server;
};

TEST_F(PanelServer, SelectLinesRouteTransfersToDisplayOrKeyBoard)
{
    const int fd = open_bus();
    ASSERT_GE(fd, 0);
    const uint8_t h = 'H';
    select(true, false);
    EXPECT_EQ(transfer(fd, &h, nullptr, 1), 1);
    select(false, false);
    EXPECT_EQ(transfer(fd, &h, nullptr, 1), 1);  // nobody listens
    select(true, true);
    EXPECT_EQ(transfer(fd, &h, nullptr, 1), 1);  // both selected: nobody answers either

    server->key_down(orva::sim::panel_key_index("DIAL"));
    uint8_t tx[14] = {3}, rx[14];
    select(false, true);
    EXPECT_EQ(transfer(fd, tx, rx, 14), 14);
    EXPECT_EQ(rx[3], 0x20);

    const auto st = server->state();
    EXPECT_EQ(st.lines[0], "H                   ");
    EXPECT_EQ(st.display_bytes, 1u);
    EXPECT_EQ(st.unselected, 2u);
    EXPECT_EQ(st.frames, 1u);
    EXPECT_EQ(st.bad_transfers, 0u);
    orva::spidev_close(fd);
}

TEST_F(PanelServer, WrongBusSettingsAreCounted)
{
    const int fd = orva::spidev_open("/dev/spidev4.0");  // mode left at 0
    const uint8_t b = 'x';
    select(true, false);
    EXPECT_EQ(transfer(fd, &b, nullptr, 1), 1);
    uint8_t mode = 3;
    orva::spidev_ioctl(fd, SPI_IOC_WR_MODE, &mode);
    EXPECT_EQ(transfer(fd, &b, nullptr, 1, 1000000), 1);  // too fast
    EXPECT_EQ(server->state().bad_transfers, 2u);
    orva::spidev_close(fd);
}

TEST_F(PanelServer, ClientsReadStateAndPressKeys)
{
    panel_client viewer(server->socket_path());
    EXPECT_EQ(viewer.request("press DIAL 3"), "ok\n");
    EXPECT_EQ(viewer.request("press NOPE"), "error: unknown key\n");
    EXPECT_EQ(viewer.request("jump"), "error: unknown command\n");
    auto st = viewer.state();
    EXPECT_EQ(st["keys"], "DIAL");
    EXPECT_EQ(st["line1"], std::string(20, ' '));
    EXPECT_EQ(st["leds"], "lan=0 gw=0 err=0 con=0 ipc=0 ngn=0 in=0 out=0");
    EXPECT_EQ(st["meter0"], "0 0 0");
    EXPECT_EQ(viewer.request("up DIAL"), "ok\n");
    EXPECT_EQ(viewer.state()["keys"], "");
}

TEST_F(PanelServer, WithoutAPanelTheBusPathIsATransferLog)
{
    server.reset();
    // With the socket gone the path is free: the driver then gets a transfer log, as any other
    // spidev path on the simulated board. A stale socket file refuses the connection instead.
    const int fd = orva::spidev_open("/dev/spidev4.0");
    EXPECT_GE(fd, 0);
    orva::spidev_close(fd);
}

TEST(SpidevLog, TransfersToAPlainDeviceAreRecorded)
{
    orva::test::scoped_unit unit;
    const int fd = orva::spidev_open("/dev/spidev0.3");
    ASSERT_GE(fd, 0);
    uint8_t bits = 16;
    uint32_t speed = 0;
    ASSERT_EQ(orva::spidev_ioctl(fd, SPI_IOC_WR_BITS_PER_WORD, &bits), 0);
    ASSERT_EQ(orva::spidev_ioctl(fd, SPI_IOC_RD_MAX_SPEED_HZ, &speed), 0);
    EXPECT_EQ(speed, 500000u);
    const uint8_t tx[2] = {0x3f, 0x01};
    spi_ioc_transfer x{};
    x.tx_buf = reinterpret_cast<uintptr_t>(tx);
    x.len = 2;
    x.speed_hz = 500000;
    EXPECT_EQ(orva::spidev_ioctl(fd, SPI_IOC_MESSAGE(1), &x), 2);
    EXPECT_EQ(orva::spidev_ioctl(fd, 0x1234, &x), -1);
    EXPECT_EQ(errno, ENOTTY);
    orva::spidev_close(fd);
    EXPECT_EQ(unit.read("/dev/spidev0.3"), "mode=0 bits=16 speed=500000 tx=3f01\n");
}

}  // namespace

namespace {

TEST(PanelRestart, ARestartedPanelIsReachedAgainThroughTheSameDescriptor)
{
    orva::test::scoped_unit unit;
    auto server = std::make_unique<panel_server>(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
    server->start();
    const int fd = orva::spidev_open("/dev/spidev4.0");
    ASSERT_GE(fd, 0);
    unit.write("/sys/class/gpio/gpio90/value", "1");
    spi_ioc_transfer x{};
    uint8_t b = 'A';
    x.tx_buf = reinterpret_cast<uintptr_t>(&b);
    x.len = 1;
    ASSERT_EQ(orva::spidev_ioctl(fd, SPI_IOC_MESSAGE(1), &x), 1);
    server.reset();
    server = std::make_unique<panel_server>(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
    server->start();
    b = 'B';
    EXPECT_EQ(orva::spidev_ioctl(fd, SPI_IOC_MESSAGE(1), &x), 1);
    EXPECT_EQ(server->state().lines[0][0], 'B');
    orva::spidev_close(fd);
}

}  // namespace

#include "device.h"
#include "timerfd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(Device, OpenFailureThrowsNamingConstructorAndCall)
{
    try {
        device d("/nonexistent/orva/device");
        FAIL() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
        EXPECT_EQ(std::string(e.what()).rfind("device::device(const char*): open", 0), 0u) << e.what();
    }
}

TEST(Device, CloseWithoutDescriptorReturnsZero)
{
    device d;
    EXPECT_EQ(d.close(), 0);
    EXPECT_EQ(d.fd(), -1);
}

TEST(Device, FailedCloseStillForgetsTheDescriptor)
{
    const int fd = ::open("/dev/null", O_RDWR);
    ASSERT_GE(fd, 0);
    device d(fd);
    ::close(fd);  // someone else closed it: the next close fails
    EXPECT_EQ(d.close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(d.fd(), -1);
    EXPECT_EQ(d.close(), 0) << "no second close of a descriptor number that may be reused";
}

TEST(Device, ReadWriteAndIoctlErrors)
{
    device d("/dev/null");
    EXPECT_EQ(d.write("abc", 3), 3);
    char c;
    EXPECT_EQ(d.read(&c, 1), 0);
    termios t{};
    EXPECT_EQ(d.xioctl(TCGETS, &t), -ENOTTY);
}

void on_alarm(int) {}

TEST(Device, SelectIsRepeatedWhenInterrupted)
{
    struct sigaction sa{};
    sa.sa_handler = on_alarm;
    struct sigaction old{};
    sigaction(SIGUSR1, &sa, &old);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pthread_t self = pthread_self();
    std::thread poke([&] {
        usleep(50000);
        pthread_kill(self, SIGUSR1);
        usleep(50000);
        ASSERT_EQ(::write(fds[1], "x", 1), 1);
    });
    fd_set r;
    FD_ZERO(&r);
    FD_SET(fds[0], &r);
    timeval tv{10, 0};
    EXPECT_EQ(device::xselect(fds[0] + 1, &r, nullptr, nullptr, &tv), 1);
    poke.join();
    sigaction(SIGUSR1, &old, nullptr);
    close(fds[0]);
    close(fds[1]);
}

TEST(Timerfd, RepeatArmsFirstExpiryAndInterval)
{
    timerfd t;
    ASSERT_EQ(t.start_repeat(1500), 0);
    itimerspec now{};
    ASSERT_EQ(timerfd_gettime(t.fd(), &now), 0);
    EXPECT_EQ(now.it_interval.tv_sec, 1);
    EXPECT_EQ(now.it_interval.tv_nsec, 500000000L);
    EXPECT_LE(now.it_value.tv_sec * 1000000000L + now.it_value.tv_nsec, 1500000000L);
    EXPECT_GT(now.it_value.tv_sec * 1000000000L + now.it_value.tv_nsec, 1000000000L);
    ASSERT_EQ(t.stop(), 0);
    ASSERT_EQ(timerfd_gettime(t.fd(), &now), 0);
    EXPECT_EQ(now.it_value.tv_sec + now.it_value.tv_nsec, 0);
}

TEST(Timerfd, OneshotBecomesReadableOnce)
{
    timerfd t;
    ASSERT_EQ(t.start_oneshot(20), 0);
    pollfd p{t.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    uint64_t expirations = 0;
    EXPECT_EQ(t.read(&expirations, sizeof expirations), 8);
    EXPECT_EQ(expirations, 1u);
    EXPECT_EQ(poll(&p, 1, 100), 0);
}

}  // namespace

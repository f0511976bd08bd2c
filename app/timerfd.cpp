#include "timerfd.h"

#include <cerrno>
#include <sys/timerfd.h>
#include <system_error>

namespace {

timespec from_ms(int ms)
{
    timespec t{};
    t.tv_sec = ms / 1000;
    t.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    return t;
}

}  // namespace

timerfd::timerfd() : device(::timerfd_create(CLOCK_MONOTONIC, 0))
{
    if (m_fd < 0)
        throw std::system_error(errno, std::system_category(), "timerfd");
}

int timerfd::start_repeat(int ms)
{
    itimerspec spec{};
    spec.it_value = from_ms(ms);
    spec.it_interval = from_ms(ms);
    return ::timerfd_settime(m_fd, 0, &spec, nullptr);
}

int timerfd::start_oneshot(int ms)
{
    itimerspec spec{};
    spec.it_value = from_ms(ms);
    return ::timerfd_settime(m_fd, 0, &spec, nullptr);
}

int timerfd::stop()
{
    itimerspec spec{};
    return ::timerfd_settime(m_fd, 0, &spec, nullptr);
}

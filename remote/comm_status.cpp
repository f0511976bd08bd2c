#include "comm_status.h"

#include "key_led.h"
#include "log.h"
#include "unit_root.h"

#include <sys/stat.h>

#include <filesystem>
#include <unistd.h>

std::string comm_status::lock_dir()
{
    return orva::unit_path("/opt/QM/websetting/lockdir");
}

comm_status::comm_status(std::function<void()> send_status, key_LED* leds,
                         std::unique_ptr<orva::output_line_port> output, bool drive_output)
    : m_send_status(std::move(send_status)), m_leds(leds), m_output(std::move(output)), m_drive(drive_output)
{
}

void comm_status::update(status_e s)
{
    if (s == m_status)
        return;
    m_status = s;
    const std::string dir = lock_dir();
    if (s == INIT || s == IDLE)
        ::rmdir(dir.c_str());
    else {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    const bool on = connected(s);
    if (m_drive && m_output)
        m_output->set(on);
    if (m_leds)
        m_leds->led[key_LED::led_con].store(on ? key_LED::led_bit[key_LED::led_con] : 0);
    if (m_send_status)
        m_send_status();
    log_s.enable_rotation(s == IDLE);
}

void comm_status::enable_gpio(bool on)
{
    m_drive = on;
    if (!on && m_output)
        m_output->set(false);
}

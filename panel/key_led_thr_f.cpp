#include "key_led_thr_f.h"

#include "app_controller.h"
#include "command.h"
#include "key_led.h"

#include <unistd.h>

void key_led_thr_f::main_loop()
{
    const int r = m_board.send_data();
    if (r != m_previous) {
        m_previous = r;
        if (m_controller) {
            appcmd_error_status_data d{};
            d.kind = 0;  // the panel
            d.value = static_cast<uint8_t>(r);
            m_controller->post(command(appcmd_error_status, &d, sizeof d));
        }
    }
    ::usleep(100000);
    if (++m_ticks % 10 == 0)
        m_board.send_1sec_event();
}

#include "fatal_error.h"

#include "LCD.h"
#include "SPI.h"
#include "key_led.h"
#include "log.h"

#include <unistd.h>

namespace {

void show(int ticks, unsigned tick_us)
{
    // Nothing of the failed controller is trusted: a bus, board and display of our own.
    SPI spi("/dev/spidev4.0");
    key_LED board(spi, nullptr);
    LCD lcd(spi);
    board.blink_count = 0;
    board.error_mode = true;
    lcd.disp("FATAL ERROR", "", false);
    for (int i = 0; ticks < 0 || i < ticks; ++i) {
        board.send_data();
        ::usleep(tick_us);
    }
}

}  // namespace

void fatal_error()
{
    // The log says why the panel went dark, for whoever reads it rather than the panel.
    log_s.error("FATAL ERROR");
    show(-1, 100000);
    for (;;)
        ::pause();
}

void fatal_error_display(int ticks, unsigned tick_us)
{
    show(ticks, tick_us);
}

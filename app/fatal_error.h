#pragma once
// The fatal-error display: after an exception ended start-up or the controller loop, the unit
// shows "FATAL ERROR" on the front panel and blinks every lamp until it is restarted from
// outside. Linked into orva700 together with the panel (fatal_error_handler.cpp installs it as
// the start-up's fatal-error handler).

// Opens the panel bus itself, shows "FATAL ERROR" and refreshes the key/LED board every 100 ms;
// never returns.
[[noreturn]] void fatal_error();

// The same for `ticks` refreshes of `tick_us` microseconds, then returns (for tests).
void fatal_error_display(int ticks, unsigned tick_us);

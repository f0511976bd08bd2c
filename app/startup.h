#pragma once
// Process start-up of `orva700`: the command line, the banner, the configuration store and the
// controller loop that rebuilds the controller whenever its command loop returns.

#include <cstdio>
#include <memory>

class app_config;
class app_controller;

enum class start_action { run, show_version };

// Scans the options left to right: -g <ms> sets `gpio_select_timeout` (ms * 1000 µs) and echoes
// "gpio_select_timeout = <ms>"; a missing value is ignored and a negative or oversized one is
// refused (the default stays); -v asks for the version and ends the scan. Echo lines go to
// `out`, refusals to `err`.
start_action parse_command_line(int argc, char** argv, FILE* out = stdout, FILE* err = stderr);

// Builds the controller for each round of the loop; `first_start` is true only the first time.
using controller_factory = std::unique_ptr<app_controller> (*)(app_config& config, bool first_start);
std::unique_ptr<app_controller> make_app_controller(app_config& config, bool first_start);
// The program's controller: `make_app_controller` builds through `factory` once it is set (the
// full unit controller installs itself this way; the application core alone builds the bare one).
void set_default_controller_factory(controller_factory factory);

// The whole of `main`: returns 0 only for -v. Otherwise runs controllers for ever; an
// exception is logged and ends in the fatal-error display.
int run_unit(int argc, char** argv, controller_factory factory = &make_app_controller);

// The fatal-error display takes over the front panel and never returns. The panel installs
// it; until then a stand-in logs "FATAL ERROR" and waits for ever.
using fatal_error_handler = void (*)();
void set_fatal_error_handler(fatal_error_handler handler);
[[noreturn]] void enter_fatal_error();

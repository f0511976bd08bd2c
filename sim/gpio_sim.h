#pragma once
// sysfs GPIO on the simulated board.
//
// Below the unit root "/sys/class/gpio" is a plain directory: writing a number to its "export"
// file does nothing by itself, so the driver calls `gpio_export` to make "gpioN/direction" and
// "gpioN/value" as the kernel would. A value file is an ordinary file that a person or a test
// changes ("echo 0 > .../gpio168/value").
//
// On the board a change of an input is an edge that makes the value descriptor exceptional for
// select/poll until the value is read again. A plain file cannot do that, so the simulated board
// hands out an edge descriptor (a socket whose urgent byte marks the edge) that a watcher thread
// signals whenever the value file's first byte changes.

#include <string>

namespace orva::sim {

// Makes the line's directory with "direction" ("in") and "value" ("1": inputs are active low, so
// a fresh line reads inactive) unless they exist. Returns 0 or -1 with errno.
int gpio_export(const std::string& gpio_dir, int number);

// A descriptor that becomes exceptional when the first byte of `value_path` changes; -1 with
// errno on failure. Close it with gpio_edge_close.
int gpio_edge_open(const std::string& value_path);
// Clears a pending edge (the board clears it by reading the value).
void gpio_edge_ack(int fd);
void gpio_edge_close(int fd);

}  // namespace orva::sim

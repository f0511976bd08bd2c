#pragma once
// Where the unit lives.
//
// On the board every path is absolute ("/opt/QM/orva700.cfg", "/dev/spidev4.0", ...). When the
// environment variable ORVA_ROOT names a directory the unit runs on the simulated board, and
// every absolute path is resolved below that directory, so that several units can run side by
// side on one machine. This is the only place where that mapping is made.

#include <string>

namespace orva {

// The unit root: empty on the board, otherwise the directory named by ORVA_ROOT (read once).
const std::string& unit_root();

// True when the unit runs on the simulated board.
bool simulated_board();

// The path to use for the board path `path`: unchanged on the board, below the unit root on the
// simulated board. Relative paths are returned unchanged.
std::string unit_path(const std::string& path);

// For tests: use `root` as the unit root from now on (empty: the board).
void set_unit_root_for_test(const std::string& root);

}  // namespace orva

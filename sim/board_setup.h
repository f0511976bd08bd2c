#pragma once
// The directory tree of a simulated board below a unit root.

#include <string>

namespace orva::sim {

// Makes the board's directories below `root` ("/opt/QM", "/sys/class/gpio" with "export", the
// panel's select lines GPIO 90 and 92 low, "/dev", "/media", "/etc", "/var/log", ...). Existing
// files are kept. Returns false when a directory cannot be made.
bool prepare_unit_root(const std::string& root);

}  // namespace orva::sim

#pragma once
// inikey: adds or removes one key of the configuration file prepared for an update.

#include <boost/property_tree/ptree.hpp>

#include <ostream>
#include <string>

namespace inikey {

// The board path of the file it edits.
constexpr const char* board_file_name = "/opt/QM.new/orva700.cfg";

// `value` other than "--remove": adds the key when missing (an existing key is left alone).
// "--remove": erases the first entry of that name in its section. Returns true when the tree
// changed.
bool modify(boost::property_tree::ptree& tree, const std::string& key, const std::string& value);

// The whole program over `path`: exit status 255 usage, 0 done or nothing to do or the file
// cannot be opened, 254 any failure (the file then untouched).
int run(int argc, char** argv, const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace inikey

#include "inikey.h"

#include "safe_file.h"

#include <boost/property_tree/ini_parser.hpp>

#include <fstream>
#include <sstream>
#include <system_error>

namespace pt = boost::property_tree;

namespace inikey {

bool modify(pt::ptree& tree, const std::string& key, const std::string& value)
{
    if (value != "--remove") {
        if (tree.get_child_optional(pt::ptree::path_type(key, '.')))
            return false;
        tree.put(pt::ptree::path_type(key, '.'), value);
        return true;
    }
    const auto point = key.find('.');
    if (point == std::string::npos || point == 0 || point + 1 >= key.size())
        return false;
    const std::string section = key.substr(0, point);
    std::string name = key.substr(point + 1);
    if (const auto next = name.find('.'); next != std::string::npos)
        name.erase(next);
    if (name.empty())
        return false;
    auto s = tree.find(section);
    if (s == tree.not_found())
        return false;
    auto& entries = s->second;
    auto e = entries.find(name);
    if (e == entries.not_found())
        return false;
    entries.erase(entries.to_iterator(e));
    return true;
}

int run(int argc, char** argv, const std::string& path, std::ostream& out, std::ostream& err)
{
    if (argc != 3) {
        err << "inikey: modify orva700.cfg\n"
            << "usage:\n"
            << "inikey key value\n"
            << "  or\n"
            << "inikey key --remove\n";
        err.flush();
        return 255;
    }
    std::ifstream in(path);
    if (!in.is_open()) {
        out << "can't open " << path << std::endl;
        return 0;
    }
    try {
        pt::ptree tree;
        pt::read_ini(in, tree);
        in.close();
        if (!modify(tree, argv[1], argv[2]))
            return 0;
        std::ostringstream text;
        pt::write_ini(text, tree);
        const int r = replace_file(path, path + ".temp", text.str());
        if (r != 0)
            throw std::system_error(-r, std::system_category(), path);
    } catch (const std::exception& e) {
        out << "catch exception: " << e.what() << std::endl;
        return 254;
    }
    return 0;
}

}  // namespace inikey

// The configuration file may be edited by hand or by update scripts: whatever it holds, every
// typed read returns a value inside the key's limits, and what is written reads back.
#include "app_config.h"
#include "config_keys.h"
#include "log.h"

#include <boost/property_tree/ini_parser.hpp>

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    log_s.set_level(-1);
    boost::property_tree::ptree tree;
    try {
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        boost::property_tree::read_ini(in, tree);
    } catch (const std::exception&) {
        return 0;
    }
    app_config config;
    for (const auto& section : tree)
        for (const auto& key : section.second)
            config.set(section.first + "." + key.first, key.second.data());
    for (const auto& k : config_keys()) {
        switch (k.type) {
        case key_type::integer: {
            const int v = config.get<int>(k.key);
            if (k.min && (v < std::stoi(k.min) || v > std::stoi(k.max)))
                __builtin_trap();
            config.get<unsigned short>(k.key);
            break;
        }
        case key_type::real: {
            const float v = config.get<float>(k.key);
            if (k.min && (v < std::stof(k.min) || v > std::stof(k.max)))
                __builtin_trap();
            break;
        }
        case key_type::text:
            config.get<std::string>(k.key);
            break;
        }
    }
    std::ostringstream out;
    try {
        boost::property_tree::write_ini(out, config.current());
    } catch (const std::exception&) {
        return 0;
    }
    return 0;
}

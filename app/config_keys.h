#pragma once
// Every key of the configuration file, with its type, compiled-in default and limits.
//
// This one table generates the defaults, minimums and maximums trees of `app_config`.

#include <span>
#include <string_view>

enum class key_type { integer, real, text };

struct config_key {
    const char* key;      // "section.name"
    key_type type;
    const char* def;      // default value as text
    const char* min;      // nullptr: no lower limit
    const char* max;      // nullptr: no upper limit
};

std::span<const config_key> config_keys();
const config_key* find_config_key(std::string_view key);

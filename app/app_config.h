#pragma once
// The unit's configuration: one ini file plus compiled-in defaults, minimums and maximums.
//
// Readers ask for a key by its dotted name ("audio.codec_id") and a type and always get a
// usable value: the file's value when present and readable, else the default, pulled into the
// key's range. The store is read and written from several threads; one reader-writer lock
// guards the current tree, and writes of the file are serialised.

#include <boost/property_tree/ptree.hpp>

#include <mutex>
#include <shared_mutex>
#include <string>

class app_config {
public:
    using tree = boost::property_tree::ptree;

    // The board path of the configuration file (resolved through the unit root).
    static constexpr const char* board_file_name = "/opt/QM/orva700.cfg";

    // File name below the unit root; defaults, minimums and maximums filled; current tree empty.
    app_config();
    app_config(const app_config& other);
    app_config& operator=(const app_config& other);

    void set_filename(const std::string& name);
    std::string filename() const;

    // Accepts the command line and does nothing with it.
    void parse_parameter(int argc, char** argv);

    // Reads `name` (null: the stored file name) as ini into the current tree. 0 when the file
    // opened, -1 when not (tree unchanged). A file that breaks the ini syntax throws the
    // parser's error, tree unchanged.
    int read_file(const char* name = nullptr);

    // Writes the current tree as ini to `name` (null: the stored file name): the whole file is
    // written to name + ".bak", flushed to disk, then renamed over `name`, so that a crash at
    // any moment leaves either the old or the new file. 0 on success; any failure is logged
    // and returns a negative errno (-1 when the tree cannot be written as ini), the old file
    // untouched.
    int write_file(const char* name = nullptr);

    // Replaces the current tree with the defaults.
    void restore_default();

    // Typed read with default and clamping, for int, float, unsigned short, unsigned int, bool
    // and std::string. Never throws for a key of the key table.
    template <typename T>
    T get(const std::string& key) const;

    // Typed read of the current tree only, for int, float, unsigned short and std::string: a
    // missing key throws ptree_bad_path, an empty value std::runtime_error(""), a value that
    // does not convert ptree_bad_data.
    template <typename T>
    T get_f(const std::string& key) const;

    // Stores `value` as text under `key` in the current tree (nothing is written to disk). For
    // std::string, const char*, int, float (7 significant digits), bool, unsigned short and
    // unsigned int. CR and LF in a text become blanks: they would break the ini file.
    template <typename T>
    void set(const std::string& key, const T& value);
    void set(const std::string& key, const char* value) { set(key, std::string(value ? value : "")); }

    // A copy of the current tree.
    tree current() const;

private:
    mutable std::shared_mutex m_mutex;  // guards m_filename and m_current
    std::mutex m_write_mutex;           // one writer of the file at a time
    std::string m_filename;
    tree m_current;
    tree m_defaults;
    tree m_minimums;
    tree m_maximums;
};

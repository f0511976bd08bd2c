#include "app_config.h"

#include <type_traits>

#include "config_keys.h"
#include "log.h"
#include "unit_root.h"

#include <boost/property_tree/ini_parser.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iomanip>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace pt = boost::property_tree;

namespace {

std::string stream_form(float value, int precision)
{
    std::ostringstream os;
    os << std::setprecision(precision) << value;
    return os.str();
}

template <typename T>
std::string stream_form(const T& value)
{
    std::ostringstream os;
    os << value;
    return os.str();
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without surrounding blanks; false when nothing is left.
bool strip(const std::string& text, std::string& out)
{
    std::size_t b = 0, e = text.size();
    while (b < e && is_blank(text[b]))
        ++b;
    while (e > b && is_blank(text[e - 1]))
        --e;
    out.assign(text, b, e - b);
    return !out.empty();
}

bool convert_integer(const std::string& text, long long lo, long long hi, long long& out)
{
    std::string t;
    if (!strip(text, t))
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end != t.c_str() + t.size() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

template <typename T>
bool convert(const std::string& text, T& out)
{
    long long v = 0;
    if (!convert_integer(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), v))
        return false;
    out = static_cast<T>(v);
    return true;
}

template <>
bool convert(const std::string& text, float& out)
{
    std::string t;
    if (!strip(text, t))
        return false;
    errno = 0;
    char* end = nullptr;
    const float v = std::strtof(t.c_str(), &end);
    if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

template <>
bool convert(const std::string& text, bool& out)
{
    std::string t;
    strip(text, t);
    if (t == "1" || t == "true") {
        out = true;
        return true;
    }
    if (t == "0" || t == "false") {
        out = false;
        return true;
    }
    return false;
}

template <>
bool convert(const std::string& text, std::string& out)
{
    out = text;
    return true;
}

const pt::ptree::path_type key_path(const std::string& key)
{
    return pt::ptree::path_type(key, '.');
}

std::string normalised(const config_key& k, const char* text)
{
    if (k.type != key_type::real)
        return text;
    float v = 0;
    convert(std::string(text), v);
    return stream_form(v, 7);
}

std::string no_line_breaks(std::string text)
{
    for (auto& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

int write_all(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t w = ::write(fd, data, length);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (w == 0)
            return -EIO;
        data += w;
        length -= static_cast<std::size_t>(w);
    }
    return 0;
}

// Makes the rename itself durable.
void sync_directory_of(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

app_config::app_config() : m_filename(orva::unit_path(board_file_name))
{
    for (const auto& k : config_keys()) {
        m_defaults.put(key_path(k.key), normalised(k, k.def));
        if (k.min)
            m_minimums.put(key_path(k.key), normalised(k, k.min));
        if (k.max)
            m_maximums.put(key_path(k.key), normalised(k, k.max));
    }
}

app_config::app_config(const app_config& other)
{
    std::shared_lock<std::shared_mutex> lock(other.m_mutex);
    m_filename = other.m_filename;
    m_current = other.m_current;
    m_defaults = other.m_defaults;
    m_minimums = other.m_minimums;
    m_maximums = other.m_maximums;
}

app_config& app_config::operator=(const app_config& other)
{
    if (this == &other)
        return *this;
    app_config copy(other);
    std::unique_lock<std::shared_mutex> lock(m_mutex);
    m_filename = std::move(copy.m_filename);
    m_current = std::move(copy.m_current);
    m_defaults = std::move(copy.m_defaults);
    m_minimums = std::move(copy.m_minimums);
    m_maximums = std::move(copy.m_maximums);
    return *this;
}

void app_config::set_filename(const std::string& name)
{
    std::unique_lock<std::shared_mutex> lock(m_mutex);
    m_filename = name;
}

std::string app_config::filename() const
{
    std::shared_lock<std::shared_mutex> lock(m_mutex);
    return m_filename;
}

void app_config::parse_parameter(int, char**) {}

int app_config::read_file(const char* name)
{
    const std::string path = name ? std::string(name) : filename();
    std::ifstream in(path);
    if (!in.is_open())
        return -1;
    pt::ptree fresh;
    pt::read_ini(in, fresh);
    std::unique_lock<std::shared_mutex> lock(m_mutex);
    m_current.swap(fresh);
    return 0;
}

int app_config::write_file(const char* name)
{
    std::string text;
    std::string path;
    try {
        std::shared_lock<std::shared_mutex> lock(m_mutex);
        path = name ? std::string(name) : m_filename;
        std::ostringstream os;
        pt::write_ini(os, m_current);
        text = os.str();
    } catch (const std::exception& e) {
        log_s.error("%s: %s", "write_file", e.what());
        return -1;
    }

    std::lock_guard<std::mutex> writer(m_write_mutex);
    const std::string temp = path + ".bak";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int e = errno;
        log_s.error("app_config::write_file: open - %s", strerror(e));
        return -e;
    }
    int r = write_all(fd, text.data(), text.size());
    const char* step = "write";
    if (r == 0 && ::fsync(fd) != 0) {
        r = -errno;
        step = "fsync";
    }
    if (::close(fd) != 0 && r == 0) {
        r = -errno;
        step = "close";
    }
    if (r != 0) {
        log_s.error("app_config::write_file: %s - %s", step, strerror(-r));
        ::unlink(temp.c_str());
        return r;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        log_s.error("app_config::write file: rename - %s", strerror(e));
        ::unlink(temp.c_str());
        return -e;
    }
    sync_directory_of(path);
    return 0;
}

void app_config::restore_default()
{
    std::unique_lock<std::shared_mutex> lock(m_mutex);
    m_current = m_defaults;
}

app_config::tree app_config::current() const
{
    std::shared_lock<std::shared_mutex> lock(m_mutex);
    return m_current;
}

template <typename T>
T app_config::get(const std::string& key) const
{
    const auto path = key_path(key);
    T value{};
    bool have = false;
    {
        std::shared_lock<std::shared_mutex> lock(m_mutex);
        if (auto text = m_current.get_optional<std::string>(path))
            have = convert(*text, value);
    }
    if (!have) {
        // The defaults never change after construction: no lock needed.
        const std::string text = m_defaults.get<std::string>(path);
        if (!convert(text, value))
            throw pt::ptree_bad_data("bad default value", text);
    }
    // The limits are numbers: a read as text returns the stored text (compared as text, "97"
    // would be "above" "100").
    if constexpr (!std::is_same_v<T, std::string>) {
        T limit{};
        if (auto text = m_minimums.get_optional<std::string>(path); text && convert(*text, limit) && value < limit) {
            log_s.warn("app_config: key %s: modified to min value: %s", key.c_str(),
                       (stream_form(value) + " => " + stream_form(limit)).c_str());
            value = limit;
        }
        if (auto text = m_maximums.get_optional<std::string>(path); text && convert(*text, limit) && limit < value) {
            log_s.warn("app_config: key %s: modified to max value: %s", key.c_str(),
                       (stream_form(value) + " => " + stream_form(limit)).c_str());
            value = limit;
        }
    }
    return value;
}

template <typename T>
T app_config::get_f(const std::string& key) const
{
    std::string text;
    {
        std::shared_lock<std::shared_mutex> lock(m_mutex);
        text = m_current.get_child(key_path(key)).data();
    }
    if (text.empty())
        throw std::runtime_error("");
    T value{};
    if (!convert(text, value))
        throw pt::ptree_bad_data("conversion of data failed", text);
    return value;
}

template <typename T>
void app_config::set(const std::string& key, const T& value)
{
    std::string text;
    if constexpr (std::is_same_v<T, float>)
        text = stream_form(value, 7);
    else if constexpr (std::is_same_v<T, bool>)
        text = value ? "true" : "false";
    else if constexpr (std::is_same_v<T, std::string>)
        text = no_line_breaks(value);
    else
        text = stream_form(value);
    std::unique_lock<std::shared_mutex> lock(m_mutex);
    m_current.put(key_path(key), text);
}

template int app_config::get<int>(const std::string&) const;
template float app_config::get<float>(const std::string&) const;
template unsigned short app_config::get<unsigned short>(const std::string&) const;
template unsigned int app_config::get<unsigned int>(const std::string&) const;
template bool app_config::get<bool>(const std::string&) const;
template std::string app_config::get<std::string>(const std::string&) const;

template int app_config::get_f<int>(const std::string&) const;
template float app_config::get_f<float>(const std::string&) const;
template unsigned short app_config::get_f<unsigned short>(const std::string&) const;
template std::string app_config::get_f<std::string>(const std::string&) const;

template void app_config::set<std::string>(const std::string&, const std::string&);
template void app_config::set<int>(const std::string&, const int&);
template void app_config::set<float>(const std::string&, const float&);
template void app_config::set<bool>(const std::string&, const bool&);
template void app_config::set<unsigned short>(const std::string&, const unsigned short&);
template void app_config::set<unsigned int>(const std::string&, const unsigned int&);

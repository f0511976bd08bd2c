#include "log_writer.h"

#include "unit_root.h"

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace orvalogging {

namespace {

constexpr int max_files_limit = 100;

long positive_number(const char* text)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end != text && v > 0 ? v : 0;
}

}  // namespace

void option::parse(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' || i + 1 >= argc)
            continue;
        const char* value = argv[i + 1];
        switch (arg[1]) {
        case 'p':
            base_dir = orva::unit_path(value);
            break;
        case 'n':
            config_name = value;
            break;
        case 'l':
            log_name = value;
            break;
        case 's':
            if (long v = positive_number(value))
                max_size = v;
            break;
        case 'i':
            if (long v = positive_number(value); v > 0 && v < 1000000)
                check_interval = static_cast<int>(v);
            break;
        default:
            continue;  // an unknown letter does not take the next argument
        }
        ++i;
    }
}

bool option::read_setting()
{
    try {
        boost::property_tree::ptree tree;
        boost::property_tree::read_ini(config_file(), tree);
        const int value = tree.get<int>("log.max_files");
        if (value < 1)
            return false;
        max_files = value > max_files_limit ? max_files_limit : value;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string log_file_name(const std::string& log_name, int number)
{
    char digits[16];
    snprintf(digits, sizeof digits, ".%02d.txt", number);
    return log_name + digits;
}

int get_log_file_number(const std::string& file_name, const std::string& log_name)
{
    if (file_name.size() <= log_name.size() + 1 || file_name.compare(0, log_name.size(), log_name) != 0)
        return 0;
    const char* digits = file_name.c_str() + log_name.size() + 1;
    char* end = nullptr;
    const long n = std::strtol(digits, &end, 10);
    if (end == digits || n <= 0 || n > 1000000)
        return 0;
    const int number = static_cast<int>(n);
    return log_file_name(log_name, number) == file_name ? number : 0;
}

void rotate(int max_files, const std::string& log_dir, const std::string& log_name)
{
    const auto path = [&](int n) { return log_dir + "/" + log_file_name(log_name, n); };
    std::remove(path(max_files).c_str());
    for (int n = max_files; n >= 2; --n)
        std::rename(path(n - 1).c_str(), path(n).c_str());
}

int del_files(int max_files, const std::string& log_dir, const std::string& log_name)
{
    DIR* dir = opendir(log_dir.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> doomed;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st{};
            regular = stat((log_dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (!regular)
            continue;
        const int n = get_log_file_number(name, log_name);
        if (n < 1 || n > max_files)
            doomed.push_back(name);
    }
    closedir(dir);
    for (const auto& name : doomed)
        ::unlink((log_dir + "/" + name).c_str());
    return static_cast<int>(doomed.size());
}

bool size_check(std::ofstream& stream, long maximum)
{
    const auto here = stream.tellp();
    stream.seekp(0, std::ios::end);
    const auto end = stream.tellp();
    stream.seekp(here);
    return end > static_cast<std::streamoff>(maximum);
}

log_writer::log_writer(const option& settings) : m_opt(settings) {}

void log_writer::open_live()
{
    m_out.close();
    m_out.clear();
    m_out.open(m_opt.log_dir() + "/" + log_file_name(m_opt.log_name, 1), std::ios::out | std::ios::trunc);
}

int log_writer::check_keyword(const std::string& line)
{
    if (line == "ENABLE ROTATION") {
        m_rotation = true;
        return 0;
    }
    if (line == "DISABLE ROTATION") {
        m_rotation = false;
        return 0;
    }
    if (line == "RELOAD CONFIG") {
        m_reload = true;
        return 0;
    }
    return 1;
}

void log_writer::handle_line(const std::string& line, long lines_before)
{
    if (check_keyword(line) != 0) {
        m_out << line << '\n';
        m_out.flush();
    }
    if (m_rotation && lines_before - m_last_check > m_opt.check_interval) {
        if (size_check(m_out, m_opt.max_size)) {
            m_out.close();
            rotate(m_opt.max_files, m_opt.log_dir(), m_opt.log_name);
            del_files(m_opt.max_files, m_opt.log_dir(), m_opt.log_name);
            open_live();
        }
        m_last_check = lines_before;
    }
    if (m_reload) {
        m_out << "reload configuration file." << '\n';
        m_out.flush();
        m_opt.read_setting();
        m_reload = false;
        const int n = del_files(m_opt.max_files, m_opt.log_dir(), m_opt.log_name);
        m_out << "delete " << n << " files." << '\n';
        m_out.flush();
    }
}

int log_writer::run(std::istream& in)
{
    // Without its directory every line would be lost.
    ::mkdir(m_opt.log_dir().c_str(), 0755);
    del_files(m_opt.max_files, m_opt.log_dir(), m_opt.log_name);
    open_live();
    long lines = 0;
    for (std::string line; std::getline(in, line);) {
        const long before = lines++;
        if (!line.empty())
            handle_line(line, before);
    }
    m_out.close();
    return 0;
}

}  // namespace orvalogging

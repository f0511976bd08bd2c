#pragma once
// orvalogging: keeps the unit's log stream in numbered, rotated files.
//
// Reads the main program's standard error line by line. The live file is number 01; a
// rotation shifts every file one number up and drops the oldest. Three control lines steer it:
// "ENABLE ROTATION", "DISABLE ROTATION" and "RELOAD CONFIG" (re-read `log.max_files`).

#include "unit_root.h"

#include <fstream>
#include <istream>
#include <string>

namespace orvalogging {

struct option {
    std::string base_dir = orva::unit_path("/opt/QM");  // log directory: base + "/log"
    std::string config_name = "orva700";
    std::string log_name = "ORVA_log";
    long max_size = 0x100000;
    int max_files = 30;
    int check_interval = 8;

    // Applies -p, -n, -l, -s and -i. Absolute paths are resolved below the unit root.
    void parse(int argc, char** argv);
    std::string log_dir() const { return base_dir + "/log"; }
    std::string config_file() const { return base_dir + "/" + config_name + ".cfg"; }
    // Reads `log.max_files` from the configuration file into `max_files`. Values above 100 are
    // taken as 100; a missing file, a broken file, no number or a value below 1 keep the
    // current value and return false.
    bool read_setting();
};

// "<log name>.<nn>.txt"
std::string log_file_name(const std::string& log_name, int number);
// The number of a log file name, or 0 when the name is not exactly a log file name.
int get_log_file_number(const std::string& file_name, const std::string& log_name);
// Removes the file numbered `max_files` and moves every other one up by one.
void rotate(int max_files, const std::string& log_dir, const std::string& log_name);
// Deletes every regular file of the log directory that is not log file 1..max_files; returns
// how many were found for deletion.
int del_files(int max_files, const std::string& log_dir, const std::string& log_name);
// True when the stream's end lies beyond `maximum` bytes; the write position is kept.
bool size_check(std::ofstream& stream, long maximum);

class log_writer {
public:
    explicit log_writer(const option& settings);

    // Deletes surplus files, opens the live file afresh and writes every line of `in` until it
    // ends. Returns 0.
    int run(std::istream& in);

    // 0 for a control line (with its effect), 1 for any other line.
    int check_keyword(const std::string& line);

    bool rotation_enabled() const { return m_rotation; }

private:
    void open_live();
    void handle_line(const std::string& line, long lines_before);

    option m_opt;
    std::ofstream m_out;
    bool m_rotation = true;
    bool m_reload = false;
    long m_last_check = 0;
};

}  // namespace orvalogging

#include "log_writer.h"
#include "tools_test_util.h"
#include "unit_root.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using namespace orvalogging;

namespace {

class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = make_scratch_dir();
        ASSERT_FALSE(base.empty());
        opt.base_dir = base;
        logs = base + "/log";
        mkdir(logs.c_str(), 0755);
    }
    void TearDown() override { remove_tree(base); }

    std::string file(int n) const { return logs + "/" + log_file_name("ORVA_log", n); }

    std::string base;
    std::string logs;
    option opt;
};

TEST(LogWriterNames, FileNumbers)
{
    EXPECT_EQ(log_file_name("ORVA_log", 1), "ORVA_log.01.txt");
    EXPECT_EQ(log_file_name("ORVA_log", 123), "ORVA_log.123.txt");
    struct row {
        const char* name;
        int number;
    };
    const row rows[] = {{"ORVA_log.01.txt", 1}, {"ORVA_log.05.txt", 5},   {"ORVA_log.30.txt", 30},
                        {"ORVA_log.5.txt", 0},  {"ORVA_log.00.txt", 0},   {"notes.txt", 0},
                        {"ORVA_log.01.txt.gz", 0}, {"ORVA_log", 0},       {"ORVA_log.-1.txt", 0},
                        {"ORVA_logX01.txt", 0}};
    for (const auto& r : rows)
        EXPECT_EQ(get_log_file_number(r.name, "ORVA_log"), r.number) << r.name;
}

TEST(LogWriterOptions, CommandLine)
{
    EXPECT_EQ(option().log_dir(), orva::unit_path("/opt/QM") + "/log");
    struct row {
        std::vector<const char*> args;
        long size;
        int interval;
        const char* log_name;
    };
    const row rows[] = {
        {{"orvalogging"}, 0x100000, 8, "ORVA_log"},
        {{"orvalogging", "-s", "0", "-i", "-3"}, 0x100000, 8, "ORVA_log"},
        {{"orvalogging", "-s", "4096", "-i", "2", "-l", "unit"}, 4096, 2, "unit"},
        {{"orvalogging", "-x", "-s", "10"}, 10, 8, "ORVA_log"},
        {{"orvalogging", "-s"}, 0x100000, 8, "ORVA_log"},
    };
    for (const auto& r : rows) {
        option o;
        o.parse(static_cast<int>(r.args.size()), const_cast<char**>(r.args.data()));
        EXPECT_EQ(o.max_size, r.size);
        EXPECT_EQ(o.check_interval, r.interval);
        EXPECT_EQ(o.log_name, r.log_name);
    }
    option o;
    const char* args[] = {"orvalogging", "-p", "/srv/unit", "-n", "other"};
    o.parse(5, const_cast<char**>(args));
    EXPECT_EQ(o.log_dir(), orva::unit_path("/srv/unit") + "/log");
    EXPECT_EQ(o.config_file(), orva::unit_path("/srv/unit") + "/other.cfg");
}

TEST_F(LogWriterTest, MaxFilesFromConfiguration)
{
    struct row {
        const char* file_text;  // nullptr: no file
        int expected;
    };
    const row rows[] = {
        {nullptr, 30},
        {"[log]\nmax_files=5\n", 5},
        {"[log]\nmax_files=0\n", 30},
        {"[log]\nmax_files=-4\n", 30},
        {"[log]\nmax_files=many\n", 30},
        {"[log]\nmax_files=500\n", 100},
        {"[log]\nlevel=3\nlevel=2\n", 30},
    };
    for (const auto& r : rows) {
        unlink((base + "/orva700.cfg").c_str());
        if (r.file_text)
            write_text(base + "/orva700.cfg", r.file_text);
        option o = opt;
        o.read_setting();
        EXPECT_EQ(o.max_files, r.expected) << (r.file_text ? r.file_text : "(none)");
    }
}

TEST_F(LogWriterTest, RotateShiftsFilesAndDropsTheOldest)
{
    for (int n = 1; n <= 3; ++n)
        write_text(file(n), std::to_string(n));
    rotate(3, logs, "ORVA_log");
    EXPECT_FALSE(exists(file(1)));
    EXPECT_EQ(read_text(file(2)), "1");
    EXPECT_EQ(read_text(file(3)), "2");
    EXPECT_FALSE(exists(file(4)));
}

TEST_F(LogWriterTest, DelFilesKeepsOnlyNumberedFilesInRange)
{
    for (const char* name : {"ORVA_log.01.txt", "ORVA_log.05.txt", "ORVA_log.06.txt", "ORVA_log.5.txt", "notes.txt"})
        write_text(logs + "/" + name, "x");
    mkdir((logs + "/keep.d").c_str(), 0755);
    EXPECT_EQ(del_files(5, logs, "ORVA_log"), 3);
    EXPECT_TRUE(exists(file(1)));
    EXPECT_TRUE(exists(file(5)));
    EXPECT_FALSE(exists(file(6)));
    EXPECT_FALSE(exists(logs + "/ORVA_log.5.txt"));
    EXPECT_FALSE(exists(logs + "/notes.txt"));
    EXPECT_TRUE(exists(logs + "/keep.d"));
    EXPECT_EQ(del_files(5, base + "/none", "ORVA_log"), 0);
}

TEST_F(LogWriterTest, ControlLinesSteerAndAreNotWritten)
{
    write_text(base + "/orva700.cfg", "[log]\nmax_files=4\n");
    for (int n = 1; n <= 6; ++n)
        write_text(file(n), "old");
    log_writer writer(opt);
    std::istringstream in("a\n\nENABLE ROTATION\nDISABLE ROTATION\nb\nRELOAD CONFIG\nRELOAD CONFIG x\nc");
    EXPECT_EQ(writer.run(in), 0);
    EXPECT_FALSE(writer.rotation_enabled());
    EXPECT_EQ(read_text(file(1)),
              "a\nb\nreload configuration file.\ndelete 2 files.\nRELOAD CONFIG x\nc\n");
    EXPECT_TRUE(exists(file(4)));
    EXPECT_FALSE(exists(file(5)));
}

TEST_F(LogWriterTest, SizeChecksFollowTheLineCount)
{
    // With a 1-byte limit every check rotates, so the numbered files show when checks ran.
    opt.max_size = 1;
    opt.max_files = 30;
    std::string input;
    for (int i = 1; i <= 28; ++i) {
        char line[16];
        snprintf(line, sizeof line, "L%d\n", i);
        input += line;
    }
    log_writer writer(opt);
    std::istringstream in(input);
    writer.run(in);
    // Checks at lines 10, 19 and 28: the live file was restarted after each.
    EXPECT_EQ(read_text(file(1)), "");
    EXPECT_EQ(read_text(file(2)).substr(0, 4), "L20\n");
    EXPECT_EQ(read_text(file(3)).substr(0, 4), "L11\n");
    EXPECT_EQ(read_text(file(4)).substr(0, 3), "L1\n");
    EXPECT_FALSE(exists(file(5)));
    const std::string third = read_text(file(4));
    EXPECT_EQ(third.substr(third.size() - 4), "L10\n");
}

TEST_F(LogWriterTest, DisabledRotationOnlyGrows)
{
    opt.max_size = 1;
    std::string input = "DISABLE ROTATION\n";
    for (int i = 0; i < 40; ++i)
        input += "line\n";
    input += "ENABLE ROTATION\n";
    for (int i = 0; i < 10; ++i)
        input += "more\n";
    log_writer writer(opt);
    std::istringstream in(input);
    writer.run(in);
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "line\n";
    EXPECT_EQ(read_text(file(3)), forty) << "no rotation while disabled";
    EXPECT_EQ(read_text(file(2)), "more\nmore\nmore\nmore\nmore\nmore\nmore\nmore\nmore\n");
    EXPECT_EQ(read_text(file(1)), "more\n");
}

}  // namespace

#include "tools_test_util.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = make_scratch_dir();
        ASSERT_FALSE(root.empty());
        base = root + "/opt/QM";
        ASSERT_EQ(system(("mkdir -p '" + base + "'").c_str()), 0);
    }
    void TearDown() override { remove_tree(root); }

    std::string log_file(int n) const
    {
        char name[32];
        snprintf(name, sizeof name, "/log/ORVA_log.%02d.txt", n);
        return base + name;
    }

    std::string root;
    std::string base;
};

TEST_F(Pipeline, UnitLogStreamIsKeptInRotatedFiles)
{
    write_text(base + "/orva700.cfg", "[debug]\nconsole=1\n[log]\nmax_files=3\n");
    std::string input;
    for (int i = 0; i < 30; ++i)
        input += "q\n";
    write_text(root + "/console.txt", input);
    // The unit never ends by itself: it is stopped once its console input is used up.
    const std::string command = "ORVA_ROOT='" + root + "' timeout -s KILL 8 '" ORVA_BINARY_DIR "/app/orva700' < '" +
                                root + "/console.txt' 2>&1 >/dev/null | '" ORVA_BINARY_DIR "/tools/orvalogging' -p '" +
                                base + "' -s 300 -i 1; echo done";
    const run_result r = run_shell(command);
    ASSERT_EQ(r.out, "done\n");
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(exists(log_file(n))) << n;
    EXPECT_FALSE(exists(log_file(4))) << "log.max_files keeps three files";

    const std::regex line_format(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d\d\d [EWID] .+)");
    std::string all;
    for (int n = 3; n >= 1; --n)
        all += read_text(log_file(n));
    std::istringstream lines(all);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(std::regex_match(line, line_format)) << line;
    EXPECT_GT(count, 3);
    EXPECT_NE(all.find("app_controller::app_controller: first start 0"), std::string::npos);
    EXPECT_EQ(read_text(log_file(1)).find("first start 1"), std::string::npos) << "old lines rotated away";
}

TEST_F(Pipeline, LogWriterObeysControlLinesAndEndsWithItsInput)
{
    write_text(base + "/orva700.cfg", "[log]\nmax_files=2\n");
    std::string input = "DISABLE ROTATION\n";
    for (int i = 0; i < 50; ++i)
        input += "kept line " + std::to_string(i) + "\n";
    input += "\n\nRELOAD CONFIG\nENABLE ROTATION\n";
    write_text(root + "/stream.txt", input);
    mkdir((base + "/log").c_str(), 0755);
    write_text(log_file(7), "stale");
    const run_result r = run_shell("'" ORVA_BINARY_DIR "/tools/orvalogging' -p '" + base + "' -s 10 -i 1 < '" + root +
                                   "/stream.txt'; echo status $?");
    EXPECT_EQ(r.out, "status 0\n");
    EXPECT_FALSE(exists(log_file(7)));
    // No rotation while disabled; the reload is reported; ENABLE then rotates the big file.
    const std::string kept = read_text(log_file(2));
    EXPECT_EQ(kept.rfind("kept line 0\n", 0), 0u) << kept;
    EXPECT_NE(kept.find("kept line 49\nreload configuration file.\ndelete 0 files.\n"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("ROTATION"), std::string::npos);
    EXPECT_EQ(read_text(log_file(1)), "");
}

}  // namespace

// Kit log channels: settings file, line format and limits, banners, text blocks.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SFLog.h"
#include "SFLogPf.h"
#include "unit_root.h"

namespace {

// Each test runs on its own unit root, so "/etc" and "/var/log" are private to it.
class SFLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sflog.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        ASSERT_EQ(0, std::system(("mkdir -p '" + root_ + "/etc'").c_str()));
        orva::set_unit_root_for_test(root_);
    }
    void TearDown() override
    {
        SFLogCleanup("T");
        orva::set_unit_root_for_test("");
        ASSERT_EQ(0, std::system(("rm -rf '" + root_ + "'").c_str()));
    }
    void writeConf(const std::string& name, const std::string& text)
    {
        std::ofstream(root_ + "/etc/" + name + ".log.conf") << text;
    }
    // Closes the channel and returns the lines of its log file.
    std::vector<std::string> closeAndRead(const char* name)
    {
        SFLogCleanup(name);
        std::vector<std::string> lines;
        DIR* dir = opendir((root_ + "/var/log").c_str());
        if (!dir)
            return lines;
        while (dirent* e = readdir(dir)) {
            const std::string file = e->d_name;
            if (file.rfind(name, 0) != 0)
                continue;
            std::ifstream in(root_ + "/var/log/" + file);
            std::string line;
            while (std::getline(in, line))
                lines.push_back(line + "\n");
        }
        closedir(dir);
        return lines;
    }
    std::string root_;
};

TEST(SFLogConf, LineSyntax)
{
    struct Case {
        const char* line;
        bool valid;
        const char* key;
        uint32_t value;
    } const cases[] = {
        {"Level=0x10 ;comment\n", true, "Level", 16},
        {"Level = 4\n", true, "Level", 4},
        {"\t Funcs\t=\t0xFFFFEFFB\r\n", true, "Funcs", 0xFFFFEFFBu},
        {"Options=3;x", true, "Options", 3},
        {"Level x = 4\n", false, "", 0},
        {"Level=4x\n", false, "", 0},
        {"Level=0X10\n", false, "", 0},
        {"Level=\n", false, "", 0},
        {"Level 4\n", false, "", 0},
        {";Level=4\n", false, "", 0},
        {"  ; Level=4\n", false, "", 0},
        {"=4\n", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string key;
        uint32_t value = 0;
        EXPECT_EQ(c.valid, SFLogPfParseLine(c.line, &key, &value)) << c.line;
        if (c.valid) {
            EXPECT_EQ(c.key, key) << c.line;
            EXPECT_EQ(c.value, value) << c.line;
        }
    }
}

TEST_F(SFLogTest, SettingsFileOverridesTheCaller)
{
    writeConf("T", "; kit log\nLevel=0x10 ;sixteen\nlevel=2\nFuncs = 0x0F\nOther=1\nOptions=4x\n");
    ASSERT_EQ(0, SFLogInitialize("T", 1, 0xFFFFFFFF, 0, "KSTL"));
    uint32_t level = 0, functions = 0, options = 9;
    ASSERT_EQ(0, SFLogGetSettings("T", &level, &functions, &options));
    EXPECT_EQ(16u, level);
    EXPECT_EQ(0x0Fu, functions);
    EXPECT_EQ(0u, options);
}

TEST_F(SFLogTest, PrefixRoomAndReplacement)
{
    EXPECT_EQ(-2, SFLogInitialize(nullptr, 1, 1, 0, "X"));
    EXPECT_EQ(-2, SFLogInitialize("T", 1, 1, 0, std::string(490, 'p').c_str()));
    EXPECT_EQ(nullptr, SFLogGetEntry("T"));
    EXPECT_EQ(0, SFLogInitialize("T", 1, 1, 0, std::string(489, 'p').c_str()));
    EXPECT_EQ(0, SFLogInitialize("T", 3, 7, 0, "Y"));
    uint32_t level = 0, functions = 0;
    SFLogGetSettings("T", &level, &functions, nullptr);
    EXPECT_EQ(3u, level);
    EXPECT_EQ(7u, functions);
    SFLogCleanup("T");
    EXPECT_EQ(nullptr, SFLogGetEntry("T"));
    SFLogCleanup("T");  // unknown name: nothing
}

TEST_F(SFLogTest, LineFormatFilteringAndLimit)
{
    ASSERT_EQ(0, SFLogInitialize("T", 3, 0x5, SF_LOG_FILE, "KSTL"));
    SFLogOutString("T", 3, 0x1, "hello %d", 42);
    SFLogOutString("T", 0, 0x1, "level zero");
    SFLogOutString("T", 4, 0x1, "too verbose");
    SFLogOutString("T", 1, 0x2, "other category");
    SFLogOutString("T", 7, 0x4, "never");
    SFLogOutString("T", 1, 0x4, "%s", std::string(2000, 'm').c_str());
    SFLogOutFunctionParam("T", 2, 1, "arg=%s", "x");
    SFLogOutString("nobody", 1, 1, "unknown channel");
    const std::vector<std::string> lines = closeAndRead("T");
    ASSERT_EQ(3u, lines.size());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("KSTL \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[[0-9a-f]{8}\\] \\[trc\\] hello 42\n")))
        << lines[0];
    EXPECT_EQ(509u, lines[1].size());
    EXPECT_EQ('\n', lines[1].back());
    EXPECT_NE(std::string::npos, lines[1].find("*ERR* mmm"));
    EXPECT_NE(std::string::npos, lines[2].find("] [inf] +              arg=x\n")) << lines[2];
}

TEST_F(SFLogTest, LevelZeroIsNeverWritten)
{
    ASSERT_EQ(0, SFLogInitialize("T", 6, 0xFFFFFFFF, SF_LOG_FILE, "P"));
    SFLogOutString("T", 0, 0xFFFFFFFF, "zero");
    SFLogOutString("T", 6, 0xFFFFFFFF, "tick");
    SFLogOutString("T", 9, 0xFFFFFFFF, "nine");
    const std::vector<std::string> lines = closeAndRead("T");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("[tck] tick"));
}

TEST_F(SFLogTest, BannersAreEightyCharacters)
{
    ASSERT_EQ(0, SFLogInitialize("T", 6, 1, SF_LOG_FILE, "P"));
    SFLogOutFunctionName1_In("T", 2, 1, "Foo");
    SFLogOutFunctionName2_Out("T", 2, 1, "Bar");
    SFLogOutFunctionName1_In("T", 2, 1, std::string(70, 'n').c_str());
    SFLogOutFunctionName1_Out("T", 2, 1, std::string(65, 'n').c_str());
    const std::vector<std::string> lines = closeAndRead("T");
    ASSERT_EQ(4u, lines.size());
    auto message = [](const std::string& line) { return line.substr(line.find("[inf] ") + 6, line.size() - line.find("[inf] ") - 7); };
    EXPECT_EQ("+==[ENTER]== Foo() " + std::string(61, '='), message(lines[0]));
    EXPECT_EQ("+--[LEAVE]-- Bar() " + std::string(61, '-'), message(lines[1]));
    EXPECT_EQ("+==[ENTER]== " + std::string(67, 'n'), message(lines[2]));
    EXPECT_EQ("+==[LEAVE]== " + std::string(65, 'n') + "()", message(lines[3]));
}

TEST_F(SFLogTest, TextDataOneLinePerTextLine)
{
    ASSERT_EQ(0, SFLogInitialize("T", 6, 1, SF_LOG_FILE, "P"));
    const char data[] = {'a', 'b', 0x01, 'c', '\n'};
    SFLogOutTextData("T", 2, 1, "rx", data, sizeof data);
    const std::vector<std::string> lines = closeAndRead("T");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("[inf] rx ab.c\n")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("[inf] rx \n")) << lines[1];
    EXPECT_EQ(lines[0].substr(0, 26), lines[1].substr(0, 26));  // one stamp for the block
}

TEST_F(SFLogTest, LogFileUnderTheUnitRoot)
{
    ASSERT_EQ(0, SFLogInitialize("T", 1, 1, SF_LOG_FILE, "P"));
    SFLogOutString("T", 1, 1, "x");
    SFLogCleanup("T");
    DIR* dir = opendir((root_ + "/var/log").c_str());
    ASSERT_NE(nullptr, dir);
    std::string found;
    while (dirent* e = readdir(dir))
        if (std::string(e->d_name).rfind("T", 0) == 0)
            found = e->d_name;
    closedir(dir);
    EXPECT_TRUE(std::regex_match(found, std::regex("T\\d{8}-\\d{4}\\.log"))) << found;
}

}  // namespace

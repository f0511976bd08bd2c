#include "inikey.h"
#include "tools_test_util.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

class InikeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = make_scratch_dir();
        ASSERT_FALSE(dir.empty());
        path = dir + "/orva700.cfg";
    }
    void TearDown() override { remove_tree(dir); }

    int run(std::vector<const char*> args)
    {
        args.insert(args.begin(), "inikey");
        std::ostringstream o, e;
        const int status = inikey::run(static_cast<int>(args.size()), const_cast<char**>(args.data()), path, o, e);
        out = o.str();
        err = e.str();
        return status;
    }

    std::string dir;
    std::string path;
    std::string out;
    std::string err;
};

const char original[] = "[audio]\ncodec_id=97\nport=15000\n[log]\nlevel=3\n";

TEST_F(InikeyTest, AddsAndRemovesKeys)
{
    struct row {
        std::vector<const char*> args;
        int status;
        const char* file_after;  // nullptr: unchanged
    };
    const row rows[] = {
        {{"audio.codec_id", "96"}, 0, nullptr},
        {{"audio.enable", "1"}, 0, "[audio]\ncodec_id=97\nport=15000\nenable=1\n[log]\nlevel=3\n"},
        {{"video.enable", "2"}, 0, "[audio]\ncodec_id=97\nport=15000\n[log]\nlevel=3\n[video]\nenable=2\n"},
        {{"audio.port", "--remove"}, 0, "[audio]\ncodec_id=97\n[log]\nlevel=3\n"},
        {{"audio.missing", "--remove"}, 0, nullptr},
        {{"nosection.key", "--remove"}, 0, nullptr},
        {{"audio", "--remove"}, 0, nullptr},
        {{"audio.port.extra", "--remove"}, 0, "[audio]\ncodec_id=97\n[log]\nlevel=3\n"},
    };
    for (const auto& r : rows) {
        write_text(path, original);
        EXPECT_EQ(run(r.args), r.status) << r.args[0] << " " << r.args[1];
        EXPECT_EQ(read_text(path), r.file_after ? r.file_after : original) << r.args[0] << " " << r.args[1];
        EXPECT_EQ(out, "");
        EXPECT_FALSE(exists(path + ".temp"));
    }
}

TEST_F(InikeyTest, UsageOnWrongArgumentCount)
{
    for (const auto& args : {std::vector<const char*>{}, std::vector<const char*>{"a.b"},
                             std::vector<const char*>{"a.b", "1", "2"}}) {
        EXPECT_EQ(run(args), 255);
        EXPECT_EQ(err, "inikey: modify orva700.cfg\nusage:\ninikey key value\n  or\ninikey key --remove\n");
    }
}

TEST_F(InikeyTest, MissingFileIsReportedWithStatusZero)
{
    EXPECT_EQ(run({"a.b", "1"}), 0);
    EXPECT_EQ(out, "can't open " + path + "\n");
    EXPECT_FALSE(exists(path));
}

TEST_F(InikeyTest, BrokenFileEndsWith254)
{
    const char broken[] = "[audio]\nport=1\nport=2\n";
    write_text(path, broken);
    EXPECT_EQ(run({"audio.enable", "1"}), 254);
    EXPECT_EQ(out.rfind("catch exception: ", 0), 0u) << out;
    EXPECT_NE(out.find("duplicate key"), std::string::npos) << out;
    EXPECT_EQ(read_text(path), broken);
}

TEST_F(InikeyTest, FailedReplacementKeepsTheOriginal)
{
    write_text(path, original);
    ASSERT_EQ(mkdir((path + ".temp").c_str(), 0755), 0);
    EXPECT_EQ(run({"audio.enable", "1"}), 254);
    EXPECT_EQ(out.rfind("catch exception: ", 0), 0u) << out;
    EXPECT_EQ(read_text(path), original);
}

// The programs themselves, under a unit root of their own.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = make_scratch_dir();
        ASSERT_FALSE(root.empty());
        ASSERT_EQ(system(("mkdir -p '" + root + "/opt/QM.new'").c_str()), 0);
        cfg = root + "/opt/QM.new/orva700.cfg";
    }
    void TearDown() override { remove_tree(root); }

    run_result inikey(const std::string& args, const std::string& prefix = "")
    {
        return run_shell(prefix + "ORVA_ROOT='" + root + "' '" ORVA_BINARY_DIR "/tools/inikey' " + args + " 2>&1");
    }

    std::string root;
    std::string cfg;
};

TEST_F(ProgramTest, InikeyExitCodesAndMessages)
{
    auto r = inikey("log.max_files 5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "can't open " + root + "/opt/QM.new/orva700.cfg\n");

    write_text(cfg, original);
    r = inikey("log.max_files 5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_text(cfg), "[audio]\ncodec_id=97\nport=15000\n[log]\nlevel=3\nmax_files=5\n");
    r = inikey("log.max_files --remove");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_text(cfg), original);

    r = inikey("a b c");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.rfind("inikey: modify orva700.cfg\n", 0), 0u);

    // The disk fills up while the new file is written (a file size limit stands in for it).
    std::string big = "[dial]\n";
    for (int i = 0; i < 2000; ++i)
        big += "k" + std::to_string(i) + "=0312345678\n";
    write_text(cfg, big);
    r = inikey("dial.extra 1", "trap '' XFSZ; ulimit -f 16; ");
    EXPECT_EQ(r.status, 254) << r.out;
    EXPECT_EQ(r.out.rfind("catch exception: ", 0), 0u) << r.out;
    EXPECT_EQ(read_text(cfg), big);
    EXPECT_FALSE(exists(cfg + ".temp"));
}

}  // namespace

#include "app_config.h"
#include "config_keys.h"
#include "log_capture.h"
#include "unit_root.h"

#include <boost/property_tree/ini_parser.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orva_cfg_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir + "/orva700.cfg";
        config.set_filename(file);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string dir;
    std::string file;
    app_config config;
};

TEST(ConfigKeys, TableHoldsEveryKeyOnce)
{
    EXPECT_EQ(config_keys().size(), 88u);
    int limited = 0;
    for (const auto& k : config_keys()) {
        EXPECT_EQ(find_config_key(k.key), &k) << k.key;
        if (k.min && k.max)
            ++limited;
        EXPECT_EQ(k.min == nullptr, k.max == nullptr) << k.key;
    }
    EXPECT_EQ(limited, 61);
}

TEST(ConfigKeys, BoardFileIsBelowTheUnitRoot)
{
    EXPECT_EQ(app_config().filename(), orva::unit_path("/opt/QM/orva700.cfg"));
}

// Every key: its default from an empty store, and for limited keys the value just outside
// each limit read back as the limit with the warning.
TEST_F(ConfigTest, EveryKeyReadsDefaultAndClampsToItsLimits)
{
    log_capture capture;
    for (const auto& k : config_keys()) {
        SCOPED_TRACE(k.key);
        switch (k.type) {
        case key_type::integer:
            EXPECT_EQ(config.get<int>(k.key), std::stoi(k.def));
            break;
        case key_type::real:
            EXPECT_FLOAT_EQ(config.get<float>(k.key), std::stof(k.def));
            break;
        case key_type::text:
            EXPECT_EQ(config.get<std::string>(k.key), k.def);
            break;
        }
    }
    EXPECT_EQ(capture.take(), "") << "defaults lie inside their limits";

    for (const auto& k : config_keys()) {
        if (!k.min)
            continue;
        SCOPED_TRACE(k.key);
        if (k.type == key_type::integer) {
            const int lo = std::stoi(k.min), hi = std::stoi(k.max);
            config.set(k.key, lo - 1);
            EXPECT_EQ(config.get<int>(k.key), lo);
            EXPECT_NE(capture.take().find("app_config: key " + std::string(k.key) + ": modified to min value: " +
                                          std::to_string(lo - 1) + " => " + std::to_string(lo)),
                      std::string::npos);
            config.set(k.key, hi + 1);
            EXPECT_EQ(config.get<int>(k.key), hi);
            EXPECT_NE(capture.take().find("modified to max value: " + std::to_string(hi + 1) + " => " +
                                          std::to_string(hi)),
                      std::string::npos);
            config.set(k.key, hi);
            EXPECT_EQ(config.get<int>(k.key), hi);
            EXPECT_EQ(capture.take(), "");
        } else {
            const float lo = std::stof(k.min), hi = std::stof(k.max);
            config.set(k.key, lo - 0.5f);
            EXPECT_FLOAT_EQ(config.get<float>(k.key), lo);
            config.set(k.key, hi + 0.5f);
            EXPECT_FLOAT_EQ(config.get<float>(k.key), hi);
            EXPECT_NE(capture.take().find("modified to max value"), std::string::npos);
        }
    }
}

TEST_F(ConfigTest, FileValuesDefaultsAndWarnings)
{
    write_text(file, "[audio]\ncodec_id=250\nport = 16000 \nin_gain=x\n[comm]\nspeed=fast\n[ip_call]\nport=99\n"
                     "[incom]\nin_gain=-3.5\n[debug]\nconsole=true\n");
    ASSERT_EQ(config.read_file(), 0);
    log_capture capture;
    EXPECT_EQ(config.get<int>("audio.codec_id"), 100);
    EXPECT_NE(capture.take().find(" W app_config: key audio.codec_id: modified to max value: 250 => 100\n"),
              std::string::npos);
    EXPECT_EQ(config.get<int>("audio.codec_id"), 100);
    EXPECT_NE(capture.take().find("250 => 100"), std::string::npos) << "warned again at every read";
    EXPECT_EQ(config.get<int>("audio.port"), 16000);
    EXPECT_EQ(config.get<unsigned short>("audio.port"), 16000);
    EXPECT_EQ(config.get<int>("comm.speed"), 9600);
    EXPECT_EQ(capture.take(), "") << "an unreadable value takes the default without a warning";
    EXPECT_EQ(config.get<int>("ip_call.port"), 99) << "no limits";
    EXPECT_FLOAT_EQ(config.get<float>("incom.in_gain"), -3.5f);
    EXPECT_TRUE(config.get<bool>("debug.console"));
    EXPECT_EQ(config.get<std::string>("host.lan"), "eth0");
    EXPECT_EQ(config.current().get<std::string>("audio.codec_id"), "250") << "stored text never corrected";
    config.set<int>("audio.codec_id", 97);
    EXPECT_EQ(config.get<std::string>("audio.codec_id"), "97") << "numeric limits never apply to a text read";
    EXPECT_EQ(capture.take(), "");
}

TEST_F(ConfigTest, StrictReadsThrow)
{
    config.set("audio.port", std::string(""));
    config.set("comm.speed", std::string("fast"));
    config.set("video.port", 26001);
    EXPECT_THROW(config.get_f<int>("audio.codec_id"), boost::property_tree::ptree_bad_path);
    EXPECT_THROW(config.get_f<int>("audio.port"), std::runtime_error);
    EXPECT_THROW(config.get_f<int>("comm.speed"), boost::property_tree::ptree_bad_data);
    EXPECT_EQ(config.get_f<int>("video.port"), 26001);
    EXPECT_EQ(config.get_f<std::string>("comm.speed"), "fast");
}

TEST_F(ConfigTest, MissingFileKeepsDefaultsAndBrokenFileThrows)
{
    EXPECT_EQ(config.read_file(), -1);
    EXPECT_EQ(config.get<int>("audio.codec_id"), 97);
    config.set("audio.codec_id", 0);
    write_text(file, "[audio]\ncodec_id=1\ncodec_id=2\n");
    EXPECT_THROW(config.read_file(), boost::property_tree::ini_parser_error);
    EXPECT_EQ(config.get<int>("audio.codec_id"), 0) << "tree unchanged";
}

TEST_F(ConfigTest, WrittenFileReadsBackIdentically)
{
    config.restore_default();
    config.set("dial.last_number", std::string("0312345678"));
    config.set("audio.out_gain", -2.25f);
    config.set("incom.in_gain", 1.0f / 3.0f);
    config.set("dial.contact", std::string("line1\nRELOAD CONFIG"));
    ASSERT_EQ(config.write_file(), 0);
    const std::string first = read_text(file);
    EXPECT_NE(first.find("in_gain=0.3333333\n"), std::string::npos) << "7 significant digits";
    EXPECT_NE(first.find("contact=line1 RELOAD CONFIG\n"), std::string::npos);

    app_config again;
    again.set_filename(file);
    ASSERT_EQ(again.read_file(), 0);
    EXPECT_TRUE(again.current() == config.current());
    ASSERT_EQ(again.write_file(), 0);
    EXPECT_EQ(read_text(file), first);
    struct stat st{};
    EXPECT_NE(stat((file + ".bak").c_str(), &st), 0) << "no temporary left behind";
}

TEST_F(ConfigTest, OnlySetKeysAreWritten)
{
    config.set("LAN1.ip_addr", std::string("192.0.2.10"));
    ASSERT_EQ(config.write_file(), 0);
    EXPECT_EQ(read_text(file), "[LAN1]\nip_addr=192.0.2.10\n");
}

TEST_F(ConfigTest, PythonConfigparserReadsOurFile)
{
    config.restore_default();
    config.set("dial.last_ip", std::string("198.51.100.4"));
    ASSERT_EQ(config.write_file(), 0);
    const std::string script = dir + "/dump.py";
    write_text(script,
               "import configparser, sys\n"
               "c = configparser.ConfigParser(interpolation=None)\n"
               "c.optionxform = str\n"
               "c.read_file(open(sys.argv[1]))\n"
               "for s in c.sections():\n"
               "    for k, v in c.items(s):\n"
               "        print(s + '.' + k + '=' + v)\n");
    FILE* p = popen(("python3 '" + script + "' '" + file + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p))
        out += buffer;
    ASSERT_EQ(pclose(p), 0) << out;

    std::string expected;
    const auto tree = config.current();
    for (const auto& section : tree)
        for (const auto& key : section.second)
            expected += section.first + "." + key.first + "=" + key.second.data() + "\n";
    EXPECT_EQ(out, expected);
    EXPECT_NE(out.find("dial.last_ip=198.51.100.4\n"), std::string::npos);
    EXPECT_NE(out.find("LAN1.ip_addr=\n"), std::string::npos);
}

TEST_F(ConfigTest, FailedWriteLeavesOldFileAndReportsErrno)
{
    config.set("audio.codec_id", 96);
    ASSERT_EQ(config.write_file(), 0);
    const std::string old = read_text(file);
    config.set("audio.codec_id", 99);
    log_capture capture;

    // The temporary name is taken by a directory: the file cannot be created.
    ASSERT_EQ(mkdir((file + ".bak").c_str(), 0755), 0);
    EXPECT_EQ(config.write_file(), -EISDIR);
    EXPECT_NE(capture.take().find(" E app_config::write_file: open - "), std::string::npos);
    EXPECT_EQ(read_text(file), old);
    rmdir((file + ".bak").c_str());

    // The disk fills up half-way (a file size limit stands in for it).
    const std::string big(100000, 'v');
    config.set("dial.contact", big);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(-config.write_file());
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(read_text(file), old);

    // The target is a directory: rename fails.
    const std::string other = dir + "/sub";
    ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
    EXPECT_EQ(config.write_file(other.c_str()), -EISDIR);
    EXPECT_NE(capture.take().find(" E app_config::write file: rename - "), std::string::npos);
}

TEST_F(ConfigTest, MissingDirectoryIsAFailureNotSuccess)
{
    EXPECT_EQ(config.write_file((dir + "/no/such/dir.cfg").c_str()), -ENOENT);
}

// A unit loses power (or is killed) while saving: the file is always the old or the new one.
TEST_F(ConfigTest, KillDuringWriteLeavesOldOrNewFile)
{
    app_config a, b;
    a.set_filename(file);
    b.set_filename(file);
    a.restore_default();
    b.restore_default();
    a.set("dial.contact", std::string(20000, 'a'));
    b.set("dial.contact", std::string(30000, 'b'));
    ASSERT_EQ(a.write_file(), 0);
    const std::string text_a = read_text(file);
    ASSERT_EQ(b.write_file(), 0);
    const std::string text_b = read_text(file);

    constexpr int rounds = 150;
    int seen_a = 0, seen_b = 0;
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                a.write_file();
                b.write_file();
            }
        }
        usleep(static_cast<useconds_t>(1000 + (round * 7919) % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string now = read_text(file);
        if (now == text_a)
            ++seen_a;
        else if (now == text_b)
            ++seen_b;
        else
            FAIL() << "round " << round << ": broken file of " << now.size() << " bytes";
        app_config check;
        check.set_filename(file);
        ASSERT_EQ(check.read_file(), 0);
    }
    EXPECT_EQ(seen_a + seen_b, rounds);
}

TEST_F(ConfigTest, ConcurrentReadersWritersAndSaves)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                config.set("headphone.volume", i % 64);
                config.set("dial.last_ip", "198.51.100." + std::to_string(t));
                EXPECT_LE(config.get<int>("headphone.volume"), 63);
            }
        });
    }
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(config.write_file(), 0);
    stop = true;
    for (auto& t : threads)
        t.join();
    app_config check;
    check.set_filename(file);
    ASSERT_EQ(check.read_file(), 0);
    EXPECT_EQ(check.get<std::string>("dial.last_ip").rfind("198.51.100.", 0), 0u);
}

TEST_F(ConfigTest, CopyKeepsEveryTree)
{
    config.set("audio.codec_id", 250);
    app_config copy(config);
    EXPECT_EQ(copy.filename(), file);
    EXPECT_EQ(copy.get<int>("audio.codec_id"), 100);
    copy.restore_default();
    EXPECT_EQ(copy.get<int>("audio.codec_id"), 97);
    EXPECT_EQ(config.current().get<int>("audio.codec_id"), 250);
}

}  // namespace

#include "csv_reader.h"
#include "util.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

std::string temp_file(const std::string& content)
{
    char name[] = "/tmp/orva_util_XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    return name;
}

std::vector<csv_reader::record> parse(const std::string& text, unsigned limit = 10)
{
    std::istringstream in(text);
    std::vector<csv_reader::record> out;
    csv_reader::record r;
    while (csv_reader::read_record(in, limit, r))
        out.push_back(r);
    return out;
}

using R = csv_reader::record;

TEST(CsvReader, RecordsFromText)
{
    struct row {
        const char* text;
        std::vector<R> expected;
    };
    const row rows[] = {
        {"Tanaka,\"03-1234, ext 5\"\n", {R{"Tanaka", "03-1234, ext 5"}}},
        {"\"say \"\"hi\"\"\",x\n", {R{"say \"hi\"", "x"}}},
        {"a,,b\n", {R{"a", "", "b"}}},
        {",a\n", {R{"", "a"}}},
        {"a,\n", {R{"a", ""}}},
        {"\"multi\nline\",2\n3", {R{"multi\nline", "2"}, R{"3"}}},
        {"a,b\r\n", {R{"a", "b\r"}}},
        {"\"q\"x,y\n", {R{"q", "", "y"}}},
        {"\"open", {R{"open"}}},
        {"\n", {R{""}}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(parse(r.text), r.expected) << r.text;
    EXPECT_EQ(parse("1,2,3,4\n", 2), std::vector<R>{R({"1", "2"})});
}

TEST(CsvReader, ReadAllSkipsHeaderAndBlankLines)
{
    const std::string path = temp_file("name,number\nA,1\n\nB,2\n,\nC,3\n");
    csv_reader reader(path.c_str(), 2);
    EXPECT_EQ(reader.read_all(1), 3);
    EXPECT_EQ(reader.records().back(), (R{"C", "3"}));
    unlink(path.c_str());
    csv_reader missing("/nonexistent/phonebook.csv", 2);
    EXPECT_EQ(missing.read_all(0), -1);
}

TEST(Util, MaxLevel)
{
    const short samples[] = {1, -2, -32768, 5, 100, -300};
    EXPECT_EQ(max_level(samples, 3), std::make_pair(32768, 300));
    EXPECT_EQ(max_level(samples, 0), std::make_pair(0, 0));
}

TEST(Util, CopyFile)
{
    const std::string content(1000, 'k');
    const std::string from = temp_file(content);
    const std::string to = from + ".copy";
    EXPECT_EQ(copy_file(to.c_str(), from.c_str()), 0);
    std::ifstream in(to);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    EXPECT_EQ(copy_file(to.c_str(), "/nonexistent/x"), ENOENT);
    EXPECT_EQ(copy_file("/nonexistent/dir/y", from.c_str()), ENOENT);
    unlink(from.c_str());
    unlink(to.c_str());
}

TEST(Util, SerialSpeeds)
{
    EXPECT_EQ(b_rate_to_termios_speed(9600), static_cast<unsigned>(B9600));
    EXPECT_EQ(b_rate_to_termios_speed(230400), static_cast<unsigned>(B230400));
    EXPECT_EQ(b_rate_to_termios_speed(300), static_cast<unsigned>(B0));
    EXPECT_EQ(termios_speed_to_b_rate(B115200), 115200);
    EXPECT_EQ(termios_speed_to_b_rate(B300), 0);
    for (int baud : {2400, 4800, 9600, 19200, 38400, 57600, 115200})
        EXPECT_TRUE(is_valid_uart_speed(baud)) << baud;
    for (int baud : {1200, 230400, 300, 0})
        EXPECT_FALSE(is_valid_uart_speed(baud)) << baud;
}

TEST(Util, Texts)
{
    in_addr a{};
    inet_pton(AF_INET, "192.168.1.20", &a);
    EXPECT_EQ(in_addr_to_str(&a), "192.168.1.20");
    EXPECT_EQ(errno_to_disp_text(-5), "ERR = -5");
    EXPECT_EQ(trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(trim(" \n"), "");
    EXPECT_NEAR(gain_db_to_coef(-6), 0.501, 0.001);
    EXPECT_FLOAT_EQ(gain_db_to_coef(0), 1.0f);
}

TEST(Util, IpCheck)
{
    struct row {
        const char* text;
        bool valid;
    };
    const row rows[] = {{"10.0.0.1", true},     {"192.168.0.256", false}, {"1.2.3", false},
                        {"255.255.255.255", true}, {"a.b.c.d", false},   {"1.2.3.4x", true},
                        {"", false},             {"-1.2.3.4", false}};
    for (const auto& r : rows)
        EXPECT_EQ(ip_check(r.text), r.valid) << r.text;
}

TEST(Util, RandomTestFiresRarely)
{
    int hits = 0;
    for (int i = 0; i < 100000; ++i)
        hits += random_test() ? 1 : 0;
    EXPECT_GT(hits, 30);
    EXPECT_LT(hits, 300);
}

TEST(Util, ThrowSystemErrorCarriesErrno)
{
    errno = EACCES;
    try {
        throw_system_error_fx("gpio_dev::gpio_dev", "open");
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EACCES);
        EXPECT_EQ(std::string(e.what()).rfind("gpio_dev::gpio_dev: open", 0), 0u);
    }
}

}  // namespace

// Random identifiers: short reads, a missing device and the last-resort source.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "SFUid.h"
#include "SFUidSource.h"

namespace {

class SFUidTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sfuid.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override
    {
        SFUidSetSource(nullptr, 1);
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(0, std::system(cmd.c_str()));
    }
    std::string dir_;
};

TEST_F(SFUidTest, ShortReadsAreCompleted)
{
    const std::string fifo = dir_ + "/random";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    SFUidSetSource(fifo.c_str(), 0);
    // The device delivers the bytes a few at a time.
    std::thread writer([&fifo] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        const unsigned char bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        for (int i = 0; i < 16; i += 3) {
            const int n = 16 - i < 3 ? 16 - i : 3;
            if (write(fd, bytes + i, static_cast<size_t>(n)) != n)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        close(fd);
    });
    uint8_t guid[16] = {};
    EXPECT_EQ(0, SFUidGenerateGuid(guid));
    writer.join();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(i + 1, guid[i]);
}

TEST_F(SFUidTest, TruncatedDeviceFallsBackInsteadOfFailing)
{
    const std::string file = dir_ + "/short";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fputs("abc", f);  // 3 bytes, then end of data
    std::fclose(f);
    for (int useSystem : {1, 0}) {
        SFUidSetSource(file.c_str(), useSystem);
        std::set<uint32_t> numbers;
        std::set<std::string> guids;
        for (int i = 0; i < 2000; ++i) {
            numbers.insert(SFUidGenerateUniqueNumber());
            uint8_t guid[16];
            ASSERT_EQ(0, SFUidGenerateGuid(guid));
            guids.insert(std::string(reinterpret_cast<char*>(guid), 16));
        }
        // 2000 draws from 2^32 collide with probability below 0.05 %; a failure code would repeat.
        EXPECT_GE(numbers.size(), 1999u) << "system source " << useSystem;
        EXPECT_EQ(2000u, guids.size()) << "system source " << useSystem;
        EXPECT_EQ(0u, numbers.count(0xFFFFFFFFu));
    }
}

TEST_F(SFUidTest, MissingDeviceFallsBack)
{
    SFUidSetSource((dir_ + "/absent").c_str(), 1);
    uint8_t a[16], b[16];
    EXPECT_EQ(0, SFUidGenerateGuid(a));
    EXPECT_EQ(0, SFUidGenerateGuid(b));
    EXPECT_NE(0, std::memcmp(a, b, 16));
    EXPECT_NE(0, SFUidGenerateGuid(nullptr));
}

TEST_F(SFUidTest, DeviceValuesDiffer)
{
    std::set<uint32_t> numbers;
    for (int i = 0; i < 100; ++i)
        numbers.insert(SFUidGenerateUniqueNumber());
    EXPECT_GE(numbers.size(), 99u);
}

}  // namespace

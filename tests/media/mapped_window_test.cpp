#include "media/mapped_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace zorv::media {
namespace {

struct SumJob {
    const uint8_t* p;
    size_t n;
    uint64_t sum = 0;
};

void sumBytes(void* job) {
    auto* j = static_cast<SumJob*>(job);
    for (size_t i = 0; i < j->n; ++i) j->sum += *static_cast<const volatile uint8_t*>(j->p + i);
}

class MappedWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() / ("zorv_mapped_" + std::to_string(::getpid()) + ".bin")).string();
        std::vector<uint8_t> data(kSize);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 4096);
        FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
        std::fclose(f);
        fd_ = ::open(path_.c_str(), O_RDONLY);
        ASSERT_GE(fd_, 0);
        data_ = std::move(data);
    }
    void TearDown() override {
        if (fd_ >= 0) ::close(fd_);
        std::remove(path_.c_str());
    }
    static constexpr size_t kSize = 3 << 20;
    std::string path_;
    int fd_ = -1;
    std::vector<uint8_t> data_;
};

TEST_F(MappedWindowTest, ViewsMatchTheFileAcrossWindowMovesAndStopAtItsEnd) {
    // A small window forces remaps, including views that straddle the old window's end.
    MappedWindow w(fd_, static_cast<int64_t>(kSize), 256 << 10);
    for (int64_t off : {int64_t(0), int64_t(144000), int64_t(250000), int64_t(1000001), int64_t(kSize - 144000)}) {
        const uint8_t* p = w.view(off, 144000);
        ASSERT_NE(p, nullptr) << off;
        EXPECT_EQ(0, std::memcmp(p, data_.data() + off, 144000)) << off;
    }
    EXPECT_EQ(w.view(static_cast<int64_t>(kSize) - 100, 101), nullptr);
    EXPECT_EQ(w.sysError(), 0);
    EXPECT_EQ(w.view(-1, 10), nullptr);
}

TEST_F(MappedWindowTest, FileTruncatedUnderTheMappingIsAFailedReadNotACrash) {
    MappedWindow w(fd_, static_cast<int64_t>(kSize));
    const uint8_t* p = w.view(0, kSize);
    ASSERT_NE(p, nullptr);
    SumJob head{p, 4096};
    EXPECT_TRUE(guardedCall(sumBytes, &head));

    ASSERT_EQ(::truncate(path_.c_str(), 8192), 0);  // as another process would
    SumJob tail{p + (2 << 20), 144000};
    EXPECT_FALSE(guardedCall(sumBytes, &tail));
    // The guard is re-armed: the next fault is caught as well, and reads still inside the file work.
    EXPECT_FALSE(guardedCall(sumBytes, &tail));
    SumJob again{p, 4096};
    EXPECT_TRUE(guardedCall(sumBytes, &again));
    EXPECT_EQ(again.sum, head.sum);
}

}  // namespace
}  // namespace zorv::media

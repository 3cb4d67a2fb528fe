#include "media/write_all.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace zorv::media {
namespace {

TEST(WriteAll, GatheredBuffersLandInOrderAndFailuresCarryErrno) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("zorv_writeall_" + std::to_string(::getpid()))).string();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> big(1 << 20);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i % 251);
    uint8_t head[3] = {'a', 'b', 'c'}, pad = 0;
    struct iovec iov[4] = {{nullptr, 0}, {head, 3}, {big.data(), big.size()}, {&pad, 1}};
    EXPECT_EQ(writeAllV(fd, iov, 4), 0);
    uint8_t patch[2] = {'X', 'Y'};
    EXPECT_EQ(pwriteAll(fd, patch, 2, 1), 0);  // the descriptor's position stays at the end
    struct iovec more {
        head, 3
    };
    EXPECT_EQ(writeAllV(fd, &more, 1), 0);

    std::vector<uint8_t> back(3 + big.size() + 1 + 3);
    ASSERT_EQ(::pread(fd, back.data(), back.size(), 0), static_cast<ssize_t>(back.size()));
    EXPECT_EQ(back[0], 'a');
    EXPECT_EQ(back[1], 'X');
    EXPECT_EQ(back[2], 'Y');
    EXPECT_TRUE(std::equal(big.begin(), big.end(), back.begin() + 3));
    EXPECT_EQ(back[3 + big.size()], 0);
    EXPECT_EQ(back.back(), 'c');
    ::close(fd);

    fd = ::open(path.c_str(), O_RDONLY);
    struct iovec one {
        head, 3
    };
    EXPECT_EQ(writeAllV(fd, &one, 1), EBADF);
    EXPECT_EQ(pwriteAll(fd, head, 3, 0), EBADF);
    ::close(fd);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace zorv::media

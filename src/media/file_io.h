// A file handle for the readers and writers of media files: a POSIX descriptor with 64-bit
// positioned reads and writes. Nothing here throws; each failing call keeps errno for the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorv::media {

class File {
public:
    enum class Mode {
        kRead,       // existing file, read only
        kReadWrite,  // existing file, read and write in place
        kCreate,     // new file, truncated if it exists
        kCreateNew,  // new file; fails if it exists
    };

    File() = default;
    ~File() { close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool open(const std::string& path, Mode mode = Mode::kRead);
    // Standard output, for text written front to back: writeAt() appends whatever offset it is given.
    bool openStandardOutput();
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Current size of the file in bytes; -1 on failure.
    int64_t size() const;

    // Reads up to n bytes at offset; returns the count read (short only at the end of the file)
    // or -1 on failure. Interrupted and partial reads are retried.
    int64_t readAt(int64_t offset, void* buf, size_t n) const;
    // True when exactly n bytes were read at offset.
    bool readExact(int64_t offset, void* buf, size_t n) const { return readAt(offset, buf, n) == static_cast<int64_t>(n); }
    // Writes all n bytes at offset; false on failure or a short write.
    bool writeAt(int64_t offset, const void* buf, size_t n);
    bool truncate(int64_t length);
    bool sync();

    // errno of the last failed call (0 when none failed).
    int sysError() const { return errno_; }

private:
    int fd_ = -1;
    bool stream_ = false;  // a pipe or terminal: no positioned writes
    std::string path_;
    mutable int errno_ = 0;
};

// Little-endian field readers shared by the RIFF and transport-stream code.
inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t le64(const uint8_t* p) {
    return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}
// A FourCC as the 32-bit little-endian word it is stored as: fourcc("movi").
constexpr uint32_t fourcc(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}
// The four characters of a stored FourCC word.
std::string fourccText(uint32_t code);

}  // namespace zorv::media

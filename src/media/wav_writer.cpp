#include "media/wav_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace zorv::media {

namespace {
constexpr size_t kHeaderSize = 44;
constexpr size_t kBufferSize = 1 << 20;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}
}  // namespace

WavWriter::~WavWriter() { close(); }

core::Status WavWriter::fail(int err) {
    if (error_.ok()) error_ = core::Status::failure(core::ErrorCode::kWriteFailed, {}, err ? err : EIO);
    return error_;
}

core::Status WavWriter::open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
    close();
    error_ = {};
    dataBytes_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = core::Status::failure(core::ErrorCode::kOpenFailed, {}, errno);
        return error_;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
    uint8_t h[kHeaderSize] = {};
    uint32_t blockAlign = uint32_t(channels * bitsPerSample / 8);
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, uint32_t(channels));
    put32(h + 24, uint32_t(sampleRate));
    put32(h + 28, uint32_t(sampleRate) * blockAlign);
    put16(h + 32, blockAlign);
    put16(h + 34, uint32_t(bitsPerSample));
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, 0);
    if (std::fwrite(h, 1, sizeof h, file_) != sizeof h) return fail(errno);
    return error_;
}

core::Status WavWriter::write(std::span<const uint8_t> pcm) {
    if (!file_) return core::Status::failure(core::ErrorCode::kWriteFailed);
    if (!error_.ok()) return error_;
    if (!pcm.empty() && std::fwrite(pcm.data(), 1, pcm.size(), file_) != pcm.size()) return fail(errno);
    dataBytes_ += pcm.size();
    return error_;
}

core::Status WavWriter::close() {
    if (!file_) return error_;
    if (error_.ok()) {
        uint64_t pad = dataBytes_ & 1;
        if (pad && std::fputc(0, file_) == EOF) fail(errno);
        uint64_t riff = 36 + dataBytes_ + pad;
        uint8_t size[4];
        put32(size, riff > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(riff));
        if (std::fseek(file_, 4, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) fail(errno);
        put32(size, dataBytes_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(dataBytes_));
        if (std::fseek(file_, 40, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) fail(errno);
    }
    if (std::fclose(file_) != 0) fail(errno);
    file_ = nullptr;
    return error_;
}

}  // namespace zorv::media

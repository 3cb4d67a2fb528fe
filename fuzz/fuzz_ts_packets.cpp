// Transport packets from arbitrary bytes: the packet walker, adaptation fields, PES headers and
// continuity over the raw input at both packet sizes, then the HDV reader (open, every sample with
// its aux rewriting, a seek, the sequence search) and the stream scan over the input repeated to a
// whole file, and the resynchronising packet stream over it.
#include <cstdint>
#include <vector>

#include "media/hdv_m2t_reader.h"
#include "media/hdv_stream_info.h"
#include "media/file_io.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    for (int packet : {188, 192}) {
        TsPacketWalker walker(data, size, packet, packet == 192 ? 4 : 0);
        TsContinuity cc;
        TsPacket p;
        bool ok = false;
        while (walker.next(p, ok)) {
            if (!ok) continue;
            cc.check(p);
            PesHeader h;
            if (parsePacketPes(p, h) && h.payloadOffset < p.payloadSize()) {
                HdvMetadataRecord rec;
                HdvPictureItem pic;
                parseAuxPacket(p.data, rec, pic);
            }
        }
    }
    PesHeader h;
    parsePesHeader(data, size, h);

    if (size == 0 || size > 8192) return 0;
    // The reader needs at least one read unit's worth of file.
    std::vector<uint8_t> file;
    while (file.size() < 3 * 49152) file.insert(file.end(), data, data + size);
    const std::string& path = zorv::fuzz::memoryFile(file.data(), file.size());
    M2tReader reader;
    if (reader.open(path)) {
        std::vector<uint8_t> sample(reader.maxSampleBytes());
        for (int i = 0; i < 8 && reader.fillSample(sample.data(), sample.size()) > 0; ++i) {
        }
        reader.seek(reader.duration() / 2);
        for (int i = 0; i < 4 && reader.fillSample(sample.data(), sample.size()) > 0; ++i) {
        }
        SequenceStart s;
        reader.sequenceStartAtOrBefore(static_cast<int64_t>(file.size()) / 2, s);
    }
    // The resynchronising packet stream on its own, at both sizes, from the start and from inside.
    for (int packet : {188, 192}) {
        File f;
        if (!f.open(path)) break;
        TsPacketStream stream;
        stream.attach(&f, packet, packet - 188);
        std::vector<uint8_t> out(static_cast<size_t>(packet) * 16);
        while (stream.read(out.data(), 16) > 0) {
        }
        stream.seek(static_cast<int64_t>(file.size()) / 3);
        stream.read(out.data(), 16);
    }
    HdvStreamInfo info;
    scanHdvStream(path, false, info);
    return 0;
}

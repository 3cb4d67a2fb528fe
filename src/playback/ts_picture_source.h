// Pictures of a 1080-line HDV file (MPEG-2 video, read through the M2T reader) or of an AVCHD file
// (H.264 video, read through the AVC reader with its per-picture metadata packets), decoded with the
// chosen libavcodec decoder. Each picture's metadata is the record of the auxiliary packet that carries
// its own presentation time (HDV: through the time-keyed metadata cache). Stepping forward decodes on; any other move
// seeks the reader a little before the target and decodes up to it (the decoder starts at a key
// picture), so every step shows the picture asked for with its own tags.
//
// The sound (HDV: MPEG-1 Layer II on PID 0x0814, AVCHD: AC-3 on PID 0x1100) is decoded as the stream
// is read and handed out with each picture: the share from that picture's start to the next one's.
#pragma once

#include <map>
#include <memory>

#include "media/avchd_avc_reader.h"
#include "media/avchd_mdpm.h"
#include "media/hdv_m2t_reader.h"
#include "media/hdv_metadata.h"
#include "media/hdv_stream_info.h"
#include "media/ts_packet.h"
#include "playback/picture_source.h"
#include "playback/stream_audio_decoder.h"
#include "playback/video_decoder.h"

namespace zorv::playback {

class TsPictureSource final : public PictureSource {
public:
    core::Status openHdv(const std::string& path, const PlayerConfig& config);
    core::Status openAvchd(const std::string& path, const PlayerConfig& config);

    int64_t pictureCount() const override { return count_; }
    int64_t pictureDuration() const override { return pictureDuration_; }
    bool decode(int64_t index, ShownPicture& out, AudioBlock* audio) override;
    int64_t keyPicture(int64_t index, int direction) override;
    std::string error() const override { return error_; }
    bool hasGeotagging() const override { return gps_; }
    std::optional<std::string> mapPosition(const ShownPicture& picture) const override;

private:
    // The open reader of either family.
    int64_t fillSample();
    bool readerSeek(int64_t time);
    int64_t startPts() const { return stream_->startPts(); }
    int packetSize() const { return stream_->packetSize(); }
    uint16_t videoPid() const;
    // The largest video PTS from the reader's end on (HDV: the end is the last group's start).
    int64_t lastVideoPts();
    void setRate(int64_t num, int64_t den);
    void onHdvAux(const uint8_t* pkt);
    // The presentation time (90 kHz) of picture index and back.
    int64_t ptsOf(int64_t index) const;
    int64_t indexOf(int64_t pts) const;
    int64_t firstPictureStep();
    bool seekBefore(int64_t index);
    // Decodes on until a picture at or after targetPts comes out (into out's pixels).
    bool decodeUntil(int64_t targetPts, ShownPicture& out);
    bool feedOneSample();
    void onPacket(const uint8_t* pkt);
    // Keeps the time code of a group of pictures header at the start of an HDV picture.
    void noteGopTimecode(const uint8_t* es, size_t n, int64_t pts);
    // Ends the PES being collected: its bytes become a whole unit for the decoder.
    void closePes();
    // Sends the queued units until the decoder is full; false on a hard decoder error.
    bool pumpUnits(bool& progressed);
    // Drops the units already sent, keeping the PES being collected (its bytes move to the front).
    void compactUnits();
    void resetFeed();
    void fillMetadata(int64_t pts, ShownPicture& out);
    void openAudio(const std::string& decoderName);
    void onAudioPacket(const media::TsPacket& ts);
    // Hands out (or passes over) the sound of picture index after it was decoded.
    void soundOf(int64_t index, AudioBlock* audio);

    bool hdv_ = false;
    std::unique_ptr<media::AvcReader> reader_;
    std::unique_ptr<media::M2tReader> m2t_;
    media::TsStreamReader* stream_ = nullptr;  // the open one of the two
    media::HdvMetadataCache hdvRecords_;
    std::map<int64_t, media::HdvGopTimecode> gops_;  // group of pictures headers by PTS
    VideoDecoder decoder_;
    StreamAudioDecoder audio_;
    uint16_t audioPid_ = 0;
    bool inAudioPes_ = false;
    std::vector<uint8_t> sample_;
    // Video bytes read ahead of the decoder: whole PES units (one access unit each), then the PES
    // being collected from pesStart_. Memory is kept between pictures.
    struct Unit {
        size_t offset, size;
        int64_t pts;
    };
    std::vector<uint8_t> es_;
    std::vector<Unit> units_;
    size_t nextUnit_ = 0;
    size_t pesStart_ = 0;
    bool inPes_ = false;  // false after a seek until the next PES start
    int64_t pesPts_ = -1;
    bool ended_ = false;                                     // the reader is at the end of the file
    bool endSent_ = false;                                   // the decoder was told so
    std::map<int64_t, media::AvchdMetadataRecord> records_;  // by PTS, dropped as pictures pass
    std::vector<int64_t> keyPts_;                            // key pictures seen, sorted
    int64_t lastIndex_ = -1;
    int64_t count_ = 0;
    int64_t pictureDuration_ = 333667;
    int64_t ptsPerPicture_num_ = 3003, ptsPerPicture_den_ = 1;
    int displayNum_ = 16, displayDen_ = 9;
    bool gps_ = false;
    std::string error_;
};

}  // namespace zorv::playback

#include "media/hdv_aux_items.h"

#include "core/timecode.h"

namespace zorv::media {

namespace {

inline int bcd(uint8_t v, uint8_t tensMask) { return ((v & tensMask) >> 4) * 10 + (v & 0x0F); }

void putIfEmpty(PackSlot* slot, const uint8_t* pack) {
    if (!slot || (*slot)[0] != 0xFF) return;
    for (int i = 0; i < 5; ++i) (*slot)[i] = pack[i];
}

void putIfEmpty(PackSlot* slot, uint8_t id, const uint8_t* pc) {
    const uint8_t pack[5] = {id, pc[0], pc[1], pc[2], pc[3]};
    putIfEmpty(slot, pack);
}

PackSlot* cameraSlot(std::array<PackSlot, 3>& set, uint8_t id) {
    for (int i = 0; i < 3; ++i)
        if (HdvMetadataRecord::kCameraIds[i] == id) return &set[i];
    return nullptr;
}

// Calls fn(id, itemStart, itemLength) for each item of the run until the end marker or the data.
template <typename Fn>
void walkItems(const uint8_t* data, size_t n, Fn&& fn) {
    size_t i = 0;
    while (i < n) {
        const uint8_t id = data[i];
        if (id > 0x7F) break;
        size_t len;
        if (id < 0x40) {
            len = 5;
        } else {
            if (i + 2 > n) break;
            len = 2 + static_cast<size_t>(data[i + 1]);
        }
        if (len > n - i) break;
        if (!fn(id, data + i, len)) break;
        i += len;
    }
}

}  // namespace

const PackSlot* HdvMetadataRecord::mainSlot(uint8_t id) const {
    for (int i = 0; i < 6; ++i)
        if (kMainIds[i] == id) return &main[i];
    return nullptr;
}

PackSlot* HdvMetadataRecord::mainSlot(uint8_t id) {
    return const_cast<PackSlot*>(static_cast<const HdvMetadataRecord*>(this)->mainSlot(id));
}

core::MetadataRecord HdvMetadataRecord::toPackTable() const {
    core::MetadataRecord rec;
    for (const PackSlot& s : main)
        if (s[0] != 0xFF) rec.packs[s[0]] = s;
    return rec;
}

int64_t hdvTimecodeFrames(const uint8_t tc[4], int style) {
    core::Timecode t;
    t.frames = bcd(tc[0], 0x30);
    t.seconds = bcd(tc[1], 0x70);
    t.minutes = bcd(tc[2], 0x70);
    t.hours = bcd(tc[3], 0x30);
    return core::timecodeToFrames(t, style);
}

HdvPictureItem readPictureItem(const uint8_t* p, size_t len) {
    HdvPictureItem item;
    if (len < 2 || p[0] != 0x44) return item;
    item.present = true;
    if (len > 6) item.pictureCode = p[6] & 0x0F;
    if (len > 14) {
        item.timeStamp = static_cast<int64_t>(p[10]) | (static_cast<int64_t>(p[11]) << 8) |
                         (static_cast<int64_t>(p[12]) << 16) | (static_cast<int64_t>(p[13]) << 24) |
                         (static_cast<int64_t>(p[14] & 1) << 32);
        item.timeStampOffset = 10;
    }
    if (len > 31) {
        const bool ntsc = len > 21 && (p[21] & 0x0F) == 4;
        item.style = ntsc ? ((p[31] & 0x40) ? 4 : 3) : 2;
    }
    if (len > 30) {
        const uint8_t flags = p[30];
        if ((flags & 0x01) && len > 34 && (p[34] & 0x30) <= 0x20) {
            item.hasTimecode = true;
            item.timecode = hdvTimecodeFrames(p + 31, item.style);
        }
        if ((flags & 0x02) && len > 38) {
            item.hasDate = true;
            for (int i = 0; i < 4; ++i) item.date[i] = p[35 + i];
        }
        if ((flags & 0x04) && len > 42 && (p[42] & 0x30) <= 0x20) {
            item.hasTime = true;
            for (int i = 0; i < 4; ++i) item.time[i] = p[39 + i];
        }
    }
    return item;
}

HdvPictureItem findPictureItem(const uint8_t* data, size_t n) {
    HdvPictureItem found;
    walkItems(data, n, [&](uint8_t id, const uint8_t* p, size_t len) {
        if (id != 0x44) return true;
        found = readPictureItem(p, len);
        if (found.timeStampOffset >= 0) found.timeStampOffset += static_cast<int>(p - data);
        return false;
    });
    return found;
}

HdvPictureItem parseAuxItems(const uint8_t* data, size_t n, HdvMetadataRecord& rec) {
    HdvPictureItem picture;
    rec.shortData = n < 100 ? 1 : 0;
    walkItems(data, n, [&](uint8_t id, const uint8_t* p, size_t len) {
        if (id < 0x40) {
            if (p[1] == 0xFF) return true;
            uint8_t packId = 0xFF;
            if (id == 0x01) packId = core::pack::kBinaryGroup;
            else if (id == 0x05) packId = core::pack::kRecDate;
            else if (id == 0x06) packId = core::pack::kRecTime;
            if (packId != 0xFF) putIfEmpty(rec.mainSlot(packId), packId, p + 1);
            return true;
        }
        if (id == 0x44) {
            if (picture.present) return true;
            picture = readPictureItem(p, len);
            if (picture.timeStampOffset >= 0) picture.timeStampOffset += static_cast<int>(p - data);
            if (picture.hasDate) putIfEmpty(rec.mainSlot(core::pack::kRecDate), core::pack::kRecDate, picture.date);
            if (picture.hasTime) putIfEmpty(rec.mainSlot(core::pack::kRecTime), core::pack::kRecTime, picture.time);
            return true;
        }
        if (id >= 0x48 && id <= 0x4B) {
            const size_t count = p[1] / 5;
            for (size_t k = 0; k < count && 2 + 5 * k + 5 <= len; ++k) {
                const uint8_t* pk = p + 2 + 5 * k;
                if (pk[0] == 0xFF) continue;
                if (id == 0x48) putIfEmpty(rec.mainSlot(pk[0]), pk);
                else putIfEmpty(cameraSlot(rec.extra[id - 0x49], pk[0]), pk);
            }
        }
        return true;
    });
    rec.timecodeStyle = picture.present ? picture.style : 2;
    if (picture.present) {
        rec.pictureCode = picture.pictureCode;
        if (picture.timeStamp >= 0) rec.pictureTimeStamp = static_cast<uint64_t>(picture.timeStamp & 0xFFFFFFFF);
        rec.timecode = picture.hasTimecode ? picture.timecode : -1;
    }
    return picture;
}

}  // namespace zorv::media

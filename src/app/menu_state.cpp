#include "app/menu_state.h"

#include <cctype>

namespace zorv::app {

namespace {

// "dvsd" in any letter case, as the FourCC reads in file order.
bool isDvsd(uint32_t fourcc) {
    const char want[4] = {'d', 'v', 's', 'd'};
    for (int i = 0; i < 4; ++i) {
        const int c = static_cast<int>((fourcc >> (8 * i)) & 0xFF);
        if (std::tolower(c) != want[i]) return false;
    }
    return true;
}

}  // namespace

MenuState menuStateFor(media::FileType type, uint32_t fourcc, bool hasGeotagging) {
    using media::FileType;
    MenuState s;
    s.close = s.saveImage = s.properties = true;
    s.transport = true;
    s.exportMetadata = s.exportSubtitles = true;
    switch (type) {
    case FileType::kAviType1:
    case FileType::kAviType2:
    case FileType::kRawDv: {
        s.minuteSteps = s.scenes = true;
        if (!isDvsd(fourcc)) break;
        const bool raw = type == FileType::kRawDv;
        s.convertMenu = true;
        s.convertAvi1 = type != FileType::kAviType1;
        s.convertAvi2 = type != FileType::kAviType2;
        s.convertRawDv = !raw;
        const bool tools = !raw;
        s.extractAudio = s.burnIn = s.split = s.modify = tools;
        s.directMenu = s.directBurnIn = s.directModify = tools;
        break;
    }
    case FileType::kHdv2:
    case FileType::kAvchd:
        s.extractAudio = s.burnIn = true;
        s.iFrameSteps = true;
        s.displayMap = type == FileType::kAvchd && hasGeotagging;
        break;
    default:
        return noFileMenuState();
    }
    return s;
}

}  // namespace zorv::app

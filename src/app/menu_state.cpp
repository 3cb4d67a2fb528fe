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

MenuState menuStateFor(const media::FormatDescriptor& format, uint32_t fourcc, bool hasGeotagging) {
    if (!format.has(media::format_tool::kPlay)) return noFileMenuState();
    MenuState s;
    s.close = s.saveImage = s.properties = true;
    s.transport = true;
    s.exportMetadata = s.exportSubtitles = true;
    if (format.isDv()) {
        s.minuteSteps = s.scenes = true;
        if (!isDvsd(fourcc)) return s;
        s.convertMenu = format.has(media::format_tool::kConvert);
        s.convertAvi1 = (format.convertTargets & media::convert_target::kAvi1) != 0;
        s.convertAvi2 = (format.convertTargets & media::convert_target::kAvi2) != 0;
        s.convertRawDv = (format.convertTargets & media::convert_target::kRawDv) != 0;
        // The window offers the DV tools for AVI files only.
        const bool tools = format.aviType != 0;
        s.extractAudio = tools && format.has(media::format_tool::kExtractAudio);
        s.burnIn = tools && format.has(media::format_tool::kBurnIn);
        s.split = tools && format.has(media::format_tool::kSplit);
        s.modify = tools && format.has(media::format_tool::kModify);
        s.directMenu = s.burnIn || s.modify;
        s.directBurnIn = s.burnIn;
        s.directModify = s.modify;
        return s;
    }
    s.extractAudio = format.has(media::format_tool::kExtractAudio);
    s.burnIn = format.has(media::format_tool::kBurnIn);
    s.iFrameSteps = true;
    s.displayMap = format.family == core::MediaFamily::kAvchd && hasGeotagging;
    return s;
}

}  // namespace zorv::app

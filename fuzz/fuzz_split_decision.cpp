// Arbitrary bytes as a run of DV frames through the split decision: the pack search of each frame,
// every trigger with the thresholds and pre-roll taken from the input, and the output name forms.
#include <cstddef>
#include <cstdint>

#include "tools/split_decider.h"
#include "tools/split_naming.h"

using namespace zorv::tools;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 4 * 144000) return 0;
    SplitRules rules;
    const int trigger = 1 + data[0] % 4;
    rules.trigger = static_cast<zorv::core::SplitTrigger>(trigger);
    rules.timecodeThreshold = 1 + data[1] % 999;
    rules.dateTimeThreshold = 1 + data[2] % 999;
    rules.prerollSeconds = data[3] % 11;
    rules.timecodeStyle30 = (data[3] & 0x80) ? 4 : 0;
    data += 4;
    size -= 4;
    // Frames of 120000 or 144000 bytes while the input lasts; the rest as one short frame.
    const size_t frameSize = (trigger & 1) ? 120000 : 144000;
    SplitDecider decider(rules);
    int64_t number = 1;
    while (size > 0) {
        size_t n = size < frameSize ? size : frameSize;
        SplitFrameInfo info = readSplitFrameInfo(data, n);
        SplitDecider::Verdict v = decider.step(info);
        if (v.startsFile) ++number;
        for (int format = 1; format <= 4; ++format) (void)splitNameSuffix(static_cast<SplitNameFormat>(format), number, info);
        data += n;
        size -= n;
    }
    (void)reelWithLetter("Tape", static_cast<int>(number % 1000));
    return 0;
}

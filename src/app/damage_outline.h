// The damaged blocks of the shown DV picture outlined on it (View > Show Damaged Blocks): the
// macroblock area of every video DIF block that the deck concealed (amber) or left in error (red),
// read from the frame's own bytes. 25 Mbit/s frames only; the doubled frames have no outline.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/dv_damaged_blocks.h"
#include "core/dv_macroblock_map.h"

class QPainter;
class QRect;

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::app {

class DamageOutline {
public:
    struct Block {
        core::dv::PictureArea area;  // in the full picture (720 wide)
        bool concealed = false;      // else in error
    };

    DamageOutline();
    ~DamageOutline();

    // The DV file whose frames are outlined (opened when a frame is first asked for); empty: none.
    void setFile(const std::string& path);
    // Reads frame n's block statuses (again only when n or the file changed). False when the frame
    // could not be read; the outline is empty then.
    bool showFrame(int64_t n);
    void clear();

    int64_t frame() const { return frame_; }
    const std::vector<Block>& blocks() const { return blocks_; }
    // The height of the full picture the areas lie in (576 or 480).
    int pictureHeight() const { return pictureHeight_; }

    // Draws the areas into target, the rectangle the whole picture is shown in.
    void paint(QPainter& painter, const QRect& target) const;

private:
    std::string path_;
    std::unique_ptr<media::DvMediaFile> file_;
    std::vector<uint8_t> buffer_;
    std::vector<core::DamagedBlock> list_;
    std::vector<Block> blocks_;
    int64_t frame_ = -1;
    int pictureHeight_ = 576;
};

}  // namespace zorv::app

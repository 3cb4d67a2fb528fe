#include "media/dv_media_file.h"
// clang-format off
#include "app/damage_outline.h"
// clang-format on

#include <QPainter>
#include <QRect>

#include "app/damage_colours.h"
#include "core/dv_damage.h"
#include "core/dv_layout.h"

namespace zorv::app {

DamageOutline::DamageOutline() = default;
DamageOutline::~DamageOutline() = default;

void DamageOutline::setFile(const std::string& path) {
    file_.reset();
    path_ = path;
    clear();
}

void DamageOutline::clear() {
    blocks_.clear();
    frame_ = -1;
}

bool DamageOutline::showFrame(int64_t n) {
    if (n == frame_) return true;
    clear();
    if (path_.empty() || n < 0) return false;
    if (!file_) {
        file_ = std::make_unique<media::DvMediaFile>();
        if (!file_->open(path_) || !file_->indexed()) {
            file_.reset();
            path_.clear();  // not a DV file it can read: not tried again
            return false;
        }
    }
    const size_t size = file_->frameSize();
    buffer_.resize(size);
    if (!file_->readFrame(n, buffer_.data())) return false;  // an empty index entry too
    frame_ = n;
    // The macroblock map is that of one 25 Mbit/s channel.
    if (size != core::dv::kFrameSize625 && size != core::dv::kFrameSize525) return true;
    const bool pal = size == core::dv::kFrameSize625;
    pictureHeight_ = core::dv::pictureHeight(pal);
    core::listDamagedBlocks(buffer_.data(), size, list_);
    blocks_.reserve(list_.size());
    for (const core::DamagedBlock& b : list_)
        blocks_.push_back(Block{core::dv::videoBlockArea(pal, b.sequence, b.videoBlock), core::staConcealed(b.sta)});
    return true;
}

void DamageOutline::paint(QPainter& p, const QRect& target) const {
    if (blocks_.empty() || target.isEmpty()) return;
    const double sx = static_cast<double>(target.width()) / core::dv::kPictureWidth;
    const double sy = static_cast<double>(target.height()) / pictureHeight_;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const Block& b : blocks_) {
        const QColor line = b.concealed ? damage_colour::concealed() : damage_colour::uncorrected();
        QColor fill = line;
        fill.setAlpha(70);
        const QRectF r(target.x() + b.area.x * sx, target.y() + b.area.y * sy, b.area.width * sx, b.area.height * sy);
        p.fillRect(r, fill);
        p.setPen(QPen(line, 1));
        p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    p.restore();
}

}  // namespace zorv::app

#include "app/opt_codecs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/codec_select_dialog.h"

namespace zorv::app {

using media::codec::CodecRole;

namespace {
const CodecRole kRoles[3] = {CodecRole::kMpeg2VideoDecoder, CodecRole::kH264VideoDecoder, CodecRole::kAc3AudioDecoder};
}

COptCodecs::COptCodecs(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    // The DV decoder here is libavcodec's dvvideo, which decodes at full or half resolution.
    auto* dv = new QGroupBox(tr("DV Decoder Settings"), this);
    auto* dvLayout = new QVBoxLayout(dv);
    dvLayout->addWidget(new QLabel(tr("Decoder Resolution:"), dv));
    resolution_ = new QButtonGroup(this);
    const char* resolutions[] = {"Full (720x480 NTSC, 720x576 PAL)", "Half (360x240 NTSC, 360x288 PAL)"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(resolutions[i]), dv);
        r->setObjectName(QStringLiteral("dvResolution%1").arg(i));
        resolution_->addButton(r, i);
        dvLayout->addWidget(r);
    }
    layout->addWidget(dv);

    auto nameRow = [&](QGridLayout* grid, int row, const QString& label, int which) {
        if (!label.isEmpty()) grid->addWidget(new QLabel(label), row, 0);
        names_[which] = new QLineEdit;
        names_[which]->setReadOnly(true);
        names_[which]->setObjectName(QStringLiteral("decoderName%1").arg(which));
        grid->addWidget(names_[which], row, 1);
        auto* button = new QPushButton(tr("Select"));
        button->setObjectName(QStringLiteral("decoderSelect%1").arg(which));
        grid->addWidget(button, row, 2);
        connect(button, &QPushButton::clicked, this, [this, which] { select(which); });
    };
    auto* mpeg = new QGroupBox(tr("HDV MPEG-2 Video Decoder"), this);
    auto* mpegGrid = new QGridLayout(mpeg);
    nameRow(mpegGrid, 0, QString(), 0);
    layout->addWidget(mpeg);
    auto* avc = new QGroupBox(tr("AVCHD Video && Audio Decoders"), this);
    auto* avcGrid = new QGridLayout(avc);
    nameRow(avcGrid, 0, tr("Video Decoder"), 1);
    nameRow(avcGrid, 1, tr("Audio Decoder"), 2);
    layout->addWidget(avc);
    layout->addStretch(1);
}

void COptCodecs::select(int which) {
    // Shift held while clicking makes the search report every decoder it examines.
    const bool shift = QApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
    if (auto chosen = runCodecSelect(this, kRoles[which], choices_[which], shift)) {
        choices_[which] = *chosen;
        showName(which);
    }
}

void COptCodecs::showName(int which) {
    // The whole name shows from its start: the field is made wide enough for it.
    QLineEdit* field = names_[which];
    const QString name = QString::fromStdString(choices_[which].name);
    field->setText(name);
    field->setCursorPosition(0);
    field->setToolTip(name);
    const QMargins m = field->textMargins() + field->contentsMargins();
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(name) + m.left() + m.right() + 16);
}

void COptCodecs::fill(const core::Options& o) {
    resolution_->button(core::clampDvDecoderResolution(o.dvDecoderResolution))->setChecked(true);
    choices_[0] = o.mpeg2Decoder;
    choices_[1] = o.avcVideoDecoder;
    choices_[2] = o.avcAudioDecoder;
    for (int i = 0; i < 3; ++i) showName(i);
}

void COptCodecs::readBack(core::Options& o) const {
    o.dvDecoderResolution = checkedId(resolution_, core::stored(core::DvDecoderResolution::kFull));
    o.mpeg2Decoder = choices_[0];
    o.avcVideoDecoder = choices_[1];
    o.avcAudioDecoder = choices_[2];
}

}  // namespace zorv::app

#include "app/options_sheet.h"

namespace zorv::app {

namespace {
std::function<void(COptionsSheet&)>& sheetHook() {
    static std::function<void(COptionsSheet&)> hook;
    return hook;
}

bool runSheet(COptionsSheet& sheet) {
    if (sheetHook()) {
        sheet.open();
        sheetHook()(sheet);
        return sheet.result() == QDialog::Accepted;
    }
    return sheet.exec() == QDialog::Accepted;
}
}  // namespace

void setOptionsSheetHook(std::function<void(COptionsSheet&)> hook) { sheetHook() = std::move(hook); }

bool runOptionsSheet(QWidget* parent, core::Options& options, core::SettingsStore& settings) {
    COptionsSheet sheet(parent, QStringLiteral("Options"), allOptionsPages(), options);
    if (!runSheet(sheet)) return false;
    const core::Options before = options;
    options = sheet.options();
    if (options.mpeg2Decoder != before.mpeg2Decoder)
        settings.writeDecoderSelection(core::DecoderRole::kMpeg2Video, options.mpeg2Decoder);
    if (options.avcVideoDecoder != before.avcVideoDecoder)
        settings.writeDecoderSelection(core::DecoderRole::kAvcVideo, options.avcVideoDecoder);
    if (options.avcAudioDecoder != before.avcAudioDecoder)
        settings.writeDecoderSelection(core::DecoderRole::kAvcAudio, options.avcAudioDecoder);
    if (options.saveAllSettingsAsDefault) settings.saveOptionsAsDefaults(options);
    return true;
}

bool runConfirmationSheet(QWidget* parent, const QString& title, const std::vector<OptionsPageId>& pages,
                          core::Options& options) {
    COptionsSheet sheet(parent, title, pages, options);
    if (!runSheet(sheet)) return false;
    options = sheet.options();
    return true;
}

}  // namespace zorv::app

// The decoder and compressor selection dialogs (CMpegDecoderSelect, CAVCDecoderSelect,
// CAC3DecoderSelect, COutputCompressorSelect): a list of the installed codecs of one role that pass
// the role's test, found on a worker thread while the list shows "Searching, please wait ...", with
// the codec's own settings behind "Properties". With Shift held at "Select" every examined codec is
// reported in a "Codec Found" box.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/options.h"
#include "media/codec/codec_registry.h"

class QComboBox;
class QPushButton;

namespace zorv::app {

class CCodecSelectDialog : public QDialog {
    Q_OBJECT
public:
    CCodecSelectDialog(QWidget* parent, media::codec::CodecRole role, const core::DecoderSelection& current, bool shiftHeld);
    ~CCodecSelectDialog() override;

    // The chosen entry after OK.
    std::optional<core::DecoderSelection> selection() const { return chosen_; }
    QComboBox* list() const { return list_; }
    bool searching() const { return searching_; }
    // The class identifiers never offered (MPEG-2 decoders known not to work with the program).
    static const std::vector<core::Guid>& rejectList();

    void accept() override;

signals:
    void searchFinished();

protected:
    void done(int result) override;

private:
    struct Search;
    void startSearch();
    void onSearchDone();
    void showProperties();

    media::codec::CodecRole role_;
    core::DecoderSelection current_;
    bool shiftHeld_;
    std::optional<core::DecoderSelection> chosen_;
    std::shared_ptr<Search> search_;
    std::vector<media::codec::CodecEntry> found_;
    QComboBox* list_;
    QPushButton* properties_;
    QPushButton* ok_;
    bool searching_ = false;
};

class CMpegDecoderSelect : public CCodecSelectDialog {
    Q_OBJECT
public:
    CMpegDecoderSelect(QWidget* parent, const core::DecoderSelection& current, bool shiftHeld)
        : CCodecSelectDialog(parent, media::codec::CodecRole::kMpeg2VideoDecoder, current, shiftHeld) {}
};
class CAVCDecoderSelect : public CCodecSelectDialog {
    Q_OBJECT
public:
    CAVCDecoderSelect(QWidget* parent, const core::DecoderSelection& current, bool shiftHeld)
        : CCodecSelectDialog(parent, media::codec::CodecRole::kH264VideoDecoder, current, shiftHeld) {}
};
class CAC3DecoderSelect : public CCodecSelectDialog {
    Q_OBJECT
public:
    CAC3DecoderSelect(QWidget* parent, const core::DecoderSelection& current, bool shiftHeld)
        : CCodecSelectDialog(parent, media::codec::CodecRole::kAc3AudioDecoder, current, shiftHeld) {}
};
class COutputCompressorSelect : public CCodecSelectDialog {
    Q_OBJECT
public:
    COutputCompressorSelect(QWidget* parent, const core::DecoderSelection& current, bool shiftHeld)
        : CCodecSelectDialog(parent, media::codec::CodecRole::kVideoCompressor, current, shiftHeld) {}
};

// Where the search finds the codecs it examines: media::codec::codecCandidates unless replaced (a
// test offers its own list, e.g. with a class identifier from the reject list). An empty function
// restores the default. The function runs on the search thread.
using CodecCandidateSource = std::function<std::vector<media::codec::CodecEntry>(media::codec::CodecRole)>;
void setCodecCandidateSource(CodecCandidateSource source);

// Runs the role's dialog modally; the chosen codec on OK, nothing on Cancel.
std::optional<core::DecoderSelection> runCodecSelect(QWidget* parent, media::codec::CodecRole role,
                                                     const core::DecoderSelection& current, bool shiftHeld);

}  // namespace zorv::app

#include "app/tool_launcher.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/main_dialog.h"
#include "app/options_sheet.h"
#include "app/progress_window.h"
#include "app/self_warning_dialog.h"
#include "app/ui_prompts.h"
#include "media/output_file.h"
#include "tools/audio_extract.h"
#include "tools/audio_extract_factory.h"
#include "tools/avchd_audio_extract.h"
#include "tools/burn_in.h"
#include "tools/burn_job_factory.h"
#include "tools/csv_export.h"
#include "tools/dv_convert.h"
#include "tools/dv_file_splitter.h"
#include "tools/dv_metadata_modifier.h"
#include "tools/export_job.h"
#include "tools/hdv_audio_extract.h"
#include "tools/modify_settings.h"
#include "tools/subtitle_export.h"

namespace zorv::app {

namespace {

const QString kAppTitle = QStringLiteral("ZORV Pro");
const QString kErrorTitle = QStringLiteral("Error!");

QString q(const std::string& s) { return QString::fromStdString(s); }

// The input path without its extension, followed by a suffix.
QString proposedName(const std::string& input, const char* suffix) {
    std::filesystem::path p(input);
    p.replace_extension();
    return q(p.string()) + QLatin1String(suffix);
}

QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }

// A failure text, with the system's text for the error number when there is one.
void reportFailure(QWidget* owner, const QString& text, int sysError = 0, const QString& title = kErrorTitle) {
    QString message = text;
    const QString sys = sysError != 0 ? QString::fromLocal8Bit(std::strerror(sysError)) : QString();
    if (!sys.isEmpty() && !message.contains(sys)) message += QStringLiteral("\n\n") + sys;
    showMessage(owner, QMessageBox::Critical, title, message);
}

void reportCancelled(QWidget* owner) {
    showMessage(owner, QMessageBox::Information, QStringLiteral("Cancelled"),
                QString::fromLatin1(tools::kOperationCancelled));
}

// The output a tool writes: its path (empty when the command ends here) and whether an existing file
// of that name may be replaced when the run has completed.
struct ChosenOutput {
    QString path;
    bool overwrite = false;
};

// Save dialog and "File Exists". An output that is the input by any name, or cannot be written, is
// refused before anything is asked; nothing is removed here (the run replaces the file at its end).
ChosenOutput chooseOutput(QWidget* owner, const std::string& input, const char* suffix, const QString& title,
                          const QString& filter, const QString& extension = QString()) {
    ChosenOutput out;
    const QString path = askSaveFileName(owner, title, proposedName(input, suffix), filter, extension);
    if (path.isEmpty()) return out;
    const core::Status s = media::checkOutput(path.toStdString(), {false, {input}});
    if (s.code == core::ErrorCode::kOutputExists) {
        const auto answer =
            showMessage(owner, QMessageBox::Question, QStringLiteral("File Exists"),
                        QStringLiteral("The output file already exists        \n\nDo you wish to overwrite it ?"),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) return out;
        out.overwrite = true;
    } else if (!s) {
        reportFailure(owner, q(s.message), s.sysError);
        return out;
    }
    out.path = path;
    return out;
}

enum class RunEnd { kDone, kCancelled };

// Runs a built job behind the shared progress window, polled every 200 ms.
RunEnd runJob(CMainDialog& w, core::Job& job, const QString& caption, const QString& text, core::Status& result) {
    ProgressWindow& progress = w.progressWindow();
    progress.setCaption(caption);
    progress.setText(displayText(text));
    progress.setRange(0, 100);
    progress.setPosition(0);
    if (!job.start()) {
        result = job.wait();
        return RunEnd::kDone;
    }
    const bool finished = progress.follow(job.progress(), [&job] { return job.finished(); });
    result = job.wait();
    return finished ? RunEnd::kDone : RunEnd::kCancelled;
}

// The end of a run: the success text, the cancel box, or the failure text (the job's own message
// when it has one, else the tool's).
void reportEnd(QWidget* owner, RunEnd end, const core::Status& s, const QString& success, const QString& failure,
               const QString& halted = QString()) {
    if (end == RunEnd::kCancelled) {
        reportCancelled(owner);
    } else if (s.ok() && !s.warnings.empty()) {
        // Done, with what the run passed over said once beneath.
        QString text = success;
        for (const core::Warning& w : s.warnings) text += QStringLiteral("\n\n") + q(w.text);
        showMessage(owner, QMessageBox::Warning, kAppTitle, text);
    } else if (s.ok()) {
        showMessage(owner, QMessageBox::Information, kAppTitle, success);
    } else if (s.code == core::ErrorCode::kCancelled) {
        if (halted.isEmpty()) reportCancelled(owner);
        else showMessage(owner, QMessageBox::Warning, QStringLiteral("Halted"), halted);
    } else {
        reportFailure(owner, s.message.empty() ? failure : q(s.message), s.sysError);
    }
}

bool canWriteInput(const std::string& path) {
    QFile f(q(path));
    return f.open(QIODevice::ReadWrite);
}

// The warning before a tool writes into its input file; false (after "Operation Cancelled") when
// the user says No.
bool confirmDirect(QWidget* owner, const char* saferMenu) {
    if (confirmDirectChanges(owner, QLatin1String(saferMenu))) return true;
    reportCancelled(owner);
    return false;
}

// --- the tools ---

void convert(CMainDialog& w, tools::ConvertTarget target) {
    QWidget* owner = w.window();
    const std::string input = w.filePath();
    const bool toRaw = target == tools::ConvertTarget::kRawDv;
    const ChosenOutput output =
        toRaw ? chooseOutput(owner, input, "-conv.dv", QStringLiteral("Convert to Raw DV file"),
                             QStringLiteral("Raw DV (*.dv *.DV)"), QStringLiteral("dv"))
              : chooseOutput(owner, input, "-conv.avi",
                             QStringLiteral("Convert to AVI Type %1 file").arg(static_cast<int>(target)),
                             QStringLiteral("AVI (*.avi *.AVI)"), QStringLiteral("avi"));
    if (output.path.isEmpty()) return;
    tools::DvConvertJob job(input, output.path.toStdString(), target, output.overwrite);
    core::Status s = job.build();
    if (!s) {
        reportFailure(owner, q(s.message), s.sysError);
        return;
    }
    const RunEnd end = runJob(w, job, QStringLiteral("Converting"), q(job.progressText()), s);
    // Each direction has its own failure text.
    const QString failed = toRaw              ? QStringLiteral("Failed while converting AVI to Raw DV file")
                           : w.aviType() == 0 ? QStringLiteral("Failed while converting Raw DV to AVI file")
                                              : QStringLiteral("Failed while converting AVI file");
    reportEnd(owner, end, s, QString::fromLatin1(tools::kConversionComplete), failed);
}

void extractAudio(CMainDialog& w) {
    QWidget* owner = w.window();
    const std::string input = w.filePath();
    const bool avchd = w.fileFamily() == core::MediaFamily::kAvchd;
    const ChosenOutput output = avchd ? chooseOutput(owner, input, ".ac3", QStringLiteral("Extract audio to AC-3 file"),
                                                     QStringLiteral("AC-3 (*.ac3 *.AC3)"), QStringLiteral("ac3"))
                                      : chooseOutput(owner, input, ".wav", QStringLiteral("Extract audio to WAV file"),
                                                     QStringLiteral("WAV (*.wav *.WAV)"), QStringLiteral("wav"));
    if (output.path.isEmpty()) return;
    tools::AudioExtraction x =
        tools::makeAudioExtraction(w.fileFamily(), input, output.path.toStdString(), output.overwrite);
    const std::unique_ptr<core::Job> job = std::move(x.job);
    core::Status s = x.built;
    const QString text = q(x.progressText);
    if (!s) {
        reportFailure(owner, s.message.empty() ? QString::fromLatin1(tools::kExtractionFailed) : q(s.message), s.sysError);
        return;
    }
    const RunEnd end = runJob(w, *job, QStringLiteral("Extracting"), text, s);
    reportEnd(owner, end, s, QString::fromLatin1(tools::kExtractionComplete), QString::fromLatin1(tools::kExtractionFailed));
}

// The checks of Modify Metadata before anything is asked or written.
bool modifyChecks(CMainDialog& w, const tools::ModifySettings& m) {
    QWidget* owner = w.window();
    if (!m.anyEnabled()) {
        showMessage(owner, QMessageBox::Warning, kAppTitle, QString::fromLatin1(tools::kNothingSelectedMessage));
        return false;
    }
    if (m.dateTimeEnabled && m.dateTimeMode == core::ModifyMode::kFromFileName &&
        !tools::dateTimeFromFileName(w.filePath())) {
        showMessage(owner, QMessageBox::Warning, kAppTitle,
                    QString::fromLatin1(tools::kNoNameDateTimeMessage) + q(w.fileName()));
        return false;
    }
    return true;
}

void modify(CMainDialog& w, bool direct) {
    QWidget* owner = w.window();
    if (direct && !confirmDirect(owner, "Tools > Modify Metadata")) return;
    if (!runConfirmationSheet(owner, QStringLiteral("Confirm Settings for Modifying Metadata"),
                              {OptionsPageId::kModifyMetadata}, w.options()))
        return;
    const tools::ModifySettings settings = tools::modifySettingsFromOptions(w.options());
    if (!modifyChecks(w, settings)) return;
    const std::string input = w.filePath();
    ChosenOutput output;
    if (direct) {
        if (!canWriteInput(input)) {
            reportFailure(owner, QString::fromLatin1(tools::kUnableToWriteInput), errno);
            return;
        }
    } else {
        output = chooseOutput(owner, input, "-mod.avi", QStringLiteral("Modify Metadata to output file"),
                              QStringLiteral("AVI (*.avi *.AVI)"), QStringLiteral("avi"));
        if (output.path.isEmpty()) return;
    }
    tools::DvMetadataModifier job;
    job.setSettings(settings);
    job.setInputPath(input);
    job.setOutputPath(output.path.toStdString());
    job.setOverwrite(output.overwrite);
    // Direct changes go into the file the player has open: let go of it for the run.
    if (direct) w.releaseCurrentFile();
    core::Status s;
    RunEnd end = RunEnd::kDone;
    if (!job.open()) {
        s = job.status();
    } else {
        const QString text = direct ? QStringLiteral("Modifying metadata in the input file...\n%1")
                                          .arg(q(std::filesystem::path(input).filename().string()))
                                    : QStringLiteral("Modifying metadata to output file...\n%1").arg(nameOf(output.path));
        end = runJob(w, job, QStringLiteral("Modifying metadata"), text, s);
    }
    if (direct) w.reopenCurrentFile();
    const QString failure = s.code == core::ErrorCode::kOutOfMemory ? QStringLiteral("Out of memory.") : QString();
    reportEnd(owner, end, s, QStringLiteral("Metadata modification complete."), failure,
              QStringLiteral("Modification operation halted"));
}

// "Burning-in ...\n<path>" with the file's name only.
QString withFileName(const std::string& progressText) {
    const size_t newline = progressText.find('\n');
    if (newline == std::string::npos) return q(progressText);
    return q(progressText.substr(0, newline + 1)) + nameOf(q(progressText.substr(newline + 1)));
}

void burnIn(CMainDialog& w, bool direct) {
    QWidget* owner = w.window();
    if (direct && !confirmDirect(owner, "Tools > Burn-In Metadata")) return;
    if (!runConfirmationSheet(owner, QStringLiteral("Confirm Settings for Burn-in"),
                              {OptionsPageId::kBurnIn, OptionsPageId::kBurnInUser}, w.options()))
        return;
    tools::BurnRequest request;
    request.input = w.filePath();
    request.family = w.fileFamily();
    request.options = w.options();
    // HDV and AVCHD are burnt in to an output file only.
    request.toInputFile = direct && !core::isStreamFamily(request.family);
    if (request.toInputFile) {
        if (!canWriteInput(request.input)) {
            reportFailure(owner, QString::fromLatin1(tools::kUnableToWriteInput), errno);
            return;
        }
    } else {
        const ChosenOutput output =
            chooseOutput(owner, request.input, "-burn.avi", QString::fromLatin1(tools::kBurnInSaveTitle),
                         QStringLiteral("AVI (*.avi *.AVI)"), QStringLiteral("avi"));
        if (output.path.isEmpty()) return;
        request.output = output.path.toStdString();
        request.overwrite = output.overwrite;
    }
    // Burning into the file the player has open: let go of it for the run.
    if (request.toInputFile) w.releaseCurrentFile();
    const std::unique_ptr<tools::BurnJob> job = tools::makeBurnJob(request);
    core::Status s = job->built();
    RunEnd end = RunEnd::kDone;
    if (s)
        end = runJob(w, *job, QString::fromLatin1(tools::kBurnInProgressTitle), withFileName(job->progressText()), s);
    if (request.toInputFile) w.reopenCurrentFile();
    if (!job->built()) {
        reportFailure(owner, q(job->buildFailureText()), job->built().sysError);
        return;
    }
    // The job's own text: complete (with any lost pictures), timed out, not compatible or failed.
    const QString text = q(job->message());
    reportEnd(owner, end, s, text, text, QString::fromLatin1(tools::kBurnInHalted));
}

void split(CMainDialog& w) {
    QWidget* owner = w.window();
    if (!runConfirmationSheet(owner, QStringLiteral("Confirm Settings for File Splitting"), {OptionsPageId::kSplitter},
                              w.options()))
        return;
    const std::string input = w.filePath();
    // The split files are named after the input; the dialog chooses the folder they go to.
    const QString chosen = askSaveFileName(owner, QStringLiteral("Split to output file ..."), proposedName(input, ""),
                                           QStringLiteral("AVI (*.avi *.AVI)"));
    if (chosen.isEmpty()) return;
    tools::SplitSettings settings = tools::splitSettingsFrom(w.options());
    settings.outputFolder = QFileInfo(chosen).absolutePath().toStdString();
    tools::DvFileSplitter job;
    job.setSettings(settings);
    core::Status s = job.open(input);
    if (!s) {
        reportFailure(owner, s.message.empty() ? QStringLiteral("Error while splitting AVI") : q(s.message), s.sysError);
        return;
    }
    const RunEnd end = runJob(w, job, QStringLiteral("Splitting"), QStringLiteral("Splitting to Output File ..."), s);
    if (end == RunEnd::kDone && s.ok() && job.noFilesCreated()) {
        reportFailure(owner, QStringLiteral("No split files created"));
        return;
    }
    reportEnd(owner, end, s, QStringLiteral("Split complete."), QStringLiteral("Error while splitting AVI"));
}

void exportMetadata(CMainDialog& w, bool subtitles) {
    QWidget* owner = w.window();
    if (!runConfirmationSheet(owner,
                              subtitles ? QStringLiteral("Confirm Settings for Subtitle Export")
                                        : QStringLiteral("Confirm Settings for Exporting Metadata"),
                              {subtitles ? OptionsPageId::kExportSubtitles : OptionsPageId::kExportMetadata}, w.options()))
        return;
    const std::string input = w.filePath();
    const ChosenOutput output = subtitles ? chooseOutput(owner, input, ".srt", QStringLiteral("Export subtitles to file"),
                                                         QStringLiteral("SubRip (*.srt)"), QStringLiteral("srt"))
                                          : chooseOutput(owner, input, ".csv", QStringLiteral("Export metadata to file"),
                                                         QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
    if (output.path.isEmpty()) return;
    std::unique_ptr<tools::ExportJob> job =
        subtitles ? std::make_unique<tools::ExportJob>(input, output.path.toStdString(),
                                                       tools::SubtitleSettings::fromOptions(w.options()), output.overwrite)
                  : std::make_unique<tools::ExportJob>(input, output.path.toStdString(),
                                                       tools::CsvExportSettings::fromOptions(w.options()), output.overwrite);
    const QString text =
        (subtitles ? QStringLiteral("Exporting subtitles ...\n%1") : QStringLiteral("Exporting metadata ...\n%1"))
            .arg(nameOf(output.path));
    core::Status s;
    const RunEnd end = runJob(w, *job, QStringLiteral("Exporting"), text, s);
    reportEnd(owner, end, s, QStringLiteral("Export complete."), QStringLiteral("Failure while exporting"));
}

}  // namespace

void ToolLauncher::launch(CMainDialog& window, ToolId tool) {
    if (!window.fileOpen()) return;
    window.stopPlayback();
    switch (tool) {
    case ToolId::kConvertToAvi1: convert(window, tools::ConvertTarget::kAviType1); break;
    case ToolId::kConvertToAvi2: convert(window, tools::ConvertTarget::kAviType2); break;
    case ToolId::kConvertToRawDv: convert(window, tools::ConvertTarget::kRawDv); break;
    case ToolId::kExtractAudio: extractAudio(window); break;
    case ToolId::kModifyMetadata: modify(window, false); break;
    case ToolId::kDirectModify: modify(window, true); break;
    case ToolId::kBurnIn: burnIn(window, false); break;
    case ToolId::kDirectBurnIn: burnIn(window, true); break;
    case ToolId::kSplit: split(window); break;
    case ToolId::kExportMetadata: exportMetadata(window, false); break;
    case ToolId::kExportSubtitles: exportMetadata(window, true); break;
    }
}

}  // namespace zorv::app

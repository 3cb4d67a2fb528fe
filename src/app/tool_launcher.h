// Starting a file tool on the open file from the main window's menus: confirmation of the tool's
// settings in the options sheet, the output file, the overwrite question, the run behind the
// progress window and the result message.
#pragma once

namespace zorv::app {

class CMainDialog;

// Fix Premiere, Date Modified and Rename are not here: they run over file lists in the Batch
// Processing window only.
enum class ToolId {
    kBurnIn,           // Tools > "&Burn-In Metadata..."
    kModifyMetadata,   // Tools > "&Modify Metadata..."
    kConvertToAvi1,    // "&Convert to" > "AVI Type &1"
    kConvertToAvi2,    // "&Convert to" > "AVI Type &2"
    kConvertToRawDv,   // "&Convert to" > "&Raw DV"
    kExtractAudio,     // "Extract &Audio..."
    kSplit,            // "&Split File..."
    kExportMetadata,   // "E&xport Metadata..."
    kExportSubtitles,  // "Export Sub&titles..."
    kDirectBurnIn,     // "&Direct File Processing" > "&Burn-In Metadata..."
    kDirectModify,     // "&Direct File Processing" > "&Modify Metadata..."
};

class ToolLauncher {
public:
    // Runs the whole launch procedure of the tool on the main window's open file.
    static void launch(CMainDialog& window, ToolId tool);
};

}  // namespace zorv::app

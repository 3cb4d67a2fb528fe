// Helpers shared by the subcommands: opening media with the system's messages, printing messages,
// parsing small option values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/dv_media_file.h"

namespace zorv::cli {

// Prints one of the system's message texts to stderr as "zorv: TEXT", with its CR LF line breaks
// turned into plain new lines.
void printError(std::string_view text);
// "zorv: warning: TEXT" on standard error; the run goes on.
void printWarning(std::string_view text);
// The warnings a run's result carries, each once.
void printWarnings(const core::Status& result);

// Opens path and reports failures with the system's texts. With dvOnly, files that are not DV (AVI
// Type 1, AVI Type 2, Raw DV) are refused with a message naming their type.
bool openMedia(media::DvMediaFile& file, const std::string& path, bool dvOnly);

// Parses a scene-trigger list: names separated by commas (timecode, userbits, datetime, shutter,
// iris, stabilizer, gain, exposure, whitebalance, focus, audiosampling, audiolock, index, dropped,
// all) or a number (0x... accepted).
std::optional<uint32_t> parseTriggers(std::string_view list);
// The comma-separated names of the triggers set in mask.
std::string triggerNames(uint32_t mask);

std::optional<int64_t> parseInt(std::string_view text);

// A failure's message followed by the system's text of its error number, once: not when the message
// already says it, and alone when there is no message.
std::string failureText(const core::Status& status, const char* separator = ": ");

// Whether both standard input and standard error are terminals (a question can be asked).
bool interactive();
// Asks question on the terminal; true for an answer of y or yes.
bool askYes(const char* question);
// Before a change to the input file itself: prints the warning and asks whether to go on. False,
// with "Operation Cancelled" printed, unless the user said yes on a terminal.
bool confirmInPlace(const char* warning);

// Appends s to out as a JSON string literal (see core/json_text.h).
void jsonString(std::string& out, std::string_view s);

// Frames per second of a DV file from its frame size (25 for 625/50, 30000/1001 for 525/60).
double dvFrameRate(size_t frameSize);

}  // namespace zorv::cli

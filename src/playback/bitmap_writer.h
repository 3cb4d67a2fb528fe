// Save Image: a picture as a Windows bitmap file. The picture arrives as a packed device-independent
// bitmap (a 40-byte or larger info header, the colour table, the pixels) and is written after a
// 14-byte file header:
//   colours      = the header's used-colour count, or when that is 0, 2^bitCount for bit counts up to 8
//                  and 0 above; the colour table takes 4 bytes per colour
//   "BM", file size = 14 + header size + colour table + image size, two zero words,
//   pixel offset = 14 + header size + colour table
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/output_file.h"

namespace zorv::playback {

struct ShownPicture;

inline constexpr size_t kBitmapFileHeaderSize = 14;
inline constexpr size_t kBitmapInfoHeaderSize = 40;

// Colours of the colour table of a packed bitmap's header.
uint32_t bitmapColourCount(const uint8_t* infoHeader);
// The image size of a packed bitmap: the header's size field, or for an uncompressed bitmap that
// leaves it 0, rows of (width x bits + 31) / 32 x 4 bytes.
uint32_t bitmapImageSize(const uint8_t* infoHeader);
// The 14-byte file header of a packed bitmap.
std::array<uint8_t, kBitmapFileHeaderSize> bitmapFileHeader(const uint8_t* infoHeader);

// A 24-bit bottom-up packed bitmap of the picture (BGR rows padded to 4 bytes).
void packBitmap(const ShownPicture& picture, std::vector<uint8_t>& out);

// Writes the file under a temporary name and renames it into place when complete; an existing file
// is replaced only when rules allow it, and never one of rules.inputs. False when the packed bitmap
// is too short for its own header. Failures: the output's refusal, "Failed to create image file",
// "Failed write to image file" (with errno).
core::Status writeBitmapFile(const std::string& path, const uint8_t* packed, size_t size,
                             const media::OutputRules& rules = {});

// The proposed name: the path with its extension replaced by ".bmp".
std::string saveImageName(const std::string& path);
inline constexpr const char* kImageSavedText = "Image file saved.";
inline constexpr const char* kGetImageFailedText = "Failed to get image";

}  // namespace zorv::playback

// The kinds of file the program recognises, with their numbers. What each kind is and supports is
// its descriptor (media/formats/format_table.h).
#pragma once

namespace zorv::media {

// Numbers are stored in settings and passed between modules: keep them fixed.
enum class FileType {
    kUnknown = 0,
    kAviType1 = 1,
    kAviType2 = 2,
    kRawDv = 3,
    kHdv2 = 4,  // 1080-line HDV
    kHdv1 = 5,  // 720-line HDV
    kAvchd = 6,
    kMod = 7,  // MPEG-2 program stream
};

// Long name ("AVI Type 1", "HDV2 (1080)", ...); "?" for any other number.
const char* typeName(int type);
// Short name ("AVI 1", "HDV2", ...); "?" for any other number.
const char* shortTypeName(int type);

inline const char* typeName(FileType t) { return typeName(static_cast<int>(t)); }
inline const char* shortTypeName(FileType t) { return shortTypeName(static_cast<int>(t)); }

// AVI Type 1, AVI Type 2 and Raw DV: the files indexed and read frame by frame.
bool isDvType(FileType t);
bool isAviType(FileType t);

}  // namespace zorv::media

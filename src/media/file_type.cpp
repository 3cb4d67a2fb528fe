#include "media/file_type.h"

namespace zorv::media {

namespace {
struct TypeNames {
    const char* longName;
    const char* shortName;
};
static const TypeNames kTypeNames[] = {
    {"?", "?"},
    {"AVI Type 1", "AVI 1"},
    {"AVI Type 2", "AVI 2"},
    {"Raw DV", "Raw DV"},
    {"HDV2 (1080)", "HDV2"},
    {"HDV1 (720)", "HDV1"},
    {"AVCHD M2TS", "AVCHD"},
    {"MPEG-2 MOD", "MOD"},
};
constexpr int kTypeCount = static_cast<int>(sizeof(kTypeNames) / sizeof(kTypeNames[0]));
}  // namespace

const char* typeName(int type) {
    return (type > 0 && type < kTypeCount) ? kTypeNames[type].longName : "?";
}

const char* shortTypeName(int type) {
    return (type > 0 && type < kTypeCount) ? kTypeNames[type].shortName : "?";
}

}  // namespace zorv::media

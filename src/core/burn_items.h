// The burn-in items, one row each: everything the overlay layer, the options pages, the settings and
// `zorv burn` know of an item besides how its text is made (the layer's formatter, keyed by the item).
//
// Adding an item: a BurnItem value at the end and its row at the end of the table below (a row's place
// is the item's slot in the stored user-position table), then its text in the layer's formatter.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zorv::core {

// The items, in the order of the user-positioning page.
enum class BurnItem : int {
    kTimecode = 0,
    kUserBits,
    kFileProgress,
    kFrameType,
    kRecTime,
    kRecDate,
    kShutter,
    kIris,
    kExposureMode,
    kGain,
    kFocusDistance,
    kFocusMode,
    kWhiteBalance,
    kStabilizer,
    kAudio,
    kLatitude,
    kLongitude,
    kAltitude,
    kSpeed,
    kTrack,
};

// Top-left corner of an item's text, in percent of the picture width and height (0..99).
struct BurnPosition {
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    friend bool operator==(const BurnPosition&, const BurnPosition&) = default;
};
inline constexpr int kBurnPositionSlots = 32;
using BurnPositionTable = std::array<BurnPosition, kBurnPositionSlots>;

// The metadata families that have an item, as bits.
namespace burn_family {
inline constexpr std::uint8_t kDv = 0x1;
inline constexpr std::uint8_t kHdv = 0x2;
inline constexpr std::uint8_t kAvchd = 0x4;
inline constexpr std::uint8_t kAll = kDv | kHdv | kAvchd;
}  // namespace burn_family

// The fixed grids of the title-safe burn-in and of the metadata window: three rows (0 highest) of
// five columns, or of three columns for AVCHD with GPS data.
enum class BurnGrid : int { kDv, kHdv, kAvchd, kAvchdGps };
inline constexpr int kBurnGridCount = 4;

// An item's cell in a grid; row -1: not in that grid.
struct BurnCell {
    std::int8_t row = -1;
    std::int8_t column = -1;
    constexpr bool used() const { return row >= 0; }
};

struct BurnItemFacts {
    BurnItem item;
    std::uint32_t bit;                           // in the item mask (the settings' BurnItems)
    const char* cliName;                         // in `zorv burn --items`
    const char* label;                           // on the options pages
    const char* note;                            // after the label on the Burn-in page's check box, or ""
    BurnPosition position;                       // default user position
    std::uint8_t families;                       // burn_family bits
    std::array<BurnCell, kBurnGridCount> cells;  // by BurnGrid
};

// The rows. The camera items sit in the same cell of the DV, HDV and AVCHD grids.
namespace burn_table {
using enum BurnItem;
inline constexpr BurnCell kOff{};
inline constexpr std::uint8_t kDv = burn_family::kDv, kHdv = burn_family::kHdv, kAvchd = burn_family::kAvchd,
                              kAll = burn_family::kAll;
using Cells = std::array<BurnCell, kBurnGridCount>;
constexpr Cells camera(std::int8_t row, std::int8_t column) { return {{{row, column}, {row, column}, {row, column}, kOff}}; }
constexpr Cells gps(std::int8_t row, std::int8_t column) { return {{kOff, kOff, kOff, {row, column}}}; }

// clang-format off
inline constexpr BurnItemFacts kRows[] = {
    // item          bit       CLI name         label             note         default   families cells: DV, HDV, AVCHD, with GPS
    {kTimecode,      0x1,      "timecode",      "Timecode",       "",          {5, 10},  kAll,   camera(0, 0)},
    {kUserBits,      0x2,      "userbits",      "User bits",      "",          {5, 15},  kAll,   camera(1, 0)},
    {kFileProgress,  0x4,      "progress",      "File progress",  "",          {5, 20},  kAll,   {{{2, 0}, kOff, {2, 0}, {2, 0}}}},
    {kFrameType,     0x8,      "frametype",     "Frame type",     "(not DV)",  {24, 20}, kHdv,   {{kOff, {2, 0}, kOff, kOff}}},
    {kRecTime,       0x10,     "rectime",       "Rec time",       "",          {24, 10}, kAll,   {{{0, 1}, {0, 1}, {0, 1}, {0, 0}}}},
    {kRecDate,       0x20,     "recdate",       "Rec date",       "",          {24, 15}, kAll,   {{{1, 1}, {1, 1}, {1, 1}, {1, 0}}}},
    {kShutter,       0x40,     "shutter",       "Shutter speed",  "",          {59, 10}, kAll,   camera(0, 2)},
    {kIris,          0x80,     "iris",          "Iris",           "",          {59, 15}, kAll,   camera(1, 2)},
    {kExposureMode,  0x400,    "exposure",      "Exposure mode",  "",          {59, 20}, kAll,   camera(2, 2)},
    {kGain,          0x200,    "gain",          "Gain",           "",          {71, 10}, kAll,   camera(0, 3)},
    {kFocusDistance, 0x4000,   "focusdistance", "Focus distance", "",          {71, 15}, kAll,   camera(1, 3)},
    {kFocusMode,     0x2000,   "focusmode",     "Focus mode",     "",          {71, 20}, kAll,   camera(2, 3)},
    {kWhiteBalance,  0x1000,   "whitebalance",  "White balance",  "",          {83, 10}, kAll,   camera(0, 4)},
    {kStabilizer,    0x100,    "stabilizer",    "Stabilizer",     "",          {83, 15}, kAll,   camera(1, 4)},
    {kAudio,         0x8000,   "audio",         "Audio",          "(DV only)", {83, 20}, kDv,    {{{2, 4}, kOff, kOff, kOff}}},
    {kLatitude,      0x80000,  "latitude",      "Latitude",       "",          {5, 25},  kAvchd, gps(0, 1)},
    {kLongitude,     0x100000, "longitude",     "Longitude",      "",          {5, 30},  kAvchd, gps(1, 1)},
    {kAltitude,      0x200000, "altitude",      "Altitude",       "",          {5, 35},  kAvchd, gps(2, 1)},
    {kSpeed,         0x400000, "speed",         "Speed",          "",          {35, 25}, kAvchd, gps(0, 2)},
    {kTrack,         0x800000, "track",         "Track",          "",          {35, 30}, kAvchd, gps(1, 2)},
};
// clang-format on
}  // namespace burn_table

inline constexpr std::span<const BurnItemFacts> kBurnItems{burn_table::kRows};
inline constexpr int kBurnItemCount = static_cast<int>(std::size(burn_table::kRows));
static_assert(kBurnItemCount <= kBurnPositionSlots);
static_assert(
    [] {
        for (int i = 0; i < kBurnItemCount; ++i)
            if (static_cast<int>(kBurnItems[i].item) != i) return false;
        return true;
    }(),
    "kBurnItems lists the items in BurnItem order");

constexpr const BurnItemFacts& burnItemFacts(BurnItem item) { return kBurnItems[static_cast<int>(item)]; }
constexpr std::uint32_t burnItemBit(BurnItem item) { return burnItemFacts(item).bit; }

// The mask of a new option record: the camera items, timecode, user bits and the recording date and
// time, with two bits no item uses (0x800 and 0x10000) that stored settings have always carried.
inline constexpr std::uint32_t kDefaultBurnItemMask = 0x19FF3;

// The default user-position table: the rows' default positions, unused slots at 0, 0.
constexpr BurnPositionTable makeDefaultBurnPositions() {
    BurnPositionTable t{};
    for (const BurnItemFacts& f : kBurnItems) t[static_cast<std::size_t>(f.item)] = f.position;
    return t;
}
inline constexpr BurnPositionTable kDefaultBurnPositions = makeDefaultBurnPositions();
inline const BurnPositionTable& defaultBurnPositions() { return kDefaultBurnPositions; }

}  // namespace zorv::core

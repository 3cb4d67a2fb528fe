// The burn-in item table read as a table: what the settings, the CLI and the fixed grids rely on.
#include "core/burn_items.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace zorv::core {
namespace {

TEST(BurnItems, BitsNamesAndLabelsAreEachOnesOwn) {
    std::set<std::uint32_t> bits;
    std::set<std::string> names, labels;
    for (const BurnItemFacts& f : kBurnItems) {
        SCOPED_TRACE(f.label);
        EXPECT_EQ(f.bit & (f.bit - 1), 0u) << "one bit per item";
        EXPECT_NE(f.bit, 0u);
        EXPECT_TRUE(bits.insert(f.bit).second);
        // The stored default mask carries these two for no item.
        EXPECT_NE(f.bit, 0x800u);
        EXPECT_NE(f.bit, 0x10000u);
        EXPECT_TRUE(names.insert(f.cliName).second);
        EXPECT_NE(std::string(f.cliName), "all");
        EXPECT_EQ(std::string(f.cliName).find_first_of(", "), std::string::npos);
        EXPECT_TRUE(labels.insert(f.label).second);
        EXPECT_LE(f.position.x, 99);
        EXPECT_LE(f.position.y, 99);
    }
}

// Each grid: cells inside it, none shared, only items of its family; every item is shown by a grid of
// a family that has it.
TEST(BurnItems, EveryItemHasACellOfItsOwnInAGridOfItsFamily) {
    const std::uint8_t gridFamily[kBurnGridCount] = {burn_family::kDv, burn_family::kHdv, burn_family::kAvchd,
                                                     burn_family::kAvchd};
    const int gridColumns[kBurnGridCount] = {5, 5, 5, 3};
    std::set<std::pair<int, int>> taken[kBurnGridCount];
    for (const BurnItemFacts& f : kBurnItems) {
        SCOPED_TRACE(f.label);
        EXPECT_NE(f.families & burn_family::kAll, 0);
        bool shown = false;
        for (int g = 0; g < kBurnGridCount; ++g) {
            const BurnCell c = f.cells[static_cast<size_t>(g)];
            if (!c.used()) continue;
            shown = true;
            EXPECT_NE(f.families & gridFamily[g], 0) << "grid " << g;
            EXPECT_LT(c.row, 3);
            EXPECT_GE(c.column, 0);
            EXPECT_LT(c.column, gridColumns[g]);
            EXPECT_TRUE(taken[g].insert({c.row, c.column}).second) << "grid " << g;
        }
        EXPECT_TRUE(shown);
    }
}

}  // namespace
}  // namespace zorv::core

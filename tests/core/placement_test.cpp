#include "core/window_placement.h"

#include <gtest/gtest.h>

namespace zorv::core {
namespace {

constexpr ScreenSize kScreen{1920, 1080};

TEST(MainPlacement, RestoresAStoredPositionOnScreen) {
    const auto p = restoreMainPlacement(StoredMainPlacement{100, 50, 800, 600, 1}, kScreen);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->normal, (WindowRect{100, 50, 900, 650}));
    EXPECT_EQ(p->showState, kShowNormal);
}

TEST(MainPlacement, UnsetOrNegativeValuesAreIgnored) {
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{}, kScreen));
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{-1, 0, 10, 10, 1}, kScreen));
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{0, -1, 10, 10, 1}, kScreen));
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{0, 0, -1, 10, 1}, kScreen));
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{0, 0, 10, -1, 1}, kScreen));
    EXPECT_TRUE(restoreMainPlacement(StoredMainPlacement{0, 0, 0, 0, 1}, kScreen));
}

TEST(MainPlacement, NeedsTwentyPixelsOnScreen) {
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{1900, 10, 300, 300, 1}, kScreen));  // x = SW - 20
    EXPECT_TRUE(restoreMainPlacement(StoredMainPlacement{1899, 10, 300, 300, 1}, kScreen));
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{10, 1060, 300, 300, 1}, kScreen));  // y = SH - 20
    EXPECT_FALSE(restoreMainPlacement(StoredMainPlacement{10, 5000, 300, 300, 1}, kScreen));
    EXPECT_TRUE(restoreMainPlacement(StoredMainPlacement{10, 1059, 300, 300, 1}, kScreen));
}

TEST(MainPlacement, ShortensToTheScreenEdgesKeepingThePosition) {
    const auto p = restoreMainPlacement(StoredMainPlacement{1500, 900, 800, 600, 1}, kScreen);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->normal, (WindowRect{1500, 900, 1920, 1080}));
    // Huge sizes do not overflow.
    const auto q = restoreMainPlacement(StoredMainPlacement{10, 10, INT32_MAX, INT32_MAX, 1}, kScreen);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->normal, (WindowRect{10, 10, 1920, 1080}));
}

TEST(MainPlacement, OnlyMaximisedComesBackMaximised) {
    EXPECT_EQ(restoreMainPlacement(StoredMainPlacement{0, 0, 10, 10, 3}, kScreen)->showState, kShowMaximized);
    EXPECT_EQ(restoreMainPlacement(StoredMainPlacement{0, 0, 10, 10, 2}, kScreen)->showState, kShowNormal);
    EXPECT_EQ(restoreMainPlacement(StoredMainPlacement{0, 0, 10, 10, 0}, kScreen)->showState, kShowNormal);
    EXPECT_EQ(restoreMainPlacement(StoredMainPlacement{0, 0, 10, 10, 77}, kScreen)->showState, kShowNormal);
}

TEST(MainPlacement, SaveStoresSizeFromTheNormalRectangle) {
    EXPECT_EQ(storedFromMainPlacement(MainPlacement{WindowRect{-8, -8, 1928, 1048}, kShowMaximized}),
              (StoredMainPlacement{-8, -8, 1936, 1056, 3}));
}

TEST(MainPlacement, DefaultWindowIsKeptOnScreen) {
    EXPECT_EQ(fitDefaultMainWindow(WindowRect{100, 100, 0, 0}, 500, 400, kScreen), (WindowRect{100, 100, 600, 500}));
    EXPECT_EQ(fitDefaultMainWindow(WindowRect{1800, 1000, 0, 0}, 500, 400, kScreen), (WindowRect{1420, 680, 1920, 1080}));
    EXPECT_EQ(fitDefaultMainWindow(WindowRect{10, 10, 0, 0}, 500, 400, ScreenSize{300, 200}), (WindowRect{0, 0, 500, 400}));
}

constexpr std::int32_t kW = 400;   // template width
constexpr std::int32_t kH0 = 500;  // template height

TEST(CapturePlacement, RestoresWithStoredHeight) {
    EXPECT_EQ(restoreCapturePlacement(StoredCapturePlacement{100, 100, 700}, kW, kH0, kScreen),
              (WindowRect{100, 100, 500, 800}));
}

TEST(CapturePlacement, HeightBelowTemplateIsIgnored) {
    EXPECT_FALSE(restoreCapturePlacement(StoredCapturePlacement{100, 100, 499}, kW, kH0, kScreen));
    EXPECT_FALSE(restoreCapturePlacement(StoredCapturePlacement{}, kW, kH0, kScreen));
    EXPECT_TRUE(restoreCapturePlacement(StoredCapturePlacement{100, 100, 500}, kW, kH0, kScreen));
}

TEST(CapturePlacement, NegativePositionsClampToZero) {
    EXPECT_EQ(restoreCapturePlacement(StoredCapturePlacement{-50, -7, 600}, kW, kH0, kScreen), (WindowRect{0, 0, 400, 600}));
}

TEST(CapturePlacement, OffScreenKeepsTemplatePlacement) {
    EXPECT_FALSE(restoreCapturePlacement(StoredCapturePlacement{1900, 0, 600}, kW, kH0, kScreen));
    EXPECT_FALSE(restoreCapturePlacement(StoredCapturePlacement{0, 1060, 600}, kW, kH0, kScreen));
}

TEST(CapturePlacement, PulledBackAtTheEdges) {
    // Past the right edge: moved left so the fixed width fits.
    EXPECT_EQ(restoreCapturePlacement(StoredCapturePlacement{1800, 100, 600}, kW, kH0, kScreen),
              (WindowRect{1520, 100, 1920, 700}));
    // Past the bottom: shortened while the template height still fits...
    EXPECT_EQ(restoreCapturePlacement(StoredCapturePlacement{0, 500, 700}, kW, kH0, kScreen),
              (WindowRect{0, 500, 400, 1080}));
    // ...and moved up to the template height when it does not.
    EXPECT_EQ(restoreCapturePlacement(StoredCapturePlacement{0, 1000, 700}, kW, kH0, kScreen),
              (WindowRect{0, 580, 400, 1080}));
}

TEST(CapturePlacement, SaveStoresTopLeftAndHeight) {
    EXPECT_EQ(storedFromCaptureRect(WindowRect{-3, 40, 397, 640}), (StoredCapturePlacement{-3, 40, 600}));
}

}  // namespace
}  // namespace zorv::core

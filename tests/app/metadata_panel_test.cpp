// The metadata panel's layout at every width from the panel's minimum to 2000 pixels and at screen
// scales 1, 1.5 and 2, for each kind of window: no two items' boxes meet, none leaves the panel, and
// the font grows with the panel up to the height of a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/metadata_panel.h"
#include "app/metadata_panel_layout.h"

namespace zorv::app {
namespace {

using core::BurnGrid;

TEST(MetadataPanelLayout, NoItemsMeetOrLeaveThePanelAtAnySizeAndScale) {
    PanelFont font;
    ASSERT_TRUE(font.open());
    for (core::BurnGrid kind :
         {core::BurnGrid::kDv, core::BurnGrid::kHdv, core::BurnGrid::kAvchd, core::BurnGrid::kAvchdGps}) {
        const size_t cells = overlay::metadataWindowCells(kind).size();
        for (double scale : {1.0, 1.5, 2.0}) {
            int lastHeight = 0;
            for (int logical = MetadataPanel::kMinimumWidth; logical <= 2000; ++logical) {
                const int w = static_cast<int>(std::lround(logical * scale));
                const int h = static_cast<int>(std::lround(MetadataPanel::kHeight * scale));
                const PanelLayout l = layoutMetadataPanel(kind, w, h, scale, font);
                const auto where = ::testing::Message()
                                   << "kind " << static_cast<int>(kind) << " scale " << scale << " width " << logical;
                ASSERT_GT(l.charHeight, 0) << where;
                ASSERT_EQ(l.boxes.size(), cells) << where;
                // A wider panel never gets a smaller font (but for a pixel of rounding of the grid).
                ASSERT_GE(l.charHeight, lastHeight - 1) << where;
                lastHeight = std::max(lastHeight, l.charHeight);
                for (size_t i = 0; i < l.boxes.size(); ++i) {
                    const PanelBox& a = l.boxes[i];
                    ASSERT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= w && a.y1 <= h && a.x0 < a.x1) << where << " box " << i;
                    for (size_t j = i + 1; j < l.boxes.size(); ++j)
                        ASSERT_FALSE(a.intersects(l.boxes[j])) << where << " boxes " << i << " and " << j;
                }
            }
            // Wide panels are limited by the row height only: the text fills most of a row.
            const PanelLayout wide = layoutMetadataPanel(kind, static_cast<int>(2000 * scale),
                                                         static_cast<int>(std::lround(100 * scale)), scale, font);
            EXPECT_GE(wide.cellHeight, wide.rowHeight * 4 / 5) << static_cast<int>(kind) << " " << scale;
        }
    }
}

TEST(MetadataPanelLayout, DefaultWidthTextIsReadable) {
    PanelFont font;
    ASSERT_TRUE(font.open());
    // The panel at the window's default width (648) and at 540: at least 12-pixel characters.
    for (core::BurnGrid kind :
         {core::BurnGrid::kDv, core::BurnGrid::kHdv, core::BurnGrid::kAvchd, core::BurnGrid::kAvchdGps})
        for (int w : {540, 640})
            EXPECT_GE(layoutMetadataPanel(kind, w, 100, 1.0, font).charHeight, 12) << static_cast<int>(kind) << " " << w;
}

}  // namespace
}  // namespace zorv::app

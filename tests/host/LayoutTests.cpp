#include <gtest/gtest.h>

#include "console/Layout.h"

namespace {

TEST(Layout, AtNinetySixDpiTheDesignIsFifteenTwipsAPixel)
{
    PixelSize client = DesignClientSize(96);
    EXPECT_EQ(client, (PixelSize{609, 378}));
    EXPECT_EQ(ScaleRect(Controls[0].rect, client), (PixelRect{6, 6, 597, 326}));
    for (std::size_t i = 1; i < Controls.size(); ++i) {
        PixelRect button = ScaleRect(Controls[i].rect, client);
        EXPECT_EQ(button.width, 89) << i;
        EXPECT_EQ(button.height, 25) << i;
        EXPECT_EQ(button.top, 347) << i;
    }
}

TEST(Layout, OtherDpisScaleTheClientArea)
{
    EXPECT_EQ(DesignClientSize(120), (PixelSize{761, 473}));
    EXPECT_EQ(DesignClientSize(144), (PixelSize{914, 567}));
}

TEST(Layout, StretchingMovesEveryEdgeInProportion)
{
    EXPECT_EQ(ScaleRect(Controls[0].rect, {1218, 756}), (PixelRect{12, 12, 1194, 652}));
    EXPECT_EQ(ScaleRect(Controls[4].rect, {1218, 756}), (PixelRect{1028, 694, 178, 50}));
    EXPECT_EQ(ScaleRect(Controls[0].rect, {812, 504}), (PixelRect{8, 8, 796, 435}));
}

TEST(Layout, NeighboursNeverOverlapAtAnySize)
{
    for (int width = 50; width <= 2000; width += 7) {
        PixelSize client{width, width / 2};
        for (std::size_t i = 2; i < Controls.size(); ++i) {
            PixelRect left = ScaleRect(Controls[i - 1].rect, client);
            PixelRect right = ScaleRect(Controls[i].rect, client);
            EXPECT_LE(left.left + left.width, right.left) << "width " << width << " control " << i;
        }
        PixelRect log = ScaleRect(Controls[0].rect, client);
        PixelRect button = ScaleRect(Controls[1].rect, client);
        EXPECT_LE(log.top + log.height, button.top) << "width " << width;
    }
}

TEST(Layout, TheTableFollowsTheTabOrderWithDeleteDisabled)
{
    const int ids[] = {TxtMsgId, CmdLoadId, CmdDeleteId, CmdCreateId, CmdCloseId};
    for (std::size_t i = 0; i < Controls.size(); ++i) {
        EXPECT_EQ(Controls[i].id, ids[i]);
        EXPECT_EQ(Controls[i].enabledAtStart, i != 2);
    }
}

}  // namespace

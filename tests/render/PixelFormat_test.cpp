#include "render/PixelFormat.h"

#include <gtest/gtest.h>

TEST(PixelFormatTest, PanelDefaultsAskForADoubleBufferedWindowWithOpenGL)
{
    const PixelFormatState s;
    EXPECT_EQ(s.PfdFlags(), 0x25);
    EXPECT_EQ(s.PfdPixelType(), 0);
    EXPECT_EQ(s.PfdLayerType(), 0);
    EXPECT_EQ(s.GLColorBits(), 24u);
    EXPECT_EQ(s.GLDepthBits(), 32u);
    EXPECT_FALSE(s.PixelFormatChanged);

    const QSurfaceFormat f = s.SurfaceFormat();
    EXPECT_EQ(f.swapBehavior(), QSurfaceFormat::DoubleBuffer);
    EXPECT_EQ(f.profile(), QSurfaceFormat::CompatibilityProfile);
    EXPECT_EQ(f.redBufferSize(), 8);
    EXPECT_EQ(f.depthBufferSize(), 32);
    EXPECT_EQ(f.swapInterval(), 1);
    EXPECT_FALSE(f.stereo());
}

TEST(PixelFormatTest, EveryFlagSetsTheBitOfItsOrdinal)
{
    EXPECT_EQ(PfdFlagsOf({GLf_SWAP_COPY}), 0x400);
    EXPECT_EQ(PfdFlagsOf({GLf_NEED_PALETTE, GLf_NEED_SYSTEM_PALETTE}), 0x180);
    EXPECT_EQ(PfdFlagsOf({GLf_STEREO, GLf_DRAW_TO_BITMAP, GLf_SUPPORT_GDI, GLf_GENERIC_FORMAT,
                          GLf_SWAP_EXCHANGE}),
              0x2 | 0x8 | 0x10 | 0x40 | 0x200);
}

TEST(PixelFormatTest, PixelAndLayerTypeRules)
{
    EXPECT_EQ(PfdPixelTypeOf({GLp_TYPE_RGBA, GLp_TYPE_COLORINDEX}, 0), 1);
    EXPECT_EQ(PfdPixelTypeOf({}, 1), 1);
    EXPECT_EQ(PfdPixelTypeOf({GLp_TYPE_RGBA}, 1), 0);
    EXPECT_EQ(PfdLayerTypeOf({GLL_MAIN_PLANE, GLL_UNDERLAY_PLANE}, 0), -1);
    EXPECT_EQ(PfdLayerTypeOf({GLL_MAIN_PLANE, GLL_OVERLAY_PLANE}, 0), 1);
    EXPECT_EQ(PfdLayerTypeOf({}, -1), -1);
}

TEST(PixelFormatTest, OnlyARealChangeMarksTheFormat)
{
    PixelFormatState s;
    s.SetGLFlags({GLf_DOUBLEBUFFER, GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL});
    s.SetGLPixelType({GLp_TYPE_RGBA});
    s.SetGLLayerType({GLL_MAIN_PLANE});
    s.SetGLColorBits(16);
    EXPECT_FALSE(s.PixelFormatChanged);

    s.SetGLFlags({GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL});
    EXPECT_TRUE(s.PixelFormatChanged);
    EXPECT_EQ(s.PfdFlags(), 0x24);
    EXPECT_EQ(s.SurfaceFormat().swapBehavior(), QSurfaceFormat::SingleBuffer);

    s.PixelFormatChanged = false;
    s.SetGLPixelType({GLp_TYPE_RGBA, GLp_TYPE_COLORINDEX});
    EXPECT_TRUE(s.PixelFormatChanged);
    EXPECT_EQ(s.PfdPixelType(), 1);
    s.PixelFormatChanged = false;
    s.SetGLLayerType({GLL_MAIN_PLANE, GLL_UNDERLAY_PLANE});
    EXPECT_TRUE(s.PixelFormatChanged);
    EXPECT_EQ(s.PfdLayerType(), -1);
}

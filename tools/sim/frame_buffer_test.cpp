#include "tools/sim/frame_buffer.h"

#include <gtest/gtest.h>

namespace velk::sim {
namespace {

TEST(FrameBuffer, ColumnBytesAreColumnMajorWithTopPixelInMostSignificantBit)
{
    FrameBuffer frame(3, 16);
    frame.SetPixel(0, 0, true);  // column 0, first byte, top bit
    frame.SetPixel(0, 15, true); // column 0, second byte, bottom bit
    frame.SetPixel(2, 9, true);  // column 2, second byte, second bit
    EXPECT_EQ(frame.ColumnBytes(), (std::vector<std::uint8_t>{0x80, 0x01, 0x00, 0x00, 0x00, 0x40}));
    EXPECT_EQ(frame.ColumnHex(), "800100000040");
}

TEST(FrameBuffer, LoadColumnBytesRestoresThePictureAndRejectsWrongSizes)
{
    FrameBuffer frame(280, 16);
    frame.Line(0, 0, 279, 15, true);
    FrameBuffer copy(280, 16);
    ASSERT_TRUE(copy.LoadColumnBytes(frame.ColumnBytes()));
    EXPECT_EQ(copy, frame);
    EXPECT_EQ(frame.ColumnBytes().size(), 560u);
    EXPECT_FALSE(copy.LoadColumnBytes(std::vector<std::uint8_t>(559)));
}

TEST(FrameBuffer, PrimitivesClipAndIncludeBothEnds)
{
    struct Case {
        const char* name;
        void (*draw)(FrameBuffer&);
        int lit;
    };
    const Case kCases[] = {
        {"line includes both end points", [](FrameBuffer& f) { f.Line(1, 1, 4, 1, true); }, 4},
        {"line far outside costs nothing and draws nothing",
         [](FrameBuffer& f) { f.Line(-2000000000, -5, 2000000000, -5, true); }, 0},
        {"rect corners in any order", [](FrameBuffer& f) { f.FillRect(3, 2, 1, 0, true); }, 9},
        {"rect clipped at the edges", [](FrameBuffer& f) { f.FillRect(-5, -5, 1, 1, true); }, 4},
        {"frame rect is the outline", [](FrameBuffer& f) { f.FrameRect(0, 0, 3, 3, true); }, 12},
        {"point outside is ignored", [](FrameBuffer& f) { f.SetPixel(8, 0, true); }, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FrameBuffer frame(8, 8);
        c.draw(frame);
        int lit = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                lit += frame.Pixel(x, y) ? 1 : 0;
        EXPECT_EQ(lit, c.lit);
    }
}

TEST(FrameBuffer, BlitAndSlideMoveBlocksAndDarkenWhatMovesIn)
{
    FrameBuffer frame(8, 8);
    frame.FillRect(0, 0, 1, 1, true);
    frame.Blit(0, 0, 2, 2, 1, 1); // overlapping copy
    EXPECT_TRUE(frame.Pixel(0, 0));
    EXPECT_TRUE(frame.Pixel(2, 2));
    EXPECT_TRUE(frame.Pixel(1, 1));

    FrameBuffer slid(8, 8);
    slid.SetPixel(0, 0, true);
    slid.Slide(3, 2);
    EXPECT_TRUE(slid.Pixel(3, 2));
    EXPECT_FALSE(slid.Pixel(0, 0));
    slid.Slide(-10, 0);
    EXPECT_EQ(slid, FrameBuffer(8, 8));
}

} // namespace
} // namespace velk::sim

#include "tools/sim/sketch.h"

#include <gtest/gtest.h>

namespace velk::sim {
namespace {

TEST(Sketch, ArgumentsSplitAtBlanksWithQuotedTextKeptWhole)
{
    struct Case {
        const char* line;
        std::vector<std::string> words;
    };
    const Case kCases[] = {
        {"-c text 0 0 \"two words\"", {"-c", "text", "0", "0", "two words"}},
        {"-c text 0 0 \"say \"hi\" now\"", {"-c", "text", "0", "0", "say \"hi\" now"}},
        {"-c marquee -start \"\"", {"-c", "marquee", "-start", ""}},
        {"-c text 1 2 \"unterminated", {"-c", "text", "1", "2", "unterminated"}},
        {"  -c   clear  ", {"-c", "clear"}},
        {"", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Sketch::SplitArguments(c.line), c.words);
    }
}

TEST(Sketch, FirstVerbStartsADarkCanvasAndQuitEndsTheSession)
{
    Display display(*Display::FindModel("Small VFD"));
    display.frame().Fill(true); // the player's own screen
    EXPECT_TRUE(Sketch::Run("-c point 1 1", display, 7).drew);
    EXPECT_EQ(display.sketch_owner(), 7);
    EXPECT_TRUE(display.frame().Pixel(1, 1));
    EXPECT_FALSE(display.frame().Pixel(2, 2));
    Sketch::Run("-c quit", display, 7);
    EXPECT_FALSE(display.sketching());
}

TEST(Sketch, FontListAndFontSelection)
{
    Display display(*Display::FindModel("Large VFD"));
    const SketchResult list = Sketch::Run("-c font list", display, 1);
    EXPECT_FALSE(list.drew);
    EXPECT_FALSE(display.sketching()); // listing fonts does not take the display
    ASSERT_FALSE(list.lines.empty());
    EXPECT_EQ(list.lines[0], "1 - SystemFont8");
    Sketch::Run("-c font 3", display, 1);
    EXPECT_EQ(display.font(), 3);
    EXPECT_EQ(Sketch::Run("-c font 4", display, 1).lines,
              std::vector<std::string>{"sketch: no font 4"});
    EXPECT_EQ(display.font(), 3);
}

TEST(Sketch, MarqueeScrollsFromTheRightEdge)
{
    Display display(*Display::FindModel("Small VFD"));
    Sketch::Run("-c marquee -start \"Hello\"", display, 1);
    EXPECT_TRUE(display.marquee_running());
    const FrameBuffer before = display.frame();
    for (int i = 0; i < 20; ++i)
        display.StepMarquee();
    EXPECT_NE(display.frame(), before);
    Sketch::Run("-c marquee -stop", display, 1);
    EXPECT_FALSE(display.marquee_running());
}

} // namespace
} // namespace velk::sim

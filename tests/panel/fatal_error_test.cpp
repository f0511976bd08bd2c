#include "fatal_error.h"
#include "panel_fixture.h"

namespace {

TEST_F(PanelBus, FatalErrorShowsOnTheDisplayAndBlinksTheBoard)
{
    fatal_error_display(20, 0);
    const auto st = panel->state();
    EXPECT_EQ(st.lines[0], "FATAL ERROR         ");
    EXPECT_EQ(st.lines[1], std::string(20, ' '));
    EXPECT_EQ(st.frames, 20u);
    EXPECT_EQ(st.unselected, 0u);
    // The last of 20 frames from blink countdown 0 is one of the six with the error lamp alone.
    EXPECT_TRUE(st.leds[int(orva::sim::panel_led::err)]);
    EXPECT_FALSE(st.leds[int(orva::sim::panel_led::lan)]);
    EXPECT_EQ(st.meters[0].bar, 0);
}

TEST_F(PanelBus, FatalErrorFrameSequenceBlinksFourOfTen)
{
    std::string pattern;
    for (int n = 1; n <= 10; ++n) {
        fatal_error_display(n, 0);  // a fresh board each time: frame n of the sequence is last
        const auto st = panel->state();
        pattern += st.leds[int(orva::sim::panel_led::lan)] && st.meters[2].bar == 19 ? '#' : '.';
    }
    EXPECT_EQ(pattern, ".####.....");
}

}  // namespace

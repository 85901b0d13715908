// The frame loop's clock: how much game time a frame simulates, whatever the tick
// counter, the quit question or the console did meanwhile.
#include <tuple>

#include "game_fixture.h"
#include "ui/commands.h"

namespace {

TEST_F(FreshGame, EachFrameSimulatesTheTimeSinceTheLastWithinItsBounds) {
    enum Before { NOTHING, QUIT_AND_STAY, HOLD, NEAR_WRAP };
    // What happens first, milliseconds since the previous frame, the step simulated and
    // pause_ended after the frame.
    const std::tuple<Before, std::int64_t, float, std::int32_t> cases[] = {
        {NOTHING, 37, 0.037f, 0},       // the first frame: the time since the arrival
        {NOTHING, 500, 0.1f, 0},        // a slow frame is capped
        {NOTHING, -32738, 0.1f, 0},     // clock went back: its low 16 bits, 32798 ms, capped
        {NOTHING, -65506, 0.03f, 0},    // clock went back: its low 16 bits remain
        {QUIT_AND_STAY, 20, 0.02f, 1},  // the quit question ("Q" lowered), declined
        {NOTHING, 5000, 0.05f, 0},      // after it, however long it was up
        {HOLD, 20, 0.02f, 1},           // the console holds the game in its sleep
        {NOTHING, 90, 0.05f, 0},        // a short step after it
        {NOTHING, 70, 0.07f, 0},        // then time as usual
        {NEAR_WRAP, 0x30, 0.048f, 0},   // the tick counter wraps between frames
    };
    // Runs one frame at this clock reading; returns the step the notice timer saw.
    const auto step_at = [](std::uint32_t clock) {
        notice_timer = 1.0f;
        headless_set_clock(clock);
        run_frame();
        return 1.0f - notice_timer;
    };
    start(21);
    for (const auto& [before, advance, step, pause_after] : cases) {
        if (before == QUIT_AND_STAY) {
            headless_push_named_key("Q");
            headless_push_named_key("n");
        } else if (before == HOLD) {
            headless_hold_next_sleep();
        } else if (before == NEAR_WRAP) {
            step_at(0xFFFFFFE0u);
        }
        const auto clock = static_cast<std::uint32_t>(frame_time + advance);
        EXPECT_NEAR(step_at(clock), step, 1e-6) << advance;
        EXPECT_EQ(pause_ended, pause_after) << advance;
    }
}

}  // namespace

// The way into the game (intro, title, arrival) and the frame loop's timing and keys.
#include <array>
#include <tuple>

#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "ui/commands.h"
#include "world/map_view.h"

namespace {

using Rows = std::vector<std::string>;
using Span = std::tuple<int, int, const char*, std::uint16_t>;  // x, y, text, attribute

// A black screen of spaces with these texts on it.
Frame screen_with(std::initializer_list<Span> spans) {
    Frame frame(SCREEN_CELLS, Cell{' ', 0});
    for (const auto& [x, y, text, attribute] : spans) {
        for (int i = 0; text[i] != '\0'; ++i) {
            frame[y * SCREEN_WIDTH + x + i] = Cell{static_cast<std::uint8_t>(text[i]), attribute};
        }
    }
    return frame;
}

class GameLoop : public FreshGame {};

TEST_F(GameLoop, IntroTitleAndArrival) {
    // Keys typed during the intro: its wait takes "x" and the rest is thrown away, so the
    // one answered wait goes to the title and none is left.
    for (const char* key : {"x", "y", "Tab"}) {
        headless_push_named_key(key);
    }
    headless_answer_waits(1);
    start_game(2);  // this seed draws the longest place, so the message takes two rows
    EXPECT_EQ(headless_queued_events(), 0);
    EXPECT_THROW(wait_key(), HeadlessInputExhausted);

    const Span quote{26, 8, " \"An Elf must ever live", 15},
        nature{26, 9, " in Balance with Nature\"", 15},
        proverb{26, 13, "       -- Dwarf Proverb", 7}, any_key{26, 18, "    [press any key]", 6};
    const Frame expected[] = {
        screen_with({quote, nature}),
        screen_with({quote, nature, proverb}),
        screen_with({quote, nature, proverb, any_key}),
        screen_with({{16, 1, "       C A N O P Y   H O L L O W", 15},
                     {16, 9, "The elders say it cannot be done: no new colony ", 7},
                     {16, 10, "has ever been successfully founded in living ", 7},
                     {16, 11, "memory.", 7},
                     {16, 13, "You will have to prove them wrong.", 7},
                     {16, 19, "    [press any key]", 6}}),
    };
    ASSERT_EQ(headless_frames().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(picture(headless_frames()[i]), picture(expected[i])) << "frame " << i;
    }
    // Black on light grey in the message log.
    EXPECT_EQ(seen_rows(buffer(), 28, 20, 80, 24, 7),
              (Rows{"", "", " <0:The elf mission has arrived at>", " <0:Uomin-Shralthriandia.>"}));
}

TEST_F(GameLoop, FrameStepsNoticeAndKeys) {
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

    // The notice timer before, after 0.25 s, and whether the notice is still shown.
    const std::array<float, 3> notices[] = {
        {1.0f, 0.75f, 1}, {0.1f, -0.15f, 0}, {0.25f, 0.0f, 1}, {0.0f, 0.0f, 1}, {-1.0f, -1.0f, 1}};
    for (const auto& n : notices) {
        notice_text = "Hello";
        notice_timer = n[0];
        simulate(0.25f);
        EXPECT_EQ((std::array{n[0], notice_timer, notice_text != nullptr ? 1.0f : 0.0f}), n);
    }

    for (const std::int32_t level : {1, 2, 3, 0}) {
        press({"Tab"});
        EXPECT_EQ(view_level, level);
    }
    // Typed characters and keys share codes: "(" is Down, "&" is Up, and so on.
    const std::tuple<const char*, const char*, std::int32_t, std::int32_t> moves[] = {
        {"!", "PgUp", 1, -1}, {"\"", "PgDn", 1, 1}, {"#", "End", -1, 1},  {"$", "Home", -1, -1},
        {"%", "Left", -1, 0}, {"&", "Up", 0, -1},   {"'", "Right", 1, 0}, {"(", "Down", 0, 1}};
    for (const auto& [character, key, dx, dy] : moves) {
        for (const char* name : {character, key}) {
            const std::array from{cursor_x, cursor_y};
            press({name});
            EXPECT_EQ((std::array{cursor_x - from[0], cursor_y - from[1]}), (std::array{dx, dy}))
                << name;
        }
    }
}

}  // namespace

// The way into the game (intro, title, arrival) and the frame loop's timing and keys.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "ui/commands.h"
#include "ui/menus.h"
#include "world/map_view.h"
#include "world/world.h"

namespace {

struct Span {
    int x, y;
    const char* text;
    std::uint16_t attribute;
};

// A black screen of spaces with these texts on it.
Frame screen_with(std::initializer_list<Span> spans) {
    Frame frame(SCREEN_CELLS, Cell{' ', 0});
    for (const Span& s : spans) {
        for (int i = 0; s.text[i] != '\0'; ++i) {
            frame[static_cast<std::size_t>(s.y * SCREEN_WIDTH + s.x + i)] =
                Cell{static_cast<std::uint8_t>(s.text[i]), s.attribute};
        }
    }
    return frame;
}

class GameStart : public FreshGame {};

TEST_F(GameStart, IntroAndTitleScreens) {
    start(11);
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
        EXPECT_EQ(frame_text(headless_frames()[i]), frame_text(expected[i])) << "frame " << i;
        EXPECT_EQ(frame_attributes(headless_frames()[i]), frame_attributes(expected[i])) << i;
    }
}

TEST_F(GameStart, KeysTypedDuringTheIntroDoNotReachTheTitle) {
    for (const char* key : {"x", "y", "Tab"}) {
        headless_push_named_key(key);
    }
    headless_answer_waits(1);
    start_game(5);
    EXPECT_EQ((std::array{headless_queued_events(), headless_write_count()}), (std::array{0, 4}));
    // The one answered wait went to the title: the intro's wait took "x" and the rest
    // was thrown away before the title asked.
    EXPECT_THROW(wait_key(), HeadlessInputExhausted);
}

TEST_F(GameStart, ArrivalIsLoggedWithAPlaceName) {
    const char* const places[PLACE_NAME_COUNT] = {
        "Tinglewaters",    "Laughing Gully",     "Typhoid Creek", "Uomin-Shralthriandia",
        "Hallowed Dolmen", "Sparkledeep",        "Brighthold",    "Berrywine",
        "Unseelie Halls",  "The Shimmering Ways"};
    for (int i = 0; i < PLACE_NAME_COUNT; ++i) {
        EXPECT_STREQ(place_names[i], places[i]);
    }
    start(2);  // this seed draws the longest place, so the message takes the two bottom rows
    const auto log_row = [](const std::string& text) {
        return text + std::string(52 - text.size(), ' ');
    };
    std::vector<std::string> log;
    for (int y = 20; y < 24; ++y) {
        log.push_back(row(y, 28, 80));
        EXPECT_EQ(attr(28, y) | attr(79, y) | attr(59, y), 0x70);
    }
    EXPECT_EQ(log, (std::vector<std::string>{log_row(""), log_row(""),
                                             log_row(" The elf mission has arrived at"),
                                             log_row(" Uomin-Shralthriandia.")}));
}

class FrameLoop : public FreshGame {
  protected:
    // Runs one frame at this clock reading and returns the step the simulation took, as
    // the notice timer and an elf's timer both saw it.
    static float step_at(std::uint32_t clock) {
        Creature* elf = std::find_if(std::begin(creatures), std::end(creatures),
                                     [](const Creature& c) { return c.kind == KIND_ELF; });
        elf->timer = notice_timer = 1.0f;
        headless_set_clock(clock);
        run_frame();
        EXPECT_FLOAT_EQ(elf->timer, notice_timer);
        return 1.0f - notice_timer;
    }
};

TEST_F(FrameLoop, StepFollowsTheClockWithinItsLimits) {
    enum Before { NOTHING, QUIT_AND_STAY, HOLD, NEAR_WRAP };
    struct Case {
        Before before;
        std::int64_t advance;  // milliseconds since the previous frame
        float step;
        std::int32_t pause_after;
    } const cases[] = {
        {NOTHING, 37, 0.037f, 0},       // the first frame: the time since the arrival
        {NOTHING, 500, 0.1f, 0},        // a slow frame is capped
        {NOTHING, 80, 0.08f, 0},        // an ordinary frame
        {NOTHING, -1, 0.1f, 0},         // clock went back: 65535 ms, capped
        {NOTHING, -65506, 0.03f, 0},    // clock went back: its low 16 bits remain
        {QUIT_AND_STAY, 20, 0.02f, 1},  // the quit question, declined
        {NOTHING, 5000, 0.05f, 0},      // after it, however long it was up
        {NOTHING, 70, 0.07f, 0},        // then time as usual
        {HOLD, 20, 0.02f, 1},           // the console holds the game in its sleep
        {NOTHING, 90, 0.05f, 0},        // a short step after it
        {NEAR_WRAP, 0x30, 0.048f, 0},   // the tick counter wraps between frames
    };
    start(21);
    EXPECT_EQ(frame_time, headless_clock());  // taken at the arrival, not at 0
    for (const Case& c : cases) {
        if (c.before == QUIT_AND_STAY) {
            headless_push_named_key("q");
            headless_push_named_key("n");
        } else if (c.before == HOLD) {
            headless_hold_next_sleep();
        } else if (c.before == NEAR_WRAP) {
            step_at(0xFFFFFFE0u);
        }
        const auto clock = static_cast<std::uint32_t>(frame_time + c.advance);
        EXPECT_NEAR(step_at(clock), c.step, 1e-6) << c.advance;
        EXPECT_EQ(pause_ended, c.pause_after) << c.advance;
    }
}

TEST_F(FrameLoop, SimulateCountsDownTimers) {
    // The notice timer before, after 0.25 s, and whether the notice is still shown.
    const std::array<float, 3> notices[] = {
        {1.0f, 0.75f, 1}, {0.1f, -0.15f, 0}, {0.25f, 0.0f, 1}, {0.0f, 0.0f, 1}, {-1.0f, -1.0f, 1}};
    for (const auto& n : notices) {
        notice_text = "Hello";
        notice_timer = n[0];
        simulate(0.25f);
        EXPECT_EQ((std::array{notice_timer, notice_text != nullptr ? 1.0f : 0.0f}),
                  (std::array{n[1], n[2]}));
    }
    for (std::int32_t kind = KIND_FREE; kind <= KIND_JUNK; ++kind) {
        creatures[7].kind = kind;
        creatures[7].timer = 5.0f;
        simulate(0.5f);
        EXPECT_EQ(creatures[7].timer, kind == KIND_ELF || kind == KIND_RABBIT ? 4.5f : 5.0f)
            << kind;
    }
}

TEST_F(FrameLoop, CapitalsAreLoweredBeforeTheMenus) {
    start(8);
    for (const char* quit : {"q", "Q"}) {
        headless_push_named_key(quit);
        headless_push_named_key("n");
        run_frames(1);
        // The last frame shown is the question, flushed while it waited for "n".
        std::string panel;
        for (int y = 0; y < 6; ++y) {
            panel += frame_row_text(headless_last_frame(), y, 55, 67) + "/";
        }
        EXPECT_EQ(panel,
                  "            /Really quit?/            / Yes        / No         /            /");
        EXPECT_EQ(headless_last_frame()[3 * SCREEN_WIDTH + 56].attribute, 0x1F) << quit;
        EXPECT_EQ((std::array<int, 2>{menu_page, headless_queued_events()}),
                  (std::array<int, 2>{MENU_MAIN, 0}));
    }
}

TEST_F(FrameLoop, TabAndCursorKeysReachTheLoop) {
    start(9);
    for (const std::int32_t level : {1, 2, 3, 0}) {
        press({"Tab"});
        EXPECT_EQ(view_level, level);
    }
    struct Move {
        const char *character, *key;
        std::int32_t dx, dy;
    } const moves[] = {
        {"!", "PgUp", 1, -1}, {"\"", "PgDn", 1, 1}, {"#", "End", -1, 1},  {"$", "Home", -1, -1},
        {"%", "Left", -1, 0}, {"&", "Up", 0, -1},   {"'", "Right", 1, 0}, {"(", "Down", 0, 1},
    };
    for (const Move& m : moves) {
        for (const char* name : {m.character, m.key}) {
            const std::array<std::int32_t, 2> from{cursor_x, cursor_y};
            press({name});
            EXPECT_EQ((std::array{cursor_x - from[0], cursor_y - from[1]}),
                      (std::array{m.dx, m.dy}))
                << name;
        }
    }
}

TEST_F(FrameLoop, HandleKeyRunsEveryFrameWithoutAKey) {
    start(10);
    show_menu(MENU_QUIT);  // the question takes every key, 0 included, and waits again
    const int writes = headless_write_count();
    EXPECT_THROW(run_frames(1), HeadlessInputExhausted);
    EXPECT_EQ(headless_write_count(), writes + 2);  // the frame, then the question's wait
    EXPECT_EQ(pause_ended, 1);
}

}  // namespace

// The forest on screen: a view kept from frame to frame draws as one drawn from nothing,
// and whole screens of three worlds at every level (the shading seen from above among
// them) kept as golden files.
#include <cstdlib>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "util/random.h"
#include "world/map_view.h"

namespace {

using MapView = FreshGame;

// The view keeps the ground and the trees in sight from frame to frame. Whatever it kept,
// a frame must come out as one drawn from nothing, and leave the small generator where
// drawing the ground blocks leaves it, even when something else moved it meanwhile:
// through a whole game with orders, building and falls, the view scrolling every way,
// across zero, and cycling the levels.
TEST_F(MapView, KeptViewDrawsAsAViewFromNothing) {
    start(1);
    std::istringstream script(
        "e a Esc j s w Esc Esc c s b Tab Tab Home Home Home Home Home Home Up Up Up Enter "
        "Right Enter Down Down Enter Left Left Enter Left Enter Esc Esc Esc");
    const char* wander[] = {"Left", "Left", "Up", "Tab", "Home", "Right", "PgDn", "Down"};
    // Every 150 frames the cursor and the view jump together, down, right, both ways...
    const std::pair<int, int> jumps[] = {{0, 3}, {6, 0}, {-90, 0}, {0, -60}, {-6, -3}, {400, 300}};
    for (int frame = 0; frame < 3000; ++frame) {
        std::string key;
        if (frame % 3 == 0 && (script >> key || frame % 9 == 0)) {
            headless_push_named_key(key.empty() ? wander[frame / 9 % 8] : key);
        }
        run_frames(1, 100);
        if (frame % 150 == 149) {
            const auto [dx, dy] = jumps[frame / 150 % 6];
            std::tie(cursor_x, cursor_y, view_x, view_y) =
                std::tuple(cursor_x + dx, cursor_y + dy, view_x + dx, view_y + dy);
        }
        lcg_reseed(12345);
        draw_map_view();
        const Frame kept = buffer();
        const std::uint32_t lcg_kept = lcg_state;
        reset_map_view();
        draw_map_view();
        ASSERT_EQ(frame_text(buffer()) + frame_attributes(buffer()),
                  frame_text(kept) + frame_attributes(kept))
            << "frame " << frame << ", view " << view_x << ',' << view_y << " level " << view_level;
        set_window(0, 0, 0, 0);                                     // draws nothing
        draw_ground_block((view_x + 60) >> 4, (view_y + 25) >> 3);  // the last block drawn
        ASSERT_EQ(lcg_kept, lcg_state) << "frame " << frame;
    }
    EXPECT_EQ(death_count, 7);  // the whole story was told
}

// Whole screens against golden files: 25 rows of text, then 25 rows of attributes.
// CANOPY_RERECORD=golden (make rerecord CASE=golden) rewrites the files.
TEST_F(MapView, GoldenScreensAtEveryLevel) {
    for (const std::uint32_t seed : {7u, 1234u, 900001u}) {
        SetUp();  // a fresh game and console for each world
        start(seed);
        for (int level = 0; level < 4; ++level) {
            run_frames(3);
            // One frame more when the clock's low ten bits are 0x100: the cursor shows.
            headless_set_clock(frame_time + 50 + ((0x100 - frame_time - 50) & 0x3FF));
            run_frame();
            const Frame& frame = headless_last_frame();
            const std::string path = CANOPY_GOLDEN_DIR "/map_seed" + std::to_string(seed) +
                                     "_level" + std::to_string(level) + ".txt";
            if (const char* rerecord = std::getenv("CANOPY_RERECORD");
                rerecord && rerecord == std::string("golden")) {
                std::ofstream(path) << picture(frame);
            }
            ASSERT_EQ(picture(frame), file_text(path)) << path << " (text 1-25, attributes 26-50)";
            headless_push_named_key("Tab");
            run_frames(1);
        }
    }
}

}  // namespace

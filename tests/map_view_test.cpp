// The forest on screen: the cursor and the viewport that follows it, what the info box
// says about the cell under the cursor, the status line, blinking orders, the notice box,
// the ground, the elf status lines, and whole screens of three worlds at every level
// (the shading seen from above among them) kept as golden files.
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "ui/jobs.h"
#include "util/array.h"
#include "util/random.h"
#include "world/map_view.h"

namespace {

class MapView : public FreshGame {
  protected:
    // A fresh world with its great trees far off the map; the cursor at (20, 10).
    static void empty_forest(std::int32_t level) {
        reset_game();
        std::ranges::fill(great_trees, GreatTree{1000, 1000, {}, "benzel"});
        std::tie(cursor_x, cursor_y, view_level) = std::tuple(20, 10, level);
    }

    // A creature by its letter: d dead branch, p platform, j junk, f forest tree, r rabbit,
    // e elf (Tulip Keen, a Poet of health 1, Int 12, morale 0.5, Wis 7). All but the elf
    // show as a green spade.
    static Creature& add(char letter, std::int32_t x, std::int32_t y, std::int32_t level) {
        const auto i = std::string("dpjfre").find(letter);
        Creature& c = *find_free_slot();
        c.kind = std::array{KIND_DEAD_BRANCH, KIND_PLATFORM, KIND_JUNK,
                            KIND_FOREST_TREE, KIND_RABBIT,   KIND_ELF}[i];
        c.name = std::array<const char*, 6>{"A dead branch",     nullptr,     nullptr, "A yew tree",
                                            DEFAULT_RABBIT_NAME, "Tulip Keen"}[i];
        std::tie(c.x, c.y, c.level, c.glyph, c.colour) =
            std::tuple(x, y, level, letter == 'e' ? 2 : 6, letter == 'e' ? 15 : 2);
        std::tie(c.job_title, c.health, c.morale, c.intelligence, c.wisdom) =
            std::tuple("Poet", 1.0f, 0.5f, 12, 7);
        return c;
    }

    // One character per cell: the hex digit of an attribute on black, b for a blinking
    // branch, S for the selected elf.
    static std::string attrs(int y, int x0, int x1) {
        std::string out;
        for (int x = x0; x < x1; ++x) {
            const std::uint16_t a = attr(x, y);
            out += a < 16 ? "0123456789abcdef"[a] : a == 0x56 ? 'b' : a == 0x5F ? 'S' : '?';
        }
        return out;
    }
};

TEST_F(MapView, CursorViewportAndStatusLine) {
    start(7);
    EXPECT_TRUE(cursor_x == 30 && cursor_y == 10 && view_x == 0 && view_y == 0);
    // The view and the cursor before a key; the view after it and the cursor on screen.
    // The view jumps by 6 columns or 3 rows as the cursor leaves the map window's inner
    // area, one jump a frame however far the cursor is.
    const std::tuple<std::array<int, 4>, const char*, std::array<int, 4>> cases[] = {
        {{0, 0, 0, 5}, "Left", {-6, 0, 5, 5}},       {{0, 0, 53, 5}, "Right", {6, 0, 48, 5}},
        {{0, 0, 10, 0}, "Up", {0, -3, 10, 2}},       {{0, 0, 10, 19}, "Down", {0, 3, 10, 17}},
        {{0, 0, 0, 0}, "Home", {-6, -3, 5, 2}},      {{0, 0, 52, 18}, "PgDn", {0, 0, 53, 19}},
        {{10, 10, -19, 10}, "Left", {4, 10, -24, 0}}};
    for (const auto& [before, key, after] : cases) {
        std::tie(view_x, view_y, cursor_x, cursor_y) = std::tuple_cat(before);
        press({key});
        EXPECT_EQ((std::array{view_x, view_y, cursor_x - view_x, cursor_y - view_y}), after) << key;
    }
    // The altitude, the key hints with the keys in white, the version in cyan.
    const std::string hints = "  |  TAB cycle levels  |  ↑↓→← move cursor" + std::string(29, ' ') +
                              "v1.37" + "777777777fff777777777777777777ffff777777777777" +
                              std::string(29, '0') + "33333";
    for (const char* altitude : {"  0'", " 50'", "100'", "150'"}) {
        run_frames(1);
        EXPECT_EQ(row(24) + attrs(24, 0, 80), altitude + hints);
        press({"Tab"});
    }
}

TEST_F(MapView, InfoBoxDescribesTheCellUnderTheCursor) {
    // Things at the cursor, in the order placed: l leaf, b branch (benzel, 3 from the
    // trunk), s branch (sheewash, 1 from the trunk), t trunk, or a creature letter; then
    // the branch index and the creature slot left under the cursor (-1 for none).
    const std::tuple<int, int, const char*, const char*, int, int> cases[] = {
        {0, 0, "", "The ground.|||", -1, -1},
        {1, 0, "lbde", "|||", -1, -1},
        {0, 0, "l", "A leaf.|||", -1, -1},
        {1, 1, "lb", "A branch of a benzel tree, 3|from trunk.||", 0, -1},
        {1, 1, "bsl", "A branch of a sheewash tree,|1 from trunk.||", 1, -1},
        {2, 2, "lbt", "The trunk of a benzel tree.|||", 0, -1},
        {3, 3, "t", "|||", -1, -1},
        {0, 0, "td", "A dead branch.|||", -1, 0},
        {0, 0, "dp", "A sleeping platform.|||", -1, 1},
        {0, 0, "j", "Junk.|||", -1, 0},
        {0, 0, "rdp", "a bunny rabbit.|||", -1, 2},
        {2, 2, "lsterp", "Tulip Keen|Poet|Health:100  Int: 12|Morale: 50  Wis:  7", 0, 2},
    };
    const auto index = [](auto* p, auto* first) { return p ? static_cast<int>(p - first) : -1; };
    for (const auto& [view, level, things, info, branch, creature] : cases) {
        empty_forest(view);
        for (const char* t = things; *t != '\0'; ++t) {
            if (*t == 'l') {
                array_append(leaves, Leaf{20, 10, level, 0x1E});
            } else if (*t == 'b' || *t == 's') {
                array_append(branch_segments, BranchSegment{20, 10, level, 0xC4, *t == 'b' ? 2 : 0,
                                                            *t == 'b' ? "benzel" : "sheewash", 0});
            } else if (*t == 't') {
                std::tie(great_trees[0].x, great_trees[0].y) = std::tuple(19, 10);  // right cell
            } else {
                add(*t, 20, 10, level);
            }
        }
        draw_map_view();
        EXPECT_EQ(std::tuple(text(0, 20, 28, 24), index(branch_under_cursor, branch_segments),
                             index(creature_under_cursor, creatures)),
                  std::tuple(std::string(info), branch, creature))
            << things << " at level " << level;
    }
    // The last cell holds an elf (slot 0): the status line offers to select it, except
    // while the player places a platform.
    EXPECT_EQ(row(24, 0, 4) + row(24, 46) + attrs(24, 46, 67),
              "100'  |  ENTER select elf        v1.37" + std::string("77777fffff77777777777"));
    menu_page = MENU_PLACE_PLATFORM;
    draw_map_view();
    EXPECT_EQ(row(24, 46), std::string(29, ' ') + "v1.37");
    // What the elf is doing; percentages are truncated (0.29f is a little below 0.29).
    std::tie(creatures[0].health, creatures[0].morale) = std::tuple(0.29f, 0.03f);
    const std::tuple<int, int, const char*> activities[] = {
        {ACT_SLEEPING, 0, " (sleeping)"},  {ACT_FALLING, 0, " (falling)"},
        {ACT_BUILDING, 0, " (building)"},  {ACT_WALKING, ARRIVE_SLEEP, " (to sleep)"},
        {ACT_WALKING, ARRIVE_PICK_UP, ""}, {ACT_EATING_PART, ARRIVE_SLEEP, ""}};
    for (const auto& [action, on_arrival, suffix] : activities) {
        std::tie(creatures[0].action, creatures[0].on_arrival) = std::tuple(action, on_arrival);
        draw_map_view();
        EXPECT_EQ(text(0, 20, 28, 24), "Tulip Keen|Poet" + std::string(suffix) +
                                           "|Health: 28  Int: 12|Morale:  2  Wis:  7");
    }
}

TEST_F(MapView, MapWindowGroundOrdersAndNotice) {
    empty_forest(0);
    draw_map_view();
    const Frame ground = buffer();
    // The ground depends only on the place: seen from one cell further up and left it
    // moves by one cell, and the new column at x = -1 is drawn too.
    std::tie(view_x, view_y) = std::tuple(-1, -1);
    draw_map_view();
    for (int i = 0; i < 54 * 20; ++i) {
        const int x = i % 54, y = i / 54;
        const Cell was = x > 0 && y > 0 ? ground[(y - 1) * SCREEN_WIDTH + x - 1] : Cell{};
        const bool moved =
            x == 0 || y == 0 || (glyph(x, y) == was.character && attr(x, y) == was.attribute);
        ASSERT_TRUE(glyph(x, y) != ' ' && moved) << x << ',' << y;
    }
    // Branch segments in each building state, two forest trees (the first marked for
    // harvest) and two elves (the first selected), side by side on the ground.
    std::tie(view_x, view_y) = std::tuple(0, 0);
    for (const std::int32_t state : {BUILD_REQUESTED, BUILD_UNDERWAY, BUILD_DONE, BUILD_NONE}) {
        array_append(branch_segments, BranchSegment{10 + array_length(branch_segments), 7, 0, 0xC4,
                                                    0, "benzel", state});
    }
    add('f', 14, 7, 0).action = 1;
    add('f', 15, 7, 0);
    selected_elf = &add('e', 16, 7, 0);
    add('e', 17, 7, 0);
    // Bit 0x200 of the clock picks the form; bit 0x100 does not.
    for (const auto& [time, cells] :
         {std::pair(0x1100u, "────♠♠☻☻666622Sf"), std::pair(0x1200u, "▒▒▒─ ♠☻☻bbb622Sf")}) {
        frame_time = time;
        draw_map_view();
        EXPECT_EQ(row(7, 10, 18) + attrs(7, 10, 18), cells) << time;
    }
    // A notice in the corner wraps inside the border and scrolls up to show its end.
    notice_text = "The elves have built nothing yet and the rabbits are getting bold";
    draw_map_view();
    EXPECT_EQ(text(38, 14, 54, 20),
              "╔══════════════╗|║nothing yet   ║|║and the       ║|"
              "║rabbits are   ║|║getting bold\" ║|╚══════════════╝");
    EXPECT_EQ(attrs(14, 38, 54) + attrs(15, 38, 39) + attrs(19, 38, 54) + attrs(18, 39, 42),
              std::string(33, '7') + "ccc");
}

// Creatures are drawn on their own level and seen through the shading from above, never
// at 150 feet; on one cell an elf shows over a rabbit, and a rabbit over anything else.
TEST_F(MapView, CreaturesOnEachLevel) {
    empty_forest(0);
    for (int level = 0; level < 4; ++level) {
        add('p', 21 + 2 * level, 10, level);  // cells the shading leaves see-through
    }
    add('e', 21, 12, 0);
    add('r', 21, 12, 0).glyph = 'b';
    add('p', 21, 12, 0);
    add('r', 23, 12, 0).glyph = 'b';
    add('p', 23, 12, 0);
    // Per view level, the platforms of levels 0 to 3 that show.
    const char* platforms[] = {"0...", "01..", "0.2.", "..2."};
    for (int level = 0; level < 4; ++level) {
        view_level = level;
        draw_map_view();
        std::string shown;
        for (int i = 0; i < 4; ++i) {
            shown += glyph(21 + 2 * i, 10) == 6 ? char('0' + i) : '.';
        }
        EXPECT_EQ(shown, platforms[level]) << "view level " << level;
    }
    view_level = 0;
    draw_map_view();
    EXPECT_EQ(glyph(21, 12), 2);
    EXPECT_EQ(glyph(23, 12), 'b');
}

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
// CANOPY_UPDATE_GOLDEN=1 rewrites the files.
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
            if (std::getenv("CANOPY_UPDATE_GOLDEN") != nullptr) {
                std::ofstream(path) << picture(frame);
            }
            ASSERT_EQ(picture(frame), file_text(path))
                << path << " (text 1-25, attributes 26-50); CANOPY_UPDATE_GOLDEN=1 rewrites it";
            press({"Tab"});
        }
    }
}

}  // namespace

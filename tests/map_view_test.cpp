// The forest on screen: the cursor and the viewport that follows it, what the info box
// says about the cell under the cursor, the status line, the levels seen from above,
// blinking orders, the notice box, the ground, the elf status lines, and whole screens
// of three worlds kept as golden files.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "ui/jobs.h"
#include "ui/menus.h"
#include "ui/status_panel.h"
#include "util/array.h"
#include "world/map_view.h"
#include "world/world.h"

namespace {

class MapView : public FreshGame {
  protected:
    // A forest with nothing near the map window; the cursor at (20, 10).
    static void empty_forest(std::int32_t level) {
        for (int t = 0; t < GREAT_TREE_SLOTS; ++t) {
            great_trees[t] = GreatTree{1000 + 10 * t, 1000, {}, "benzel"};
        }
        cursor_x = 20;
        cursor_y = 10;
        view_level = level;
    }

    // A creature by its letter: d dead branch, p platform, j junk, f forest tree, r rabbit,
    // e elf (Tulip Keen, a Poet of health 1, Int 12, morale 0.5, Wis 7).
    static Creature& add(char letter, std::int32_t x, std::int32_t y, std::int32_t level) {
        constexpr std::int32_t kinds[] = {KIND_DEAD_BRANCH, KIND_PLATFORM, KIND_JUNK,
                                          KIND_FOREST_TREE, KIND_RABBIT,   KIND_ELF};
        constexpr std::int32_t glyphs[] = {0xC6, 219, '?', 6, 'b', 2},
                               colours[] = {6, 6, 7, 2, 7, 15};
        const char* const names[] = {
            "A dead branch",     nullptr,     nullptr, "A healthy yew tree",
            DEFAULT_RABBIT_NAME, "Tulip Keen"};
        const auto i = std::string("dpjfre").find(letter);
        Creature& c = *find_free_slot();
        c = Creature{};
        c.x = x;
        c.y = y;
        c.level = level;
        c.kind = kinds[i];
        c.glyph = glyphs[i];
        c.colour = colours[i];
        c.name = names[i];
        c.job_title = "Poet";
        c.health = 1.0f;
        c.morale = 0.5f;
        c.intelligence = 12;
        c.wisdom = 7;
        return c;
    }

    static void draw(std::uint32_t time = 0) {
        frame_time = time;
        draw_map_view();
    }

    // Rows y0 to y1 - 1 of columns x0 to x1 - 1, right-trimmed, joined by '|'.
    static std::string rows(int x0, int y0, int x1, int y1) {
        std::string out;
        for (int y = y0; y < y1; ++y) {
            const std::string line = row(y, x0, x1);
            out += (y > y0 ? "|" : "") + line.substr(0, line.find_last_not_of(' ') + 1);
        }
        return out;
    }
    static std::string info() { return rows(0, 20, 28, 24); }

    // One character per cell: the hex digit of an attribute on black, else a letter:
    // g green box, G text in it, b blinking branch, S selected elf.
    static std::string attrs(int y, int x0, int x1) {
        static const std::map<std::uint16_t, char> LEGEND = {
            {0x20, 'g'}, {0x27, 'G'}, {0x56, 'b'}, {0x5F, 'S'}};
        std::string out;
        for (int x = x0; x < x1; ++x) {
            const std::uint16_t a = attr(x, y);
            out += a < 16 ? "0123456789abcdef"[a] : LEGEND.count(a) ? LEGEND.at(a) : '?';
        }
        return out;
    }

    // Runs one frame at the next tick count whose low ten bits are `phase`: 0x100 shows
    // the cursor highlighted and every blinking mark in its normal form.
    void run_frame_in_phase(std::uint32_t phase) {
        const std::uint32_t t = frame_time + 50;
        headless_set_clock(t + ((phase - t) & 0x3FF));
        run_frame();
    }
};

TEST_F(MapView, CursorMovesAndTheViewportFollowsInOneStep) {
    start(7);
    EXPECT_TRUE(cursor_x == 30 && cursor_y == 10 && view_level == 0 && view_x == 0 && view_y == 0 &&
                cursor_screen_x == 30 && cursor_screen_y == 10);
    struct Case {
        std::int32_t x, y, view_x, view_y;
        const char* key;
        std::int32_t to_view_x, to_view_y, screen_x, screen_y;
    } const cases[] = {
        {0, 5, 0, 0, "Left", -6, 0, 5, 5},
        {10, 19, 0, 0, "Down", 0, 3, 10, 17},
        {0, 0, 0, 0, "Home", -6, -3, 5, 2},
        {53, 19, 0, 0, "PgDn", 6, 3, 48, 17},
        {10, 10, 0, 0, "(", 0, 0, 10, 11},
        {10, 10, 0, 0, "&", 0, 0, 10, 9},
        {-131, -61, -130, -60, "Right", -130, -63, 0, 2},
    };
    for (const Case& c : cases) {
        cursor_x = c.x;
        cursor_y = c.y;
        view_x = c.view_x;
        view_y = c.view_y;
        press({c.key});
        EXPECT_TRUE(view_x == c.to_view_x && view_y == c.to_view_y &&
                    cursor_x - view_x == c.screen_x && cursor_y - view_y == c.screen_y)
            << c.key << " from " << c.x << ',' << c.y << ": cursor " << cursor_x << ',' << cursor_y
            << " view " << view_x << ',' << view_y;
        run_frame_in_phase(0x100);
        EXPECT_EQ(headless_last_frame()[c.screen_y * SCREEN_WIDTH + c.screen_x].attribute, 0x30)
            << c.key << ": the cursor does not show at " << c.screen_x << ',' << c.screen_y;
    }
    for (const std::int32_t level : {1, 2, 3, 0}) {
        press({"Tab"});
        EXPECT_TRUE(view_level == level && cursor_x == -130 && cursor_y == -61);
    }
}

TEST_F(MapView, InfoBoxDescribesTheCellUnderTheCursor) {
    // Things at the cursor, in the order placed: l leaf, b branch (benzel, 3 from the
    // trunk), s branch (sheewash, 1 from the trunk), t trunk, or a creature letter.
    struct Case {
        std::int32_t view_level, level;
        const char* things;
        const char* info;
        int branch, creature;  // index and slot left under the cursor, -1 for none
    } const cases[] = {
        {0, 0, "", "The ground.|||", -1, -1},
        {1, 1, "", "|||", -1, -1},
        {1, 0, "lbde", "|||", -1, -1},
        {3, 3, "l", "A leaf.|||", -1, -1},
        {1, 1, "lb", "A branch of a benzel tree, 3|from trunk.||", 0, -1},
        {1, 1, "bsl", "A branch of a sheewash tree,|1 from trunk.||", 1, -1},
        {2, 2, "lbt", "The trunk of a benzel tree.|||", 0, -1},
        {3, 3, "t", "|||", -1, -1},
        {0, 0, "td", "A dead branch.|||", -1, 0},
        {0, 0, "dp", "A sleeping platform.|||", -1, 1},
        {0, 0, "pdf", "A healthy yew tree.|||", -1, 2},
        {0, 0, "j", "Junk.|||", -1, 0},
        {0, 0, "rdp", "a bunny rabbit.|||", -1, 2},
        {0, 0, "erd", "Tulip Keen|Poet|Health:100  Int: 12|Morale: 50  Wis:  7", -1, 2},
        {2, 2, "lsterp", "Tulip Keen|Poet|Health:100  Int: 12|Morale: 50  Wis:  7", 0, 2},
    };
    for (const Case& c : cases) {
        reset_game();
        empty_forest(c.view_level);
        for (const char* t = c.things; *t != '\0'; ++t) {
            if (*t == 'l') {
                array_append(leaves, Leaf{20, 10, c.level, 0x1E});
            } else if (*t == 'b' || *t == 's') {
                array_append(branch_segments,
                             BranchSegment{20, 10, c.level, 0xC4, *t == 'b' ? 2 : 0,
                                           *t == 'b' ? "benzel" : "sheewash", BUILD_NONE});
            } else if (*t == 't') {
                great_trees[0].x = 19;  // the cursor on the trunk's right cell
                great_trees[0].y = 10;
            } else {
                add(*t, 20, 10, c.level);
            }
        }
        draw();
        EXPECT_EQ(info(), c.info) << c.things << " at level " << c.level;
        EXPECT_EQ(attrs(20, 0, 1), c.info[0] == '|' ? "g" : "G") << c.things;
        EXPECT_EQ(branch_under_cursor, c.branch < 0 ? nullptr : &branch_segments[c.branch])
            << c.things;
        EXPECT_EQ(creature_under_cursor, c.creature < 0 ? nullptr : &creatures[c.creature])
            << c.things;
    }
    // A leaf on the ground is described but never drawn.
    reset_game();
    empty_forest(0);
    draw();
    const std::string ground = rows(0, 0, 54, 20);
    array_append(leaves, Leaf{20, 10, 0, 0x1E});
    draw();
    EXPECT_EQ(info(), "A leaf.|||");
    EXPECT_EQ(rows(0, 0, 54, 20), ground);
}

TEST_F(MapView, StatusLineShowsAltitudeHintsAndVersion) {
    start(7);
    const std::string hints = "  |  TAB cycle levels  |  ↑↓→← move cursor";
    const std::string hint_colours = "77777fff777777777777777777ffff777777777777";
    const char* const altitudes[] = {"  0'", " 50'", "100'", "150'"};
    for (int level = 0; level < 4; ++level) {
        press({level == 0 ? "Right" : "Tab"});  // a key takes effect from the next frame on
        run_frames(1);
        EXPECT_EQ(row(24), altitudes[level] + hints + std::string(29, ' ') + "v1.37");
        EXPECT_EQ(attrs(24, 0, 80), "7777" + hint_colours + std::string(29, '0') + "33333");
    }
    press({"Tab"});
    Creature& elf = creatures[0];
    elf.timer = 1000;  // stands still
    // With an elf under the cursor Enter selects it, except while placing a platform.
    for (const char* key : {"Left", "c", "s", "b", "Esc"}) {
        press({key});
        cursor_x = elf.x;
        cursor_y = elf.y;
        run_frames(1);
        const bool placing = menu_page == MENU_PLACE_PLATFORM;
        EXPECT_EQ(placing, key == std::string("b"));
        EXPECT_EQ(row(24, 46),
                  (placing ? std::string(29, ' ') : "  |  ENTER select elf        ") + "v1.37")
            << key;
        EXPECT_EQ(attrs(24, 46, 67), placing ? std::string(21, '0') : "77777fffff77777777777");
    }
}

TEST_F(MapView, LowerLevelsShowThroughTheShading) {
    empty_forest(0);
    draw();
    const Frame ground = buffer();
    struct LeafAt {
        std::int32_t x, y, level;
    } const placed[] = {{4, 4, 1}, {5, 4, 1}, {4, 6, 2}, {5, 6, 2},
                        {4, 8, 3}, {5, 8, 3}, {6, 8, 4}};
    for (const LeafAt& l : placed) {
        array_append(leaves, Leaf{l.x, l.y, l.level, 0x1E});
    }
    // The colour each leaf above shows with at each view level; 0 where it is hidden.
    const std::uint16_t shown[4][7] = {{0, 0, 0, 0, 0, 0, 0},
                                       {10, 10, 0, 0, 0, 0, 0},
                                       {0, 7, 10, 10, 0, 0, 0},
                                       {0, 0, 2, 2, 10, 10, 0}};
    for (std::int32_t level = 0; level < 4; ++level) {
        view_level = level;
        draw();
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 54; ++x) {
                // Through every other cell the ground shows, dimmed, then in grey; the rest
                // is shaded, at level 3 all of it.
                const Cell below = ground[y * SCREEN_WIDTH + x];
                const bool odd = ((x ^ y) & 1) != 0;
                Cell expected = level == 0 ? below
                                : level == 1 && odd
                                    ? Cell{below.character, std::uint16_t(below.attribute & 7)}
                                : level == 1        ? Cell{0xB0, 0x07}
                                : level == 2 && odd ? Cell{below.character, 0x07}
                                                    : Cell{0xB0, 0x70};
                for (int i = 0; i < 7; ++i) {
                    if (placed[i].x == x && placed[i].y == y && shown[level][i] != 0) {
                        expected = Cell{0x1E, shown[level][i]};
                    }
                }
                ASSERT_TRUE(glyph(x, y) == expected.character && attr(x, y) == expected.attribute)
                    << "level " << level << " cell " << x << ',' << y << ": " << int(glyph(x, y))
                    << '/' << attr(x, y) << " instead of " << expected.character << '/'
                    << expected.attribute;
            }
        }
    }
}

TEST_F(MapView, OrdersBlinkAndTheSelectedElfStandsOut) {
    empty_forest(0);
    for (const std::int32_t state : {BUILD_REQUESTED, BUILD_UNDERWAY, BUILD_DONE, BUILD_NONE}) {
        array_append(branch_segments, BranchSegment{10 + array_length(branch_segments), 5, 1, 0xC4,
                                                    0, "benzel", state});
    }
    add('f', 10, 7, 0).action = 1;  // marked for harvest
    add('f', 11, 7, 0);
    selected_elf = &add('e', 12, 7, 0);
    add('e', 13, 7, 0);
    struct Case {
        std::uint32_t time;
        const char *branches, *branch_colours, *things;
    } const cases[] = {
        {0x1000, "────", "6666", "♠♠☻☻"},
        {0x1100, "────", "6666", "♠♠☻☻"},
        {0x1200, "▒▒▒─", "bbb6", " ♠☻☻"},
        {0x1300, "▒▒▒─", "bbb6", " ♠☻☻"},
    };
    for (const Case& c : cases) {
        view_level = 1;
        draw(c.time);
        EXPECT_EQ(row(5, 10, 14) + ' ' + attrs(5, 10, 14),
                  c.branches + std::string(" ") + c.branch_colours)
            << c.time;
        view_level = 0;
        draw(c.time);
        EXPECT_EQ(row(7, 10, 14) + ' ' + attrs(7, 10, 14), c.things + std::string(" 22Sf"))
            << c.time;
    }
}

TEST_F(MapView, NoticeBoxWrapsAndScrollsItsText) {
    struct Case {
        const char* text;
        const char* box;
    } const cases[] = {
        {"Hi",
         "╔══════════════╗|║              ║|║              ║|║              ║|"
         "║\"Hi\"          ║|╚══════════════╝"},
        {"What Elf would do such a thing?!",
         "╔══════════════╗|║              ║|║\"What Elf     ║|║would do such ║|"
         "║a thing?!\"    ║|╚══════════════╝"},
        {"The elves have built nothing yet and the rabbits are getting bold",
         "╔══════════════╗|║nothing yet   ║|║and the       ║|║rabbits are   ║|"
         "║getting bold\" ║|╚══════════════╝"},
    };
    for (const Case& c : cases) {
        empty_forest(0);
        notice_text = c.text;
        draw();
        EXPECT_EQ(rows(38, 14, 54, 20), c.box);
        EXPECT_EQ(attrs(14, 38, 54) + attrs(15, 38, 39) + attrs(19, 38, 54), std::string(33, '7'));
        EXPECT_EQ(attrs(18, 39, 42), "ccc") << c.text;
    }
}

TEST_F(MapView, GroundDependsOnlyOnThePlace) {
    empty_forest(0);
    std::map<std::pair<int, int>, std::pair<int, int>> seen;  // world cell -> glyph, colour
    const std::pair<int, int> views[] = {{0, 0},     {-1, 0}, {0, -1}, {-1, -1},     {-17, -9},
                                         {-40, -23}, {5, 3},  {0, 0},  {1000, -5000}};
    for (const auto& [vx, vy] : views) {
        view_x = vx;
        view_y = vy;
        draw(static_cast<std::uint32_t>(vx * 7));
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 54; ++x) {
                const std::pair<int, int> cell(glyph(x, y), attr(x, y));
                const auto [it, fresh] = seen.insert({{vx + x, vy + y}, cell});
                ASSERT_TRUE(cell.first != ' ' && (fresh || it->second == cell))
                    << "world cell " << vx + x << ',' << vy + y << " with view " << vx << ',' << vy
                    << (cell.first == ' ' ? " is a gap" : " differs");
            }
        }
    }
}

TEST_F(MapView, ElfStatusShowsActivityAndTruncatedPercentages) {
    struct Case {
        float health, morale, rested;
        std::int32_t action, on_arrival, stamina;
        const char* lines;
    } const cases[] = {
        {1.0f, 0.5f, 0.25f, ACT_IDLE, 0, 9,
         "Tulip Keen|Poet|Health:100  Int: 12|Morale: 50  Wis:  7|Rested: 25  Stam: 9"},
        {0.29f, 0.03f, 0.05f, ACT_SLEEPING, 0, 14,
         "Tulip Keen|Poet (sleeping)|Health: 28  Int: 12|Morale:  2  Wis:  7|Rested:  5  Stam:14"},
        {0.5f, 1.0f, 0, ACT_FALLING, 0, 8,
         "Tulip Keen|Poet (falling)|Health: 50  Int: 12|Morale:100  Wis:  7|Rested:  0  Stam: 8"},
        {1, 0, 0, ACT_WALKING, ARRIVE_SLEEP, 8, "Tulip Keen|Poet (to sleep)|"},
        {1, 0, 0, ACT_WALKING, ARRIVE_PICK_UP, 8, "Tulip Keen|Poet|"},
        {1, 0, 0, ACT_BUILDING, ARRIVE_BUILD, 8, "Tulip Keen|Poet (building)|"},
        {1, 0, 0, ACT_EATING_PART, ARRIVE_SLEEP, 8, "Tulip Keen|Poet|"},
    };
    for (const Case& c : cases) {
        Creature& elf = add('e', 0, 0, 0);
        elf.health = c.health;
        elf.morale = c.morale;
        elf.rested = c.rested;
        elf.action = c.action;
        elf.on_arrival = c.on_arrival;
        elf.stamina = c.stamina;
        set_window(0, 0, 28, 5);
        clear_window(0x20);
        draw_elf_status(&elf);
        EXPECT_EQ(rows(0, 0, 28, 5).substr(0, std::string(c.lines).size()), c.lines);
        elf.kind = KIND_FREE;
    }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A whole screen against its golden file: 25 rows of text, then 25 rows of attributes.
// CANOPY_UPDATE_GOLDEN=1 rewrites the file instead.
void expect_golden_screen(const std::string& name, const Frame& frame) {
    const std::string path = std::string(CANOPY_GOLDEN_DIR) + "/" + name;
    const std::string actual = frame_text(frame) + frame_attributes(frame);
    if (std::getenv("CANOPY_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path) << actual;
        return;
    }
    std::stringstream golden;
    golden << std::ifstream(path).rdbuf();
    const auto want = lines_of(golden.str()), got = lines_of(actual);
    ASSERT_EQ(want.size(), got.size()) << path << " (CANOPY_UPDATE_GOLDEN=1 writes it)";
    std::string report;
    for (std::size_t i = 0, shown = 0; i < want.size() && shown < 3; ++i) {
        if (want[i] != got[i]) {
            report += (i < SCREEN_HEIGHT ? "\ntext row " : "\nattribute row ") +
                      std::to_string(i % SCREEN_HEIGHT) + "\n  expected: " + want[i] +
                      "\n  actual:   " + got[i];
            ++shown;
        }
    }
    EXPECT_EQ(report, "") << name << ", first differing rows";
}

TEST_F(MapView, GoldenScreensAtEveryLevel) {
    for (const std::uint32_t seed : {7u, 1234u, 900001u}) {
        headless_reset();
        reset_game();
        console_open();
        start(seed);
        for (int level = 0; level < 4; ++level) {
            if (level > 0) {
                press({"Tab"});
            }
            run_frames(3);
            run_frame_in_phase(0x100);
            expect_golden_screen(
                "map_seed" + std::to_string(seed) + "_level" + std::to_string(level) + ".txt",
                headless_last_frame());
        }
    }
}

}  // namespace

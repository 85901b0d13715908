#include "world/map_view.h"

#include "app/game.h"
#include "app/version.h"
#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "terminal/screen.h"
#include "ui/jobs.h"
#include "ui/menus.h"
#include "ui/status_panel.h"
#include "util/array.h"
#include "util/random.h"
#include "world/world.h"

const char* notice_text;

// The picture is rebuilt every frame, but most of it is the same as the frame before:
// the ground of a view position never changes, and the leaves and branches stay where
// they grew. So the view keeps, each rebuilt only when what it was made from changes:
//   - the leaves and branch segments of each level (when the world's arrays change),
//   - for the view position: the ground as drawn, and the leaves and segments in sight.
// Of the creatures it keeps nothing, since they move: take_census reads their table
// once a frame, for the cell description and for every level drawn.
namespace {

constexpr std::int32_t MAP_WIDTH = 54;
constexpr std::int32_t MAP_HEIGHT = 20;
// Leaves grow up to level 4, but only the levels 0 to 3 can be viewed.
constexpr std::int32_t VIEW_LEVELS = LEVEL_COUNT;
// Creatures are drawn on the ground, at 50 and at 100 feet, never at 150.
constexpr std::int32_t CREATURE_LEVELS = 3;

bool blink_phase() {
    return (frame_time & 0x200) != 0;
}

auto glyph_of(std::uint32_t glyph) {
    return static_cast<std::uint8_t>(glyph & 0xFF);
}
auto attr_of(std::int32_t colour) {
    return static_cast<std::uint16_t>(colour);
}

bool at_cursor(std::int32_t x, std::int32_t y, std::int32_t level) {
    return x == cursor_x && y == cursor_y && level == view_level;
}

// A world position's cell on the screen, clipped to the current window and the screen;
// here, beside the map's loops, so that they can inline it.
void put_world_cell(std::int32_t map_x, std::int32_t map_y, std::uint8_t ch, std::uint16_t attr) {
    const std::int32_t x = map_x - view_x;
    const std::int32_t y = map_y - view_y;
    if (y >= win_y0 && y < win_y1 && x >= win_x0 && x < win_x1 && x >= 0 && x < SCREEN_WIDTH &&
        y >= 0 && y < SCREEN_HEIGHT) {
        screen_buffer[y * SCREEN_WIDTH + x] = Cell{ch, attr};
    }
}

// The screen cell of a world position when it lies in the map window, else -1.
std::int32_t map_cell_index(std::int32_t map_x, std::int32_t map_y) {
    const std::int64_t x = static_cast<std::int64_t>(map_x) - view_x;
    const std::int64_t y = static_cast<std::int64_t>(map_y) - view_y;
    if (x < 0 || x >= MAP_WIDTH || y < 0 || y >= MAP_HEIGHT) {
        return -1;
    }
    return static_cast<std::int32_t>(y * SCREEN_WIDTH + x);
}

// ---- The leaves and branch segments of each level -------------------------------------

struct LeafSpot {
    std::int32_t x, y;
    std::uint8_t glyph;
};

// Growable arrays, in the order of the world's own arrays.
LeafSpot* leaves_by_level[VIEW_LEVELS];
std::int32_t* segments_by_level[VIEW_LEVELS];  // indices into branch_segments

// The arrays the lists were made from. The trees only ever change in build_state, which
// is read from the segments themselves when drawn.
const Leaf* listed_leaves;
std::int32_t listed_leaf_count = -1;
const BranchSegment* listed_segments;
std::int32_t listed_segment_count = -1;

// ---- What the view position shows of them, and its ground -----------------------------

struct SpotOnScreen {
    std::uint16_t cell;  // index into screen_buffer
    std::uint8_t glyph;
};
struct SegmentOnScreen {
    std::uint16_t cell;
    std::int32_t index;  // into branch_segments
};

bool sight_valid;
std::int32_t sight_x, sight_y;  // the view position the sight was taken for
Cell ground[MAP_HEIGHT][MAP_WIDTH];
// The small generator as the ground blocks leave it: it is not restored after drawing.
std::uint32_t lcg_after_ground;
SpotOnScreen* leaves_in_sight[VIEW_LEVELS];
SegmentOnScreen* segments_in_sight[VIEW_LEVELS];

// ---- The creatures of this frame ------------------------------------------------------

// The passes in which creatures are drawn on a level: elves over rabbits over the rest.
enum : std::int32_t { PASS_THINGS, PASS_RABBITS, PASS_ELVES, PASS_COUNT };

struct CreatureOnScreen {
    const Creature* creature;
    std::int32_t cell;
};

// The creatures in the map window, by level and pass, in slot order; and those at the
// cursor's cell, in slot order.
CreatureOnScreen in_sight[CREATURE_LEVELS][PASS_COUNT][CREATURE_SLOTS];
std::int32_t in_sight_count[CREATURE_LEVELS][PASS_COUNT];
Creature* at_cursor_cell[CREATURE_SLOTS];
std::int32_t at_cursor_count;

// Keeps the array's room for the next filling; an array never filled stays null.
template <typename T>
void empty_array(T*& a) {
    if (a != nullptr) {
        a = static_cast<T*>(array_set_length(a, static_cast<std::int32_t>(sizeof(T)), 0));
    }
}
template <typename T>
void forget_array(T*& a) {
    array_free(a);
    a = nullptr;
}

void list_trees_by_level() {
    if (listed_leaves == leaves && listed_leaf_count == array_length(leaves) &&
        listed_segments == branch_segments &&
        listed_segment_count == array_length(branch_segments)) {
        return;
    }
    for (std::int32_t level = 0; level < VIEW_LEVELS; ++level) {
        empty_array(leaves_by_level[level]);
        empty_array(segments_by_level[level]);
    }
    const std::int32_t leaf_count = array_length(leaves);
    for (std::int32_t i = 0; i < leaf_count; ++i) {
        const Leaf& leaf = leaves[i];
        if (leaf.level >= 0 && leaf.level < VIEW_LEVELS) {
            array_append(leaves_by_level[leaf.level],
                         LeafSpot{leaf.x, leaf.y, glyph_of(leaf.glyph)});
        }
    }
    const std::int32_t segment_count = array_length(branch_segments);
    for (std::int32_t i = 0; i < segment_count; ++i) {
        const std::int32_t level = branch_segments[i].level;
        if (level >= 0 && level < VIEW_LEVELS) {
            array_append(segments_by_level[level], i);
        }
    }
    listed_leaves = leaves;
    listed_leaf_count = leaf_count;
    listed_segments = branch_segments;
    listed_segment_count = segment_count;
    sight_valid = false;
}

// Draws the ground block by block into the map window (the current window), and keeps
// the result: the ground only changes when the view moves.
void draw_ground_for_sight() {
    clear_window(7);
    // Block numbers round toward minus infinity, so negative views have no seam at 0.
    for (std::int32_t by = view_y >> 3; by <= (view_y + 25) >> 3; ++by) {
        for (std::int32_t bx = view_x >> 4; bx <= (view_x + 60) >> 4; ++bx) {
            draw_ground_block(bx, by);
        }
    }
    for (std::int32_t y = 0; y < MAP_HEIGHT; ++y) {
        for (std::int32_t x = 0; x < MAP_WIDTH; ++x) {
            ground[y][x] = screen_buffer[y * SCREEN_WIDTH + x];
        }
    }
    lcg_after_ground = lcg_state;
}

// The leaves and segments in the map window, and its ground, for the current view
// position; taken again only when the view moves or the trees were listed again.
// Returns whether the ground has been drawn already.
bool take_sight() {
    if (sight_valid && sight_x == view_x && sight_y == view_y) {
        return false;
    }
    draw_ground_for_sight();
    for (std::int32_t level = 0; level < VIEW_LEVELS; ++level) {
        empty_array(leaves_in_sight[level]);
        const std::int32_t leaf_count = array_length(leaves_by_level[level]);
        for (std::int32_t i = 0; i < leaf_count; ++i) {
            const LeafSpot& leaf = leaves_by_level[level][i];
            const std::int32_t cell = map_cell_index(leaf.x, leaf.y);
            if (cell >= 0) {
                array_append(leaves_in_sight[level],
                             SpotOnScreen{static_cast<std::uint16_t>(cell), leaf.glyph});
            }
        }
        empty_array(segments_in_sight[level]);
        const std::int32_t segment_count = array_length(segments_by_level[level]);
        for (std::int32_t i = 0; i < segment_count; ++i) {
            const std::int32_t index = segments_by_level[level][i];
            const std::int32_t cell =
                map_cell_index(branch_segments[index].x, branch_segments[index].y);
            if (cell >= 0) {
                array_append(segments_in_sight[level],
                             SegmentOnScreen{static_cast<std::uint16_t>(cell), index});
            }
        }
    }
    sight_x = view_x;
    sight_y = view_y;
    sight_valid = true;
    return true;
}

// The one walk over the creature table in a frame: who is at the cursor, and who is in
// the map window on each level drawn, sorted into the passes they are drawn in.
void take_census() {
    at_cursor_count = 0;
    for (auto& level : in_sight_count) {
        for (std::int32_t& count : level) {
            count = 0;
        }
    }
    for (Creature& c : creatures) {
        if (c.kind == KIND_FREE) {
            continue;
        }
        if (at_cursor(c.x, c.y, c.level)) {
            at_cursor_cell[at_cursor_count++] = &c;
        }
        if (c.level < 0 || c.level >= CREATURE_LEVELS) {
            continue;
        }
        const std::int32_t cell = map_cell_index(c.x, c.y);
        if (cell < 0) {
            continue;
        }
        const std::int32_t pass = c.kind == KIND_ELF      ? PASS_ELVES
                                  : c.kind == KIND_RABBIT ? PASS_RABBITS
                                                          : PASS_THINGS;
        in_sight[c.level][pass][in_sight_count[c.level][pass]++] = CreatureOnScreen{&c, cell};
    }
}

// One pass over the creatures at the cursor's cell, in slot order; the last one seen
// is the creature under the cursor.
template <typename Describe>
void creature_pass(Describe describe) {
    for (std::int32_t i = 0; i < at_cursor_count; ++i) {
        creature_under_cursor = at_cursor_cell[i];
        describe(*at_cursor_cell[i]);
    }
}

// Describes the cell under the cursor; the last text shown wins. Returns whether an
// elf stands there.
bool describe_cursor_cell() {
    select_info_window();
    clear_window(0x20);
    branch_under_cursor = nullptr;
    creature_under_cursor = nullptr;
    if (view_level == 0) {
        show_info("The ground.");
    }
    if (view_level >= 0 && view_level < VIEW_LEVELS) {
        const LeafSpot* level_leaves = leaves_by_level[view_level];
        const std::int32_t leaf_count = array_length(level_leaves);
        for (std::int32_t i = 0; i < leaf_count; ++i) {
            if (level_leaves[i].x == cursor_x && level_leaves[i].y == cursor_y) {
                show_info("A leaf.");
                break;  // a second leaf would say the same
            }
        }
        const std::int32_t* level_segments = segments_by_level[view_level];
        const std::int32_t segment_count = array_length(level_segments);
        for (std::int32_t i = 0; i < segment_count; ++i) {
            BranchSegment& segment = branch_segments[level_segments[i]];
            if (segment.x == cursor_x && segment.y == cursor_y) {
                show_info("A branch of a %s tree, %d from trunk.\n", segment.species,
                          segment.distance + 1);
                branch_under_cursor = &segment;
            }
        }
    }
    if (view_level < 3) {
        for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
            const GreatTree& tree = great_trees[i];
            if (tree.y == cursor_y && (tree.x == cursor_x || tree.x + 1 == cursor_x)) {
                show_info("The trunk of a %s tree.\n", tree.species);
            }
        }
    }
    // Three passes, so an elf's status wins over a rabbit, and a rabbit over the rest.
    creature_pass([](const Creature& c) {
        if (c.kind == KIND_PLATFORM) {
            show_info("A sleeping platform.");
        } else if (c.kind == KIND_JUNK) {
            show_info("Junk.");
        } else if (c.kind != KIND_ELF) {
            show_info("%s.", c.name);
        }
    });
    creature_pass([](const Creature& c) {
        if (c.kind == KIND_RABBIT) {
            show_info("%s.", c.name);
        }
    });
    bool elf_here = false;
    creature_pass([&elf_here](const Creature& c) {
        if (c.kind == KIND_ELF) {
            clear_window(0x20);
            draw_elf_status(&c);
            elf_here = true;
        }
    });
    return elf_here;
}

void draw_status_line(bool elf_here) {
    select_status_line();
    clear_window(0);
    if (elf_here && menu_page != MENU_PLACE_PLATFORM) {
        print_fmt(
            "%3d'  |  {TAB} cycle levels  |  {\x18\x19\x1a\x1b} move cursor  |  {ENTER} select elf",
            view_level * 50);
    } else {
        print_fmt("%3d'  |  {TAB} cycle levels  |  {\x18\x19\x1a\x1b} move cursor",
                  view_level * 50);
    }
    print_x = 75;
    text_fg = 3;
    print_text(GAME_VERSION);
}

// The ground of the view position, as draw_ground_block draws it block by block.
void draw_ground() {
    if (take_sight()) {
        return;
    }
    for (std::int32_t y = 0; y < MAP_HEIGHT; ++y) {
        for (std::int32_t x = 0; x < MAP_WIDTH; ++x) {
            screen_buffer[y * SCREEN_WIDTH + x] = ground[y][x];
        }
    }
    lcg_state = lcg_after_ground;
    // Where clearing the window before the blocks leaves the print position.
    print_x = win_x0;
    print_y = win_y0;
}

void draw_trees(std::int32_t level) {
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        put_world_cell(great_trees[i].x, great_trees[i].y, TRUNK_LEFT_GLYPH, TRUNK_COLOUR);
        put_world_cell(great_trees[i].x + 1, great_trees[i].y, TRUNK_RIGHT_GLYPH, TRUNK_COLOUR);
    }
    const bool blinking = blink_phase();
    const SegmentOnScreen* in_view = segments_in_sight[level];
    const std::int32_t count = array_length(in_view);
    for (std::int32_t i = 0; i < count; ++i) {
        const BranchSegment& segment = branch_segments[in_view[i].index];
        if (segment.build_state != BUILD_NONE && blinking) {
            screen_buffer[in_view[i].cell] = Cell{0xB1, 0x56};
        } else {
            screen_buffer[in_view[i].cell] = Cell{glyph_of(segment.glyph), 6};
        }
    }
}

void draw_leaves(std::int32_t level) {
    const std::uint16_t colour = level == view_level ? 10 : 2;
    const SpotOnScreen* in_view = leaves_in_sight[level];
    const std::int32_t count = array_length(in_view);
    for (std::int32_t i = 0; i < count; ++i) {
        screen_buffer[in_view[i].cell] = Cell{in_view[i].glyph, colour};
    }
}

void draw_creatures(std::int32_t level) {
    const bool blinking = blink_phase();
    for (std::int32_t pass = 0; pass < PASS_COUNT; ++pass) {
        const CreatureOnScreen* seen = in_sight[level][pass];
        for (std::int32_t i = 0; i < in_sight_count[level][pass]; ++i) {
            const Creature& c = *seen[i].creature;
            std::uint8_t glyph = glyph_of(c.glyph);
            std::int32_t colour = c.colour;
            if (pass == PASS_THINGS && c.kind == KIND_FOREST_TREE && c.action != 0 && blinking) {
                glyph = ' ';  // marked for harvest
            } else if (pass == PASS_ELVES && &c == selected_elf) {
                colour |= 0x50;
            }
            screen_buffer[seen[i].cell] = Cell{glyph, attr_of(colour)};
        }
    }
}

// Seen from above, the lower levels show through every other cell.
template <typename ShadeCell>
void shade_map_window(ShadeCell shade) {
    for (std::int32_t y = win_y0; y < win_y1; ++y) {
        for (std::int32_t x = win_x0; x < win_x1; ++x) {
            shade(x, y, screen_buffer[y * SCREEN_WIDTH + x]);
        }
    }
}

void draw_notice_box() {
    set_window(win_x1 - 16, win_y1 - 6, win_x1, win_y1);
    clear_window(0);
    for (std::int32_t x = win_x0; x < win_x1; ++x) {
        put_cell(x, win_y0, 0xCD, 7);
        put_cell(x, win_y1 - 1, 0xCD, 7);
    }
    for (std::int32_t y = win_y0; y < win_y1; ++y) {
        put_cell(win_x0, y, 0xBA, 7);
        put_cell(win_x1 - 1, y, 0xBA, 7);
    }
    put_cell(win_x0, win_y0, 0xC9, 7);
    put_cell(win_x1 - 1, win_y0, 0xBB, 7);
    put_cell(win_x1 - 1, win_y1 - 1, 0xBC, 7);
    put_cell(win_x0, win_y1 - 1, 0xC8, 7);
    set_window(win_x0 + 1, win_y0 + 1, win_x1 - 1, win_y1 - 1);
    set_text_colour(12, 0);
    print_fmt("\"%s\"", notice_text);
}

void draw_map() {
    select_map_window();
    draw_ground();
    draw_trees(0);
    draw_creatures(0);
    if (view_level == 1) {
        shade_map_window([](std::int32_t x, std::int32_t y, Cell& cell) {
            if (((x ^ y) & 1) == 0) {
                cell = Cell{0xB0, 7};
            } else {
                cell.attribute &= 7;
            }
        });
        draw_leaves(1);
        draw_trees(1);
        draw_creatures(1);
    } else if (view_level == 2 || view_level == 3) {
        draw_leaves(1);
        shade_map_window([](std::int32_t x, std::int32_t y, Cell& cell) {
            if (view_level == 2 && ((x ^ y) & 1) == 1) {
                cell.attribute = 7;
            } else {
                cell = Cell{0xB0, 0x70};
            }
        });
        draw_leaves(2);
        draw_trees(2);
        draw_creatures(2);
        if (view_level == 3) {
            draw_leaves(3);
        }
    }
    if (notice_text != nullptr) {
        draw_notice_box();
    }
}

}  // namespace

void draw_ground_block(std::int32_t bx, std::int32_t by) {
    lcg_reseed(static_cast<std::uint32_t>(by) * 30000u + static_cast<std::uint32_t>(bx));
    const std::uint32_t v = lcg_next();
    const bool has_patch = ((v >> 8) & 63) > 40;
    const std::uint32_t patch_tile = (v >> 18) & 15;
    const std::int32_t x0 = 16 * bx;
    const std::int32_t y0 = 8 * by;
    for (std::int32_t j = 0; j < 8; ++j) {
        for (std::int32_t i = 0; i < 16; ++i) {
            const std::uint32_t r = lcg_next();
            std::uint32_t t = (r >> 8) & 15;
            if (has_patch) {
                const std::int32_t q = (i - 8) * (i - 8) + 4 * (j - 4) * (j - 4);
                if ((q < 25 || (q < 49 && (r & 31) < 20)) && (r >> 24) < 60) {
                    t = patch_tile;
                }
            }
            const auto glyph = glyph_of(ground_tiles[t].glyph);
            const auto colour = static_cast<std::uint16_t>(ground_tiles[t].colour);
            put_world_cell(x0 + i, y0 + j, glyph, colour);
            // Some tiles spill onto their western or north-western neighbour, which
            // breaks up the block edges.
            const std::uint32_t s = (r >> 16) & 15;
            if (s == 0) {
                put_world_cell(x0 + i - 1, y0 + j, glyph, colour);
            } else if (s == 1) {
                put_world_cell(x0 + i - 1, y0 + j - 1, glyph, colour);
            }
        }
    }
}

void draw_map_view() {
    list_trees_by_level();
    take_census();
    const bool elf_here = describe_cursor_cell();
    draw_status_line(elf_here);
    draw_map();
}

void reset_map_view() {
    for (std::int32_t level = 0; level < VIEW_LEVELS; ++level) {
        forget_array(leaves_by_level[level]);
        forget_array(segments_by_level[level]);
        forget_array(leaves_in_sight[level]);
        forget_array(segments_in_sight[level]);
    }
    listed_leaves = nullptr;
    listed_leaf_count = -1;
    listed_segments = nullptr;
    listed_segment_count = -1;
    sight_valid = false;
    at_cursor_count = 0;
}

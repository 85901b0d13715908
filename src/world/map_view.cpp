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

namespace {

constexpr std::int32_t MAP_WIDTH = 54;
constexpr std::int32_t MAP_HEIGHT = 20;

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

// One pass over the creatures at the cursor's cell, in slot order; the last one seen
// is the creature under the cursor.
template <typename Describe>
void creature_pass(Describe describe) {
    for (Creature& c : creatures) {
        if (c.kind != KIND_FREE && at_cursor(c.x, c.y, c.level)) {
            creature_under_cursor = &c;
            describe(c);
        }
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
    for (std::int32_t i = 0; i < array_length(leaves); ++i) {
        if (at_cursor(leaves[i].x, leaves[i].y, leaves[i].level)) {
            show_info("A leaf.");
        }
    }
    for (std::int32_t i = 0; i < array_length(branch_segments); ++i) {
        BranchSegment& segment = branch_segments[i];
        if (at_cursor(segment.x, segment.y, segment.level)) {
            show_info("A branch of a %s tree, %d from trunk.\n", segment.species,
                      segment.distance + 1);
            branch_under_cursor = &segment;
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
    clear_window(7);
    // Block numbers round toward minus infinity, so negative views have no seam at 0.
    for (std::int32_t by = view_y >> 3; by <= (view_y + 25) >> 3; ++by) {
        for (std::int32_t bx = view_x >> 4; bx <= (view_x + 60) >> 4; ++bx) {
            draw_ground_block(bx, by);
        }
    }
    draw_trees(0);
    draw_creatures(0);
    if (view_level == 1) {
        shade_map_window([](std::int32_t x, std::int32_t y, Cell& cell) {
            if (((x ^ y) & 1) == 0) {
                put_cell(x, y, 0xB0, 7);
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
                put_cell(x, y, 0xB0, 0x70);
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
            put_map_cell(x0 + i, y0 + j, glyph, colour);
            // Some tiles spill onto their western or north-western neighbour, which
            // breaks up the block edges.
            const std::uint32_t s = (r >> 16) & 15;
            if (s == 0) {
                put_map_cell(x0 + i - 1, y0 + j, glyph, colour);
            } else if (s == 1) {
                put_map_cell(x0 + i - 1, y0 + j - 1, glyph, colour);
            }
        }
    }
}

void draw_trees(std::int32_t level) {
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        put_map_cell(great_trees[i].x, great_trees[i].y, TRUNK_LEFT_GLYPH, TRUNK_COLOUR);
        put_map_cell(great_trees[i].x + 1, great_trees[i].y, TRUNK_RIGHT_GLYPH, TRUNK_COLOUR);
    }
    for (std::int32_t i = 0; i < array_length(branch_segments); ++i) {
        const BranchSegment& segment = branch_segments[i];
        if (segment.level != level) {
            continue;
        }
        if (segment.build_state != BUILD_NONE && blink_phase()) {
            put_map_cell(segment.x, segment.y, 0xB1, 0x56);
        } else {
            put_map_cell(segment.x, segment.y, glyph_of(segment.glyph), 6);
        }
    }
}

void draw_leaves(std::int32_t level) {
    const std::uint16_t colour = level == view_level ? 10 : 2;
    for (std::int32_t i = 0; i < array_length(leaves); ++i) {
        if (leaves[i].level == level) {
            put_map_cell(leaves[i].x, leaves[i].y, glyph_of(leaves[i].glyph), colour);
        }
    }
}

void draw_creatures(std::int32_t level) {
    for (const Creature& c : creatures) {
        if (c.level != level || c.kind == KIND_FREE || c.kind == KIND_ELF ||
            c.kind == KIND_RABBIT) {
            continue;
        }
        const bool marked = c.kind == KIND_FOREST_TREE && c.action != 0;
        const auto glyph = marked && blink_phase() ? std::uint8_t{' '} : glyph_of(c.glyph);
        put_map_cell(c.x, c.y, glyph, attr_of(c.colour));
    }
    for (const Creature& c : creatures) {
        if (c.level == level && c.kind == KIND_RABBIT) {
            put_map_cell(c.x, c.y, glyph_of(c.glyph), attr_of(c.colour));
        }
    }
    for (const Creature& c : creatures) {
        if (c.level == level && c.kind == KIND_ELF) {
            const std::int32_t colour = &c == selected_elf ? (c.colour | 0x50) : c.colour;
            put_map_cell(c.x, c.y, glyph_of(c.glyph), attr_of(colour));
        }
    }
}

void draw_map_view() {
    const bool elf_here = describe_cursor_cell();
    draw_status_line(elf_here);
    draw_map();
}

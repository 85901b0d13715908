#include "world/world.h"

#include <cstring>

#include "util/array.h"
#include "world/map_view.h"

GreatTree great_trees[GREAT_TREE_SLOTS];
BranchSegment* branch_segments;
Leaf* leaves;

std::int32_t cursor_x, cursor_y;
std::int32_t view_level;
BranchSegment* branch_under_cursor;
Creature* creature_under_cursor;
std::int32_t trunk_side;

std::int32_t trunk_at(std::int32_t x, std::int32_t y) {
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        const GreatTree& tree = great_trees[i];
        if (tree.y == y && (tree.x == x || tree.x + 1 == x)) {
            trunk_side = x - tree.x;
            return 1;
        }
    }
    return 0;
}

std::uint8_t branch_glyph(std::int32_t direction) {
    return branch_glyphs[direction & 3];
}

void reset_world() {
    std::memset(great_trees, 0, sizeof great_trees);
    array_free(branch_segments);
    array_free(leaves);
    branch_segments = nullptr;
    leaves = nullptr;
    cursor_x = cursor_y = 0;
    view_level = 0;
    branch_under_cursor = nullptr;
    creature_under_cursor = nullptr;
    trunk_side = 0;
    reset_map_view();
}

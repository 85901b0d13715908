// The forest: an unbounded plane of integer positions on four levels, the great trees
// with their branches and leaves, the glyph tables, and the shared cursor.
#pragma once

#include <cstdint>

constexpr std::int32_t LEVEL_COUNT = 4;
constexpr std::int32_t GREAT_TREE_SLOTS = 12;
constexpr std::int32_t GREAT_TREE_COUNT = 6;

constexpr std::int32_t dir_dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr std::int32_t dir_dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

enum : std::int32_t {
    BUILD_NONE = 0,
    BUILD_REQUESTED = 1,
    BUILD_UNDERWAY = 2,
    BUILD_DONE = 3,
};

struct GreatTree {
    std::int32_t x;  // the trunk's left cell
    std::int32_t y;
    std::uint32_t branch_paths[3][8];  // [level][direction], 2 bits a step
    const char* species;
};

struct BranchSegment {
    std::int32_t x, y;
    std::int32_t level;
    std::uint32_t glyph;
    std::int32_t distance;  // steps from the trunk, 0 for the first
    const char* species;
    std::int32_t build_state;
};

struct Leaf {
    std::int32_t x, y;
    std::int32_t level;  // 0..4
    std::uint32_t glyph;
};

struct GroundTile {
    std::uint32_t glyph;
    std::uint32_t colour;
};

constexpr std::uint8_t TRUNK_LEFT_GLYPH = 0x11;
constexpr std::uint8_t TRUNK_RIGHT_GLYPH = 0x10;
constexpr std::uint16_t TRUNK_COLOUR = 6;

constexpr std::uint8_t branch_glyphs[4] = {0x7C, 0x2F, 0xC4, 0x5C};
constexpr std::uint8_t leaf_glyphs[4] = {0x21, 0xAD, 0x1E, 0x07};
constexpr GroundTile ground_tiles[16] = {
    {0xFA, 2}, {0xFA, 6}, {0xFA, 14}, {0x07, 6}, {0x2E, 7}, {0x3A, 2}, {0x3A, 6}, {0xFA, 10},
    {0xFA, 2}, {0xFA, 6}, {0xFA, 14}, {0x07, 6}, {0x2E, 7}, {0x3A, 2}, {0x3A, 6}, {0xFA, 10},
};

extern GreatTree great_trees[GREAT_TREE_SLOTS];
extern BranchSegment* branch_segments;  // growable array
extern Leaf* leaves;                    // growable array

struct Creature;

extern std::int32_t cursor_x, cursor_y;
extern std::int32_t view_level;
extern BranchSegment* branch_under_cursor;
extern Creature* creature_under_cursor;
extern std::int32_t trunk_side;

// 1 when (x, y) is either trunk cell of a great tree (on every level), setting
// trunk_side to 0 for the left cell and 1 for the right; else 0, trunk_side untouched.
std::int32_t trunk_at(std::int32_t x, std::int32_t y);
std::uint8_t branch_glyph(std::int32_t direction);

// Back to the empty world of a new process.
void reset_world();

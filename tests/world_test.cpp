// The forest by hand: where great trunks stand and how a branch grows along its path,
// and which slot a new creature takes when the table is full. Whole worlds are kept as
// golden screens.
#include <algorithm>
#include <span>
#include <sstream>
#include <string>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "util/array.h"
#include "world/trees.h"
#include "world/world.h"

namespace {

using World = FreshGame;

// Every branch segment as "x,y,level glyph distance species; ", in array order.
std::string segments() {
    std::ostringstream out;
    for (const BranchSegment& s : std::span(branch_segments, array_length(branch_segments))) {
        out << s.x << ',' << s.y << ',' << s.level << ' ' << s.glyph << ' ' << s.distance << ' '
            << s.species << "; ";
    }
    return out.str();
}

// Trees at (10 t, 5 + t) in all twelve slots: only the first six count.
TEST_F(World, HandMadeTreesFindTrunksAndGrowTheirPaths) {
    for (int t = 0; t < GREAT_TREE_SLOTS; ++t) {
        great_trees[t] = GreatTree{10 * t, 5 + t, {}, "benzel"};
    }
    struct Case {
        std::int32_t x, y, found, side;  // side -1: trunk_side left as it was
    } const cases[] = {{0, 5, 1, 0},  {1, 5, 1, 1},   {2, 5, 0, -1},
                       {0, 6, 0, -1}, {51, 10, 1, 1}, {60, 11, 0, -1}};
    for (const Case& c : cases) {
        trunk_side = -1;  // braces: trunk_at runs before trunk_side is read
        EXPECT_EQ((std::pair{trunk_at(c.x, c.y), trunk_side}), std::pair(c.found, c.side))
            << c.x << ',' << c.y;
    }
    great_trees[0].branch_paths[1][0] = 2u << 4;                 // only the third group set
    great_trees[0].branch_paths[1][6] = 1u | 2u << 2 | 3u << 4;  // left, straight, right
    grow_trees();
    // North from the right trunk cell: twice west (code 0), then north. West from the
    // left cell: south-west, west, north-west.
    EXPECT_EQ(segments(),
              "0,5,1 196 0 benzel; -1,5,1 196 1 benzel; -1,4,1 124 2 benzel; "
              "-1,6,1 47 0 benzel; -2,6,1 196 1 benzel; -3,5,1 92 2 benzel; ");
}

TEST_F(World, FullTableGivesFreeThenJunkThenLowestRabbitThenNothing) {
    std::ranges::for_each(creatures, [](Creature& c) { c.kind = KIND_FOREST_TREE; });
    creatures[900].kind = KIND_FREE;
    creatures[400].kind = KIND_JUNK;
    creatures[400].x = -3;
    creatures[700].kind = creatures[300].kind = KIND_RABBIT;
    for (const int expected : {900, 400, 300, 700}) {
        ASSERT_EQ(find_free_slot(), &creatures[expected]);
        creatures[expected].kind = KIND_PLATFORM;
    }
    EXPECT_EQ(creatures[400].x, -3) << "a reused slot is handed back uncleared";
    EXPECT_EQ(find_free_slot(), nullptr);
}

}  // namespace

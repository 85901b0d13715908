// Life in the canopy by rules a whole game shows only by chance: how a walker steps around
// trunks and climbs, and which slot a new creature takes when the table is full. Whole
// games with orders, building, sleep, falls and rabbits are scenarios (tests/scenarios).
#include <algorithm>
#include <set>

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "game_fixture.h"  // and with it <string>, <tuple>, <vector> and the world

namespace {

using Place = std::tuple<std::int32_t, std::int32_t, std::int32_t>;

using LifeTest = FreshGame;

TEST_F(LifeTest, StepTowardGoesAroundTrunksAndClimbsOnlyOnTheGoalsCell) {
    // A lone trunk at (10, 10)-(11, 10), two trunks stacked at (30, 10) and (30, 11); the
    // other great trees stand out of the way at (0, 0).
    for (const auto& [tree, x, y] : {std::tuple{0, 10, 10}, {1, 30, 10}, {2, 30, 11}}) {
        std::tie(great_trees[tree].x, great_trees[tree].y) = std::tie(x, y);
    }
    const std::tuple<Place, Place, std::set<Place>> cases[] = {
        // from, goal, the steps taken over many tries
        {{11, 9, 0}, {11, 15, 0}, {{12, 10, 0}}},              // straight down onto the right cell
        {{10, 9, 0}, {10, 15, 0}, {{9, 10, 0}}},               // straight down onto the left cell
        {{9, 10, 0}, {15, 10, 0}, {{10, 9, 0}, {10, 11, 0}}},  // sideways: up or down a row
        {{9, 9, 0}, {15, 15, 0}, {{10, 9, 0}}},                // diagonal: along x only
        {{29, 10, 0}, {35, 15, 0}, {{29, 11, 0}}},  // diagonal past a trunk: along y only
        {{19, 21, 0}, {20, 20, 2}, {{20, 20, 1}}},  // onto the goal's cell and up at once
        {{20, 20, 1}, {20, 20, 2}, {{20, 20, 2}}},  // one level a step
        {{20, 20, 2}, {25, 25, 0}, {{20, 20, 1}}},  // down on its own cell first
        {{20, 20, 0}, {25, 25, 0}, {{21, 21, 0}}},  // then across the ground
    };
    for (const auto& [from, goal, want] : cases) {
        std::set<Place> steps;
        for (int i = 0; i < 32; ++i) {
            const CellPosition step = std::apply(step_toward, std::tuple_cat(from, goal));
            steps.insert({step.x, step.y, step.level});
        }
        EXPECT_EQ(steps, want) << testing::PrintToString(std::tuple_cat(from, goal));
    }
}

TEST_F(LifeTest, FullTableGivesFreeThenJunkThenLowestRabbitThenNothing) {
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

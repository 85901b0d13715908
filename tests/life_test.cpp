// Life in the canopy by its rules, where a whole game shows them only by chance: how a
// walker steps around trunks and climbs, which remains a rabbit makes for, and the names
// rabbits earn. Whole games with orders, building, sleep, falls and rabbits are
// scenarios (tests/scenarios).
#include <algorithm>
#include <set>

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "game_fixture.h"  // and with it <string>, <tuple>, <vector> and the world

namespace {

using Place = std::tuple<std::int32_t, std::int32_t, std::int32_t>;

class LifeTest : public FreshGame {
  protected:
    static Creature& put(int slot, std::int32_t kind, std::int32_t x = 0, std::int32_t y = 0) {
        Creature& c = creatures[slot] = Creature{};
        std::tie(c.kind, c.x, c.y) = std::tie(kind, x, y);
        return c;
    }
};

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

TEST_F(LifeTest, RabbitsMakeForTheNearestUnclaimedRemainsRowsCountingDouble) {
    const std::pair<std::vector<Place>, int> cases[] = {
        // remains as dx, dy from the rabbit and claimed; the index of the one chosen
        {{{0, 1, 0}, {1, 0, 0}}, 1},               // a row away loses to a column away
        {{{3, 0, 0}, {0, 2, 0}}, 1},               // 9 against 8
        {{{2, 1, 0}, {-2, -1, 0}, {0, 2, 0}}, 0},  // a tie goes to the lowest slot
        {{{1, 0, 1}, {5, 5, 0}}, 1},               // remains being eaten are passed over
        {{{-100, 50, 0}, {120, 0, 0}}, 1},         // no distance limit
    };
    for (const auto& [remains, chosen] : cases) {
        std::fill(std::begin(creatures), std::end(creatures), Creature{});
        Creature& rabbit = put(0, KIND_RABBIT, 10, 20);
        for (int slot = 1; const auto& [dx, dy, claimed] : remains) {
            put(slot++, KIND_REMAINS, 10 + dx, 20 + dy).action = claimed;
        }
        choose_task(&rabbit);
        const Creature& meal = creatures[1 + chosen];
        EXPECT_EQ(std::tie(rabbit.target, rabbit.target_x, rabbit.target_y, rabbit.target_level,
                           rabbit.on_arrival, rabbit.action),
                  std::make_tuple(&meal, meal.x, meal.y, 0, ARRIVE_EAT, ACT_WALKING));
    }
}

TEST_F(LifeTest, ARabbitEarnsANameWithItsFirstCorpseWhileNamesLast) {
    const std::tuple<const char*, std::int32_t, std::int32_t, std::string, std::int32_t> cases[] = {
        // the meal, names given before, the meal's action, the eater's name and names after
        {"corpse of Daisy Keen", 0, ACT_EATING_CORPSE, "Gluttonous Ravager the rabbit", 1},
        {"corpse of Daisy Keen", 11, ACT_EATING_CORPSE, "Lagomorph of Doom the rabbit", 12},
        {"corpse of Daisy Keen", 12, ACT_EATING_CORPSE, DEFAULT_RABBIT_NAME, 12},
        {"Daisy Keen's nose", 0, ACT_EATING_PART, DEFAULT_RABBIT_NAME, 0},
    };
    for (const auto& [name, named, eating, name_after, named_after] : cases) {
        Creature& rabbit = put(0, KIND_RABBIT);
        Creature& meal = put(1, KIND_REMAINS);
        std::tie(rabbit.name, meal.name, rabbit.target, rabbits_named) =
            std::make_tuple(DEFAULT_RABBIT_NAME, name, &meal, named);
        arrive(&rabbit, ARRIVE_EAT);
        EXPECT_EQ(std::tie(rabbit.action, meal.action), std::make_tuple(eating, 1));
        creature_act(&rabbit);  // the meal is over: told under the name it was eaten by
        EXPECT_EQ(text(29, 23, 79, 24), std::string("a bunny rabbit ate ") + name + ".");
        EXPECT_EQ(std::make_tuple(std::string(rabbit.name), rabbits_named, meal.kind),
                  std::make_tuple(name_after, named_after, KIND_FREE));
    }
}

}  // namespace

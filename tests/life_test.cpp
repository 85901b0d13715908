// Life in the canopy, played through the headless console: walking and climbing, the
// woodworkers' errands, sleeping platforms, falls, rabbits and the end of the mission.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "game_fixture.h"  // and with it <string>, <tuple>, <vector> and the world
#include "util/random.h"

namespace {

// World 1: the first great tree stands at (23, 2) with 100-foot branches next to its
// trunk at (24, 1), (25, 1), (25, 3), (23, 3), (22, 3) and (22, 1); the five dead
// branches lie in slots 15 to 19. Elves a to g are slots 0 to 6.
constexpr std::uint32_t WORLD = 1;

using Place = std::tuple<std::int32_t, std::int32_t, std::int32_t>;

class LifeTest : public FreshGame {
  protected:
    static Place place(const Creature& c) { return {c.x, c.y, c.level}; }
    static Creature& put(int slot, std::int32_t kind, std::int32_t x = 0, std::int32_t y = 0) {
        Creature& c = creatures[slot] = Creature{};
        std::tie(c.kind, c.x, c.y) = std::tie(kind, x, y);
        return c;
    }
    // Creatures of a kind; with a claim, only those whose action is that claim.
    static int count_of(std::int32_t kind, std::int32_t claim = -1) {
        auto match = [&](auto& c) { return c.kind == kind && (claim < 0 || c.action == claim); };
        return static_cast<int>(std::ranges::count_if(creatures, match));
    }
    // The first elf (or what is left of one) that is (1) or is not (0) a woodworker and
    // last set off for a platform to sleep.
    static Creature* sleeper(std::int32_t woodworker) {
        Creature* found = std::ranges::find_if(creatures, [&](auto& c) {
            return c.on_arrival == ARRIVE_SLEEP && c.is_woodworker == woodworker;
        });
        return found == std::end(creatures) ? nullptr : found;
    }
    // The body parts lying within `cells` of the corpse of their elf.
    static int parts_within(const Creature& corpse, int cells) {
        const std::string elf = std::string(corpse.name).substr(std::strlen("corpse of "));
        return static_cast<int>(std::ranges::count_if(creatures, [&](auto& c) {
            return c.kind == KIND_REMAINS && std::string(c.name).starts_with(elf + "'s ") &&
                   std::abs(c.x - corpse.x) <= cells && std::abs(c.y - corpse.y) <= cells;
        }));
    }

    // Runs frames of `ms` milliseconds until `done()` holds, for at most `limit` seconds of
    // game time. Returns the game seconds that took, or -1 when `done()` never held.
    template <typename Done>
    double play_until(Done done, double limit, std::uint32_t ms = 50) {
        std::uint32_t elapsed = 0;
        for (; !done() && elapsed <= limit * 1000; elapsed += ms, run_frames(1, ms)) {
        }
        return elapsed <= limit * 1000 ? elapsed / 1000.0 : -1;
    }

    // Esc back to the main menu, then the keys.
    void from_main_menu(std::initializer_list<const char*> keys) {
        for (int i = 0; i < 4 && menu_page != MENU_MAIN; ++i) {
            press({"Esc"});
        }
        press(keys);
    }
    // e, the elf's letter, then j s and the job's letter (w: woodworker, d: delver).
    void appoint(const char* elf, const char* job = "w") {
        from_main_menu({"e", elf, "Esc", "j", "s", job});
    }
    // Enter on the branch at (x, y) at 100 feet on the platform page (c s b): orders a
    // sleeping platform there, or withdraws the order. Returns the branch.
    BranchSegment* toggle_platform_order(std::int32_t x, std::int32_t y) {
        from_main_menu({"c", "s", "b"});
        aim_cursor(x, y, 2);
        press({"Enter"});
        return branch_under_cursor;
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

TEST_F(LifeTest, EveryActionArmsItsTimerWithinItsRange) {
    seed_random(WORLD);
    const std::tuple<std::int32_t, std::int32_t, float, float> cases[] = {
        // action, platforms built, timer range
        {ACT_IDLE, 0, 1, 2},          {ACT_SLEEPING, 0, 20, 70},      {ACT_FALLING, 0, 1, 2},
        {ACT_WALKING, 0, 0.5f, 0.5f}, {ACT_BUILDING, 0, 20, 30},      {ACT_BUILDING, 4, 14, 24},
        {ACT_BUILDING, 14, -1, 9},    {ACT_EATING_CORPSE, 0, 10, 25}, {ACT_EATING_PART, 0, 2, 6},
    };
    Creature& c = creatures[0];
    for (const auto& [action, platforms, low, high] : cases) {
        platforms_built = platforms;
        std::set<float> timers;
        std::generate_n(std::inserter(timers, timers.end()), 500,
                        [&] { return set_action(&c, action), c.timer; });
        // All draws inside the range, and both ends nearly reached.
        const float least = *timers.begin(), most = *timers.rbegin(), slack = (high - low) / 20;
        EXPECT_TRUE(c.action == action && least >= low && least <= low + slack && most <= high &&
                    most >= high - slack)
            << "action " << action << " with " << platforms << " built: " << least << ".." << most;
    }
}

TEST_F(LifeTest, IdleElvesDriftNorthWestAndOnlyNowAndThenComeBackToTheTrees) {
    seed_random(WORLD);
    std::set<int> dx, dy;
    int pulled_back = 0;
    for (int i = 0; i < 2000; ++i) {
        Creature& elf = put(0, KIND_ELF, 100, 100);  // far south-east of the great trees
        creature_act(&elf);
        dx.insert(elf.target_x - 100);
        dy.insert(elf.target_y - 100);
        pulled_back += elf.target_x == 50;
    }
    // -50 and -81: clamped into columns 2..50 and rows 0..19.
    EXPECT_EQ(dx, (std::set<int>{-50, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4}));
    EXPECT_EQ(dy, (std::set<int>{-81, -4, -3, -2, -1, 0, 1, 2}));
    EXPECT_TRUE(pulled_back > 400 && pulled_back < 600) << pulled_back << " of 2000";
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

// One woodworker, Darkwood Starshine, and orders for platforms, till every elf has died.
TEST_F(LifeTest, OrdersAreBuiltSleptOnAndFallenFromTillTheMissionFails) {
    start(WORLD);
    appoint("a");
    BranchSegment* site = toggle_platform_order(24, 1);
    Creature& builder = creatures[0];
    // It fetches the highest of the dead branches and climbs to the branch's own cell.
    ASSERT_GE(play_until([&] { return builder.action == ACT_BUILDING; }, 60), 0);
    EXPECT_EQ(std::make_tuple(site->build_state, builder.site, builder.target, creatures[19].kind,
                              builder.carrying_lumber, place(builder), text(29, 22, 79, 24)),
              std::make_tuple(BUILD_UNDERWAY, site, &creatures[19], KIND_FREE, 1, Place{24, 1, 2},
                              "Darkwood Starshine has begun building a sleeping|platform."));
    const double building = play_until([&] { return builder.action != ACT_BUILDING; }, 31);
    EXPECT_TRUE(building > 20 && building <= 30.1) << building;
    EXPECT_EQ(std::make_tuple(site->build_state, platforms_built, builder.carrying_lumber,
                              text(29, 22, 79, 24)),
              std::make_tuple(BUILD_DONE, 1, 0,
                              "Darkwood Starshine finished building a sleeping|platform."));

    // The next elf without building work sleeps on the new platform, and falls.
    Creature* elf = nullptr;
    ASSERT_GE(play_until([&] { return (elf = sleeper(0)) != nullptr; }, 30), 0);
    const Creature& platform = *elf->target;
    EXPECT_EQ(std::make_tuple(elf, platform.kind, place(platform), platform.action,
                              count_of(KIND_PLATFORM)),
              std::make_tuple(&creatures[2], KIND_PLATFORM, Place{24, 1, 2}, 1, 1));
    ASSERT_GE(play_until([&] { return elf->action == ACT_SLEEPING; }, 30), 0);
    const double slept = play_until([&] { return elf->action != ACT_SLEEPING; }, 71);
    EXPECT_TRUE(slept > 20 && slept <= 70.1) << slept;
    ASSERT_GE(play_until([&] { return death_count == 1; }, 3), 0);
    EXPECT_EQ(std::make_tuple(text(29, 21, 79, 24), std::string(elf->name), place(*elf),
                              parts_within(*elf, 1), parts_within(*elf, 99)),
              std::make_tuple("Softshadow Keen (sleeping) fell out of a tree.|"
                              "Softshadow Keen took 81 points of falling damage.|"
                              "Softshadow Keen died.",
                              "corpse of Softshadow Keen", Place(24, 1, 0), 1, 1));

    // A second order; then, with lumber about and nothing ordered, the builder wanders and
    // never lies down while the others sleep and fall in turn.
    toggle_platform_order(25, 1);
    bool wandered = false;
    for (int i = 0; i < 15000 && platforms_built < living_elves; ++i, run_frames(1, 100)) {
        wandered |= platforms_built == 2 && builder.on_arrival == ARRIVE_NOTHING;
        ASSERT_NE(builder.on_arrival, ARRIVE_SLEEP);
    }
    EXPECT_EQ(std::tie(wandered, living_elves, platforms_built), std::make_tuple(true, 2, 2));
    // Every living elf has a platform: the builder takes no more orders and goes to sleep.
    toggle_platform_order(25, 3);
    ASSERT_NE(builder.on_arrival, ARRIVE_SLEEP);  // it chooses only once the order stands
    EXPECT_GE(play_until([&] { return sleeper(1) == &builder; }, 300, 100), 0);
    EXPECT_EQ(std::make_tuple(branch_under_cursor->build_state, count_of(KIND_DEAD_BRANCH)),
              std::make_tuple(BUILD_REQUESTED, 3));

    // The seventh death fails the mission; the rabbits clear up after.
    ASSERT_GE(play_until([] { return death_count == 7; }, 300), 0);
    EXPECT_EQ(text(29, 21, 79, 24),
              "Larkspur Jasmine died.|All the elves died. The mission is a "
              "failure.|Looks like the elders were right.");
    EXPECT_EQ(text(55, 16, 79, 20),
              "All the elves died. The|mission is a failure.|Looks like the elders|were right.");
    EXPECT_EQ(std::make_pair(parts_within(creatures[4], 4), parts_within(creatures[4], 99)),
              std::make_pair(4, 4));
    EXPECT_GE(play_until([] { return count_of(KIND_REMAINS) == 0; }, 3600, 100), 0);
}

// Woodworkers a and b, later c, share the orders and the dead branches; withdrawn
// orders leave no lumber claimed for ever and no woodworker without its lumber.
TEST_F(LifeTest, WoodworkersShareOrdersAndLumberAndWithdrawalsLeaveNothingStuck) {
    start(WORLD);
    BranchSegment* first = toggle_platform_order(24, 1);
    BranchSegment* second = toggle_platform_order(25, 1);
    run_frames(3000, 100);  // five minutes without a woodworker: nothing built, nobody dies
    EXPECT_EQ(std::tie(first->build_state, second->build_state, platforms_built, death_count),
              std::make_tuple(BUILD_REQUESTED, BUILD_REQUESTED, 0, 0));
    appoint("a");
    appoint("b");
    ASSERT_GE(play_until([] { return creatures[0].site && creatures[1].site; }, 30), 0);
    // Whoever chose first took the first order and the highest dead branch.
    Creature& early = creatures[0].site == first ? creatures[0] : creatures[1];
    Creature& late = creatures[0].site == first ? creatures[1] : creatures[0];
    EXPECT_EQ(std::tie(early.site, early.target, late.site, late.target, late.on_arrival),
              std::make_tuple(first, &creatures[19], second, &creatures[18], ARRIVE_PICK_UP));

    // The second order is withdrawn while its woodworker walks to the lumber: the claim goes.
    toggle_platform_order(25, 1);
    ASSERT_GE(play_until([&] { return late.site == nullptr; }, 2), 0);
    EXPECT_EQ(std::tie(late.action, late.carrying_lumber, creatures[18].kind, creatures[18].action),
              std::make_tuple(ACT_IDLE, 0, KIND_DEAD_BRANCH, 0));
    // It turns Delver; a third woodworker takes the order again, and that same branch.
    appoint(&late == &creatures[0] ? "a" : "b", "d");
    appoint("c");
    toggle_platform_order(25, 1);
    ASSERT_GE(play_until([&] { return creatures[2].site != nullptr; }, 30), 0);
    EXPECT_EQ(std::tie(creatures[2].site, creatures[2].target, late.is_woodworker),
              std::make_tuple(second, &creatures[18], 0));

    // The first order is withdrawn while its woodworker carries the lumber to the site: it
    // keeps the lumber, and takes it straight to the next order's site.
    ASSERT_GE(play_until([&] { return early.carrying_lumber == 1; }, 30), 0);
    toggle_platform_order(24, 1);
    ASSERT_GE(play_until([&] { return early.site == nullptr; }, 4), 0);
    EXPECT_EQ(std::tie(early.action, early.carrying_lumber, first->build_state),
              std::make_tuple(ACT_IDLE, 1, BUILD_NONE));
    BranchSegment* third = toggle_platform_order(25, 3);
    ASSERT_GE(play_until([&] { return early.action == ACT_BUILDING; }, 60), 0);
    EXPECT_EQ(std::make_tuple(early.site, early.carrying_lumber, count_of(KIND_DEAD_BRANCH, 0)),
              std::make_tuple(third, 1, 3));
    // Withdrawn while building: it works on until its time is up, then idles, lumber kept.
    toggle_platform_order(25, 3);
    EXPECT_GT(play_until([&] { return early.action != ACT_BUILDING; }, 31), 15);
    EXPECT_EQ(std::make_tuple(early.action, early.site, early.carrying_lumber, third->build_state),
              std::make_tuple(ACT_IDLE, nullptr, 1, BUILD_NONE));

    // Five orders for that lumber and the three dead branches left: the woodworker who
    // first finds no lumber goes to sleep on a platform, though a branch is still ordered.
    for (const auto& [x, y] : {std::pair{24, 1}, {25, 3}, {23, 3}, {22, 3}, {22, 1}}) {
        toggle_platform_order(x, y);
    }
    Creature* elf = nullptr;
    ASSERT_GE(play_until([&] { return (elf = sleeper(1)) != nullptr; }, 600), 0);
    EXPECT_EQ(std::make_tuple(elf->target->kind, elf->carrying_lumber,
                              count_of(KIND_DEAD_BRANCH, 0), platforms_built < living_elves),
              std::make_tuple(KIND_PLATFORM, 0, 0, true));
}

}  // namespace

// Life in the canopy, played through the headless console: walking and climbing, the
// woodworkers' errands, sleeping platforms, falls, rabbits and the end of the mission.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"
#include "world/world.h"

namespace {

// World 1: the first great tree stands at (23, 2) with 100-foot branches next to its
// trunk at (24, 1), (25, 1), (25, 3), (23, 3), (22, 3) and (22, 1); the five dead
// branches lie in slots 15 to 19. Elves a to g are slots 0 to 6.
constexpr std::uint32_t WORLD = 1;

using Place = std::tuple<std::int32_t, std::int32_t, std::int32_t>;

Place place(const Creature& c) {
    return {c.x, c.y, c.level};
}

int count_of(std::int32_t kind, std::int32_t claim = -1) {
    return static_cast<int>(std::count_if(std::begin(creatures), std::end(creatures), [&](auto& c) {
        return c.kind == kind && (claim < 0 || c.action == claim);
    }));
}

template <typename Match>
Creature* find_creature(Match match) {
    auto* found = std::find_if(std::begin(creatures), std::end(creatures), match);
    return found == std::end(creatures) ? nullptr : found;
}

Creature* first_of(std::int32_t kind) {
    return find_creature([&](const Creature& c) { return c.kind == kind; });
}

// The elf walking to a sleeping platform, if any.
Creature* elf_going_to_sleep() {
    return find_creature([](const Creature& c) {
        return c.kind == KIND_ELF && c.action == ACT_WALKING && c.on_arrival == ARRIVE_SLEEP;
    });
}

std::vector<const Creature*> parts_of(const std::string& elf) {
    std::vector<const Creature*> parts;
    for (const Creature& c : creatures) {
        if (c.kind == KIND_REMAINS && std::string(c.name).starts_with(elf + "'s ")) {
            parts.push_back(&c);
        }
    }
    return parts;
}

bool within(const Creature& a, const Creature& b, int cells) {
    return std::abs(a.x - b.x) <= cells && std::abs(a.y - b.y) <= cells;
}

// A player's errands on top of the fresh game: menus, the cursor and orders by key.
class LifeTest : public FreshGame {
  protected:
    // Runs frames of `ms` milliseconds until `done()` holds, for at most `limit` seconds of
    // game time. Returns the game seconds that took, or -1 when `done()` never held.
    template <typename Done>
    double play_until(Done done, double limit, std::uint32_t ms = 50) {
        for (std::uint32_t elapsed = 0;; elapsed += ms) {
            if (done()) {
                return elapsed / 1000.0;
            }
            if (elapsed >= limit * 1000) {
                return -1;
            }
            run_frames(1, ms);
        }
    }

    // Esc until the main menu shows, as a player backs out of any page.
    void back_to_main_menu() {
        for (int i = 0; i < 4 && menu_page != MENU_MAIN; ++i) {
            press({"Esc"});
        }
    }

    // Walks the map cursor to (x, y) with the cursor keys, diagonally first.
    void walk_cursor_to(std::int32_t x, std::int32_t y) {
        static const char* const keys[3][3] = {
            {"Home", "Up", "PgUp"}, {"Left", "", "Right"}, {"End", "Down", "PgDn"}};
        for (int guard = 0; guard < 100000 && (cursor_x != x || cursor_y != y); ++guard) {
            press({keys[(y > cursor_y) - (y < cursor_y) + 1][(x > cursor_x) - (x < cursor_x) + 1]});
        }
    }

    // e, the elf's letter, then j s w: the elf becomes a woodworker.
    void appoint_woodworker(char letter) {
        back_to_main_menu();
        const std::string key(1, letter);
        press({"e", key.c_str(), "Esc", "j", "s", "w"});
        back_to_main_menu();
    }

    // Enter on the branch at (x, y) at 100 feet from the platform page (c s b, Tab to level
    // 2): orders a sleeping platform there, or withdraws the order. The page stays up.
    void toggle_platform_order(std::int32_t x, std::int32_t y) {
        if (menu_page != MENU_PLACE_PLATFORM) {
            back_to_main_menu();
            press({"c", "s", "b"});
        }
        while (view_level != 2) {
            press({"Tab"});
        }
        walk_cursor_to(x, y);
        press({"Enter"});
    }

    // Rows y0..y1 - 1 of columns x0..x1 - 1 as text, blanks at the row ends dropped.
    static std::string screen_text(int x0, int y0, int x1, int y1) {
        std::string text;
        for (int y = y0; y < y1; ++y) {
            std::string line = row(y, x0, x1);
            line.erase(line.find_last_not_of(' ') + 1);
            text += (y == y0 ? "" : "\n") + line;
        }
        return text;
    }
};

TEST_F(LifeTest, StepTowardGoesAroundTrunksAndClimbsOnlyOnItsOwnCell) {
    // A lone trunk at (10, 10)-(11, 10), two trunks stacked at (30, 10) and (30, 11).
    const std::int32_t trunks[GREAT_TREE_COUNT][2] = {{10, 10}, {30, 10}, {30, 11},
                                                      {900, 0}, {920, 0}, {940, 0}};
    for (int i = 0; i < GREAT_TREE_COUNT; ++i) {
        great_trees[i].x = trunks[i][0];
        great_trees[i].y = trunks[i][1];
    }
    struct Case {
        Place from, goal, next;
    };
    const Case cases[] = {
        {{11, 9, 0}, {11, 15, 0}, {12, 10, 0}},   // straight down onto the right cell
        {{10, 9, 0}, {10, 15, 0}, {9, 10, 0}},    // straight down onto the left cell
        {{9, 9, 0}, {15, 15, 0}, {10, 9, 0}},     // diagonal: along x only
        {{29, 10, 0}, {35, 15, 0}, {29, 11, 0}},  // diagonal past a trunk: along y only
        {{9, 10, 0}, {10, 10, 0}, {10, 10, 0}},   // the goal itself is never turned away
        {{19, 21, 0}, {20, 20, 2}, {20, 20, 1}},  // onto the goal's cell and up at once
        {{20, 20, 1}, {20, 20, 2}, {20, 20, 2}},  // one level a step
        {{20, 20, 2}, {25, 25, 0}, {20, 20, 1}},  // down on its own cell first
        {{20, 20, 1}, {25, 25, 0}, {20, 20, 0}},
        {{20, 20, 0}, {25, 25, 0}, {21, 21, 0}},  // then across the ground
        {{20, 20, 1}, {25, 25, 2}, {20, 20, 2}},  // up to the goal's level where it stands
        {{20, 20, 2}, {25, 25, 2}, {21, 21, 2}},  // and across at that level
        {{20, 20, 0}, {20, 20, 0}, {20, 20, 0}},
    };
    for (const auto& [from, goal, next] : cases) {
        const auto [x, y, l] = from;
        const auto [tx, ty, tl] = goal;
        const CellPosition step = step_toward(x, y, l, tx, ty, tl);
        EXPECT_EQ(Place(step.x, step.y, step.level), next)
            << "from " << x << "," << y << "," << l << " to " << tx << "," << ty << "," << tl;
    }
    // Sideways into a trunk's left cell: up or down a row, each now and then.
    std::set<Place> dodges;
    for (int i = 0; i < 32; ++i) {
        const CellPosition step = step_toward(9, 10, 0, 15, 10, 0);
        dodges.insert({step.x, step.y, step.level});
    }
    EXPECT_EQ(dodges, (std::set<Place>{{10, 9, 0}, {10, 11, 0}}));

    // A walk whose goal is the walker's own cell ends at its next act with the arrival.
    Creature& elf = creatures[0];
    elf.kind = KIND_ELF;
    elf.x = elf.target_x = 40;
    elf.y = elf.target_y = 5;
    elf.on_arrival = ARRIVE_SLEEP;
    elf.action = ACT_WALKING;
    simulate(0.05f);
    EXPECT_EQ(elf.action, ACT_SLEEPING);
    EXPECT_TRUE(elf.timer >= 20 && elf.timer <= 70) << elf.timer;
}

TEST_F(LifeTest, EveryActionArmsItsTimerWithinItsRange) {
    seed_random(WORLD);
    struct Case {
        std::int32_t action, platforms;
        float low, high;
    };
    const Case cases[] = {
        {ACT_IDLE, 0, 1, 2},          {ACT_SLEEPING, 0, 20, 70},      {ACT_FALLING, 0, 1, 2},
        {ACT_WALKING, 0, 0.5f, 0.5f}, {ACT_BUILDING, 0, 20, 30},      {ACT_BUILDING, 4, 14, 24},
        {ACT_BUILDING, 14, -1, 9},    {ACT_EATING_CORPSE, 0, 10, 25}, {ACT_EATING_PART, 0, 2, 6},
        {99, 0, 0.5f, 0.5f},
    };
    Creature& c = creatures[0];
    for (const Case& want : cases) {
        platforms_built = want.platforms;
        float low = 1e9f;
        float high = -1e9f;
        for (int i = 0; i < 500; ++i) {
            set_action(&c, want.action);
            low = std::min(low, c.timer);
            high = std::max(high, c.timer);
        }
        // All draws inside the range, and both ends nearly reached.
        const float slack = (want.high - want.low) * 0.05f;
        EXPECT_EQ(c.action, want.action);
        EXPECT_TRUE(low >= want.low && low <= want.low + slack && high <= want.high &&
                    high >= want.high - slack)
            << "action " << want.action << " with " << want.platforms << " built: " << low << ".."
            << high;
    }
}

TEST_F(LifeTest, IdleElvesDriftNorthWestAndOnlyNowAndThenComeBackToTheTrees) {
    seed_random(WORLD);
    Creature& elf = creatures[0];
    std::set<int> dx, dy;
    int pulled_back = 0;
    for (int i = 0; i < 2000; ++i) {
        elf = Creature{};
        elf.kind = KIND_ELF;
        elf.x = elf.y = 100;  // far south-east of the great trees
        creature_act(&elf);
        ASSERT_EQ(std::tie(elf.action, elf.on_arrival, elf.target_level),
                  std::make_tuple(ACT_WALKING, ARRIVE_NOTHING, 0));
        ASSERT_TRUE(elf.timer >= 3 && elf.timer <= 9) << elf.timer;
        if (elf.target_x == 50 && elf.target_y == 19) {
            ++pulled_back;  // clamped into columns 2..50 and rows 0..19
        } else {
            dx.insert(elf.target_x - 100);
            dy.insert(elf.target_y - 100);
        }
    }
    EXPECT_EQ(dx, (std::set<int>{-6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4}));
    EXPECT_EQ(dy, (std::set<int>{-4, -3, -2, -1, 0, 1, 2}));
    EXPECT_TRUE(pulled_back > 400 && pulled_back < 600) << pulled_back << " of 2000";
}

TEST_F(LifeTest, RabbitsMakeForTheNearestUnclaimedRemainsRowsCountingDouble) {
    struct Case {
        std::vector<std::array<int, 3>> remains;  // dx, dy from the rabbit, claimed
        int chosen;                               // index into remains, -1 for none
    };
    const Case cases[] = {
        {{{0, 1, 0}, {1, 0, 0}}, 1},               // a row away loses to a column away
        {{{3, 0, 0}, {0, 2, 0}}, 1},               // 9 against 8
        {{{2, 1, 0}, {-2, -1, 0}, {0, 2, 0}}, 0},  // a tie goes to the lowest slot
        {{{1, 0, 1}, {5, 5, 0}}, 1},               // remains being eaten are passed over
        {{{-100, 50, 0}, {120, 0, 0}}, 1},         // no distance limit
        {{{1, 0, 1}}, -1},
        {{}, -1},
    };
    for (const Case& want : cases) {
        std::fill(std::begin(creatures), std::end(creatures), Creature{});
        Creature& rabbit = creatures[0];
        rabbit.kind = KIND_RABBIT;
        rabbit.x = 10;
        rabbit.y = 20;
        for (std::size_t i = 0; i < want.remains.size(); ++i) {
            Creature& r = creatures[1 + i];
            r.kind = KIND_REMAINS;
            r.x = 10 + want.remains[i][0];
            r.y = 20 + want.remains[i][1];
            r.action = want.remains[i][2];
        }
        choose_task(&rabbit);
        if (want.chosen < 0) {
            EXPECT_EQ(std::tie(rabbit.action, rabbit.target), std::make_tuple(ACT_IDLE, nullptr));
            continue;
        }
        const Creature& meal = creatures[1 + want.chosen];
        EXPECT_EQ(rabbit.target, &meal) << "chose slot " << rabbit.target - creatures;
        EXPECT_EQ(std::tie(rabbit.target_x, rabbit.target_y, rabbit.target_level, rabbit.on_arrival,
                           rabbit.action),
                  std::make_tuple(meal.x, meal.y, 0, ARRIVE_EAT, ACT_WALKING));
    }
}

TEST_F(LifeTest, ARabbitEarnsANameWithItsFirstCorpseWhileNamesLast) {
    struct Case {
        const char* meal;
        const char* name;
        std::int32_t named;
        std::int32_t eating;
        std::string name_after;
        std::int32_t named_after;
    };
    const Case cases[] = {
        {"corpse of Daisy Keen", DEFAULT_RABBIT_NAME, 0, ACT_EATING_CORPSE,
         "Gluttonous Ravager the rabbit", 1},
        {"corpse of Daisy Keen", DEFAULT_RABBIT_NAME, 11, ACT_EATING_CORPSE,
         "Lagomorph of Doom the rabbit", 12},
        {"corpse of Daisy Keen", DEFAULT_RABBIT_NAME, 12, ACT_EATING_CORPSE, "a bunny rabbit", 12},
        {"Daisy Keen's nose", DEFAULT_RABBIT_NAME, 0, ACT_EATING_PART, "a bunny rabbit", 0},
        {"corpse of Daisy Keen", "Woundwort the rabbit", 3, ACT_EATING_CORPSE,
         "Woundwort the rabbit", 3},
    };
    for (const Case& want : cases) {
        Creature& rabbit = creatures[0];
        Creature& meal = creatures[1];
        rabbit = Creature{};
        rabbit.kind = KIND_RABBIT;
        rabbit.name = want.name;
        meal = Creature{};
        meal.kind = KIND_REMAINS;
        meal.name = want.meal;
        rabbits_named = want.named;
        rabbit.target = &meal;
        arrive(&rabbit, ARRIVE_EAT);
        EXPECT_EQ(std::tie(rabbit.action, meal.action), std::make_tuple(want.eating, 1));
        creature_act(&rabbit);  // the meal is over
        EXPECT_EQ(screen_text(29, 23, 79, 24), std::string(want.name) + " ate " + want.meal + ".");
        EXPECT_EQ(
            std::make_tuple(std::string(rabbit.name), rabbits_named, meal.kind, rabbit.action),
            std::make_tuple(want.name_after, want.named_after, KIND_FREE, ACT_IDLE));
    }
}

TEST_F(LifeTest, WithoutAWoodworkerNothingIsBuiltAndNobodyDies) {
    start(WORLD);
    toggle_platform_order(24, 1);
    EXPECT_EQ(screen_text(55, 19, 79, 20), "Building.");
    run_frames(3000, 100);  // five minutes
    EXPECT_EQ(branch_under_cursor->build_state, BUILD_REQUESTED);
    EXPECT_EQ(std::make_tuple(platforms_built, count_of(KIND_PLATFORM), death_count, living_elves,
                              count_of(KIND_ELF), count_of(KIND_REMAINS)),
              std::make_tuple(0, 0, 0, 7, 7, 0));
}

TEST_F(LifeTest, AnOrderIsBuiltSleptOnAndEndsInAFallThatFeedsTheRabbits) {
    start(WORLD);
    appoint_woodworker('a');  // Darkwood Starshine
    toggle_platform_order(24, 1);
    BranchSegment* site = branch_under_cursor;
    ASSERT_NE(site, nullptr);
    Creature& builder = creatures[0];
    Creature& lumber = creatures[19];  // the highest of the dead branches
    ASSERT_GE(play_until([&] { return builder.on_arrival == ARRIVE_PICK_UP; }, 5), 0);
    EXPECT_EQ(std::tie(site->build_state, builder.site, builder.target, lumber.action),
              std::make_tuple(BUILD_UNDERWAY, site, &lumber, 1));
    ASSERT_GE(play_until([&] { return builder.carrying_lumber == 1; }, 30), 0);
    EXPECT_EQ(lumber.kind, KIND_FREE);
    EXPECT_EQ(std::tie(builder.x, builder.y), std::tie(lumber.x, lumber.y));

    // Up the tree only on the branch's own cell, one level a step.
    std::vector<Place> way{place(builder)};
    ASSERT_GE(play_until(
                  [&] {
                      if (way.back() != place(builder)) {
                          way.push_back(place(builder));
                      }
                      return builder.action == ACT_BUILDING;
                  },
                  30),
              0);
    for (std::size_t i = 1; i < way.size(); ++i) {
        const auto [x, y, level] = way[i];
        EXPECT_LE(std::abs(level - std::get<2>(way[i - 1])), 1);
        EXPECT_TRUE(level == 0 || (x == 24 && y == 1)) << x << "," << y << "," << level;
    }
    EXPECT_EQ(std::vector<Place>(way.end() - 2, way.end()),
              (std::vector<Place>{{24, 1, 1}, {24, 1, 2}}));
    EXPECT_EQ(screen_text(29, 22, 79, 24),
              "Darkwood Starshine has begun building a sleeping\nplatform.");

    const double building = play_until([&] { return builder.action != ACT_BUILDING; }, 31);
    EXPECT_TRUE(building > 20 && building <= 30.1) << building;
    EXPECT_EQ(screen_text(29, 22, 79, 24),
              "Darkwood Starshine finished building a sleeping\nplatform.");
    Creature* platform = first_of(KIND_PLATFORM);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(std::make_tuple(site->build_state, platforms_built, builder.carrying_lumber,
                              count_of(KIND_PLATFORM)),
              std::make_tuple(BUILD_DONE, 1, 0, 1));
    EXPECT_EQ(std::make_tuple(place(*platform), platform->glyph, platform->colour),
              std::make_tuple(Place{24, 1, 2}, 219, 6));
    press({"Right"});  // the cursor steps aside: its blink would hide the platform

    // The next elf without building work claims the platform.
    Creature* sleeper = nullptr;
    ASSERT_GE(play_until([&] { return (sleeper = elf_going_to_sleep()) != nullptr; }, 30), 0);
    EXPECT_EQ(std::tie(sleeper->target, platform->action), std::make_tuple(platform, 1));
    back_to_main_menu();
    press({"e", "c"});
    EXPECT_EQ(screen_text(55, 15, 79, 20),
              "Ethnobotanist (to sleep)\n\nHealth:100  Int: 18\nMorale:  0  Wis: 12\n"
              "Rested:  0  Stam:10");
    ASSERT_EQ(sleeper, &creatures[2]);  // Softshadow Keen

    ASSERT_GE(play_until([&] { return sleeper->action == ACT_SLEEPING; }, 30), 0);
    EXPECT_EQ(place(*sleeper), Place(24, 1, 2));
    const double slept = play_until([&] { return sleeper->action != ACT_SLEEPING; }, 71);
    EXPECT_TRUE(slept > 20 && slept <= 70.1) << slept;
    EXPECT_EQ(platform->action, 0);  // free for the next sleeper at once
    const double fall = play_until([&] { return death_count == 1; }, 3);
    EXPECT_TRUE(fall > 1 && fall <= 2.1) << fall;
    EXPECT_EQ(screen_text(29, 21, 79, 24),
              "Softshadow Keen (sleeping) fell out of a tree.\n"
              "Softshadow Keen took 81 points of falling damage.\n"
              "Softshadow Keen died.");
    EXPECT_EQ(std::make_tuple(std::string(sleeper->name), place(*sleeper), sleeper->glyph,
                              sleeper->colour, sleeper->kind),
              std::make_tuple("corpse of Softshadow Keen", Place(24, 1, 0), '%', 12, KIND_REMAINS));
    EXPECT_EQ(std::make_pair(glyph(24 - view_x, 1 - view_y), attr(24 - view_x, 1 - view_y)),
              std::make_pair(std::uint8_t{219}, std::uint16_t{6}));  // the platform, left empty
    const auto parts = parts_of("Softshadow Keen");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_TRUE(within(*parts[0], *sleeper, 1));

    // The rabbits eat the remains. Both meals are told under the default name; only the
    // corpse earns its eater a name, the first of the list.
    const Creature* part = parts[0];
    Creature* diner = nullptr;
    const auto eats_the_corpse = [&](const Creature& c) {
        return c.kind == KIND_RABBIT && c.target == sleeper && c.action == ACT_EATING_CORPSE;
    };
    ASSERT_GE(
        play_until([&] { return (diner = find_creature(eats_the_corpse)) != nullptr; }, 600, 100),
        0);
    EXPECT_STREQ(diner->name, DEFAULT_RABBIT_NAME);
    ASSERT_GE(play_until([&] { return diner->action != ACT_EATING_CORPSE; }, 26), 0);
    EXPECT_EQ(screen_text(29, 22, 79, 24),
              "a bunny rabbit ate Softshadow Keen's tripes.\n"
              "a bunny rabbit ate corpse of Softshadow Keen.");
    EXPECT_EQ(std::make_tuple(std::string(diner->name), rabbits_named, part->kind),
              std::make_tuple("Wrathclaw Fleshtunnel the rabbit", 1, KIND_FREE));
}

TEST_F(LifeTest, TheSeventhDeathFailsTheMissionAndTheRabbitsClearUpAfter) {
    start(WORLD);
    // Every elf nods off where it stands; the action machine does the rest.
    for (int i = 0; i < 7; ++i) {
        set_action(&creatures[i], ACT_SLEEPING);
    }
    ASSERT_GE(play_until([] { return death_count == 7; }, 75), 0);
    EXPECT_EQ(screen_text(29, 20, 79, 24),
              "Milksop Tulip took 76 points of falling damage.\nMilksop Tulip died.\n"
              "All the elves died. The mission is a failure.\nLooks like the elders were right.");
    const auto parts = parts_of("Milksop Tulip");
    EXPECT_EQ(parts.size(), 4u);
    for (const Creature* part : parts) {
        EXPECT_TRUE(within(*part, creatures[1], 4)) << part->name;  // Milksop Tulip's corpse
    }
    EXPECT_EQ(screen_text(55, 15, 79, 20),
              "\nAll the elves died. The\nmission is a failure.\nLooks like the elders\n"
              "were right.");
    EXPECT_EQ(living_elves, 0);

    // The quit question now offers the credits; the game goes on after No.
    headless_push_named_key("q");
    headless_push_named_key("n");
    run_frames(1);
    EXPECT_EQ(
        seen_rows(headless_last_frame(), 55, 0, 80, 7, 1),
        (std::vector<std::string>{"", "Really quit?", "", " {Y}es", " {N}o", " {C}redits", ""}));
    EXPECT_GE(play_until([] { return count_of(KIND_REMAINS) == 0; }, 3600, 100), 0)
        << count_of(KIND_REMAINS) << " remains left uneaten";
}

TEST_F(LifeTest, TwoWoodworkersTakeTwoOrdersAndAWithdrawnFetchFreesItsLumber) {
    start(WORLD);
    toggle_platform_order(24, 1);
    BranchSegment* first = branch_under_cursor;
    toggle_platform_order(25, 1);
    BranchSegment* second = branch_under_cursor;
    appoint_woodworker('a');
    appoint_woodworker('b');
    Creature& a = creatures[0];
    Creature& b = creatures[1];
    ASSERT_GE(play_until([&] { return a.site != nullptr && b.site != nullptr; }, 30), 0);
    // Whoever chose first took the first order and the highest dead branch.
    Creature& early = a.site == first ? a : b;
    Creature& late = a.site == first ? b : a;
    EXPECT_EQ(std::tie(early.site, early.target, late.site, late.target),
              std::make_tuple(first, &creatures[19], second, &creatures[18]));

    // The second order is withdrawn while its woodworker is on the way to the lumber.
    ASSERT_EQ(std::tie(late.on_arrival, late.carrying_lumber), std::make_tuple(ARRIVE_PICK_UP, 0));
    toggle_platform_order(25, 1);
    EXPECT_EQ(screen_text(55, 18, 79, 20), "No longer building here.\n");  // a full row
    ASSERT_GE(play_until([&] { return late.site == nullptr; }, 2), 0);
    EXPECT_EQ(std::tie(late.action, late.carrying_lumber, creatures[18].kind, creatures[18].action),
              std::make_tuple(ACT_IDLE, 0, KIND_DEAD_BRANCH, 0));

    // It turns Delver; a third woodworker takes the order again, and that same branch.
    back_to_main_menu();
    press({"e", &late == &a ? "a" : "b", "Esc", "j", "s", "d"});
    appoint_woodworker('c');
    toggle_platform_order(25, 1);
    Creature& third = creatures[2];
    ASSERT_GE(play_until([&] { return third.site != nullptr; }, 30), 0);
    EXPECT_EQ(std::tie(third.site, third.target, late.is_woodworker),
              std::make_tuple(second, &creatures[18], 0));
}

TEST_F(LifeTest, AWoodworkerWhoseOrderIsWithdrawnKeepsItsLumberForTheNextOne) {
    start(WORLD);
    appoint_woodworker('a');
    Creature& elf = creatures[0];
    toggle_platform_order(24, 1);
    BranchSegment* first = branch_under_cursor;
    ASSERT_GE(play_until([&] { return elf.carrying_lumber == 1; }, 30), 0);

    // Withdrawn on the way to the site: the elf idles and holds on to its lumber.
    toggle_platform_order(24, 1);
    ASSERT_GE(play_until([&] { return elf.site == nullptr; }, 4), 0);
    EXPECT_EQ(std::tie(elf.action, elf.carrying_lumber, first->build_state),
              std::make_tuple(ACT_IDLE, 1, BUILD_NONE));

    // The next order goes straight to the site with that lumber.
    toggle_platform_order(25, 1);
    BranchSegment* second = branch_under_cursor;
    ASSERT_GE(play_until([&] { return elf.site != nullptr; }, 5), 0);
    EXPECT_EQ(std::tie(elf.site, elf.on_arrival), std::make_tuple(second, ARRIVE_BUILD));
    EXPECT_EQ(std::make_pair(count_of(KIND_DEAD_BRANCH), count_of(KIND_DEAD_BRANCH, 1)),
              std::make_pair(4, 0));
    ASSERT_GE(play_until([&] { return elf.action == ACT_BUILDING; }, 60), 0);

    // Withdrawn while building: the elf works on until its time is up, then idles.
    toggle_platform_order(25, 1);
    EXPECT_GT(play_until([&] { return elf.action != ACT_BUILDING; }, 31), 15);
    EXPECT_EQ(std::make_tuple(elf.action, elf.site, elf.carrying_lumber, second->build_state,
                              platforms_built, count_of(KIND_PLATFORM)),
              std::make_tuple(ACT_IDLE, nullptr, 1, BUILD_NONE, 0, 0));
    EXPECT_EQ(screen_text(29, 22, 79, 24),
              "Darkwood Starshine has begun building a sleeping\nplatform.");

    // A third order is built with it at last.
    toggle_platform_order(25, 3);
    ASSERT_GE(play_until([] { return platforms_built == 1; }, 90), 0);
    EXPECT_EQ(std::make_tuple(elf.carrying_lumber, count_of(KIND_DEAD_BRANCH),
                              place(*first_of(KIND_PLATFORM))),
              std::make_tuple(0, 4, Place(25, 3, 2)));
}

TEST_F(LifeTest, WoodworkersWanderWhileLumberLiesAboutAndSleepWhenTheyFindNone) {
    start(WORLD);
    for (char letter = 'a'; letter <= 'g'; ++letter) {
        appoint_woodworker(letter);
    }
    toggle_platform_order(24, 1);
    ASSERT_GE(play_until([] { return platforms_built == 1; }, 90), 0);
    const Creature* platform = first_of(KIND_PLATFORM);

    // Nothing ordered, lumber about: everyone wanders and nobody lies down.
    std::set<const Creature*> wanderers;
    EXPECT_LT(play_until(
                  [&] {
                      for (const Creature& c : creatures) {
                          if (c.kind == KIND_ELF && c.action == ACT_WALKING &&
                              c.on_arrival == ARRIVE_NOTHING) {
                              wanderers.insert(&c);
                          }
                      }
                      return elf_going_to_sleep() != nullptr || platform->action != 0;
                  },
                  120, 100),
              0);
    EXPECT_EQ(wanderers.size(), 7u);

    // Five orders for the four dead branches left: a woodworker that finds no lumber
    // goes to sleep, though a branch is still requested.
    for (const auto& [x, y] : {std::pair{25, 1}, {25, 3}, {23, 3}, {22, 3}, {22, 1}}) {
        toggle_platform_order(x, y);
    }
    Creature* sleeper = nullptr;
    ASSERT_GE(play_until([&] { return (sleeper = elf_going_to_sleep()) != nullptr; }, 30), 0);
    const auto requested =
        std::count_if(branch_segments, branch_segments + array_length(branch_segments),
                      [](auto& s) { return s.build_state == BUILD_REQUESTED; });
    EXPECT_EQ(std::make_tuple(sleeper->target, sleeper->carrying_lumber,
                              count_of(KIND_DEAD_BRANCH, 0), requested),
              std::make_tuple(platform, 0, 0, 1));
}

TEST_F(LifeTest, OnceEveryLivingElfHasAPlatformNoMoreOrdersAreTaken) {
    start(WORLD);
    appoint_woodworker('a');
    toggle_platform_order(24, 1);
    toggle_platform_order(25, 1);
    Creature& builder = creatures[0];
    // The builder wanders with lumber about while the others sleep and fall in turn.
    ASSERT_GE(play_until([] { return platforms_built >= living_elves; }, 1500, 100), 0);
    ASSERT_EQ(std::make_tuple(builder.kind, living_elves, platforms_built),
              std::make_tuple(KIND_ELF, 2, 2));
    toggle_platform_order(25, 3);
    BranchSegment* third = branch_under_cursor;
    EXPECT_GE(play_until([&] { return builder.on_arrival == ARRIVE_SLEEP; }, 300, 100), 0);
    EXPECT_EQ(std::make_tuple(third->build_state, builder.site, count_of(KIND_DEAD_BRANCH)),
              std::make_tuple(BUILD_REQUESTED, nullptr, 3));
}

}  // namespace

// The forest a seed grows: the same every time, and with the creatures the game promises
// (where the mission and the rabbits start and what they are like, lumber off the
// trunks, the forest's trees). How the trees of three worlds look is kept in golden
// screens; how a branch grows along its path is shown on a tree made by hand.
#include <algorithm>
#include <set>
#include <span>
#include <sstream>
#include <string>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"
#include "world/trees.h"
#include "world/world.h"
#include "world/worldgen.h"

namespace {

using World = FreshGame;

constexpr auto in = [](double v, double low, double high) { return low <= v && v <= high; };

// Every branch segment as "x,y,level glyph distance species; ", in array order.
std::string segments() {
    std::ostringstream out;
    for (const BranchSegment& s : std::span(branch_segments, array_length(branch_segments))) {
        out << s.x << ',' << s.y << ',' << s.level << ' ' << s.glyph << ' ' << s.distance << ' '
            << s.species << "; ";
    }
    return out.str();
}

// Generates the world of a seed and returns every record of it.
std::string generate(std::uint32_t seed) {
    reset_game();
    seed_random(seed);
    generate_world();
    std::ostringstream out;
    auto add = [&](auto... fields) { ((out << fields << ' '), ...) << '\n'; };
    for (const Creature& c : creatures) {
        add(c.kind, c.x, c.y, c.level, c.glyph, c.colour, c.name ? c.name : "-",
            c.job_title ? c.job_title : "-", c.health, c.morale, c.rested, c.intelligence, c.wisdom,
            c.stamina, c.step_delay, c.timer);
    }
    return segments() + out.str();
}

TEST_F(World, EverySeedGrowsOneWorldOfTheRightShape) {
    std::set<std::string> tree_names;  // a forest tree's colour and name: its health, its species
    for (const char* species : tree_species) {
        for (const char* health : {"2 A healthy ", "10 A healthy ", "6 A bare ", "7 A dying "}) {
            tree_names.insert(health + std::string(species) + " tree");
        }
    }
    for (std::uint32_t seed = 1; seed <= 200 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string world = generate(seed);
        EXPECT_TRUE(generate(seed) == world) << "not the same world again";
        std::set<std::string> words;
        int mood = 0;
        for (const Creature& e : std::span(creatures, 7)) {
            EXPECT_TRUE(e.kind == KIND_ELF && e.level == 0 && in(e.x, 0, 14) && in(e.y, 3, 16) &&
                        in(e.health, 0.25, 1) && in(e.intelligence, 12, 18) &&
                        in(e.wisdom, 3, 18) && in(e.stamina, 8, 14) && in(e.step_delay, 0.2, 0.3) &&
                        in(e.timer, 0, 3) && std::ranges::count(elf_titles, e.job_title) == 1);
            mood += e.morale == 0.03f && e.rested == 0.05f ? 10 : e.morale == 0 && e.rested == 0;
            std::istringstream name(e.name);
            for (std::string word; name >> word;) {
                EXPECT_TRUE(words.insert(word).second && std::ranges::count(elf_name_words, word));
            }
        }
        EXPECT_EQ(mood, 25) << "two elves start downcast (0.03, 0.05), five at zero";
        EXPECT_EQ(words.size(), 14u);
        for (const Creature& r : std::span(creatures + 7, 8)) {
            EXPECT_TRUE(r.kind == KIND_RABBIT && r.level == 0 && r.action == ACT_IDLE &&
                        r.name == DEFAULT_RABBIT_NAME && r.timer == 0 &&
                        in(r.step_delay, 0.8, 1.7) && in(r.x, -200, 199) && in(r.y, -100, 99));
        }
        EXPECT_TRUE(in(creatures[7].x, -20, 79) && in(creatures[7].y, -10, 29))
            << "the first rabbit starts near the elves";
        int slot = 15;
        for (; creatures[slot].kind == KIND_DEAD_BRANCH; ++slot) {
            const Creature& b = creatures[slot];
            EXPECT_TRUE(b.level == 0 && b.action == 0 && b.name == std::string("A dead branch") &&
                        trunk_at(b.x, b.y) == 0 &&
                        std::none_of(creatures, creatures + slot,
                                     [&](auto& c) { return c.x == b.x && c.y == b.y; }));
        }
        EXPECT_GE(slot, 20) << "at least five dead branches";
        for (const Creature& f : std::span(creatures + slot, 500)) {
            EXPECT_TRUE(f.kind == KIND_FOREST_TREE && in(f.x, -50, 99) && in(f.y, -30, 69) &&
                        f.level == 0 && trunk_at(f.x, f.y) == 0 &&
                        tree_names.contains(std::to_string(f.colour) + ' ' + f.name));
        }
        EXPECT_EQ(creatures[slot + 500].kind, KIND_FREE);
    }
    EXPECT_FALSE(generate(1) == generate(2)) << "two seeds, one world";
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

// The forest a seed grows: the same every time, and in the shapes the game promises
// (branch lengths, leaves around their branch, lumber off the trunks, where the mission
// and the rabbits start).
#include <algorithm>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "util/array.h"
#include "util/random.h"
#include "world/trees.h"
#include "world/world.h"
#include "world/worldgen.h"

namespace {

using WorldGeneration = FreshGame;
using WorldTable = FreshGame;

void generate(std::uint32_t seed) {
    reset_game();
    seed_random(seed);
    generate_world();
}

// Every record of the world, one line each, names spelled out.
std::vector<std::string> world_records() {
    std::vector<std::string> lines;
    auto add = [&](auto... fields) {
        std::ostringstream line;
        line.precision(9);
        ((line << fields << ' '), ...);
        lines.push_back(line.str());
    };
    for (const GreatTree& t : great_trees) {
        add(t.x, t.y, t.species);
        for (const auto& level : t.branch_paths) {
            add(level[0], level[1], level[2], level[3], level[4], level[5], level[6], level[7]);
        }
    }
    for (int i = 0; i < array_length(branch_segments); ++i) {
        const BranchSegment& s = branch_segments[i];
        add(s.x, s.y, s.level, s.glyph, s.distance, s.species);
    }
    for (int i = 0; i < array_length(leaves); ++i) {
        add(leaves[i].x, leaves[i].y, leaves[i].level, leaves[i].glyph);
    }
    for (const Creature& c : creatures) {
        add(c.kind, c.x, c.y, c.level, c.glyph, c.colour, c.name ? c.name : "-",
            c.job_title ? c.job_title : "-", c.health, c.morale, c.rested, c.intelligence, c.wisdom,
            c.stamina, c.step_delay, c.timer);
    }
    return lines;
}

std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return ia == a.end() && ib == b.end()
               ? ""
               : (ia == a.end() ? "-" : *ia) + " / " + (ib == b.end() ? "-" : *ib);
}

// The direction of a one-cell step, or -1 when the cells are not neighbours.
int direction_between(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    for (int d = 0; d < 8; ++d) {
        if (x0 + dir_dx[d] == x1 && y0 + dir_dy[d] == y1) {
            return d;
        }
    }
    return -1;
}

TEST_F(WorldGeneration, SameSeedGrowsTheSameWorld) {
    for (const std::uint32_t seed : {1u, 7u, 4000000000u}) {
        generate(seed);
        const auto first = world_records();
        generate(seed);
        EXPECT_EQ(first_difference(first, world_records()), "") << "seed " << seed;
        generate(seed + 1);
        EXPECT_NE(first_difference(first, world_records()), "") << "seed " << seed;
    }
}

TEST_F(WorldGeneration, BranchesAndLeavesKeepTheirShape) {
    int leaf_level_offsets[4] = {};
    for (std::uint32_t seed = 1; seed <= 200 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        generate(seed);
        int s = 0;  // segments come tree by tree, level by level, direction by direction
        for (const GreatTree& tree : std::span(great_trees, GREAT_TREE_COUNT)) {
            for (int level = 0; level < 3; ++level) {
                for (int d = 0; d < 8; ++d) {
                    std::uint32_t path = tree.branch_paths[level][d];
                    EXPECT_TRUE(path == 0 || (level > 0 && (path & 3) == 2))
                        << "level " << level << " direction " << d << " starts off straight";
                    // Branches along the trunk's axis (east, west) grow two steps longer.
                    const int length = path == 0 ? 0 : (level == 1 ? 4 : 5) + (d % 4 == 2) * 2;
                    std::int32_t x = d < 4 ? tree.x + 1 : tree.x, y = tree.y;
                    for (int k = 0; k < length; ++k, path >>= 2, ++s) {
                        ASSERT_LT(s, array_length(branch_segments));
                        const BranchSegment& seg = branch_segments[s];
                        const int step = direction_between(x, y, seg.x, seg.y);
                        EXPECT_TRUE(k == 0 ? step == d : step >= 0 && ((step - d + 1) & 7) <= 2)
                            << "step " << k << " of direction " << d << " goes " << step;
                        EXPECT_TRUE(seg.glyph == branch_glyphs[step & 3] && seg.level == level &&
                                    seg.distance == k && seg.species == tree.species);
                        x = seg.x;
                        y = seg.y;
                    }
                    EXPECT_EQ(path, 0u) << "direction " << d << " longer than " << length;
                }
            }
        }
        EXPECT_EQ(s, array_length(branch_segments));
        int l = 0;
        for (int i = 0; i < array_length(branch_segments); ++i) {
            const BranchSegment& seg = branch_segments[i];
            const int count = seg.level == 1 ? (seg.distance >= 1) * 6 : (seg.distance >= 3) * 16;
            for (int k = 0; k < count; ++k, ++l) {
                ASSERT_LT(l, array_length(leaves));
                const Leaf& leaf = leaves[l];
                EXPECT_TRUE(std::abs(leaf.x - seg.x) <= 2 && std::abs(leaf.y - seg.y) <= 1 &&
                            leaf.level >= seg.level - 1 && leaf.level <= seg.level + 2 &&
                            std::ranges::count(leaf_glyphs, leaf.glyph) == 1)
                    << "leaf " << l << " of segment " << i;
                ++leaf_level_offsets[leaf.level - seg.level + 1];
            }
        }
        EXPECT_EQ(l, array_length(leaves));
    }
    // Leaves fall one level below to two above their branch with weights 1, 2, 2, 1.
    const double one = (leaf_level_offsets[0] + leaf_level_offsets[3]) / 2.0;
    EXPECT_NEAR(leaf_level_offsets[0] / one, 1.0, 0.1);
    EXPECT_NEAR(leaf_level_offsets[1] / one, 2.0, 0.1);
    EXPECT_NEAR(leaf_level_offsets[2] / one, 2.0, 0.1);
}

TEST_F(WorldGeneration, TreesAndLumberStandWhereTheyShould) {
    for (std::uint32_t seed = 1; seed <= 200 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        generate(seed);
        std::set<std::pair<int, int>> sites;
        for (const GreatTree& t : std::span(great_trees, GREAT_TREE_COUNT)) {
            EXPECT_TRUE(
                t.x >= 10 && t.x <= 46 && t.x % 10 <= 6 && t.y >= 2 && t.y <= 18 &&
                (t.y - 2) % 6 <= 4 && sites.insert({t.x / 10, (t.y - 2) / 6}).second &&
                (t.species == std::string("benzel") || t.species == std::string("sheewash")))
                << t.x << ',' << t.y << ' ' << t.species;
        }
        int slot = 15, lumber = 0, forest = 0;
        for (; creatures[slot].kind == KIND_DEAD_BRANCH; ++slot, ++lumber) {
            const Creature& b = creatures[slot];
            EXPECT_TRUE(b.level == 0 && b.glyph == 0xC6 && b.colour == 6 && b.action == 0 &&
                        b.name == std::string("A dead branch") && trunk_at(b.x, b.y) == 0 &&
                        std::ranges::any_of(std::span(great_trees, GREAT_TREE_COUNT),
                                            [&](auto& t) {
                                                return b.x >= t.x - 5 && b.x <= t.x + 6 &&
                                                       std::abs(b.y - t.y) <= 3;
                                            }))
                << "dead branch at " << b.x << ',' << b.y;
            EXPECT_FALSE(std::any_of(creatures, creatures + slot,
                                     [&](const Creature& c) { return c.x == b.x && c.y == b.y; }))
                << "dead branch on a taken cell " << b.x << ',' << b.y;
        }
        EXPECT_GE(lumber, 5);
        for (; creatures[slot].kind == KIND_FOREST_TREE; ++slot, ++forest) {
            const Creature& f = creatures[slot];
            const std::string health = f.colour == 7                     ? "A dying "
                                       : f.colour == 6                   ? "A bare "
                                       : f.colour == 2 || f.colour == 10 ? "A healthy "
                                                                         : "?";
            EXPECT_TRUE(f.x >= -50 && f.x <= 99 && f.y >= -30 && f.y <= 69 && f.level == 0 &&
                        (f.glyph == 5 || f.glyph == 6) && trunk_at(f.x, f.y) == 0 &&
                        std::ranges::count_if(tree_species,
                                              [&](const char* species) {
                                                  return f.name == health + species + " tree";
                                              }) == 1)
                << f.name << " in colour " << f.colour << " at " << f.x << ',' << f.y;
        }
        EXPECT_EQ(forest, 500);
        EXPECT_EQ(creatures[slot].kind, KIND_FREE);
    }
}

TEST_F(WorldGeneration, MissionAndRabbitsStartAsPromised) {
    std::set<int> intelligence, wisdom, stamina;
    int full_health = 0;
    for (std::uint32_t seed = 1; seed <= 200 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        generate(seed);
        EXPECT_TRUE(living_elves == 7 && cursor_x == 30 && cursor_y == 10);
        std::set<std::string> words;
        int downcast = 0;
        for (const Creature& e : std::span(creatures, 7)) {
            ASSERT_EQ(e.kind, KIND_ELF);
            EXPECT_TRUE(e.level == 0 && e.x >= 0 && e.x <= 14 && e.y >= 3 && e.y <= 16 &&
                        e.glyph == 2 && e.colour == 15 && e.health >= 0.25f && e.health <= 1 &&
                        e.step_delay >= 0.2f && e.step_delay <= 0.3f && e.timer >= 0 &&
                        e.timer <= 3 && std::ranges::count(elf_titles, e.job_title) == 1)
                << e.name << " at " << e.x << ',' << e.y;
            downcast += e.morale == 0.03f && e.rested == 0.05f;
            EXPECT_TRUE((e.morale == 0 && e.rested == 0) ||
                        (e.morale == 0.03f && e.rested == 0.05f));
            std::istringstream name(e.name);
            for (std::string word; name >> word;) {
                EXPECT_TRUE(words.insert(word).second && std::ranges::count(elf_name_words, word))
                    << e.name;
            }
            intelligence.insert(e.intelligence);
            wisdom.insert(e.wisdom);
            stamina.insert(e.stamina);
            full_health += e.health == 1.0f;
        }
        EXPECT_EQ(downcast, 2);
        EXPECT_EQ(words.size(), 14u);
        for (int slot = 7; slot < 15; ++slot) {
            const Creature& r = creatures[slot];
            const int near = slot == 7;  // the first rabbit starts near the elves
            EXPECT_TRUE(r.kind == KIND_RABBIT && r.level == 0 && r.glyph == 'b' && r.colour == 7 &&
                        r.action == ACT_IDLE && r.name == DEFAULT_RABBIT_NAME && r.timer == 0 &&
                        r.step_delay >= 0.8f && r.step_delay <= 1.7f &&
                        r.x >= (near ? -20 : -200) && r.x <= (near ? 79 : 199) &&
                        r.y >= (near ? -10 : -100) && r.y <= (near ? 29 : 99))
                << "rabbit " << slot << " at " << r.x << ',' << r.y;
        }
        EXPECT_TRUE(std::none_of(creatures + 15, creatures + CREATURE_SLOTS, [](auto& c) {
            return c.kind == KIND_ELF || c.kind == KIND_RABBIT;
        }));
    }
    EXPECT_EQ(intelligence, (std::set<int>{12, 13, 14, 15, 16, 17, 18}));
    EXPECT_EQ(stamina, (std::set<int>{8, 9, 10, 11, 12, 13, 14}));
    EXPECT_TRUE(wisdom.size() == 16 && *wisdom.begin() == 3 && *wisdom.rbegin() == 18);
    EXPECT_NEAR(full_health / 1400.0, 0.6, 0.05) << "about three elves in five in full health";
}

TEST_F(WorldTable, TrunkAtFindsEitherTrunkCellOfTheSixGreatTrees) {
    for (int t = 0; t < GREAT_TREE_SLOTS; ++t) {
        great_trees[t] = GreatTree{10 * t, 5 + t, {}, "benzel"};
    }
    struct Case {
        std::int32_t x, y, found, side;  // side -1: trunk_side left as it was
    } const cases[] = {{0, 5, 1, 0},  {1, 5, 1, 1},   {2, 5, 0, -1},  {-1, 5, 0, -1},
                       {0, 6, 0, -1}, {51, 10, 1, 1}, {50, 10, 1, 0}, {60, 11, 0, -1}};
    for (const Case& c : cases) {
        trunk_side = -1;
        EXPECT_EQ(trunk_at(c.x, c.y), c.found) << c.x << ',' << c.y;
        EXPECT_EQ(trunk_side, c.side) << c.x << ',' << c.y;
    }
}

TEST_F(WorldTable, FullTableGivesFreeThenJunkThenLowestRabbitThenNothing) {
    for (Creature& c : creatures) {
        c.kind = KIND_FOREST_TREE;
    }
    creatures[900].kind = KIND_FREE;
    creatures[400].kind = KIND_JUNK;
    creatures[400].x = -3;
    creatures[700].kind = creatures[300].kind = KIND_RABBIT;
    for (const int expected : {900, 400, 300, 700}) {
        Creature* slot = find_free_slot();
        ASSERT_EQ(slot, &creatures[expected]);
        slot->kind = KIND_PLATFORM;
    }
    EXPECT_EQ(creatures[400].x, -3) << "a reused slot is handed back uncleared";
    EXPECT_EQ(find_free_slot(), nullptr);
    EXPECT_EQ(create_elf(1, 2), nullptr);
}

TEST_F(WorldTable, HandMadePathsGrowSegmentsStepByStep) {
    seed_random(1);
    for (int t = 0; t < GREAT_TREE_COUNT; ++t) {
        great_trees[t] = GreatTree{100 + 10 * t, 50, {}, "sheewash"};
    }
    great_trees[0] = GreatTree{20, 10, {}, "benzel"};
    great_trees[0].branch_paths[1][0] = 2u << 4;                 // only the third group set
    great_trees[0].branch_paths[1][6] = 1u | 2u << 2 | 3u << 4;  // left, straight, right
    great_trees[1].branch_paths[2][2] = 0x2AA;                   // five steps east
    grow_trees();
    struct Expected {
        std::int32_t x, y, level;
        std::uint32_t glyph;
        std::int32_t distance, leaves;
    } const expected[] = {
        {20, 10, 1, 0xC4, 0, 0},   {19, 10, 1, 0xC4, 1, 6},   {19, 9, 1, '|', 2, 6},  // W W N
        {19, 11, 1, '/', 0, 0},    {18, 11, 1, 0xC4, 1, 6},   {17, 10, 1, '\\', 2, 6},
        {112, 50, 2, 0xC4, 0, 0},  {113, 50, 2, 0xC4, 1, 0},  {114, 50, 2, 0xC4, 2, 0},
        {115, 50, 2, 0xC4, 3, 16}, {116, 50, 2, 0xC4, 4, 16},
    };
    ASSERT_EQ(array_length(branch_segments), static_cast<int>(std::size(expected)));
    int leaf = 0;
    for (int i = 0; i < array_length(branch_segments); ++i) {
        const BranchSegment& s = branch_segments[i];
        const Expected& e = expected[i];
        EXPECT_TRUE(s.x == e.x && s.y == e.y && s.level == e.level && s.glyph == e.glyph &&
                    s.distance == e.distance)
            << "segment " << i << ": " << s.x << ',' << s.y << ',' << s.level << " glyph "
            << s.glyph << " distance " << s.distance;
        for (int k = 0; k < e.leaves; ++k, ++leaf) {
            EXPECT_TRUE(std::abs(leaves[leaf].x - s.x) <= 2 && std::abs(leaves[leaf].y - s.y) <= 1)
                << "leaf " << leaf << " of segment " << i;
        }
    }
    EXPECT_EQ(array_length(leaves), leaf);
}

}  // namespace

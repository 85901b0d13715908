#include "world/worldgen.h"

#include <cstdint>

#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "util/random.h"
#include "world/trees.h"
#include "world/world.h"

namespace {

constexpr std::int32_t FOREST_TREE_COUNT = 500;
constexpr std::int32_t MIN_DEAD_BRANCHES = 5;

void place_great_trees() {
    std::int32_t slot = 0;
    for (std::int32_t bx : {10, 20, 30, 40}) {
        for (std::int32_t by : {2, 8, 14}) {
            GreatTree& tree = great_trees[slot++];
            tree.x = bx + static_cast<std::int32_t>(next_random() % 7);
            tree.y = by + static_cast<std::int32_t>(next_random() % 5);
        }
    }
    shuffle(great_trees, GREAT_TREE_SLOTS, sizeof(GreatTree), next_random());
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        great_trees[i].species = (next_random() & 3) == 1 ? "sheewash" : "benzel";
    }
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        for (std::int32_t level = 1; level <= 2; ++level) {
            for (std::int32_t d = 0; d < 8; ++d) {
                great_trees[i].branch_paths[level][d] = choose_branch_path(level, d);
            }
        }
    }
}

bool cell_taken(std::int32_t x, std::int32_t y) {
    for (const Creature& c : creatures) {
        if (c.kind != KIND_FREE && c.x == x && c.y == y) {
            return true;
        }
    }
    return false;
}

void scatter_dead_branches() {
    std::int32_t placed = 0;
    while (placed < MIN_DEAD_BRANCHES) {
        for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
            const GreatTree& tree = great_trees[i];
            const std::uint32_t first = next_random() % 3;
            std::int32_t n = static_cast<std::int32_t>(first + (next_random() & 3));
            if (random_unit() < 0.6) {
                n /= 2;
            }
            if (random_unit() < 0.3) {
                n /= 2;
            }
            if (i == 0) {
                n += 1;
            }
            for (std::int32_t attempt = 0; attempt < n; ++attempt) {
                const std::int32_t x = tree.x + static_cast<std::int32_t>(next_random() % 12) - 5;
                const std::int32_t y = tree.y + static_cast<std::int32_t>(next_random() % 7) - 3;
                if (trunk_at(x, y) != 0 || cell_taken(x, y)) {
                    continue;
                }
                Creature* branch = find_free_slot();
                if (branch == nullptr) {
                    continue;
                }
                branch->x = x;
                branch->y = y;
                branch->level = 0;
                branch->kind = KIND_DEAD_BRANCH;
                branch->glyph = 0xC6;
                branch->colour = 6;
                branch->name = "A dead branch";
                branch->action = 0;
                ++placed;
            }
        }
    }
}

void plant_forest() {
    for (std::int32_t i = 0; i < FOREST_TREE_COUNT; ++i) {
        Creature* tree = find_free_slot();
        if (tree == nullptr) {
            return;
        }
        tree->kind = KIND_FOREST_TREE;
        tree->glyph = random_tree_glyph();
        tree->colour = random_tree_colour();
        const char* species = random_tree_species();
        tree->level = 0;
        do {
            tree->x = static_cast<std::int32_t>(next_random() % 150) - 50;
            tree->y = static_cast<std::int32_t>(next_random() % 100) - 30;
        } while (trunk_at(tree->x, tree->y) != 0);
        tree->name = format_string(tree_name_format(tree->colour), species);
    }
}

}  // namespace

void generate_world() {
    next_random();  // the first draw is thrown away
    populate_creatures();
    cursor_x = 30;
    cursor_y = 10;
    place_great_trees();
    grow_trees();
    scatter_dead_branches();
    plant_forest();
}

#include "world/trees.h"

#include "util/array.h"
#include "util/random.h"
#include "world/world.h"

const char* const tree_species[TREE_SPECIES_COUNT] = {
    "monkey-puzzle", "bog oak", "mulberry", "cypress",    "cottonwood", "poisonwood",
    "crab-apple",    "larch",   "ginkgo",   "baobab",     "yew",        "elm",
    "fever-tree",    "spruce",  "willow",   "frangipani",
};

std::uint32_t choose_branch_path(std::int32_t level, std::int32_t direction) {
    std::int32_t limit = level == 1 ? 6 : 8;
    if (direction == 2 || direction == 6) {
        limit += limit / 2;  // branches spread furthest east and west
    }
    if (!(random_unit() < 0.25 + 0.4 * (level - 1))) {
        return 0;
    }
    std::uint32_t path = 0;
    std::int32_t p = 0;
    std::uint32_t code = 2;
    std::int32_t run = static_cast<std::int32_t>(next_random() % 3) + 1;
    for (;;) {
        path += code << p;
        if (p >= limit) {
            break;
        }
        --run;
        if (run < 1) {
            // Turns and straight runs alternate; a "turn" may still come out straight.
            if (code == 2) {
                code = next_random() % 3 + 1;
                run = static_cast<std::int32_t>(next_random() %
                                                static_cast<std::uint32_t>(2 * level)) +
                      1;
            } else {
                code = 2;
                run = static_cast<std::int32_t>(next_random() %
                                                static_cast<std::uint32_t>(level + 2)) +
                      1;
            }
        }
        p += 2;
        if (p >= 16) {
            break;
        }
    }
    return path;
}

namespace {

void grow_branches(const GreatTree& tree) {
    for (std::int32_t level = 0; level < 3; ++level) {
        for (std::int32_t d = 0; d < 8; ++d) {
            std::uint32_t path = tree.branch_paths[level][d];
            std::int32_t x = d < 4 ? tree.x + 1 : tree.x;
            std::int32_t y = tree.y;
            for (std::int32_t k = 0; path != 0; ++k, path >>= 2) {
                const std::int32_t step = (static_cast<std::int32_t>(path & 3) + d - 2) & 7;
                x += dir_dx[step];
                y += dir_dy[step];
                array_append(branch_segments, BranchSegment{x, y, level, branch_glyph(step), k,
                                                            tree.species, BUILD_NONE});
            }
        }
    }
}

void grow_leaves(const BranchSegment& segment) {
    if ((segment.level == 1 && segment.distance == 0) ||
        (segment.level == 2 && segment.distance <= 2)) {
        return;  // no leaves close to the trunk
    }
    const std::int32_t count = segment.level == 1 ? 6 : 16;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto a = static_cast<std::int32_t>(next_random() % 5);
        const auto b = static_cast<std::int32_t>(next_random() % 3);
        const auto c = static_cast<std::int32_t>(next_random() % 3);
        const auto e = static_cast<std::int32_t>(next_random() & 1);
        const auto g = next_random() & 3;
        array_append(leaves, Leaf{segment.x + a - 2, segment.y + b - 1, segment.level - 1 + c + e,
                                  leaf_glyphs[g]});
    }
}

}  // namespace

void grow_trees() {
    for (std::int32_t i = 0; i < GREAT_TREE_COUNT; ++i) {
        grow_branches(great_trees[i]);
    }
    for (std::int32_t i = 0; i < array_length(branch_segments); ++i) {
        grow_leaves(branch_segments[i]);
    }
}

std::int32_t random_tree_glyph() {
    return (next_random() & 1) == 0 ? 0x06 : 0x05;
}

std::int32_t random_tree_colour() {
    const std::uint32_t r = next_random() % 15;
    if (r == 0) {
        return 7;
    }
    if (r <= 2) {
        return 6;
    }
    if (r <= 5) {
        return 10;
    }
    return 2;
}

const char* random_tree_species() {
    return tree_species[next_random() & 15];
}

const char* tree_name_format(std::int32_t colour) {
    if (colour == 7) {
        return "A dying %s tree";
    }
    if (colour == 6) {
        return "A bare %s tree";
    }
    return "A healthy %s tree";
}

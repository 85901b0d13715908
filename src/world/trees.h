// Growing the great trees' branches and leaves, and the looks of the forest trees.
#pragma once

#include <cstdint>

constexpr std::int32_t TREE_SPECIES_COUNT = 16;
extern const char* const tree_species[TREE_SPECIES_COUNT];

// The packed path of one branch of a great tree at level 1 or 2 in a base direction,
// or 0 when the tree grows no branch there.
std::uint32_t choose_branch_path(std::int32_t level, std::int32_t direction);

// Appends every branch segment of the six great trees, then every leaf.
void grow_trees();

std::int32_t random_tree_glyph();
std::int32_t random_tree_colour();
const char* random_tree_species();
// The describing name format for a forest tree of this colour ("A healthy %s tree"...).
const char* tree_name_format(std::int32_t colour);

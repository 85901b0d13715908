#pragma once

// Builds the whole starting world from the main random generator: elves and rabbits,
// the cursor, six great trees with branches and leaves, dead branches, forest trees.
void generate_world();

// The game's two random generators. The main one is a Mersenne Twister seeded through
// the small one; the small one also drives shuffles and the map view's repeatable
// ground patterns. A seed and the player's inputs determine a whole game.
#pragma once

#include <cstdint>

extern std::uint32_t lcg_state;

std::uint32_t lcg_reseed(std::uint32_t new_state);  // returns the previous state
std::uint32_t lcg_next();
void seed_random(std::uint32_t seed);
std::uint32_t next_random();
double random_unit();  // next_random() * 2^-32, in [0, 1)
void shuffle(void* base, std::int32_t count, std::int32_t size, std::uint32_t seed);
void swap_elements(void* a, void* b, std::int32_t size);

// Back to the never-seeded state with lcg_state 0.
void reset_random();

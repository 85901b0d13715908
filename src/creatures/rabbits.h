// Rabbits and the remains they eat; the death of an elf.
#pragma once

#include <array>
#include <cstdint>

struct Creature;

constexpr std::int32_t BODY_PART_COUNT = 23;
// Each text is a glyph byte, a blank and the part's name; reordered at every death.
extern std::array<const char*, BODY_PART_COUNT> body_parts;

extern const char FAILURE_MESSAGE[];

void rabbit_choose_task(Creature* rabbit);
void start_eating(Creature* rabbit);
void finish_meal(Creature* rabbit);
// The end of a fall: the elf becomes its corpse and leaves body parts around it.
void die_of_fall(Creature* elf);

void reset_rabbits();

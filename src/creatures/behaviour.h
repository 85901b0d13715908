// The action machine of elves and rabbits: timers, idling, walking and arriving.
#pragma once

#include <cstdint>

struct Creature;

struct CellPosition {
    std::int32_t x, y, level;
};

void set_action(Creature* c, std::int32_t action);
// One act of an elf or rabbit whose timer has run out; re-arms the timer.
void creature_act(Creature* c);
// What an idle creature takes up; may leave it idle or start a walk.
void choose_task(Creature* c);
// The next cell on the way from (x, y, level) to the goal: across the map only on the
// ground or at the goal's level, climbing one level a step, around trunks.
CellPosition step_toward(std::int32_t x, std::int32_t y, std::int32_t level, std::int32_t tx,
                         std::int32_t ty, std::int32_t tl);
void arrive(Creature* c, std::int32_t on_arrival);

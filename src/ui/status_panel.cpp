#include "ui/status_panel.h"

#include <cstdint>

#include "creatures/creatures.h"
#include "terminal/screen.h"

namespace {

// The stored fraction times 100, taken in double and truncated: a health of 0.29 as a
// float is 0.28999..., so it shows 28.
std::int32_t percent(float fraction) {
    return static_cast<std::int32_t>(static_cast<double>(fraction) * 100.0);
}

const char* activity_suffix(const Creature* elf) {
    switch (elf->action) {
        case ACT_SLEEPING:
            return " (sleeping)";
        case ACT_FALLING:
            return " (falling)";
        case ACT_WALKING:
            return elf->on_arrival == ARRIVE_SLEEP ? " (to sleep)" : "";
        case ACT_BUILDING:
            return " (building)";
        default:
            return "";
    }
}

}  // namespace

void draw_elf_status(const Creature* elf) {
    print_fmt("%s\n", elf->name);
    print_fmt("%s", elf->job_title);
    print_fmt("%s", activity_suffix(elf));
    print_fmt("\n");
    print_fmt("Health:%3d  Int: %2d\n", percent(elf->health), elf->intelligence);
    print_fmt("Morale:%3d  Wis: %2d\n", percent(elf->morale), elf->wisdom);
    print_fmt("Rested:%3d  Stam:%2d", percent(elf->rested), elf->stamina);
}

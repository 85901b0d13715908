#include "creatures/platforms.h"

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "util/array.h"
#include "util/random.h"
#include "world/world.h"

namespace {

Creature* last_free_dead_branch() {
    for (std::int32_t slot = CREATURE_SLOTS - 1; slot >= 0; --slot) {
        if (creatures[slot].kind == KIND_DEAD_BRANCH && creatures[slot].action == 0) {
            return &creatures[slot];
        }
    }
    return nullptr;
}

Creature* first_free_platform() {
    for (Creature& c : creatures) {
        if (c.kind == KIND_PLATFORM && c.action == 0) {
            return &c;
        }
    }
    return nullptr;
}

BranchSegment* first_requested_branch() {
    for (std::int32_t i = 0; i < array_length(branch_segments); ++i) {
        if (branch_segments[i].build_state == BUILD_REQUESTED) {
            return &branch_segments[i];
        }
    }
    return nullptr;
}

void head_for(Creature* elf, const Creature* thing, std::int32_t on_arrival) {
    elf->target_x = thing->x;
    elf->target_y = thing->y;
    elf->target_level = thing->level;
    elf->on_arrival = on_arrival;
}

// Building work, when the elf is a woodworker and platforms are still wanted. Returns
// false when the elf should look for a place to sleep instead.
bool take_building_work(Creature* elf) {
    if (elf->is_woodworker != 1 || platforms_built >= living_elves) {
        return false;
    }
    Creature* lumber = nullptr;
    if (elf->carrying_lumber == 0) {
        lumber = last_free_dead_branch();
        if (lumber == nullptr) {
            return false;
        }
    }
    BranchSegment* order = first_requested_branch();
    if (order == nullptr) {
        return true;  // nothing ordered: the woodworker wanders rather than sleeps
    }
    elf->site = order;
    order->build_state = BUILD_UNDERWAY;
    if (elf->carrying_lumber != 0) {
        go_to_site(elf);
    } else {
        elf->target = lumber;
        lumber->action = 1;
        head_for(elf, lumber, ARRIVE_PICK_UP);
        set_action(elf, ACT_WALKING);
    }
    return true;
}

}  // namespace

void elf_choose_task(Creature* elf) {
    if (take_building_work(elf)) {
        return;
    }
    Creature* platform = first_free_platform();
    if (platform == nullptr) {
        return;
    }
    platform->action = 1;
    elf->target = platform;
    head_for(elf, platform, ARRIVE_SLEEP);
    elf->action = ACT_WALKING;
    elf->timer = static_cast<float>((random_unit() + 1) * 0.5);
}

void go_to_site(Creature* elf) {
    elf->target_x = elf->site->x;
    elf->target_y = elf->site->y;
    elf->target_level = elf->site->level;
    elf->on_arrival = ARRIVE_BUILD;
    elf->action = ACT_WALKING;
    elf->timer = static_cast<float>(1 + 2 * random_unit());
}

void pick_up_lumber(Creature* elf) {
    if (elf->target == nullptr) {
        set_action(elf, ACT_IDLE);
        return;
    }
    elf->target->kind = KIND_FREE;
    elf->carrying_lumber = 1;
    go_to_site(elf);
}

void start_building(Creature* elf) {
    log_message("%s has begun building a sleeping platform.", elf->name);
    set_action(elf, ACT_BUILDING);
}

void finish_building(Creature* elf) {
    if (elf->site != nullptr && elf->site->build_state == BUILD_UNDERWAY) {
        log_message("%s finished building a sleeping platform.", elf->name);
        platforms_built += 1;
        set_action(elf, ACT_IDLE);
        elf->site->build_state = BUILD_DONE;
        elf->carrying_lumber = 0;
        if (Creature* platform = find_free_slot()) {
            platform->x = elf->x;
            platform->y = elf->y;
            platform->level = elf->level;
            platform->glyph = 219;
            platform->colour = 6;
            platform->action = 0;
            platform->kind = KIND_PLATFORM;
        }
    } else {
        set_action(elf, ACT_IDLE);  // the order was withdrawn; the lumber is kept
    }
    elf->site = nullptr;
}

void fall_out_of_tree(Creature* elf) {
    if (elf->target != nullptr) {
        elf->target->action = 0;
    }
    log_message("%s (sleeping) fell out of a tree.", elf->name);
    set_action(elf, ACT_FALLING);
    elf->colour = 12;
    elf->level = 1;
}

void abandon_errand(Creature* elf) {
    // Lumber claimed but not yet picked up goes back to the pile for other
    // woodworkers, instead of lying claimed for ever.
    Creature* lumber = elf->target;
    if (elf->on_arrival == ARRIVE_PICK_UP && lumber != nullptr &&
        lumber->kind == KIND_DEAD_BRANCH && lumber->action == 1) {
        lumber->action = 0;
    }
    elf->site = nullptr;
    set_action(elf, ACT_IDLE);
}

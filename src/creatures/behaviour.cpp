#include "creatures/behaviour.h"

#include <algorithm>

#include "creatures/creatures.h"
#include "creatures/platforms.h"
#include "creatures/rabbits.h"
#include "util/random.h"
#include "world/world.h"

namespace {

std::int32_t sign(std::int32_t v) {
    return (v > 0) - (v < 0);
}

void idle_step(Creature* c) {
    c->timer = static_cast<float>(random_unit() + 0.75);
    choose_task(c);
    if (c->action != ACT_IDLE) {
        return;
    }
    std::int32_t nx = 0;
    std::int32_t ny = 0;
    if (c->kind == KIND_ELF) {
        // Elves drift north-west more than south-east, and only now and then are
        // pulled back toward the great trees.
        const std::uint32_t r1 = next_random();
        const std::uint32_t r2 = next_random();
        nx = c->x + static_cast<std::int32_t>(r1 % 6 + r2 % 6) - 6;
        const std::uint32_t r3 = next_random();
        const std::uint32_t r4 = next_random();
        ny = c->y + static_cast<std::int32_t>((r3 & 3) + (r4 & 3)) - 4;
        if (random_unit() < 0.25) {
            nx = std::clamp(nx, 2, 50);
            ny = std::clamp(ny, 0, 19);
        }
    } else {
        const std::uint32_t r1 = next_random();
        nx = c->x + static_cast<std::int32_t>(r1 % 5) - 2;
        const std::uint32_t r2 = next_random();
        ny = c->y + static_cast<std::int32_t>(r2 % 3) - 1;
        const double u1 = random_unit();
        const double u2 = random_unit();
        c->timer = static_cast<float>(4 * u1 * u2 + 0.25);
    }
    if (trunk_at(nx, ny) != 0) {
        return;
    }
    c->target_x = nx;
    c->target_y = ny;
    c->target_level = 0;
    c->on_arrival = ARRIVE_NOTHING;
    c->action = ACT_WALKING;
    if (c->kind == KIND_ELF) {
        c->timer = static_cast<float>(3 + 6 * random_unit());
    }
}

void walking_step(Creature* c) {
    if (c->site != nullptr && c->site->build_state != BUILD_UNDERWAY) {
        abandon_errand(c);
        return;
    }
    if (c->kind == KIND_RABBIT && c->target != nullptr && random_unit() < 0.1) {
        set_action(c, ACT_IDLE);
        c->timer = static_cast<float>((random_unit() + 1) * 0.5);
        return;
    }
    if (c->x == c->target_x && c->y == c->target_y && c->level == c->target_level) {
        arrive(c, c->on_arrival);
        return;
    }
    const CellPosition next =
        step_toward(c->x, c->y, c->level, c->target_x, c->target_y, c->target_level);
    c->x = next.x;
    c->y = next.y;
    c->level = next.level;
    c->timer = c->step_delay;
}

}  // namespace

void set_action(Creature* c, std::int32_t action) {
    c->action = action;
    switch (action) {
        case ACT_IDLE:
            c->timer = static_cast<float>(1 + random_unit());
            break;
        case ACT_SLEEPING:
            c->timer = static_cast<float>(20 + 50 * random_unit());
            break;
        case ACT_FALLING:
            c->timer = static_cast<float>(1 + random_unit());
            break;
        case ACT_BUILDING:
            // Every platform built makes the next one quicker.
            c->timer = static_cast<float>(20 + 10 * random_unit() - 1.5 * platforms_built);
            break;
        case ACT_EATING_CORPSE:
            c->timer = static_cast<float>(10 + 15 * random_unit());
            break;
        case ACT_EATING_PART:
            c->timer = static_cast<float>(2 + 4 * random_unit());
            break;
        default:
            c->timer = 0.5f;
            break;
    }
}

void creature_act(Creature* c) {
    switch (c->action) {
        case ACT_IDLE:
            idle_step(c);
            break;
        case ACT_SLEEPING:
            fall_out_of_tree(c);
            break;
        case ACT_FALLING:
            die_of_fall(c);
            break;
        case ACT_WALKING:
            walking_step(c);
            break;
        case ACT_BUILDING:
            finish_building(c);
            break;
        case ACT_EATING_CORPSE:
        case ACT_EATING_PART:
            finish_meal(c);
            break;
        default:
            break;
    }
}

void choose_task(Creature* c) {
    if (c->kind == KIND_RABBIT) {
        rabbit_choose_task(c);
    } else {
        elf_choose_task(c);
    }
}

CellPosition step_toward(std::int32_t x, std::int32_t y, std::int32_t level, std::int32_t tx,
                         std::int32_t ty, std::int32_t tl) {
    std::int32_t nx = x;
    std::int32_t ny = y;
    std::int32_t nl = level;
    if (level == 0 || level == tl) {
        nx = x + sign(tx - x);
        ny = y + sign(ty - y);
        if (nx == tx && ny == ty) {
            return {nx, ny, level + sign(tl - level)};
        }
    } else {
        nl = level + sign(tl - level);
        if (x == tx && y == ty) {
            return {nx, ny, nl};
        }
    }
    if (trunk_at(nx, ny) != 0) {
        if (ny == y) {
            ny += (next_random() & 1) != 0 ? 1 : -1;
        } else if (nx == x) {
            nx = trunk_side == 0 ? x - 1 : x + 1;
        } else if (trunk_at(nx, y) != 0) {
            nx = x;
        } else {
            ny = y;
        }
    }
    return {nx, ny, nl};
}

void arrive(Creature* c, std::int32_t on_arrival) {
    switch (on_arrival) {
        case ARRIVE_PICK_UP:
            pick_up_lumber(c);
            break;
        case ARRIVE_SLEEP:
            set_action(c, ACT_SLEEPING);
            break;
        case ARRIVE_BUILD:
            start_building(c);
            break;
        case ARRIVE_EAT:
            start_eating(c);
            break;
        default:
            set_action(c, ACT_IDLE);
            break;
    }
}

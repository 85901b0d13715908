#include "creatures/rabbits.h"

#include <cstring>

#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "ui/jobs.h"
#include "util/random.h"

namespace {

constexpr std::array<const char*, BODY_PART_COUNT> BODY_PARTS_AT_START = {
    "\xEC nards",         "\xF5 vestigial tail", "\xE5 croquettes",
    "\xEB tripes",        "\xED boyaux",         "\x9D hippocampus",
    "\xF8 appendix",      "\xF8 nose",           "\xF8 elfhood",
    "u fingernail",       "\x1E left buttock",   "\x1F right buttock",
    "u tongue",           "\x07 kneecap",        "\x9F green wobbly bit",
    "\xF8 right big toe", "\xF5 floating rib",   "\x07 haunch",
    "\x07 brisket",       "\x07 lymph node",     "\xF8 pituitary",
    "\x9D heart chakra",  "\xF8 soul",
};

bool is_corpse(const Creature* remains) {
    return std::strncmp(remains->name, "corpse", 6) == 0;
}

std::int32_t count_elves() {
    std::int32_t count = 0;
    for (const Creature& c : creatures) {
        if (c.kind == KIND_ELF) {
            ++count;
        }
    }
    return count;
}

void scatter_body_parts(const Creature* corpse, const char* elf_name) {
    const std::int32_t h = death_count / 2 + 1;
    const auto spread = static_cast<std::uint32_t>(2 * h + 1);
    for (std::int32_t i = 0; i < h; ++i) {
        if (i >= BODY_PART_COUNT) {
            continue;
        }
        Creature* part = find_free_slot();
        if (part == nullptr) {
            continue;
        }
        part->x = corpse->x + static_cast<std::int32_t>(next_random() % spread) - h;
        part->y = corpse->y + static_cast<std::int32_t>(next_random() % spread) - h;
        part->level = 0;
        part->name = format_string("%s's %s", elf_name, body_parts[i] + 2);
        part->kind = KIND_REMAINS;
        part->action = 0;
        part->glyph = static_cast<unsigned char>(body_parts[i][0]);
        part->colour = 4;
    }
}

}  // namespace

std::array<const char*, BODY_PART_COUNT> body_parts = BODY_PARTS_AT_START;

const char FAILURE_MESSAGE[] =
    "All the elves died. The mission is a failure. Looks like the elders were right.";

void rabbit_choose_task(Creature* rabbit) {
    // Rows count double, so rabbits prefer remains to the side.
    Creature* best = nullptr;
    std::int64_t best_distance = 0;
    for (Creature& c : creatures) {
        if (c.kind != KIND_REMAINS || c.action != 0) {
            continue;
        }
        const std::int64_t dx = static_cast<std::int64_t>(c.x) - rabbit->x;
        const std::int64_t dy = static_cast<std::int64_t>(c.y) - rabbit->y;
        const std::int64_t distance = dx * dx + 2 * dy * dy;
        if (best == nullptr || distance < best_distance) {
            best = &c;
            best_distance = distance;
        }
    }
    if (best == nullptr) {
        return;
    }
    rabbit->target = best;
    rabbit->target_x = best->x;
    rabbit->target_y = best->y;
    rabbit->target_level = 0;
    rabbit->on_arrival = ARRIVE_EAT;
    set_action(rabbit, ACT_WALKING);
}

void start_eating(Creature* rabbit) {
    Creature* meal = rabbit->target;
    if (meal != nullptr && meal->kind == KIND_REMAINS && meal->x == rabbit->x &&
        meal->y == rabbit->y && meal->action == 0) {
        meal->action = 1;
        set_action(rabbit, is_corpse(meal) ? ACT_EATING_CORPSE : ACT_EATING_PART);
        return;
    }
    set_action(rabbit, ACT_IDLE);
}

void finish_meal(Creature* rabbit) {
    const bool ate_corpse = rabbit->action == ACT_EATING_CORPSE;
    if (Creature* meal = rabbit->target) {
        log_message("%s ate %s.", rabbit->name, meal->name);
        // A rabbit earns a name with its first whole corpse, while names last.
        if (ate_corpse && rabbit->name == DEFAULT_RABBIT_NAME &&
            rabbits_named < RABBIT_NAME_COUNT) {
            rabbit->name = format_string("%s the rabbit", rabbit_names[rabbits_named]);
            rabbits_named += 1;
        }
        meal->kind = KIND_FREE;
    }
    set_action(rabbit, ACT_IDLE);
    if (ate_corpse) {
        rabbit->timer = static_cast<float>(rabbit->timer + 4 * random_unit());
    }
}

void die_of_fall(Creature* elf) {
    const auto damage = static_cast<std::int32_t>(next_random() % 50) + 50;
    log_message("%s took %d points of falling damage.", elf->name, damage);
    elf->health = 0;
    log_message("%s died.", elf->name);
    show_feedback("\n\n\n\n\n");
    death_count += 1;
    if (selected_elf == elf) {
        selected_elf = nullptr;
    }
    elf->level = 0;
    elf->kind = KIND_REMAINS;
    elf->glyph = '%';
    elf->colour = 12;
    elf->action = 0;
    shuffle(body_parts.data(), BODY_PART_COUNT, sizeof body_parts[0], next_random());
    const char* elf_name = elf->name;
    scatter_body_parts(elf, elf_name);
    elf->name = format_string("corpse of %s", elf_name);
    living_elves = count_elves();
    if (living_elves == 0) {
        log_message("%s", FAILURE_MESSAGE);
        show_feedback("%s", FAILURE_MESSAGE);
    }
}

void reset_rabbits() {
    body_parts = BODY_PARTS_AT_START;
}

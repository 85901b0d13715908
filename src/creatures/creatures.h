// The creature table: every elf, rabbit, forest tree, dead branch, sleeping platform
// and remains on the map is one record of one fixed table.
#pragma once

#include <array>
#include <cstdint>

struct BranchSegment;

constexpr std::int32_t CREATURE_SLOTS = 1000;

enum : std::int32_t {
    KIND_FREE = 0,
    KIND_ELF = 1,
    KIND_FOREST_TREE = 2,
    KIND_RABBIT = 3,
    KIND_REMAINS = 4,
    KIND_PLATFORM = 5,
    KIND_DEAD_BRANCH = 6,
    KIND_JUNK = 7,
};

enum : std::int32_t {
    ACT_IDLE = 0,
    ACT_SLEEPING = 1,
    ACT_FALLING = 2,
    ACT_WALKING = 3,
    ACT_BUILDING = 4,
    ACT_EATING_CORPSE = 5,
    ACT_EATING_PART = 6,
};

enum : std::int32_t {
    ARRIVE_PICK_UP = 1,
    ARRIVE_SLEEP = 2,
    ARRIVE_BUILD = 3,
    ARRIVE_NOTHING = 4,
    ARRIVE_EAT = 6,
};

struct Creature {
    std::int32_t x, y;
    std::int32_t level;
    std::int32_t kind;
    std::int32_t glyph;
    std::int32_t colour;
    float morale;
    float health;
    float rested;
    std::int32_t stamina;
    std::int32_t intelligence;
    std::int32_t wisdom;
    const char* name;
    float step_delay;
    const char* job_title;
    std::int32_t is_woodworker;
    std::int32_t action;  // elves and rabbits: ACT_*; things: 1 when claimed
    std::int32_t target_x, target_y, target_level;
    std::int32_t on_arrival;
    float timer;
    BranchSegment* site;
    Creature* target;
    std::int32_t carrying_lumber;
};

extern Creature creatures[CREATURE_SLOTS];

extern std::int32_t living_elves;
extern std::int32_t death_count;
extern std::int32_t platforms_built;
extern std::int32_t rabbits_named;

constexpr std::int32_t ELF_TITLE_COUNT = 24;
constexpr std::int32_t ELF_NAME_WORD_COUNT = 21;
constexpr std::int32_t RABBIT_NAME_COUNT = 12;

extern const char* const elf_titles[ELF_TITLE_COUNT];
// Shuffled in place once a game, so they are not constant.
extern std::array<const char*, ELF_NAME_WORD_COUNT> elf_name_words;
extern std::array<const char*, RABBIT_NAME_COUNT> rabbit_names;
extern const char DEFAULT_RABBIT_NAME[];

// The first free slot, else the first junk, else the lowest rabbit (overwritten);
// null when the table holds none of these. The slot is handed back uncleared.
Creature* find_free_slot();
Creature* create_elf(std::int32_t x, std::int32_t y);
void populate_creatures();

// Back to an empty table, zero counters and the name tables in their first order.
void reset_creatures();

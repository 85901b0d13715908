#include "creatures/creatures.h"

#include <algorithm>
#include <cstring>

#include "terminal/messages.h"
#include "util/random.h"

Creature creatures[CREATURE_SLOTS];

std::int32_t living_elves;
std::int32_t death_count;
std::int32_t platforms_built;
std::int32_t rabbits_named;

const char* const elf_titles[ELF_TITLE_COUNT] = {
    "Philosopher",    "Poet",        "Wayfarer",         "Sage",
    "Hermit",         "Twigwright",  "Folk Mandolinist", "High Druidess",
    "Ethnobotanist",  "Bodger",      "Moonsinger",       "Naturist",
    "Hedgehog Blade", "Aesthete",    "Cenobite",         "Yogini",
    "Cat Herder",     "Enchantress", "Upstart",          "Farmboy",
    "Cat Lady",       "Spirit Mage", "Green Mage",       "Organic Mage",
};

namespace {

constexpr std::array<const char*, ELF_NAME_WORD_COUNT> ELF_NAME_WORDS_AT_START = {
    "Leaffriend", "Larkspur", "Tulip",      "Jasmine",   "Sheepshead", "Persimmon", "Buttercup",
    "Daffodil",   "Daisy",    "Longshanks", "Brighteye", "Darkwood",   "Sunlight",  "Whisperfoot",
    "Softshadow", "Milksop",  "Quickstep",  "Keen",      "Blackwing",  "Starshine", "Sapphire",
};

constexpr std::array<const char*, RABBIT_NAME_COUNT> RABBIT_NAMES_AT_START = {
    "Gluttonous Ravager", "Gorthrak the Invidious", "Ironfluff Mercutio III", "Fleshgorge",
    "lolbunny",           "Bloodgouge Half-Hyena",  "Wrathclaw Fleshtunnel",  "Fangpaw Toothgnash",
    "Woundwort",          "Bitey McCarrion",        "Gargrak Gnawtorso",      "Lagomorph of Doom",
};

constexpr std::int32_t ELF_COUNT = 7;
constexpr std::int32_t RABBIT_COUNT = 8;

Creature* first_of_kind(std::int32_t kind) {
    for (auto& c : creatures) {
        if (c.kind == kind) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace

std::array<const char*, ELF_NAME_WORD_COUNT> elf_name_words = ELF_NAME_WORDS_AT_START;
std::array<const char*, RABBIT_NAME_COUNT> rabbit_names = RABBIT_NAMES_AT_START;
const char DEFAULT_RABBIT_NAME[] = "a bunny rabbit";

Creature* find_free_slot() {
    for (std::int32_t kind : {KIND_FREE, KIND_JUNK, KIND_RABBIT}) {
        if (Creature* slot = first_of_kind(kind)) {
            return slot;
        }
    }
    return nullptr;
}

Creature* create_elf(std::int32_t x, std::int32_t y) {
    Creature* elf = find_free_slot();
    if (elf == nullptr) {
        return nullptr;
    }
    elf->x = x;
    elf->y = y;
    elf->level = 0;
    elf->morale = 0;
    elf->rested = 0;
    const double u1 = random_unit();
    const double u2 = random_unit();
    elf->health = static_cast<float>(std::clamp(1.25 - u1 * u2, 0.0, 1.0));
    std::uint32_t r1 = next_random();
    std::uint32_t r2 = next_random();
    elf->intelligence = static_cast<std::int32_t>(12 + (r1 & 3) + (r2 & 3));
    r1 = next_random();
    r2 = next_random();
    const std::uint32_t r3 = next_random();
    elf->wisdom = static_cast<std::int32_t>(3 + r1 % 6 + r2 % 6 + r3 % 6);
    r1 = next_random();
    r2 = next_random();
    elf->stamina = static_cast<std::int32_t>(8 + (r1 & 3) + (r2 & 3));
    elf->kind = KIND_ELF;
    elf->name = "an elf";
    elf->glyph = 2;
    elf->colour = 15;
    elf->step_delay = static_cast<float>(0.2 + 0.1 * random_unit());
    elf->job_title = elf_titles[next_random() % ELF_TITLE_COUNT];
    elf->carrying_lumber = 0;
    return elf;
}

void populate_creatures() {
    const std::uint32_t a = next_random() % ELF_COUNT;
    std::uint32_t b = next_random() % ELF_COUNT;
    if (b == a) {
        b = (b + 1) % ELF_COUNT;
    }
    Creature* elves[ELF_COUNT] = {};
    for (std::uint32_t i = 0; i < ELF_COUNT; ++i) {
        const auto y = static_cast<std::int32_t>(3 + next_random() % 14);
        const auto x = static_cast<std::int32_t>(next_random() % 15);
        Creature* elf = create_elf(x, y);
        elves[i] = elf;
        if (elf == nullptr) {
            continue;
        }
        const double u1 = random_unit();
        const double u2 = random_unit();
        elf->timer = static_cast<float>(2 * u1 + u2);
        if (i == a || i == b) {
            elf->morale = 0.03f;
            elf->rested = 0.05f;
        }
    }

    shuffle(elf_name_words.data(), ELF_NAME_WORD_COUNT, sizeof elf_name_words[0], next_random());
    for (std::int32_t i = 0; i < ELF_COUNT; ++i) {
        if (elves[i] != nullptr) {
            elves[i]->name =
                format_string("%s %s", elf_name_words[2 * i], elf_name_words[2 * i + 1]);
        }
    }
    living_elves = ELF_COUNT;

    shuffle(rabbit_names.data(), RABBIT_NAME_COUNT, sizeof rabbit_names[0], next_random());
    for (std::int32_t i = 0; i < RABBIT_COUNT; ++i) {
        Creature* rabbit = find_free_slot();
        if (rabbit == nullptr) {
            continue;
        }
        rabbit->x = static_cast<std::int32_t>(next_random() % 400) - 200;
        rabbit->y = static_cast<std::int32_t>(next_random() % 200) - 100;
        if (i == 0) {
            // One rabbit starts near the elves, so the forest is not empty at first.
            rabbit->x = static_cast<std::int32_t>(next_random() % 100) - 20;
            rabbit->y = static_cast<std::int32_t>(next_random() % 40) - 10;
        }
        rabbit->level = 0;
        rabbit->action = ACT_IDLE;
        rabbit->kind = KIND_RABBIT;
        rabbit->glyph = 'b';
        rabbit->colour = 7;
        rabbit->name = DEFAULT_RABBIT_NAME;
        rabbit->step_delay = static_cast<float>(0.8 + 0.9 * random_unit());
    }
}

void reset_creatures() {
    std::memset(creatures, 0, sizeof creatures);
    living_elves = death_count = platforms_built = rabbits_named = 0;
    elf_name_words = ELF_NAME_WORDS_AT_START;
    rabbit_names = RABBIT_NAMES_AT_START;
}

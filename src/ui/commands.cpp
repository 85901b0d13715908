#include "ui/commands.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <span>

#include "creatures/creatures.h"
#include "terminal/keyboard.h"
#include "terminal/messages.h"
#include "terminal/screen.h"
#include "ui/jobs.h"
#include "ui/menus.h"
#include "world/map_view.h"
#include "world/world.h"

float notice_timer = 2.0f;
std::int32_t pause_ended;

namespace {

constexpr std::int32_t CONSUMED = 0;

bool is_letter(std::int32_t key) {
    return key >= 'a' && key <= 'z';
}

// Refusals stand out in red on the detail box's cyan.
void refuse(const char* format, const char* text) {
    select_detail_window(1);
    text_fg = 4;
    print_text("\n");
    print_fmt(format, text);
}

void refuse_as_insane() {
    exclaim("What Elf would do such a thing?!");
    refuse("%s", "Sanity too high.");
}

void select_elves_under_cursor() {
    for (std::int32_t slot = 0; slot < CREATURE_SLOTS; ++slot) {
        const Creature& c = creatures[slot];
        if (c.kind == KIND_ELF && c.x == cursor_x && c.y == cursor_y && c.level == view_level) {
            select_elf(slot);
        }
    }
}

std::int32_t on_main(std::int32_t key) {
    switch (key) {
        case 'c':
            show_menu(MENU_CONSTRUCT);
            return CONSUMED;
        case 'e':
            show_menu(MENU_CHOOSE_ELF);
            return CONSUMED;
        case 'h':
            show_menu(MENU_HARVEST);
            return CONSUMED;
        case 'j':
            show_menu(MENU_ASSIGN_JOB);
            return CONSUMED;
        case 'q':
            show_menu(MENU_QUIT);
            return CONSUMED;
        default:
            return key;
    }
}

std::int32_t on_list(std::int32_t key) {
    for (std::int32_t i = 1; i < choice_count; ++i) {
        const char* item = choice_list[i];
        if (std::tolower(static_cast<unsigned char>(item[0])) != key) {
            continue;
        }
        if (menu_page == MENU_JOB_LIST) {
            assign_job(item);
        } else if (const char* bar = std::strchr(item, '|')) {
            refuse("%s.", bar + 1);
        } else {
            refuse("%s.", choice_fallback);
        }
        return CONSUMED;
    }
    if (key == VKEY_ESCAPE) {
        show_menu(return_page);
        return CONSUMED;
    }
    return key;
}

std::int32_t on_choose_elf(std::int32_t key) {
    if (key == VKEY_ESCAPE) {
        show_menu(MENU_MAIN);
        return key;
    }
    if (!is_letter(key)) {
        return key;
    }
    std::int32_t letter = 'a';
    for (std::int32_t slot = 0; slot < CREATURE_SLOTS; ++slot) {
        if (creatures[slot].kind != KIND_ELF) {
            continue;
        }
        if (letter == key) {
            select_elf(slot);
            return CONSUMED;
        }
        ++letter;
    }
    return key;
}

std::int32_t on_quit(std::int32_t key) {
    switch (key) {
        case 'y':
            std::exit(0);
        case 'c':
            show_menu(MENU_CREDITS);
            break;
        case 'n':
        case VKEY_ESCAPE:
            menu_modal = 0;
            show_menu(MENU_MAIN);
            break;
        default:
            break;
    }
    return CONSUMED;
}

std::int32_t on_assign_job(std::int32_t key) {
    switch (key) {
        case VKEY_ESCAPE:
            show_menu(MENU_MAIN);
            return CONSUMED;
        case 'a':
            show_job_list(artisan_jobs, 6);
            return CONSUMED;
        case 'e':
            show_job_list(elfmastery_jobs, 6);
            return CONSUMED;
        case 'm':
            show_menu(MENU_MATERIAL_JOB);
            return CONSUMED;
        case 'p':
            show_job_list(performer_jobs, 6);
            return CONSUMED;
        case 'r':
            show_job_list(rapport_jobs, 5);
            return CONSUMED;
        case 's':
            show_menu(MENU_STRUCTURAL_JOB);
            return CONSUMED;
        case 't':
            show_job_list(treework_jobs, 5);
            return CONSUMED;
        default:
            return key;
    }
}

// The fixed job pages: each letter gives a job, or (null) is refused as unthinkable.
struct JobKey {
    std::int32_t key;
    const char* job;
};
constexpr JobKey MATERIAL_JOB_KEYS[] = {
    {'f', nullptr}, {'p', "Pebblemaster"}, {'b', "Beekeeper"}, {'r', "Reedfolder"}};
constexpr JobKey STRUCTURAL_JOB_KEYS[] = {
    {'w', "Woodworker"}, {'p', nullptr}, {'d', "Delver"}, {'g', "Grower"}, {'f', "Feng shuist"}};

std::int32_t on_job_page(std::int32_t key, std::span<const JobKey> jobs) {
    if (key == VKEY_ESCAPE) {
        show_menu(MENU_ASSIGN_JOB);
        return key;
    }
    if (is_letter(key) && selected_elf == nullptr) {
        show_feedback("No elf selected.");
        return CONSUMED;
    }
    for (const JobKey& job : jobs) {
        if (job.key != key) {
            continue;
        }
        if (job.job == nullptr) {
            refuse_as_insane();
        } else {
            assign_job(job.job);
        }
        return CONSUMED;
    }
    return key;
}

std::int32_t on_harvest(std::int32_t key) {
    switch (key) {
        case VKEY_ESCAPE:
            show_menu(MENU_MAIN);
            return CONSUMED;
        case 'f':
        case 'h':
        case 'e':
        case 's':
            show_feedback("None currently available.");
            return CONSUMED;
        case 't':
            show_menu(MENU_HARVEST_TREES);
            return CONSUMED;
        default:
            return key;
    }
}

std::int32_t on_harvest_trees(std::int32_t key) {
    if (key == VKEY_ESCAPE) {
        show_menu(MENU_HARVEST);
        return CONSUMED;
    }
    if (key != VKEY_RETURN) {
        return key;
    }
    Creature* tree = creature_under_cursor;
    if (tree == nullptr || tree->kind != KIND_FOREST_TREE) {
        show_feedback("Nothing harvestable there.");
        return CONSUMED;
    }
    tree->action = tree->action == 0 ? 1 : 0;
    show_feedback(tree->action == 1 ? "Marked for harvest." : "No longer harvesting.");
    return CONSUMED;
}

std::int32_t on_construct(std::int32_t key) {
    switch (key) {
        case VKEY_ESCAPE:
            show_menu(MENU_MAIN);
            return CONSUMED;
        case 'k':
            show_feedback("Needed materials not available.");
            return CONSUMED;
        case 's':
            show_menu(MENU_SELECT_MATERIAL);
            return CONSUMED;
        case 'c':
            show_choice_list(cultural_centers, 5, "");
            return CONSUMED;
        case 'p':
            show_choice_list(personal_comfort, 6, "");
            return CONSUMED;
        case 'm':
            show_choice_list(military, 5, "");
            return CONSUMED;
        case 'e':
            show_choice_list(education, 7, "");
            return CONSUMED;
        default:
            return key;
    }
}

std::int32_t on_select_material(std::int32_t key) {
    switch (key) {
        case VKEY_ESCAPE:
            show_menu(MENU_CONSTRUCT);
            return CONSUMED;
        case 'l':
        case 't':
            show_feedback("No lumber available.");
            return CONSUMED;
        case 'b':
            show_menu(MENU_PLACE_PLATFORM);
            return CONSUMED;
        default:
            return key;
    }
}

void order_platform(BranchSegment* branch) {
    if (branch == nullptr) {
        show_feedback("Not a viable location.");
    } else if (branch->build_state == BUILD_NONE) {
        if (branch->level != 2) {
            show_feedback("Cannot build this type at this altitude.");
        } else if (branch->distance >= 2) {
            show_feedback("Branch is too far from trunk.");
        } else {
            branch->build_state = BUILD_REQUESTED;
            show_feedback("Building.");
        }
    } else if (branch->build_state != BUILD_DONE) {
        branch->build_state = BUILD_NONE;
        show_feedback("No longer building here.");
    }
}

std::int32_t on_place_platform(std::int32_t key) {
    if (key == VKEY_ESCAPE) {
        show_menu(MENU_SELECT_MATERIAL);
        return CONSUMED;
    }
    if (key == VKEY_RETURN) {
        order_platform(branch_under_cursor);
        return CONSUMED;
    }
    return key;
}

std::int32_t on_credits(std::int32_t key) {
    if (key == VKEY_ESCAPE) {
        show_menu(MENU_MAIN);
        menu_modal = 0;
        return CONSUMED;
    }
    return key;
}

// Acts on the key for the current page: 0 when the page took it, else the key.
std::int32_t on_page(std::int32_t key) {
    switch (menu_page) {
        case MENU_MAIN:
            return on_main(key);
        case MENU_CHOICE_LIST:
        case MENU_JOB_LIST:
            return on_list(key);
        case MENU_CHOOSE_ELF:
            return on_choose_elf(key);
        case MENU_QUIT:
            return on_quit(key);
        case MENU_ASSIGN_JOB:
            return on_assign_job(key);
        case MENU_MATERIAL_JOB:
            return on_job_page(key, MATERIAL_JOB_KEYS);
        case MENU_STRUCTURAL_JOB:
            return on_job_page(key, STRUCTURAL_JOB_KEYS);
        case MENU_HARVEST:
            return on_harvest(key);
        case MENU_HARVEST_TREES:
            return on_harvest_trees(key);
        case MENU_CONSTRUCT:
            return on_construct(key);
        case MENU_SELECT_MATERIAL:
            return on_select_material(key);
        case MENU_PLACE_PLATFORM:
            return on_place_platform(key);
        case MENU_CREDITS:
            return on_credits(key);
        default:
            return CONSUMED;
    }
}

}  // namespace

void exclaim(const char* text) {
    notice_text = text;
    notice_timer = 5.0f;
}

std::int32_t handle_key(std::int32_t key) {
    for (;;) {
        if (key == VKEY_RETURN) {
            select_elves_under_cursor();
        }
        const std::int32_t result = on_page(key);
        if (menu_modal == 0) {
            return result;
        }
        // The quit question holds the game still until it is answered.
        pause_ended = 1;
        flush_screen();
        key = wait_key();
    }
}

void reset_commands() {
    notice_timer = 2.0f;
    pause_ended = 0;
}

#include "ui/menus.h"

#include <cstring>

#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "terminal/screen.h"

std::int32_t menu_page;
std::int32_t return_page;
const char* const* choice_list;
std::int32_t choice_count;
const char* choice_fallback;
std::int32_t menu_modal;

const char* const cultural_centers[5] = {
    "Cultural centers",
    "Museum|Need a library",
    "Concert Hall|Need a Woodworking shop",
    "Poetry Stage|Need a Woodworking shop",
    "Hall of Legends|Need a Poetry stage",
};

const char* const personal_comfort[6] = {
    "Personal comfort",
    "Hairdressing Salon|Need a Woodworking shop",
    "Clothier|Need a Weavery",
    "Cobbler's Shop|Need an anvil",
    "Tattoo Parlor|Need an Inkmaker's shop",
    "Pillowmaker|Need a Clothier",
};

const char* const education[7] = {
    "Education",
    "School|Need a library",
    "Lecture Hall|Need a Woodworking shop",
    "Observatory|Need a Crystal polishing shop",
    "Library|Need a papermaker",
    "Arcanist's Forge|Need a library",
    "Scout Hall|Need a Clothier",
};

const char* const military[5] = {
    "Military",
    "Fletcher's Shop|Need a Woodworking shop",
    "Archer Nest|Need a Fletcher's shop",
    "Barracks|Need a Woodworking Shop",
    "Dragonroost|Need an Arcanist's forge",
};

namespace {

// The fixed pages: their lines, printed one by one. Pages drawn from data elsewhere
// (the lists, the elves, the quit question, the credits) have no entry here.
struct FixedPage {
    std::int32_t page;
    bool wrap;
    const char* lines[8];
};

constexpr FixedPage FIXED_PAGES[] = {
    {MENU_MAIN,
     false,
     {"Main menu:", " {C}onstruction", " {E}lves", " {H}arvesting", " {J}obs", " {Q}uit"}},
    {MENU_ASSIGN_JOB,
     false,
     {"Assign job:", " {A}rtisan...", " {E}lfmastery...", " {M}aterial...", " {P}erforming...",
      " {R}apport...", " {S}tructural...", " {T}reework..."}},
    {MENU_MATERIAL_JOB,
     false,
     {"Material job:", " {F}orester", " {P}ebblemaster", " {B}eekeeper", " {R}eedfolder"}},
    {MENU_STRUCTURAL_JOB,
     false,
     {"Structural job:", " {W}oodworker", " {P}aver", " {D}elver", " {G}rower", " {F}eng Shuist"}},
    {MENU_HARVEST,
     false,
     {"Harvest:", " {F}lowers", " {H}oney", " {T}rees", " {E}xcretia", " {S}now"}},
    {MENU_HARVEST_TREES, true, {"\nSelect trees to harvest on main map"}},
    {MENU_CONSTRUCT,
     false,
     {"Construct:", " {C}ultural centers...", " {E}ducational facilities...", " {K}itchen",
      " {M}ilitary...", " {P}ersonal comfort...", " {S}leeping platform"}},
    {MENU_SELECT_MATERIAL,
     false,
     {"Select material:", " {B}ranches", " {L}umber", " {T}reated lumber"}},
    {MENU_PLACE_PLATFORM, true, {"\nSpecify location for sleeping platform on main map"}},
};

bool draw_fixed_page(std::int32_t page) {
    for (const FixedPage& fixed : FIXED_PAGES) {
        if (fixed.page != page) {
            continue;
        }
        if (fixed.wrap) {
            word_wrap = 1;
        }
        for (const char* line : fixed.lines) {
            if (line != nullptr) {
                print_line("%s", line);
            }
        }
        return true;
    }
    return false;
}

void draw_choice_list(std::int32_t page) {
    print_line(page == MENU_JOB_LIST ? "%s jobs:" : "%s", choice_list[0]);
    for (std::int32_t i = 1; i < choice_count; ++i) {
        // Only the name before the bar is listed; the requirement is the answer.
        char name[100];
        copy_string(name, choice_list[i], sizeof name);
        if (char* bar = std::strchr(name, '|')) {
            *bar = '\0';
        }
        print_line(" {%c}%s", name[0], name[0] != '\0' ? name + 1 : name);
    }
}

void draw_elf_choices() {
    print_line("Choose an elf:");
    char letter = 'A';
    for (const Creature& c : creatures) {
        if (c.kind == KIND_ELF) {
            print_line(" {%c}. %s", letter, c.name);
            ++letter;
        }
    }
}

void draw_quit_question() {
    print_line("\nReally quit?\n");
    print_line(" {Y}es");
    print_line(" {N}o");
    if (living_elves == 0) {
        print_line(" {C}redits");
    }
    menu_modal = 1;
}

void draw_credits() {
    word_wrap = 1;
    print_line("Credits\n");
    print_line("  {P}rogramming");
    print_line("  {D}esign");
    print_line("     Canopy Hollow team");
    print_line("  {N}ames");
    print_line("  {M}enu items");
    print_line("  {O}ther text");
    print_line("     Canopy Hollow team");
    print_line("     Our playtesters");
    print_line("\n\nNo elves were harmed. Several fell.");
    menu_modal = 0;
}

}  // namespace

void show_menu(std::int32_t page) {
    menu_page = page;
    select_menu_window(1);
    clear_window(0x10);
    if (draw_fixed_page(page)) {
        return;
    }
    switch (page) {
        case MENU_CHOICE_LIST:
        case MENU_JOB_LIST:
            draw_choice_list(page);
            break;
        case MENU_CHOOSE_ELF:
            draw_elf_choices();
            break;
        case MENU_QUIT:
            draw_quit_question();
            break;
        case MENU_CREDITS:
            draw_credits();
            break;
        default:
            break;
    }
}

void open_choice_list(const char* const* list, std::int32_t count, const char* fallback) {
    return_page = menu_page;
    menu_page = MENU_CHOICE_LIST;
    choice_list = list;
    choice_count = count;
    choice_fallback = fallback;
}

void show_choice_list(const char* const* list, std::int32_t count, const char* fallback) {
    open_choice_list(list, count, fallback);
    show_menu(menu_page);
}

void show_job_list(const char* const* list, std::int32_t count) {
    show_choice_list(list, count, "");
    show_menu(MENU_JOB_LIST);
}

void reset_menus() {
    menu_page = MENU_MAIN;
    return_page = 0;
    choice_list = nullptr;
    choice_count = 0;
    choice_fallback = "";
    menu_modal = 0;
}

// The lettered menu pages in the panel at the top right, and the choice lists that the
// construction and job pages open.
#pragma once

#include <cstdint>

enum : std::int32_t {
    MENU_MAIN = 0,
    MENU_CHOICE_LIST = 1,
    MENU_JOB_LIST = 2,
    MENU_CHOOSE_ELF = 3,
    MENU_QUIT = 4,
    MENU_ASSIGN_JOB = 5,
    MENU_MATERIAL_JOB = 6,
    MENU_STRUCTURAL_JOB = 7,
    MENU_HARVEST = 8,
    MENU_HARVEST_TREES = 9,
    MENU_CONSTRUCT = 10,
    MENU_SELECT_MATERIAL = 11,
    MENU_PLACE_PLATFORM = 12,
    MENU_CREDITS = 13,
};

extern std::int32_t menu_page;
extern std::int32_t return_page;
extern const char* const* choice_list;
extern std::int32_t choice_count;
extern const char* choice_fallback;
extern std::int32_t menu_modal;

extern const char* const cultural_centers[5];
extern const char* const personal_comfort[6];
extern const char* const education[7];
extern const char* const military[5];

void show_menu(std::int32_t page);
void open_choice_list(const char* const* list, std::int32_t count, const char* fallback);
void show_choice_list(const char* const* list, std::int32_t count, const char* fallback);
void show_job_list(const char* const* list, std::int32_t count);

void reset_menus();

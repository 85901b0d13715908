// The selected elf and the jobs the player can give it.
#pragma once

#include <cstdint>

struct Creature;

extern Creature* selected_elf;

extern const char* const artisan_jobs[6];
extern const char* const elfmastery_jobs[6];
extern const char* const performer_jobs[6];
extern const char* const rapport_jobs[5];
extern const char* const treework_jobs[5];

void select_elf(std::int32_t slot);
void assign_job(const char* job);
void set_job(Creature* creature, const char* job);
void make_woodworker(Creature* creature);

void reset_jobs();

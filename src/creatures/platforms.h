// Woodworkers building sleeping platforms, elves sleeping on them, and the fall.
#pragma once

struct Creature;

void elf_choose_task(Creature* elf);
void go_to_site(Creature* elf);
void pick_up_lumber(Creature* elf);
void start_building(Creature* elf);
void finish_building(Creature* elf);
void fall_out_of_tree(Creature* elf);
// The order the elf was walking for has been withdrawn: it drops the walk.
void abandon_errand(Creature* elf);

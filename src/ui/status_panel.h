#pragma once

struct Creature;

// Prints an elf's name, job and activity, and its six statistics, as five lines at the
// print cursor of the current window.
void draw_elf_status(const Creature* elf);

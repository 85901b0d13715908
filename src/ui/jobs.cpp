#include "ui/jobs.h"

#include <cstring>

#include "creatures/creatures.h"
#include "terminal/messages.h"
#include "terminal/screen.h"
#include "ui/status_panel.h"

Creature* selected_elf;

const char* const artisan_jobs[6] = {"Artisan",   "Bowyer",  "Fletcher",
                                     "Tattooist", "Florist", "Gardener"};
const char* const elfmastery_jobs[6] = {"Elfmastery", "Naturalist", "Songsculptor",
                                        "Fertilizer", "Masseur",    "Homeopathist"};
const char* const performer_jobs[6] = {"Performer",       "Warprancer",   "Weaseldancer",
                                       "Flower Arranger", "Dreamcrafter", "Archer"};
const char* const rapport_jobs[5] = {"Rapport", "Orcwrangler ", "Rabbit Trainer", "Treeherd",
                                     "Ranger"};
const char* const treework_jobs[5] = {"Treework", "Botanist", "Bark Polisher", "Branch Bender",
                                      "Acorn Burier"};

namespace {
const char WOODWORKER[] = "Woodworker";
}

void select_elf(std::int32_t slot) {
    selected_elf = &creatures[slot];
    select_detail_window(1);
    print_fmt("\nSelected:\n");
    draw_elf_status(selected_elf);
}

void set_job(Creature* creature, const char* job) {
    creature->job_title = job;
    creature->is_woodworker = 0;
}

void make_woodworker(Creature* creature) {
    creature->job_title = WOODWORKER;
    creature->is_woodworker = 1;
}

void assign_job(const char* job) {
    if (selected_elf == nullptr) {
        show_feedback("No elf selected.");
        return;
    }
    if (std::strcmp(job, WOODWORKER) == 0) {
        make_woodworker(selected_elf);
    } else {
        set_job(selected_elf, job);
    }
    show_feedback("Assigned %s as %s.", selected_elf->name, job);
}

void reset_jobs() {
    selected_elf = nullptr;
}

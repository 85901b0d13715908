// The menu panel as the player reads it, page by page, and where ESC leads back to.
#include <string>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "ui/jobs.h"
#include "ui/menus.h"

namespace {

using Rows = std::vector<std::string>;

class Menus : public FreshGame {
  protected:
    // The panel's rows down to the last one with text; its left border stays blank blue.
    static Rows panel(const Frame& frame) {
        EXPECT_EQ(seen_rows(frame, 54, 0, 55, 15, 1), Rows(15));
        Rows rows = seen_rows(frame, 55, 0, 80, 15, 1);
        while (!rows.empty() && rows.back().empty()) {
            rows.pop_back();
        }
        return rows;
    }
    static void fall(std::initializer_list<int> slots) {
        for (const int slot : slots) {
            creatures[slot].action = ACT_FALLING;
            creatures[slot].timer = -1;
        }
    }
};

TEST_F(Menus, EveryPageReadsAsDrawnAndEscGoesOneStepBack) {
    struct Case {
        const char* keys;
        std::int32_t after_esc;
        Rows rows;
    };
    const Case cases[] = {
        {"",
         0,
         {"Main menu:", " {C}onstruction", " {E}lves", " {H}arvesting", " {J}obs", " {Q}uit"}},
        {"c",
         MENU_MAIN,
         {"Construct:", " {C}ultural centers...", " {E}ducational facilities..", " {K}itchen",
          " {M}ilitary...", " {P}ersonal comfort...", " {S}leeping platform"}},
        {"c c",
         MENU_CONSTRUCT,
         {"Cultural centers", " {M}useum", " {C}oncert Hall", " {P}oetry Stage",
          " {H}all of Legends"}},
        {"c p",
         MENU_CONSTRUCT,
         {"Personal comfort", " {H}airdressing Salon", " {C}lothier", " {C}obbler's Shop",
          " {T}attoo Parlor", " {P}illowmaker"}},
        {"c e",
         MENU_CONSTRUCT,
         {"Education", " {S}chool", " {L}ecture Hall", " {O}bservatory", " {L}ibrary",
          " {A}rcanist's Forge", " {S}cout Hall"}},
        {"c m",
         MENU_CONSTRUCT,
         {"Military", " {F}letcher's Shop", " {A}rcher Nest", " {B}arracks", " {D}ragonroost"}},
        {"c s",
         MENU_CONSTRUCT,
         {"Select material:", " {B}ranches", " {L}umber", " {T}reated lumber"}},
        {"c s b",
         MENU_SELECT_MATERIAL,
         {"", "Specify location for", "sleeping platform on main", "map"}},
        {"h", 0, {"Harvest:", " {F}lowers", " {H}oney", " {T}rees", " {E}xcretia", " {S}now"}},
        {"h t", MENU_HARVEST, {"", "Select trees to harvest", "on main map"}},
        {"j",
         MENU_MAIN,
         {"Assign job:", " {A}rtisan...", " {E}lfmastery...", " {M}aterial...", " {P}erforming...",
          " {R}apport...", " {S}tructural...", " {T}reework..."}},
        {"j a",
         MENU_ASSIGN_JOB,
         {"Artisan jobs:", " {B}owyer", " {F}letcher", " {T}attooist", " {F}lorist",
          " {G}ardener"}},
        {"j e",
         MENU_ASSIGN_JOB,
         {"Elfmastery jobs:", " {N}aturalist", " {S}ongsculptor", " {F}ertilizer", " {M}asseur",
          " {H}omeopathist"}},
        {"j p",
         MENU_ASSIGN_JOB,
         {"Performer jobs:", " {W}arprancer", " {W}easeldancer", " {F}lower Arranger",
          " {D}reamcrafter", " {A}rcher"}},
        {"j r",
         MENU_ASSIGN_JOB,
         {"Rapport jobs:", " {O}rcwrangler", " {R}abbit Trainer", " {T}reeherd", " {R}anger"}},
        {"j t",
         MENU_ASSIGN_JOB,
         {"Treework jobs:", " {B}otanist", " {B}ark Polisher", " {B}ranch Bender",
          " {A}corn Burier"}},
        {"j m",
         MENU_ASSIGN_JOB,
         {"Material job:", " {F}orester", " {P}ebblemaster", " {B}eekeeper", " {R}eedfolder"}},
        {"j s",
         MENU_ASSIGN_JOB,
         {"Structural job:", " {W}oodworker", " {P}aver", " {D}elver", " {G}rower",
          " {F}eng Shuist"}},
        // While elves live the quit question has no credits line, yet c opens them.
        {"q", MENU_MAIN, {"", "Really quit?", "", " {Y}es", " {N}o"}},
        {"q c",
         MENU_MAIN,
         {"Credits", "", "  {P}rogramming", "  {D}esign", "     Canopy Hollow team", "  {N}ames",
          "  {M}enu items", "  {O}ther text", "     Canopy Hollow team", "     Our playtesters", "",
          "", "No elves were harmed.", "Several fell."}},
    };
    start(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        type_ahead(std::string(c.keys) + " Esc");
        // The last picture flushed is the page as it stood when ESC was read.
        EXPECT_EQ(panel(headless_last_frame()), c.rows);
        EXPECT_EQ(menu_page, c.after_esc);
        EXPECT_EQ(menu_modal, 0);
        show_menu(MENU_MAIN);
    }
}

TEST_F(Menus, ElfLettersFollowTheLivingElvesInSlotOrder) {
    const char* const names[] = {"Ash Daisy",  "Whisperfoot Sheepshead", "Elm Keen",
                                 "Fern Tulip", "Oak Larkspur",           "Rue Sunlight",
                                 "Yew Milksop"};
    start(3);
    for (int slot = 0; slot < 7; ++slot) {
        ASSERT_EQ(creatures[slot].kind, KIND_ELF);
        creatures[slot].name = names[slot];
    }
    press({"e"});
    EXPECT_EQ(panel(buffer()),
              (Rows{"Choose an elf:", " {A}. Ash Daisy", " {B}. Whisperfoot Sheepshea",
                    " {C}. Elm Keen", " {D}. Fern Tulip", " {E}. Oak Larkspur",
                    " {F}. Rue Sunlight", " {G}. Yew Milksop"}));
    fall({1, 3, 4, 6});
    type_ahead("Esc e c");
    EXPECT_EQ(panel(buffer()),
              (Rows{"Choose an elf:", " {A}. Ash Daisy", " {B}. Elm Keen", " {C}. Rue Sunlight"}));
    EXPECT_EQ(selected_elf, &creatures[5]);
}

TEST_F(Menus, CreditsLineOnlyAfterTheMissionFailed) {
    start(3);
    fall({0, 1, 2, 3, 4, 5});
    type_ahead("q n");
    ASSERT_EQ(living_elves, 1);
    EXPECT_EQ(panel(headless_last_frame()), (Rows{"", "Really quit?", "", " {Y}es", " {N}o"}));
    fall({6});
    type_ahead("q c");
    ASSERT_EQ(living_elves, 0);
    EXPECT_EQ(panel(headless_last_frame()),
              (Rows{"", "Really quit?", "", " {Y}es", " {N}o", " {C}redits"}));
    EXPECT_EQ(panel(buffer())[0], "Credits");
    EXPECT_EQ(menu_modal, 0);
    press({"Esc"});
    EXPECT_EQ(panel(buffer())[0], "Main menu:");
}

}  // namespace

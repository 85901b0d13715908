// The menu panel as the player reads it, page by page, and where ESC leads back to.
#include <string>
#include <tuple>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "ui/jobs.h"
#include "ui/menus.h"

namespace {

class Menus : public FreshGame {
  protected:
    // The panel's rows down to the last one with text, joined by '|'; its left border
    // stays blank blue.
    static std::string panel(const Frame& frame) {
        EXPECT_EQ(seen_rows(frame, 54, 0, 55, 15, 1), std::vector<std::string>(15));
        std::string text;
        for (const std::string& row : seen_rows(frame, 55, 0, 80, 15, 1)) {
            text += row + '|';
        }
        return text.erase(text.find_last_not_of('|') + 1);
    }
};

void fall(std::initializer_list<int> slots) {
    for (const int slot : slots) {
        creatures[slot].action = ACT_FALLING;
        creatures[slot].timer = -1;
    }
}

TEST_F(Menus, EveryPageReadsAsDrawnAndEscGoesOneStepBack) {
    // The keys, the number of the page that ESC then leads to and the page's rows.
    const std::tuple<const char*, std::int32_t, const char*> cases[] = {
        {"", 0, "Main menu:| {C}onstruction| {E}lves| {H}arvesting| {J}obs| {Q}uit"},
        {"c", 0,
         "Construct:| {C}ultural centers...| {E}ducational facilities..| {K}itchen| {M}ilitary...| "
         "{P}ersonal comfort...| {S}leeping platform"},
        {"c c", 10,
         "Cultural centers| {M}useum| {C}oncert Hall| {P}oetry Stage| {H}all of Legends"},
        {"c p", 10,
         "Personal comfort| {H}airdressing Salon| {C}lothier| {C}obbler's Shop| {T}attoo Parlor| "
         "{P}illowmaker"},
        {"c e", 10,
         "Education| {S}chool| {L}ecture Hall| {O}bservatory| {L}ibrary| {A}rcanist's Forge| "
         "{S}cout Hall"},
        {"c m", 10, "Military| {F}letcher's Shop| {A}rcher Nest| {B}arracks| {D}ragonroost"},
        {"c s", 10, "Select material:| {B}ranches| {L}umber| {T}reated lumber"},
        {"c s b", 11, "|Specify location for|sleeping platform on main|map"},
        // After four deaths the letters follow the living elves in slot order.
        {"e", 0,
         "Choose an elf:| {A}. Blackwing Softshadow| {B}. Persimmon Quickstep| {C}. Jasmine "
         "Sapphire"},
        {"h", 0, "Harvest:| {F}lowers| {H}oney| {T}rees| {E}xcretia| {S}now"},
        {"h t", 8, "|Select trees to harvest|on main map"},
        {"j", 0,
         "Assign job:| {A}rtisan...| {E}lfmastery...| {M}aterial...| {P}erforming...| "
         "{R}apport...| {S}tructural...| {T}reework..."},
        {"j a", 5, "Artisan jobs:| {B}owyer| {F}letcher| {T}attooist| {F}lorist| {G}ardener"},
        {"j e", 5,
         "Elfmastery jobs:| {N}aturalist| {S}ongsculptor| {F}ertilizer| {M}asseur| "
         "{H}omeopathist"},
        {"j p", 5,
         "Performer jobs:| {W}arprancer| {W}easeldancer| {F}lower Arranger| {D}reamcrafter| "
         "{A}rcher"},
        {"j r", 5, "Rapport jobs:| {O}rcwrangler| {R}abbit Trainer| {T}reeherd| {R}anger"},
        {"j t", 5, "Treework jobs:| {B}otanist| {B}ark Polisher| {B}ranch Bender| {A}corn Burier"},
        {"j m", 5, "Material job:| {F}orester| {P}ebblemaster| {B}eekeeper| {R}eedfolder"},
        {"j s", 5, "Structural job:| {W}oodworker| {P}aver| {D}elver| {G}rower| {F}eng Shuist"},
        // While elves live the quit question has no credits line, yet c opens them.
        {"q", 0, "|Really quit?|| {Y}es| {N}o"},
        {"q c", 0,
         "Credits||  {P}rogramming|  {D}esign|     Canopy Hollow team|  {N}ames|  {M}enu items|  "
         "{O}ther text|     Canopy Hollow team|     Our playtesters|||No elves were "
         "harmed.|Several fell."},
    };
    start(3);
    fall({1, 3, 4, 6});
    for (const auto& [keys, after_esc, rows] : cases) {
        type_ahead(std::string(keys) + " Esc");
        // The last picture flushed is the page as it stood when ESC was read.
        EXPECT_EQ(panel(headless_last_frame()), rows);
        EXPECT_EQ(std::pair(menu_page, menu_modal), std::pair(after_esc, 0)) << keys;
        show_menu(MENU_MAIN);
    }
    type_ahead("e c");
    EXPECT_EQ(selected_elf, &creatures[5]);
    // The credits line appears only once no elf is left.
    fall({0, 2});
    type_ahead("Esc q n");
    EXPECT_EQ(panel(headless_last_frame()), "|Really quit?|| {Y}es| {N}o");
    fall({5});
    type_ahead("q c");
    ASSERT_EQ(living_elves, 0);
    EXPECT_EQ(panel(headless_last_frame()), "|Really quit?|| {Y}es| {N}o| {C}redits");
}

}  // namespace

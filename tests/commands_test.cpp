// Orders given through the menus, read back from the detail box, the notice box on the
// map and the records they change.
#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "ui/commands.h"
#include "ui/jobs.h"
#include "util/array.h"

namespace {

class Commands : public FreshGame {
  protected:
    // The detail box's rows, each after a '|': the newest answer stands at the end.
    static std::string detail() {
        const auto rows = seen_rows(buffer(), 55, 15, 79, 20, 3);
        return std::accumulate(rows.begin(), rows.end(), std::string(),
                               [](const std::string& text, auto& row) { return text + "|" + row; });
    }
};
using CommandsDeathTest = Commands;

TEST_F(Commands, RefusalsAnswerInTheDetailBoxUnderThePageAndOtherKeysGoBack) {
    start(3);
    // The keys, then after '>' the answer's last rows. Requirements come in red, and a full
    // row breaks the line; Clothier answers for the Cobbler's Shop as well.
    for (const std::string c :
         {"c c m>[Need a library.]", "c c c>[Need a Woodworking shop.]|", "c p c>[Need a Weavery.]",
          "c e o>[Need a Crystal polishing]|[shop.]", "c m b>[Need a Woodworking Shop.]|",
          "c m d>[Need an Arcanist's]|[forge.]", "c k>Needed materials not|available.",
          "c s l>No lumber available.", "c s t>No lumber available.",
          "c s b Enter>Not a viable location.", "h f>None currently|available.",
          "h s>None currently|available.", "h t Enter>Nothing harvestable|there.",
          "j m p>No elf selected.", "j s x>No elf selected.", "j a b>No elf selected."}) {
        const auto answer = c.find('>'), last = c.rfind(' ', answer);
        type_ahead(c.substr(0, last));
        const std::int32_t page = menu_page;
        type_ahead(c.substr(last, answer - last));
        EXPECT_TRUE(detail().ends_with("|" + c.substr(answer + 1))) << c << ": " << detail();
        EXPECT_EQ(menu_page, page) << c;
        show_menu(MENU_MAIN);
    }
    // Keys a page does not take go back to the frame loop, like the cursor keys on pages 9
    // and 12; a letter on page 7 waits for a selected elf.
    const std::tuple<const char*, std::int32_t, std::int32_t, std::int32_t> others[] = {
        {"j s", 'x', 0, MENU_STRUCTURAL_JOB},
        {"e a Esc j s", 'x', 'x', MENU_STRUCTURAL_JOB},
        {"h t", VKEY_DOWN, VKEY_DOWN, MENU_HARVEST_TREES},
        {"c s b", VKEY_LEFT, VKEY_LEFT, MENU_PLACE_PLATFORM},
        {"q c", 'x', 'x', MENU_CREDITS}};
    for (const auto& [keys, key, returned, page] : others) {
        type_ahead(keys);
        EXPECT_EQ(std::pair(handle_key(key), menu_page), std::pair(returned, page)) << keys;
        show_menu(MENU_MAIN);
    }
}

TEST_F(Commands, EnterSelectsTheElfUnderTheCursorOnAnyPageMarksTreesAndOrdersPlatforms) {
    start(3);
    Creature& elf = creatures[0];
    elf.timer = 1000;  // it stands still
    aim_cursor(elf.x, elf.y, 0);
    for (const char* keys :
         {"Enter", "c Enter", "c c Enter", "c s Enter", "e Enter", "h Enter", "j Enter",
          "j t Enter", "j m Enter", "j s Enter", "q Enter n", "q c Enter", "h t Enter"}) {
        selected_elf = nullptr;
        type_ahead(keys);
        EXPECT_EQ(selected_elf, &elf) << keys;
        show_menu(MENU_MAIN);
    }
    // On page 9 the status came first, then the answer that an elf is nothing to harvest.
    EXPECT_TRUE(detail().ends_with("|Rested:  0  Stam: 9|Nothing harvestable|there.")) << detail();
    // The third elf chosen by letter gives way to Enter on the first one's cell.
    type_ahead("e c");
    EXPECT_EQ(selected_elf, &creatures[2]);
    type_ahead("Enter");
    EXPECT_EQ(selected_elf, &elf);

    const Creature* tree = std::ranges::find(creatures, KIND_FOREST_TREE, &Creature::kind);
    ASSERT_NE(tree, std::end(creatures));
    type_ahead("Esc h t");
    aim_cursor(tree->x, tree->y, 0);
    for (const auto& [answer, mark] :
         {std::pair{"|Marked for harvest.", 1}, std::pair{"|No longer harvesting.", 0}}) {
        type_ahead("Enter");
        EXPECT_TRUE(detail().ends_with(answer)) << detail();
        EXPECT_EQ(tree->action, mark);
    }

    // Platforms go on the first two cells of a branch at 100 feet.
    const std::tuple<std::int32_t, std::int32_t, std::int32_t, const char*, std::int32_t> cases[] =
        {{1, 0, BUILD_NONE, "|Cannot build this type|at this altitude.", BUILD_NONE},
         {1, 3, BUILD_NONE, "|Cannot build this type|at this altitude.", BUILD_NONE},
         {2, 0, BUILD_NONE, "|Building.", BUILD_REQUESTED},
         {2, 0, BUILD_REQUESTED, "|No longer building here.|", BUILD_NONE},
         {2, 1, BUILD_NONE, "|Building.", BUILD_REQUESTED},
         {2, 1, BUILD_UNDERWAY, "|No longer building here.|", BUILD_NONE},
         {2, 2, BUILD_NONE, "|Branch is too far from|trunk.", BUILD_NONE},
         // A finished platform takes no order and gives no answer: the one above stays.
         {2, 0, BUILD_DONE, "|Branch is too far from|trunk.", BUILD_DONE}};
    type_ahead("Esc Esc c s b");
    BranchSegment* const end = branch_segments + array_length(branch_segments);
    for (const auto& [level, distance, state, answer, after] : cases) {
        BranchSegment* segment = std::find_if(branch_segments, end, [&](const BranchSegment& s) {
            return s.level == level && s.distance == distance;
        });
        ASSERT_NE(segment, end);
        segment->build_state = state;
        aim_cursor(segment->x, segment->y, level);
        ASSERT_EQ(branch_under_cursor, segment);
        type_ahead("Enter");
        EXPECT_TRUE(detail().ends_with(answer)) << level << distance << ": " << detail();
        EXPECT_EQ(segment->build_state, after);
    }
}

TEST_F(Commands, JobsGoToTheSelectedElfUntilItDiesButForesterAndPaverAreExclaimedAt) {
    const std::tuple<const char*, std::string, int> jobs[] = {
        {"j a b", "Bowyer", 0},       {"j e h", "Homeopathist", 0}, {"j p f", "Flower Arranger", 0},
        {"j r o", "Orcwrangler ", 0}, {"j t b", "Botanist", 0},     {"j t a", "Acorn Burier", 0},
        {"j m p", "Pebblemaster", 0}, {"j m b", "Beekeeper", 0},    {"j m r", "Reedfolder", 0},
        {"j s w", "Woodworker", 1},   {"j s d", "Delver", 0},       {"j s g", "Grower", 0},
        {"j s f", "Feng shuist", 0}};
    const std::string box = "║\"What Elf     ║║would do such ║║a thing?!\"    ║";
    auto notice = [] { return row(16, 38, 54) + row(17, 38, 54) + row(18, 38, 54); };
    start(3);
    Creature& elf = creatures[0];
    type_ahead("j m f");  // with no elf selected, only that answer
    run_frames(1);
    EXPECT_TRUE(detail().ends_with("|No elf selected.")) << detail();
    EXPECT_NE(notice(), box);
    elf.name = "Ivy Larkspur";  // fills the first row, so that the job starts the next
    type_ahead("Esc Esc e a Esc");
    for (const auto& [keys, job, woodworker] : jobs) {
        type_ahead(keys);
        EXPECT_TRUE(detail().ends_with("|Assigned Ivy Larkspur as|" + job + ".")) << detail();
        EXPECT_EQ(std::tuple(elf.job_title, elf.is_woodworker), std::tuple(job, woodworker));
        show_menu(MENU_MAIN);
    }
    for (const char* keys : {"j m f", "Esc s p"}) {
        type_ahead(keys);
        EXPECT_TRUE(detail().ends_with("|[Sanity too high.]")) << detail();
        EXPECT_EQ(std::string(elf.job_title), "Feng shuist");
        run_frames(99);  // 4.95 s of game time
        EXPECT_EQ(std::pair(notice(), attr(39, 16)), std::pair(box, std::uint16_t{0x0C}));
        run_frames(2);
        EXPECT_NE(notice(), box);
    }
    elf.action = ACT_FALLING;
    elf.timer = -1;
    type_ahead("Esc Esc j a b");
    EXPECT_TRUE(detail().ends_with("|No elf selected.")) << detail();
}

TEST_F(Commands, QuitQuestionSwallowsOtherKeysWithTheGameFrozen) {
    start(3);
    const int writes = headless_write_count();
    // A frame in which no time passes, so that only the question could move the game.
    type_ahead("q Left Up PgDn Tab x Y N n", 0);
    EXPECT_EQ(std::tuple(cursor_x, cursor_y, view_level, menu_page), std::tuple(30, 10, 0, 0));
    // One flush for the frame, then one before each key that the question reads.
    ASSERT_EQ(headless_write_count(), writes + 1 + 8);
    const Frame& first = headless_frames().end()[-8];
    EXPECT_EQ(picture(first), picture(headless_last_frame()));
}

TEST_F(CommandsDeathTest, YesOnTheQuitQuestionEndsTheGameWithStatusZero) {
    start(3);
    EXPECT_EXIT(type_ahead("q y"), testing::ExitedWithCode(0), "");
}

}  // namespace

// Orders given through the menus, read back from the detail box, the notice box on the
// map and the records they change.
#include <algorithm>
#include <string>
#include <vector>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "ui/commands.h"
#include "ui/jobs.h"
#include "ui/menus.h"
#include "util/array.h"

namespace {

using Rows = std::vector<std::string>;

class Commands : public FreshGame {
  protected:
    static Rows detail() { return seen_rows(buffer(), 55, 15, 79, 20, 3); }
    // The detail box's bottom rows, where the newest answer stands.
    static Rows feedback(std::size_t count) {
        const Rows rows = detail();
        return Rows(rows.end() - static_cast<std::ptrdiff_t>(count), rows.end());
    }
    // Elves that stand still can be pointed at.
    static void hold_elves() {
        for (Creature& c : creatures) {
            c.timer = c.kind == KIND_ELF ? 1000 : c.timer;
        }
    }
    static std::vector<float> timers() {
        std::vector<float> all;
        for (const Creature& c : creatures) {
            all.push_back(c.timer);
        }
        return all;
    }
};
using CommandsDeathTest = Commands;

TEST_F(Commands, RefusalsAnswerInTheDetailBoxAndLeaveThePageUp) {
    const struct {
        std::string keys;
        Rows rows;
    } cases[] = {
        {"c c m", {"[Need a library.]"}},
        {"c c c", {"[Need a Woodworking shop.]", ""}},  // a full row breaks the line
        {"c p c", {"[Need a Weavery.]"}},               // Clothier: Cobbler's Shop never answers
        {"c e o", {"[Need a Crystal polishing]", "[shop.]"}},
        {"c m b", {"[Need a Woodworking Shop.]", ""}},
        {"c m d", {"[Need an Arcanist's]", "[forge.]"}},
        {"c k", {"Needed materials not", "available."}},
        {"c s l", {"No lumber available."}},
        {"c s t", {"No lumber available."}},
        {"c s b Enter", {"Not a viable location."}},
        {"h f", {"None currently", "available."}},
        {"h s", {"None currently", "available."}},
        {"h t Enter", {"Nothing harvestable", "there."}},
        {"j m p", {"No elf selected."}},
        {"j s x", {"No elf selected."}},
        {"j a b", {"No elf selected."}},
    };
    start(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        const auto last = c.keys.rfind(' ');
        type_ahead(c.keys.substr(0, last));
        const std::int32_t page = menu_page;
        type_ahead(c.keys.substr(last + 1));
        EXPECT_EQ(feedback(c.rows.size()), c.rows);
        EXPECT_EQ(menu_page, page);
        show_menu(MENU_MAIN);
    }
}

TEST_F(Commands, KeysAPageDoesNotTakeGoBackToTheFrameLoop) {
    const struct {
        const char* keys;
        bool elf_selected;
        std::int32_t key, returned, page;
    } cases[] = {
        {"", false, 'x', 'x', MENU_MAIN},
        {"", false, '(', '(', MENU_MAIN},
        {"e", false, VKEY_ESCAPE, VKEY_ESCAPE, MENU_MAIN},
        {"e", false, 'z', 'z', MENU_CHOOSE_ELF},
        {"j", false, VKEY_ESCAPE, 0, MENU_MAIN},
        {"j m", false, VKEY_ESCAPE, VKEY_ESCAPE, MENU_ASSIGN_JOB},
        {"j s", false, 'x', 0, MENU_STRUCTURAL_JOB},
        {"j s", true, 'x', 'x', MENU_STRUCTURAL_JOB},
        {"j a", true, 'z', 'z', MENU_JOB_LIST},
        {"h t", false, VKEY_DOWN, VKEY_DOWN, MENU_HARVEST_TREES},
        {"c s b", false, VKEY_LEFT, VKEY_LEFT, MENU_PLACE_PLATFORM},
        {"q c", false, 'x', 'x', MENU_CREDITS},
        {"q c", false, VKEY_ESCAPE, 0, MENU_MAIN},
    };
    start(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keys) + " then " + std::to_string(c.key));
        selected_elf = c.elf_selected ? &creatures[0] : nullptr;
        type_ahead(c.keys);
        EXPECT_EQ(handle_key(c.key), c.returned);
        EXPECT_EQ(menu_page, c.page);
        show_menu(MENU_MAIN);
    }
}

TEST_F(Commands, EnterOnAnElfSelectsItOnAnyPage) {
    start(3);
    hold_elves();
    Creature& elf = creatures[0];
    elf.health = 1.0f;
    elf.intelligence = 12;
    elf.morale = 0.5f;
    elf.wisdom = 7;
    elf.rested = 0.05f;
    elf.stamina = 9;
    aim_cursor(elf.x, elf.y, 0);
    for (const char* keys :
         {"Enter", "c Enter", "c c Enter", "c s Enter", "e Enter", "h Enter", "j Enter",
          "j t Enter", "j m Enter", "j s Enter", "q Enter n", "q c Enter"}) {
        SCOPED_TRACE(keys);
        selected_elf = nullptr;
        type_ahead(keys);
        EXPECT_EQ(selected_elf, &elf);
        // "Selected:" has scrolled out above the five status lines.
        EXPECT_EQ(detail(), (Rows{elf.name, elf.job_title, "Health:100  Int: 12",
                                  "Morale: 50  Wis:  7", "Rested:  5  Stam: 9"}));
        show_menu(MENU_MAIN);
    }
    // The third elf chosen by letter gives way to Enter on the first one's cell.
    type_ahead("e c");
    EXPECT_EQ(selected_elf, &creatures[2]);
    type_ahead("Enter");
    EXPECT_EQ(selected_elf, &elf);
}

TEST_F(Commands, JobsGoToTheSelectedElfUntilItDies) {
    const struct {
        const char* keys;
        std::string job;
        int woodworker;
    } cases[] = {
        {"j a b", "Bowyer", 0},       {"j a f", "Fletcher", 0},
        {"j e h", "Homeopathist", 0}, {"j p f", "Flower Arranger", 0},
        {"j r o", "Orcwrangler ", 0}, {"j r r", "Rabbit Trainer", 0},
        {"j t b", "Botanist", 0},     {"j t a", "Acorn Burier", 0},
        {"j m p", "Pebblemaster", 0}, {"j m b", "Beekeeper", 0},
        {"j m r", "Reedfolder", 0},   {"j s w", "Woodworker", 1},
        {"j s d", "Delver", 0},       {"j s g", "Grower", 0},
        {"j s f", "Feng shuist", 0},
    };
    start(3);
    Creature& elf = creatures[0];
    elf.name = "Ivy Larkspur";  // fills the first row, so that the job starts the next
    type_ahead("e a Esc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        type_ahead(c.keys);
        EXPECT_EQ(feedback(2), (Rows{"Assigned Ivy Larkspur as", c.job + "."}));
        EXPECT_EQ(elf.job_title, c.job);
        EXPECT_EQ(elf.is_woodworker, c.woodworker);
        show_menu(MENU_MAIN);
    }
    elf.action = ACT_FALLING;
    elf.timer = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        type_ahead(c.keys);
        EXPECT_EQ(feedback(1), Rows{"No elf selected."});
        show_menu(MENU_MAIN);
    }
}

TEST_F(Commands, ForesterAndPaverAreRefusedWithAnExclamation) {
    const Rows box = {"╔══════════════╗", "║              ║",  "║\"What Elf     ║",
                      "║would do such ║", "║a thing?!\"    ║", "╚══════════════╝"};
    auto notice = [] {
        Rows rows;
        for (int y = 14; y < 20; ++y) {
            rows.push_back(row(y, 38, 54));
        }
        return rows;
    };
    start(3);
    const std::string job = creatures[0].job_title;
    type_ahead("j m f");
    run_frames(1);
    EXPECT_EQ(feedback(1), Rows{"No elf selected."});
    EXPECT_NE(notice(), box);
    for (const char* keys : {"Esc Esc e a Esc j m f", "Esc s p"}) {
        type_ahead(keys);
        EXPECT_EQ(feedback(1), Rows{"[Sanity too high.]"});
        EXPECT_EQ(creatures[0].job_title, job);
        run_frames(99);  // 4.95 s of game time
        EXPECT_EQ(notice(), box);
        EXPECT_EQ(attr(39, 16), 0x0C);
        run_frames(2);
        EXPECT_NE(notice(), box);
    }
}

TEST_F(Commands, HarvestMarksFlipOnAForestTree) {
    start(3);
    hold_elves();
    const Creature* tree =
        std::find_if(std::begin(creatures), std::end(creatures),
                     [](const Creature& c) { return c.kind == KIND_FOREST_TREE; });
    ASSERT_NE(tree, std::end(creatures));
    const auto shape = static_cast<std::uint8_t>(tree->glyph);
    type_ahead("h t");
    aim_cursor(tree->x, tree->y, 0);
    // The cursor's own highlight keys on bit 8 of the frame time; the mark blinks on bit 9.
    auto glyph_at = [&](std::uint32_t time) {
        headless_set_clock(time);
        run_frame();
        return glyph(tree->x - view_x, tree->y - view_y);
    };
    const struct {
        const char* answer;
        int mark;
        std::uint8_t blinking;
    } steps[] = {{"Marked for harvest.", 1, ' '}, {"No longer harvesting.", 0, shape}};
    for (const auto& s : steps) {
        type_ahead("Enter");
        EXPECT_EQ(feedback(1), Rows{s.answer});
        EXPECT_EQ(tree->action, s.mark);
        const std::uint32_t second = (frame_time | 0x3FF) + 1;
        EXPECT_EQ(glyph_at(second), shape);
        EXPECT_EQ(glyph_at(second + 0x200), s.blinking);
    }
    // Enter on an elf selects it, and an elf is nothing to harvest.
    aim_cursor(creatures[0].x, creatures[0].y, 0);
    type_ahead("Enter");
    EXPECT_EQ(selected_elf, &creatures[0]);
    EXPECT_EQ(feedback(2), (Rows{"Nothing harvestable", "there."}));
}

TEST_F(Commands, PlatformsAreOrderedNextToTheTrunkAtOneHundredFeet) {
    const Rows altitude = {"Cannot build this type", "at this altitude."};
    const Rows too_far = {"Branch is too far from", "trunk."};
    const Rows withdrawn = {"No longer building here.", ""};
    const struct {
        std::int32_t level, distance, state;
        Rows rows;
        std::int32_t after;
    } cases[] = {
        {1, 0, BUILD_NONE, altitude, BUILD_NONE},
        {1, 1, BUILD_NONE, altitude, BUILD_NONE},
        {1, 3, BUILD_NONE, altitude, BUILD_NONE},
        {2, 0, BUILD_NONE, {"Building."}, BUILD_REQUESTED},
        {2, 0, BUILD_REQUESTED, withdrawn, BUILD_NONE},
        {2, 1, BUILD_NONE, {"Building."}, BUILD_REQUESTED},
        {2, 1, BUILD_UNDERWAY, withdrawn, BUILD_NONE},
        {2, 2, BUILD_NONE, too_far, BUILD_NONE},
        {2, 4, BUILD_NONE, too_far, BUILD_NONE},
    };
    start(3);
    type_ahead("c s b");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.level) + " " + std::to_string(c.distance));
        BranchSegment* segment = nullptr;
        for (std::int32_t i = 0; i < array_length(branch_segments); ++i) {
            const BranchSegment& s = branch_segments[i];
            segment =
                s.level == c.level && s.distance == c.distance ? &branch_segments[i] : segment;
        }
        ASSERT_NE(segment, nullptr);
        segment->build_state = c.state;
        aim_cursor(segment->x, segment->y, c.level);
        ASSERT_EQ(branch_under_cursor, segment);  // no later segment shares its cell
        type_ahead("Enter");
        EXPECT_EQ(feedback(c.rows.size()), c.rows);
        EXPECT_EQ(segment->build_state, c.after);
    }
    // A finished platform takes no order and gives no answer.
    branch_under_cursor->build_state = BUILD_DONE;
    const Rows before = detail();
    type_ahead("Enter");
    EXPECT_EQ(detail(), before);
    EXPECT_EQ(branch_under_cursor->build_state, BUILD_DONE);
}

TEST_F(Commands, QuitQuestionHoldsTheGameStillUntilAnswered) {
    start(3);
    run_frames(5);
    const std::vector<float> before = timers();
    const float notice_left = notice_timer;
    const int writes = headless_write_count();
    // A frame in which no time passes, so that only the question could move the game.
    type_ahead("q Left Up PgDn Tab x Y N n", 0);
    EXPECT_EQ(timers(), before);
    EXPECT_EQ(cursor_x, 30);
    EXPECT_EQ(cursor_y, 10);
    EXPECT_EQ(view_level, 0);
    EXPECT_EQ(menu_page, MENU_MAIN);
    // One flush for the frame, then one before each key that the question reads.
    ASSERT_EQ(headless_write_count(), writes + 1 + 8);
    const auto& frames = headless_frames();
    for (auto frame = frames.end() - 8; frame != frames.end(); ++frame) {
        EXPECT_EQ(frame_text(*frame), frame_text(frames.back()));
        EXPECT_EQ(frame_attributes(*frame), frame_attributes(frames.back()));
    }
    // However long the question was up, the next frame is a short step.
    run_frames(1, 3000);
    EXPECT_FLOAT_EQ(notice_timer, notice_left - 0.05f);
}

TEST_F(CommandsDeathTest, YesOnTheQuitQuestionEndsTheGameWithStatusZero) {
    start(3);
    EXPECT_EXIT(type_ahead("q y"), testing::ExitedWithCode(0), "");
}

}  // namespace

// A whole day of game time under a storm of keys, with the world's books checked as it
// runs: every kind in range, the counters matching the table, and at the end every elf
// dead and eaten.
#include <algorithm>
#include <array>
#include <cctype>
#include <random>

#include "creatures/creatures.h"
#include "game_fixture.h"
#include "ui/commands.h"
#include "ui/menus.h"
#include "util/array.h"

namespace {

constexpr double DAY = 24 * 3600;  // seconds of game time, 864,000 frames at the 0.1 s cap
constexpr int ELVES = 7;

InputEvent typed(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return {true, byte, static_cast<std::uint16_t>(std::toupper(byte))};
}
const InputEvent ENTER{true, 13, 13}, ESC{true, 27, 27}, TAB{true, 9, 9};

// Could this event read as the lower-case letter? Both of its codes are checked, in either
// case (| 0x20 folds only the letter's own capital onto it), to err on the safe side.
bool reads_as(const InputEvent& e, char letter) {
    return (e.character | 0x20) == letter || (e.virtual_key | 0x20) == letter;
}

class SoakTest : public FreshGame {
  protected:
    std::mt19937 rng{20240601};
    std::vector<InputEvent> harmless;  // keys that read as neither q nor y
    int frame = 0;
    double seconds = 0;  // game time

    // One frame at the 0.1 s cap: through the real frame loop, or through the simulation
    // alone (most frames, to keep the day short under the sanitizers).
    void step(bool whole_frame) {
        seconds += whole_frame && pause_ended != 0 ? 0.05 : 0.1;  // short after the quit question
        whole_frame ? run_frames(1, 100) : simulate(0.1f);
        ++frame;
    }

    // A key read by the real frame loop. q may open the quit question, which then reads
    // keys itself: a few harmless keys and an n always follow it.
    void tap(const InputEvent& e) {
        headless_push_event(e);
        for (int i = reads_as(e, 'q') ? 1 + rng() % 4 : 0; i > 0; --i) {
            headless_push_event(i == 1 ? typed('n') : harmless[rng() % harmless.size()]);
        }
        step(true);
    }

    // How many creatures there are of each kind, and last how many of no kind in the table.
    static std::array<int, KIND_JUNK + 2> census() {
        std::array<int, KIND_JUNK + 2> kinds{};
        for (const Creature& c : creatures) {
            ++kinds[c.kind >= KIND_FREE && c.kind <= KIND_JUNK ? c.kind : KIND_JUNK + 1];
        }
        return kinds;
    }

    // The player's own errand, by keys: one woodworker more and a platform ordered on a
    // free branch next to a trunk at 100 feet.
    void errand() {
        while (headless_queued_events() > 0) {
            step(true);
        }
        for (int i = 0; i < 8 && menu_page != MENU_MAIN; ++i) {
            tap(ESC);
        }
        const char elf = static_cast<char>('a' + rng() % living_elves);
        for (const InputEvent& e : {typed('e'), typed(elf), ESC, typed('j'), typed('s'), typed('w'),
                                    ESC, ESC, typed('c'), typed('s'), typed('b')}) {
            tap(e);
        }
        std::vector<BranchSegment> free;
        std::copy_if(branch_segments, branch_segments + array_length(branch_segments),
                     std::back_inserter(free), [](auto& s) {
                         return s.level == 2 && s.distance <= 1 && s.build_state == BUILD_NONE;
                     });
        if (free.empty()) {
            return;
        }
        const BranchSegment site = free[rng() % free.size()];
        // The cursor on it, the view around it, and a frame to see what lies there.
        std::tie(cursor_x, cursor_y, view_x, view_y, view_level) =
            std::tuple(site.x, site.y, site.x - 27, site.y - 10, 2);
        follow_cursor();
        run_frames(1);
        tap(ENTER);
    }
};

TEST_F(SoakTest, ADayOfRandomKeysKeepsTheBooksUntilTheRabbitsHaveEatenEveryone) {
    start(1);
    // Enter, Esc, Tab, the cursor keys, every letter in both cases and the busiest menu
    // letters once more.
    std::vector<InputEvent> menu_keys{ENTER, ESC, TAB};
    for (std::uint16_t code = 33; code <= 40; ++code) {
        menu_keys.push_back({true, 0, code});
    }
    for (const char c :
         std::string("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZcesbjwhtmpaq")) {
        menu_keys.push_back(typed(c));
    }
    std::copy_if(menu_keys.begin(), menu_keys.end(), std::back_inserter(harmless),
                 [](const InputEvent& e) { return !reads_as(e, 'q') && !reads_as(e, 'y'); });
    // Every code as a virtual key alone and again with its low byte as the character, menu
    // keys often, and some key releases.
    std::vector<InputEvent> storm;
    for (int code = 0; code < 65536; ++code) {
        storm.push_back({true, 0, static_cast<std::uint16_t>(code)});
        storm.push_back({true, static_cast<std::uint8_t>(code), static_cast<std::uint16_t>(code)});
    }
    for (int i = 0; i < 40000; ++i) {
        storm.push_back(menu_keys[rng() % menu_keys.size()]);
    }
    for (int i = 0; i < 2000; ++i) {
        storm.push_back({false, std::uint8_t(rng()), std::uint16_t(rng())});
    }
    std::shuffle(storm.begin(), storm.end(), rng);

    std::size_t next = 0;
    bool cleared = false;
    while (seconds < DAY) {
        // The player steps in after twelve hours, then every ten minutes.
        if (living_elves > 0 && seconds >= DAY / 2 && frame % 6000 == 0) {
            errand();
        } else if (frame % 4 != 0) {
            step(false);
        } else if (next < storm.size() && headless_queued_events() == 0) {
            tap(storm[next++]);
        } else {
            step(true);
        }
        // The books: no kind outside the table's, and the elves, the dead, the platforms and
        // the finished branches as the counters have them.
        const auto kinds = census();
        const auto done =
            std::count_if(branch_segments, branch_segments + array_length(branch_segments),
                          [](auto& s) { return s.build_state == BUILD_DONE; });
        ASSERT_EQ(std::make_tuple(kinds.back(), kinds[KIND_ELF], living_elves + death_count,
                                  kinds[KIND_PLATFORM], done, platforms_built <= ELVES),
                  std::make_tuple(0, living_elves, ELVES, platforms_built, platforms_built, true))
            << "at frame " << frame;
        cleared |= living_elves == 0 && kinds[KIND_REMAINS] == 0;
    }
    EXPECT_EQ(next, storm.size());
    EXPECT_GT(platforms_built, 0) << "no platform was ever built";
    EXPECT_TRUE(cleared) << "the mission never failed, or remains were left uneaten";
}

}  // namespace

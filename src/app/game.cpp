#include "app/game.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "app/recording.h"
#include "creatures/behaviour.h"
#include "creatures/creatures.h"
#include "creatures/rabbits.h"
#include "platform/console.h"
#include "terminal/keyboard.h"
#include "terminal/messages.h"
#include "terminal/screen.h"
#include "ui/commands.h"
#include "ui/jobs.h"
#include "ui/layout.h"
#include "ui/menus.h"
#include "util/random.h"
#include "world/map_view.h"
#include "world/world.h"
#include "world/worldgen.h"

std::uint32_t frame_time;

const char* const place_names[PLACE_NAME_COUNT] = {
    "Tinglewaters",    "Laughing Gully",      "Typhoid Creek", "Uomin-Shralthriandia",
    "Hallowed Dolmen", "Sparkledeep",         "Brighthold",    "Berrywine",
    "Unseelie Halls",  "The Shimmering Ways",
};

namespace {

constexpr float MAX_STEP = 0.1f;
constexpr float STEP_AFTER_PAUSE = 0.05f;

// Waits for one key, then throws away everything typed meanwhile, so no key pressed
// on one screen reaches the next.
void wait_key_and_drain() {
    wait_key();
    while (poll_key() != 0) {
    }
}

void show_intro() {
    set_window(0, 0, 80, 25);
    clear_window(0);
    set_window(26, 8, 60, 25);
    clear_window(0);
    text_bg = 0;
    text_fg = 15;
    print_fmt(" \"An Elf must ever live\n");
    print_fmt(" in Balance with Nature\"\n");
    flush_screen();
    console_sleep(3000);
    text_fg = 7;
    print_fmt("\n\n\n       -- Dwarf Proverb");
    flush_screen();
    console_sleep(1200);
    text_fg = 6;
    print_fmt("\n\n\n\n\n    [press any key]");
    flush_screen();
    wait_key_and_drain();
}

void show_title() {
    set_window(0, 0, 80, 25);
    clear_window(0);
    set_window(16, 1, 64, 25);
    clear_window(0);
    word_wrap = 1;
    text_fg = 15;
    print_fmt("       C A N O P Y   H O L L O W\n");
    print_fmt("\n\n\n\n\n\n\n");
    text_fg = 7;
    print_fmt(
        "The elders say it cannot be done: no new colony has ever been successfully founded in "
        "living memory.\n\nYou will have to prove them wrong.\n");
    text_fg = 6;
    print_fmt("\n\n\n\n\n    [press any key]");
    flush_screen();
    wait_key_and_drain();
}

void dispatch(std::int32_t key) {
    switch (key) {
        case VKEY_TAB:
            view_level = (view_level + 1) % LEVEL_COUNT;
            break;
        case VKEY_PRIOR:
            move_cursor(1, -1);
            break;
        case VKEY_NEXT:
            move_cursor(1, 1);
            break;
        case VKEY_END:
            move_cursor(-1, 1);
            break;
        case VKEY_HOME:
            move_cursor(-1, -1);
            break;
        case VKEY_LEFT:
            move_cursor(-1, 0);
            break;
        case VKEY_UP:
            move_cursor(0, -1);
            break;
        case VKEY_RIGHT:
            move_cursor(1, 0);
            break;
        case VKEY_DOWN:
            move_cursor(0, 1);
            break;
        default:
            break;
    }
}

}  // namespace

void restore_console() {
    console_restore();
}

void start_game(std::uint32_t seed) {
    seed_random(seed);
    generate_world();
    show_intro();
    show_title();
    setup_screen();
    show_menu(MENU_MAIN);
    frame_time = console_ticks();
    record_start(frame_time);
    log_message("The elf mission has arrived at %s.",
                place_names[next_random() % PLACE_NAME_COUNT]);
}

void run_frame() {
    const std::uint32_t now = console_ticks();
    auto elapsed = static_cast<std::int32_t>(now - frame_time);
    frame_time = now;
    if (elapsed < 0) {
        elapsed &= 0xFFFF;  // the clock went backwards: keep the low bits, then cap
    }
    float dt = static_cast<float>(elapsed * 0.001);
    if (pause_ended != 0) {
        dt = STEP_AFTER_PAUSE;
        pause_ended = 0;
    }
    if (dt > MAX_STEP) {
        dt = MAX_STEP;
    }
    simulate(dt);
    draw_map_view();
    select_map_window();
    flush_screen();
    record_frame(now);  // once its picture is out: a cut recording ends on the last one shown
    if (console_sleep(50)) {
        pause_ended = 1;  // the console held the game: the next frame is a short step
        record_held();
    }
    std::int32_t key = poll_key();
    if (key != 0) {
        record_key(key);  // before acting on it: the quit question shows a new picture
    }
    if (key >= 'A' && key <= 'Z') {
        key = std::tolower(key);
    }
    dispatch(handle_key(key));
}

void run_game(std::uint32_t seed) {
    start_game(seed);
    for (;;) {
        run_frame();
    }
}

void simulate(float dt) {
    for (Creature& c : creatures) {
        creature_tick(&c, dt);
    }
    if (notice_timer > 0) {
        notice_timer -= dt;
        if (notice_timer < 0) {
            notice_text = nullptr;
        }
    }
}

void creature_tick(Creature* c, float dt) {
    if (c->kind != KIND_ELF && c->kind != KIND_RABBIT) {
        return;
    }
    c->timer -= dt;
    if (c->timer < 0) {
        creature_act(c);
    }
}

void reset_game() {
    reset_screen();
    release_formatted_strings();
    reset_random();
    reset_world();
    reset_creatures();
    reset_rabbits();
    reset_menus();
    reset_jobs();
    reset_commands();
    notice_text = nullptr;
    frame_time = 0;
}

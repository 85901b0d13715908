// The curses console: the game's 80x25 picture on a Unix terminal. Each frame is
// compared with the one before, and only the cells that differ are handed to curses,
// with one refresh; a frame that changed nothing (most of them, at 20 a second) costs
// one comparison and no curses call. Curses only draws: the keyboard is
// curses_keyboard.cpp's, and the terminal's modes and signals curses_terminal.cpp's.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>

#include "platform/console.h"
#include "platform/cp437.h"
#include "platform/curses/curses_console.h"
#include "platform/curses/curses_parts.h"
#include "platform/curses/curses_style.h"

namespace {

// Blocking waits wake at least this often, so signals and resizes are noticed soon.
constexpr int WAIT_SLICE_MS = 50;
// A lone Escape acts this soon where the player has not set ESCDELAY.
constexpr int ESCAPE_DELAY_MS = 25;

bool is_open = false;

// How each of the 256 glyphs and attributes is drawn on this terminal.
wchar_t glyphs[256];
attr_t glyph_attrs[256];
short glyph_pairs[256];

// The last frame the game wrote, shown again after a resize or a suspension. While
// shown_valid, stdscr holds exactly these cells, and the next frame is compared with
// them; otherwise (the enlarge request, a cleared screen) the next one is drawn whole.
Cell last_frame[SCREEN_CELLS];
bool shown_valid = false;

bool clear_pending = false;    // the terminal changed size: blank what lies outside 80x25
bool repaint_pending = false;  // the terminal's contents are unknown: repaint every cell
bool hold_pending = false;     // the request to enlarge was shown: hold the game

// The last wait ran its full time and the terminal sent nothing: the game's look for
// a key right after it need not ask the terminal again.
bool terminal_quiet = false;

// Glyphs the locale's character set can show one column wide are drawn as themselves;
// the rest as ASCII look-alikes (all of them under LC_ALL=C, say).
void choose_glyphs() {
    for (int code = 0; code < 256; ++code) {
        const wchar_t wide = static_cast<wchar_t>(cp437_to_unicode[code]);
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        const bool shown =
            wcwidth(wide) == 1 && std::wcrtomb(bytes, wide, &state) != std::size_t(-1);
        glyphs[code] =
            shown ? wide : static_cast<wchar_t>(static_cast<unsigned char>(cp437_to_ascii[code]));
    }
}

bool locale_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

void choose_colours() {
    CursesPalette palette = CursesPalette::none;
    bool spare_pair = false;
    if (has_colors() && start_color() == OK) {
        if (COLORS >= 16 && COLOR_PAIRS >= curses_pair_count(CursesPalette::sixteen, false)) {
            palette = CursesPalette::sixteen;
        } else if (COLORS >= 8 && COLOR_PAIRS >= curses_pair_count(CursesPalette::eight, false)) {
            palette = CursesPalette::eight;
        }
        spare_pair = COLOR_PAIRS >= curses_pair_count(palette, true);
    }
    if (palette != CursesPalette::none) {
        if (spare_pair) {
            use_default_colors();  // pair 0: the terminal's own, which sgr0 alone restores
        } else {
            int foreground = 0;
            int background = 0;
            curses_pair_colours(0, palette, false, &foreground, &background);
            assume_default_colors(curses_colour_of(foreground), curses_colour_of(background));
        }
    }
    for (int pair = 1; pair < curses_pair_count(palette, spare_pair); ++pair) {
        int foreground = 0;
        int background = 0;
        curses_pair_colours(pair, palette, spare_pair, &foreground, &background);
        init_pair(static_cast<short>(pair), static_cast<short>(curses_colour_of(foreground)),
                  static_cast<short>(curses_colour_of(background)));
    }
    for (int attribute = 0; attribute < 256; ++attribute) {
        const CursesStyle style =
            curses_style_of(static_cast<std::uint16_t>(attribute), palette, spare_pair);
        glyph_attrs[attribute] =
            (style.bold ? A_BOLD : A_NORMAL) | (style.reverse ? A_REVERSE : A_NORMAL);
        glyph_pairs[attribute] = style.pair;
    }
}

}  // namespace

bool screen_too_small() {
    int rows = 0;
    int columns = 0;
    getmaxyx(stdscr, rows, columns);
    return rows < SCREEN_HEIGHT || columns < SCREEN_WIDTH;
}

namespace {

// The picture cannot fit: ask for a larger terminal instead, centred.
void show_enlarge_request() {
    int rows = 0;
    int columns = 0;
    getmaxyx(stdscr, rows, columns);
    const char first[] = "Please enlarge the terminal";
    char second[64];
    std::snprintf(second, sizeof second, "to %dx%d (now %dx%d)", SCREEN_WIDTH, SCREEN_HEIGHT,
                  columns, rows);
    char whole[96];
    std::snprintf(whole, sizeof whole, "%s %s", first, second);
    const char* one_line[] = {whole};
    const char* two_lines[] = {first, second};
    const bool fits = static_cast<int>(std::strlen(whole)) <= columns;
    const char* const* lines = fits ? one_line : two_lines;
    const int line_count = fits ? 1 : 2;

    wattrset(stdscr, A_NORMAL);
    werase(stdscr);
    for (int i = 0; i < line_count; ++i) {
        const int length = static_cast<int>(std::strlen(lines[i]));
        const int y = std::max(0, rows / 2 - line_count / 2 + i);
        const int x = std::max(0, (columns - length) / 2);
        mvwaddnstr(stdscr, y, x, lines[i], std::max(0, columns - x));
    }
    wrefresh(stdscr);
    clear_pending = true;  // the request must not linger beside the next picture
    hold_pending = true;
    shown_valid = false;
}

// Hands curses the cells of one row of last_frame from column x to before column end.
void put_cells(int y, int x, int end) {
    cchar_t run[SCREEN_WIDTH];
    const Cell* cells = last_frame + y * SCREEN_WIDTH;
    for (int i = x; i < end; ++i) {
        const int attribute = cells[i].attribute & 0xFF;
        const wchar_t text[2] = {glyphs[cells[i].character & 0xFF], L'\0'};
        setcchar(&run[i - x], text, glyph_attrs[attribute], glyph_pairs[attribute], nullptr);
    }
    mvwadd_wchnstr(stdscr, y, x, run, end - x);
}

bool same_cell(const Cell& a, const Cell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

// Takes the cells of a frame that differ from last_frame, which stdscr holds, and hands
// curses each run of them; false when there was none.
bool put_changed_cells(const Cell* frame) {
    bool changed = false;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        const Cell* now = frame + y * SCREEN_WIDTH;
        Cell* was = last_frame + y * SCREEN_WIDTH;
        if (std::memcmp(now, was, SCREEN_WIDTH * sizeof(Cell)) == 0) {
            continue;
        }
        for (int x = 0; x < SCREEN_WIDTH;) {
            if (same_cell(now[x], was[x])) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < SCREEN_WIDTH && !same_cell(now[end], was[end])) {
                ++end;
            }
            std::memcpy(was + x, now + x, static_cast<std::size_t>(end - x) * sizeof(Cell));
            put_cells(y, x, end);
            x = end;
        }
        changed = true;
    }
    return changed;
}

}  // namespace

void screen_present() {
    if (screen_too_small()) {
        show_enlarge_request();
        return;
    }
    if (clear_pending) {
        werase(stdscr);
        clear_pending = false;
    }
    if (repaint_pending) {
        clearok(curscr, TRUE);
        repaint_pending = false;
    }
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        put_cells(y, 0, SCREEN_WIDTH);
    }
    shown_valid = true;
    wrefresh(stdscr);
}

namespace {

std::uint64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

void wait_and_read(int timeout_ms) {
    terminal_quiet = keyboard_wait(timeout_ms);
}

// Holds everything while the terminal is too small: shows the request, throws keys
// away and waits for the terminal to grow, then shows the picture again.
void wait_until_large_enough() {
    while (screen_too_small()) {
        show_enlarge_request();
        wait_and_read(WAIT_SLICE_MS);
        terminal_notice_signals();
    }
    hold_pending = false;
    screen_present();
}

}  // namespace

void screen_follow_size() {
    // Curses learns of a new size only from us, and asks the terminal, never LINES and
    // COLUMNS, which may be stale.
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
        is_term_resized(size.ws_row, size.ws_col)) {
        resizeterm(size.ws_row, size.ws_col);
    }
    clear_pending = true;
    repaint_pending = true;
}

const char* console_open() {
    if (is_open) {
        return nullptr;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
        return "needs a terminal on standard input and output";
    }
    if (const char* why = terminal_check_type()) {
        return why;
    }
    // The locale's character set decides the glyphs and how typed text is decoded; it is
    // all the game takes from the locale (its numbers read the same everywhere), and
    // loading only it starts the game sooner.
    std::setlocale(LC_CTYPE, "");

    if (const char* why = terminal_take()) {
        return why;
    }
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        terminal_give_back();
        return "cannot use this terminal";
    }
    set_term(screen);
    // The size is the terminal's own, whatever LINES and COLUMNS say: curses believes them.
    screen_follow_size();
    if (std::getenv("ESCDELAY") == nullptr) {
        set_escdelay(ESCAPE_DELAY_MS);  // the player's setting wins
    }
    keyboard_open(locale_is_utf8(), static_cast<std::uint32_t>(std::max(get_escdelay(), 0)));
    cbreak();  // not raw: Ctrl-C still interrupts
    noecho();
    nonl();  // Enter arrives as CR
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);  // the terminal's keypad mode, as the player's keys expect it
    typeahead(-1);         // curses never looks at the input: the game reads it itself
    leaveok(stdscr, TRUE);
    curs_set(0);
    choose_glyphs();
    choose_colours();
    terminal_set_play_modes();

    std::memset(last_frame, 0, sizeof last_frame);
    shown_valid = false;
    terminal_quiet = false;
    clear_pending = true;
    repaint_pending = false;
    hold_pending = false;
    is_open = true;
    return nullptr;
}

void console_restore() {
    if (!is_open) {
        return;
    }
    is_open = false;
    terminal_give_back();
}

void console_write(const Cell* cells) {
    if (!is_open) {
        return;
    }
    terminal_notice_signals();
    // Most frames: the terminal shows the frame before, and only changes need sending.
    const bool changes_only =
        shown_valid && !clear_pending && !repaint_pending && !hold_pending && !screen_too_small();
    if (changes_only && !put_changed_cells(cells)) {
        return;
    }
    // Nothing is sent while the terminal is another program's; once it is the game's
    // again, everything is.
    if (terminal_in_background()) {
        terminal_wait_for_foreground();
    } else if (changes_only) {
        wrefresh(stdscr);
        return;
    }
    std::memcpy(last_frame, cells, sizeof last_frame);
    screen_present();
}

bool console_peek_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    terminal_notice_signals();
    if (!keyboard_peek(event) && !terminal_quiet) {
        keyboard_read_now();
    }
    terminal_quiet = false;  // a second look, as when draining typed-ahead keys, asks
    return keyboard_peek(event);
}

bool console_read_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    for (;;) {
        terminal_notice_signals();
        if (hold_pending || screen_too_small()) {
            wait_until_large_enough();
        } else if (repaint_pending) {
            screen_present();
        }
        if (keyboard_pop(event)) {
            return true;
        }
        wait_and_read(WAIT_SLICE_MS);
    }
}

std::uint32_t console_ticks() {
    return static_cast<std::uint32_t>(monotonic_ns() / 1000000u);
}

bool console_sleep(std::uint32_t milliseconds) {
    terminal_notice_signals();
    if (is_open && (hold_pending || screen_too_small())) {
        wait_until_large_enough();
        return true;
    }
    // The sleep is spent waiting on the terminal: keys that come are queued for the
    // game and the wait resumes, and a hang-up ends the game at once, even in the long
    // pauses of the intro.
    const std::uint64_t deadline = monotonic_ns() + std::uint64_t{milliseconds} * 1000000u;
    for (;;) {
        const std::uint64_t now = monotonic_ns();
        if (now >= deadline) {
            return false;
        }
        const auto slice = static_cast<int>(
            std::min<std::uint64_t>((deadline - now + 999999u) / 1000000u, WAIT_SLICE_MS));
        if (is_open) {
            wait_and_read(slice);
        } else {
            const timespec pause{0, static_cast<long>(slice) * 1000000L};
            nanosleep(&pause, nullptr);
        }
        terminal_notice_signals();
    }
}

void curses_repaint_next_frame() {
    repaint_pending = true;
}

const Cell* curses_last_frame() {
    return last_frame;
}

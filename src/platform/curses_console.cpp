// The curses console: the game's 80x25 picture on a Unix terminal. Each frame is
// drawn whole into stdscr and handed over with one refresh, so curses sends only the
// cells that changed. Keys are decoded into the presses a Windows keyboard would give
// (curses_keys.h). The terminal is the player's: every way out gives it back as found.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <optional>

#include "platform/console.h"
#include "platform/cp437.h"
#include "platform/curses_keys.h"

namespace {

// Blocking waits wake at least this often, so signals and resizes are noticed soon.
constexpr int WAIT_SLICE_MS = 50;
// Keys read ahead of the game. A flood beyond this stays in the terminal's own buffer.
constexpr int QUEUE_SIZE = 32;
// An unknown escape sequence longer than this is not a sequence but a stuck stream.
constexpr int ESCAPE_SEQUENCE_LIMIT = 64;

// Set by the signal handlers, acted on by normal code in notice_signals.
volatile std::sig_atomic_t pending_exit_signal = 0;
volatile std::sig_atomic_t stop_requested = 0;
volatile std::sig_atomic_t continued = 0;

void on_exit_signal(int signal_number) {
    pending_exit_signal = signal_number;
}
void on_stop_signal(int) {
    stop_requested = 1;
}
void on_continue_signal(int) {
    continued = 1;
}

struct CaughtSignal {
    int number;
    void (*handler)(int);
    bool installed;
    struct sigaction previous;
};
CaughtSignal caught_signals[] = {
    {SIGINT, on_exit_signal, false, {}},  {SIGTERM, on_exit_signal, false, {}},
    {SIGHUP, on_exit_signal, false, {}},  {SIGQUIT, on_exit_signal, false, {}},
    {SIGTSTP, on_stop_signal, false, {}}, {SIGCONT, on_continue_signal, false, {}},
};

bool is_open = false;

// How each of the 256 glyphs and attributes is drawn on this terminal.
wchar_t glyphs[256];
attr_t glyph_attrs[256];
short glyph_pairs[256];

// The last frame the game wrote, shown again after a resize or a suspension.
Cell last_frame[SCREEN_CELLS];

bool clear_pending = false;    // the terminal changed size: blank what lies outside 80x25
bool repaint_pending = false;  // the terminal's contents are unknown: repaint every cell
bool hold_pending = false;     // the request to enlarge was shown: hold the game

InputEvent queue[QUEUE_SIZE];
int queue_head = 0;
int queue_count = 0;

// Signal handlers must be in place before curses starts, so that curses leaves
// interrupt and suspension to us. Signals ignored at start (a background job) stay so.
void install_signal_handlers() {
    for (CaughtSignal& caught : caught_signals) {
        sigaction(caught.number, nullptr, &caught.previous);
        if (caught.previous.sa_handler == SIG_IGN && (caught.previous.sa_flags & SA_SIGINFO) == 0) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = caught.handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no restart: a signal wakes the sleep or key wait at once
        caught.installed = sigaction(caught.number, &action, nullptr) == 0;
    }
}

void restore_signal_handlers() {
    for (CaughtSignal& caught : caught_signals) {
        if (caught.installed) {
            sigaction(caught.number, &caught.previous, nullptr);
            caught.installed = false;
        }
    }
}

bool locale_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0);
}

// Unicode glyphs where the terminal speaks UTF-8, ASCII look-alikes where it does not,
// and look-alikes too for any glyph this locale would not draw one column wide.
void choose_glyphs(bool unicode) {
    for (int code = 0; code < 256; ++code) {
        const wchar_t wide = static_cast<wchar_t>(cp437_to_unicode[code]);
        glyphs[code] = unicode && wcwidth(wide) == 1
                           ? wide
                           : static_cast<wchar_t>(static_cast<unsigned char>(cp437_to_ascii[code]));
    }
}

void choose_colours() {
    CursesPalette palette = CursesPalette::none;
    if (has_colors() && start_color() == OK) {
        if (COLORS >= 16 && COLOR_PAIRS >= curses_pair_count(CursesPalette::sixteen)) {
            palette = CursesPalette::sixteen;
        } else if (COLORS >= 8 && COLOR_PAIRS >= curses_pair_count(CursesPalette::eight)) {
            palette = CursesPalette::eight;
        }
    }
    if (palette != CursesPalette::none) {
        int foreground = 0;
        int background = 0;
        curses_pair_colours(0, palette, &foreground, &background);
        assume_default_colors(curses_colour_of(foreground), curses_colour_of(background));
    }
    for (int pair = 1; pair < curses_pair_count(palette); ++pair) {
        int foreground = 0;
        int background = 0;
        curses_pair_colours(pair, palette, &foreground, &background);
        init_pair(static_cast<short>(pair), static_cast<short>(curses_colour_of(foreground)),
                  static_cast<short>(curses_colour_of(background)));
    }
    for (int attribute = 0; attribute < 256; ++attribute) {
        const CursesStyle style = curses_style_of(static_cast<std::uint16_t>(attribute), palette);
        glyph_attrs[attribute] =
            (style.bold ? A_BOLD : A_NORMAL) | (style.reverse ? A_REVERSE : A_NORMAL);
        glyph_pairs[attribute] = style.pair;
    }
}

// Home and End arrive differently depending on the terminal and TERM; accept them all.
void define_extra_keys() {
    static const char* const home_sequences[] = {"\033[1~", "\033[H", "\033OH", "\033[7~"};
    static const char* const end_sequences[] = {"\033[4~", "\033[F", "\033OF", "\033[8~"};
    for (const char* sequence : home_sequences) {
        define_key(sequence, KEY_HOME);
    }
    for (const char* sequence : end_sequences) {
        define_key(sequence, KEY_END);
    }
}

bool too_small() {
    int rows = 0;
    int columns = 0;
    getmaxyx(stdscr, rows, columns);
    return rows < SCREEN_HEIGHT || columns < SCREEN_WIDTH;
}

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
}

// Shows the last frame, or the request to enlarge the terminal when it cannot fit.
void present() {
    if (too_small()) {
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
    cchar_t row[SCREEN_WIDTH];
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const Cell& cell = last_frame[y * SCREEN_WIDTH + x];
            const int attribute = cell.attribute & 0xFF;
            const wchar_t text[2] = {glyphs[cell.character & 0xFF], L'\0'};
            setcchar(&row[x], text, glyph_attrs[attribute], glyph_pairs[attribute], nullptr);
        }
        mvwadd_wchnstr(stdscr, y, 0, row, SCREEN_WIDTH);
    }
    wrefresh(stdscr);
}

void push_event(const InputEvent& event) {
    // Keys typed while the picture cannot be seen would act blindly.
    if (too_small() || queue_count == QUEUE_SIZE) {
        return;
    }
    queue[(queue_head + queue_count) % QUEUE_SIZE] = event;
    ++queue_count;
}

// One key from curses, waiting at most wait_ms (0: only what has already arrived).
int read_key(int wait_ms, wint_t* value) {
    wtimeout(stdscr, wait_ms);
    return wget_wch(stdscr, value);
}

void take_escape();

void take_key(int kind, wint_t value) {
    if (kind == KEY_CODE_YES) {
        if (value == KEY_RESIZE) {
            clear_pending = true;
            return;
        }
        std::optional<InputEvent> event = curses_decode_key(kind, value);
        if (!event) {
            event = curses_decode_key_name(keyname(static_cast<int>(value)));
        }
        if (event) {
            push_event(*event);
        }
        return;
    }
    if (value == 27) {
        take_escape();
        return;
    }
    if (std::optional<InputEvent> event = curses_decode_key(kind, value)) {
        push_event(*event);
    }
}

// Curses hands back an ESC alone either because nothing followed it within the escape
// delay (the Escape key) or because what followed is no key it knows. The latter is
// read to its end and dropped whole.
void take_escape() {
    const InputEvent escape = *curses_decode_key(OK, 27);
    wint_t next = 0;
    int kind = read_key(0, &next);
    if (kind == ERR) {
        push_event(escape);
        return;
    }
    if (kind == KEY_CODE_YES) {
        // Alt with a key curses knows: Windows reports it as that key. A resize is no
        // byte, so then the ESC stood alone.
        if (next == KEY_RESIZE) {
            push_event(escape);
        }
        take_key(kind, next);
        return;
    }
    EscapeSequence sequence;
    const int byte_wait_ms = std::max(get_escdelay(), 10);
    for (int taken = 1; sequence.feed(next) && taken < ESCAPE_SEQUENCE_LIMIT; ++taken) {
        kind = read_key(byte_wait_ms, &next);
        if (kind == ERR) {
            if (sequence.only_escapes()) {
                // Nothing followed the ESCs: Escape was pressed several times, quickly.
                for (int i = 0; i <= taken; ++i) {
                    push_event(escape);
                }
            }
            return;
        }
        if (kind == KEY_CODE_YES) {
            take_key(kind, next);
            return;
        }
    }
}

// Moves keys from the terminal into the queue: waits at most wait_ms for the first,
// then takes only what has already arrived.
void pump_input(int wait_ms) {
    while (queue_count < QUEUE_SIZE) {
        wint_t value = 0;
        const int kind = read_key(wait_ms, &value);
        if (kind == ERR) {
            return;
        }
        take_key(kind, value);
        wait_ms = 0;
    }
}

std::uint64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

// Ctrl-Z: give the terminal back, stop, and on `fg` take it again and repaint, since
// whatever ran meanwhile has drawn over the picture.
void suspend() {
    endwin();
    std::fflush(stdout);
    struct sigaction ours {};
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &ours);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    raise(SIGTSTP);
    sigaction(SIGTSTP, &ours, nullptr);

    doupdate();  // back into curses mode; notices a size changed while stopped
    continued = 0;
    pump_input(0);
    clear_pending = true;
    repaint_pending = true;
    present();
}

// Stopped from outside (SIGSTOP) and continued: whoever had the terminal meanwhile left
// it in their own modes, perhaps at another size, and drew over the picture.
void take_terminal_back() {
    reset_prog_mode();
    curs_set(1);  // curses skips a change to the state it believes in; force it
    curs_set(0);
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
        is_term_resized(size.ws_row, size.ws_col)) {
        resizeterm(size.ws_row, size.ws_col);
    }
    clear_pending = true;
    repaint_pending = true;
}

// The handlers only raise flags; here, in ordinary code, the flags take effect.
void notice_signals() {
    if (pending_exit_signal != 0) {
        const int signal_number = pending_exit_signal;
        console_restore();
        std::exit(128 + signal_number);
    }
    if (!is_open) {
        return;
    }
    if (stop_requested != 0) {
        stop_requested = 0;
        suspend();
    }
    if (continued != 0) {
        continued = 0;
        take_terminal_back();
    }
}

// Holds everything while the terminal is too small: shows the request, throws keys
// away and waits for the terminal to grow, then shows the picture again.
void wait_until_large_enough() {
    while (too_small()) {
        show_enlarge_request();
        pump_input(WAIT_SLICE_MS);
        notice_signals();
    }
    hold_pending = false;
    present();
}

}  // namespace

const char* console_open() {
    if (is_open) {
        return nullptr;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
        return "needs a terminal on standard input and output";
    }
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");  // the game's numbers read the same everywhere
    bool unicode = locale_is_utf8();
    if (!unicode && std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
        unicode = locale_is_utf8();
    }

    install_signal_handlers();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        restore_signal_handlers();
        return "cannot use this terminal";
    }
    set_term(screen);
    // A terminal that cannot place the cursor (TERM=dumb) cannot show a picture.
    const char* cursor_address = tigetstr("cup");
    if (cursor_address == nullptr || cursor_address == reinterpret_cast<char*>(-1)) {
        endwin();
        delscreen(screen);
        restore_signal_handlers();
        return "this terminal cannot place the cursor";
    }
    if (std::getenv("ESCDELAY") == nullptr) {
        set_escdelay(25);  // a lone Escape should act at once; the player's setting wins
    }
    cbreak();  // not raw: Ctrl-C still interrupts
    noecho();
    nonl();  // Enter arrives as CR
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    leaveok(stdscr, TRUE);
    curs_set(0);
    define_extra_keys();
    choose_glyphs(unicode);
    choose_colours();

    std::memset(last_frame, 0, sizeof last_frame);
    queue_head = 0;
    queue_count = 0;
    clear_pending = true;
    repaint_pending = false;
    hold_pending = false;
    pending_exit_signal = 0;
    stop_requested = 0;
    continued = 0;
    is_open = true;
    return nullptr;
}

void console_restore() {
    if (!is_open) {
        return;
    }
    is_open = false;
    curs_set(1);
    endwin();
    std::fflush(stdout);
    restore_signal_handlers();
}

void console_write(const Cell* cells) {
    if (!is_open) {
        return;
    }
    notice_signals();
    std::memcpy(last_frame, cells, sizeof last_frame);
    pump_input(0);  // a resize waiting in the input must be known before drawing
    present();
}

bool console_peek_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    notice_signals();
    if (queue_count == 0) {
        pump_input(0);
    }
    if (queue_count == 0) {
        return false;
    }
    *event = queue[queue_head];
    return true;
}

bool console_read_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    for (;;) {
        notice_signals();
        if (hold_pending || too_small()) {
            wait_until_large_enough();
        } else if (repaint_pending) {
            present();
        }
        if (queue_count > 0) {
            *event = queue[queue_head];
            queue_head = (queue_head + 1) % QUEUE_SIZE;
            --queue_count;
            return true;
        }
        pump_input(WAIT_SLICE_MS);
    }
}

std::uint32_t console_ticks() {
    return static_cast<std::uint32_t>(monotonic_ns() / 1000000u);
}

bool console_sleep(std::uint32_t milliseconds) {
    notice_signals();
    if (is_open && (hold_pending || too_small())) {
        wait_until_large_enough();
        return true;
    }
    const std::uint64_t deadline = monotonic_ns() + std::uint64_t{milliseconds} * 1000000u;
    for (;;) {
        const std::uint64_t now = monotonic_ns();
        if (now >= deadline) {
            return false;
        }
        const std::uint64_t slice =
            std::min<std::uint64_t>(deadline - now, std::uint64_t{WAIT_SLICE_MS} * 1000000u);
        const timespec pause{0, static_cast<long>(slice)};
        nanosleep(&pause, nullptr);  // a signal cuts it short; the flag is checked below
        notice_signals();
    }
}

// The curses console: the game's 80x25 picture on a Unix terminal. Each frame is
// compared with the one before, and only the cells that differ are handed to curses,
// with one refresh; a frame that changed nothing (most of them, at 20 a second) costs
// one comparison and no curses call. Curses only draws: the keyboard is read here,
// byte by byte, and decoded into the presses a Windows keyboard would give
// (terminal_input.h), so no escape string, mouse report or paste can act as an order.
// The terminal is the player's: every way out gives it back as found, and a terminal
// that has gone away ends the game as a hang-up does.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>

#include "platform/console.h"
#include "platform/cp437.h"
#include "platform/curses/curses_console.h"
#include "platform/curses/curses_style.h"
#include "platform/curses/terminal_input.h"

// Last: the terminal database's own header names every capability as a macro, and
// these would take over names used here and in the headers above.
#include <term.h>
#undef columns
#undef key_down
#undef lines

namespace {

// Blocking waits wake at least this often, so signals and resizes are noticed soon.
constexpr int WAIT_SLICE_MS = 50;
// Keys read ahead of the game. Keys beyond these are dropped: a held key's repeats
// must not play on for seconds after it is let go.
constexpr int QUEUE_SIZE = 32;
// At most this much is read in one go, so a stream of input cannot hold up a frame.
constexpr int READ_LIMIT = 64 * 1024;

// Set by the signal handlers, acted on by normal code in notice_signals.
volatile std::sig_atomic_t pending_exit_signal = 0;
volatile std::sig_atomic_t stop_requested = 0;
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;

void on_exit_signal(int signal_number) {
    pending_exit_signal = signal_number;
}
void on_stop_signal(int) {
    stop_requested = 1;
}
void on_continue_signal(int) {
    continued = 1;
}
void on_resize_signal(int) {
    resized = 1;
}

struct CaughtSignal {
    int number;
    void (*handler)(int);
    bool installed;
    struct sigaction previous;
};
CaughtSignal caught_signals[] = {
    {SIGINT, on_exit_signal, false, {}},     {SIGTERM, on_exit_signal, false, {}},
    {SIGHUP, on_exit_signal, false, {}},     {SIGQUIT, on_exit_signal, false, {}},
    {SIGTSTP, on_stop_signal, false, {}},    {SIGCONT, on_continue_signal, false, {}},
    {SIGWINCH, on_resize_signal, false, {}},
};

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
bool every_frame_whole = false;  // hand curses every cell of every frame
bool grey_in_pair_zero = false;  // light grey on black in pair 0 even with a pair to spare

bool clear_pending = false;    // the terminal changed size: blank what lies outside 80x25
bool repaint_pending = false;  // the terminal's contents are unknown: repaint every cell
bool hold_pending = false;     // the request to enlarge was shown: hold the game

TerminalInput input;
InputEvent queue[QUEUE_SIZE];
int queue_head = 0;
int queue_count = 0;
// The last wait ran its full time and the terminal sent nothing: the game's look for
// a key right after it need not ask the terminal again.
bool terminal_quiet = false;

// What turns bracketed paste on and off on this terminal; empty where it has none.
char paste_on[32];
char paste_off[32];

// Signal handlers must be in place before curses starts, so that curses leaves
// interrupt, suspension and resizing to us. Signals ignored at start (a background job,
// nohup) stay so.
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

// Ends the process by this signal's default action, so the parent (a shell loop, a
// script) sees a death by signal and not an ordinary exit.
[[noreturn]] void die_of(int signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);  // not reached for the signals caught here
}

// The terminal has gone (its window closed, the connection dropped): nothing can be
// shown or read any more, so end as a hang-up signal would, whether or not the signal
// itself came or was ignored.
[[noreturn]] void hang_up() {
    console_restore();
    die_of(SIGHUP);
}

void write_all(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = write(STDOUT_FILENO, text, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // a terminal that has gone takes nothing more
        }
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

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
        spare_pair = !grey_in_pair_zero && COLOR_PAIRS >= curses_pair_count(palette, true);
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

// Shows the last frame whole, or the request to enlarge the terminal when it cannot fit.
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
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        put_cells(y, 0, SCREEN_WIDTH);
    }
    shown_valid = true;
    wrefresh(stdscr);
}

void push_event(const InputEvent& event, void*) {
    // Keys typed while the picture cannot be seen would act blindly.
    if (too_small() || queue_count == QUEUE_SIZE) {
        return;
    }
    queue[(queue_head + queue_count) % QUEUE_SIZE] = event;
    ++queue_count;
}

// Takes everything the terminal has sent so far, without waiting, and decodes it. End
// of input, or a read error other than an interruption, means the terminal is gone.
// `ready` is what a wait has just found on the terminal, so it need not look again.
void read_terminal(short ready = 0) {
    unsigned char bytes[4096];
    for (int taken = 0; taken < READ_LIMIT;) {
        short found = ready;
        ready = 0;
        if (found == 0) {
            pollfd terminal{STDIN_FILENO, POLLIN, 0};
            if (poll(&terminal, 1, 0) <= 0) {
                break;
            }
            found = terminal.revents;
        }
        if ((found & POLLIN) == 0) {
            if ((found & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                hang_up();
            }
            break;
        }
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count > 0) {
            input.feed(bytes, static_cast<std::size_t>(count), console_ticks(), push_event,
                       nullptr);
            taken += static_cast<int>(count);
            continue;
        }
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            hang_up();
        }
        break;
    }
    // An ESC with nothing after it for the escape delay is the Escape key.
    input.expire(console_ticks(), push_event, nullptr);
}

// Waits up to timeout_ms for the terminal to send something or hang up, or for a
// signal, and takes what it sent: the one wait of a frame with no key, and one more
// for each burst of keys.
void wait_and_read(int timeout_ms) {
    if (input.waiting()) {
        // Wake when a lone ESC becomes the Escape key.
        const auto until_deadline = static_cast<std::int32_t>(input.deadline() - console_ticks());
        timeout_ms = std::clamp(until_deadline, 0, timeout_ms);
    }
    pollfd terminal{STDIN_FILENO, POLLIN, 0};
    const int result = poll(&terminal, 1, timeout_ms);
    terminal_quiet = result == 0;
    if (result > 0) {
        read_terminal(terminal.revents);
    } else if (input.waiting()) {
        input.expire(console_ticks(), push_event, nullptr);
    }
}

std::uint64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

// Follows the terminal's size after a resize signal or a time away, which curses
// learns only from us.
void follow_size() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
        is_term_resized(size.ws_row, size.ws_col)) {
        resizeterm(size.ws_row, size.ws_col);
    }
    clear_pending = true;
    repaint_pending = true;
}

// Ctrl-Z: give the terminal back, stop, and on `fg` take it again and repaint, since
// whatever ran meanwhile has drawn over the picture.
void suspend() {
    endwin();
    write_all(paste_off);
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

    write_all(paste_on);
    input.reset();
    continued = 0;
    follow_size();
    // Its refresh takes curses mode back (our terminal modes, keypad, alternate screen)
    // and draws the picture, once.
    present();
}

// Stopped from outside (SIGSTOP) and continued: whoever had the terminal meanwhile left
// it in their own modes, perhaps at another size, and drew over the picture.
void take_terminal_back() {
    reset_prog_mode();
    curs_set(1);  // curses skips a change to the state it believes in; force it
    curs_set(0);
    write_all(paste_on);
    follow_size();
}

// The handlers only raise flags; here, in ordinary code, the flags take effect.
void notice_signals() {
    if (pending_exit_signal != 0) {
        const int signal_number = pending_exit_signal;
        console_restore();
        die_of(signal_number);
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
    if (resized != 0) {
        resized = 0;
        follow_size();
    }
}

// Holds everything while the terminal is too small: shows the request, throws keys
// away and waits for the terminal to grow, then shows the picture again.
void wait_until_large_enough() {
    while (too_small()) {
        show_enlarge_request();
        wait_and_read(WAIT_SLICE_MS);
        notice_signals();
    }
    hold_pending = false;
    present();
}

bool usable(const char* capability) {
    return capability != nullptr && capability != reinterpret_cast<const char*>(-1);
}

// Says why the terminal type in TERM cannot show the game, or null when it can. Asks
// the terminal database quietly, so the player reads one line, ours.
const char* check_terminal_type() {
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') {
        return "TERM is not set, so the terminal's type is unknown (try TERM=xterm-256color)";
    }
    // The name as typed, made safe to print: a hostile TERM must not drive the terminal.
    char name[41];
    std::size_t length = 0;
    for (; type[length] != '\0' && length + 1 < sizeof name; ++length) {
        const unsigned char c = static_cast<unsigned char>(type[length]);
        name[length] = c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    }
    name[length] = '\0';
    static char reason[160];
    int status = 0;
    if (setupterm(type, STDOUT_FILENO, &status) != OK) {
        std::snprintf(reason, sizeof reason,
                      status < 0 ? "cannot find the terminal database to look up terminal type '%s'"
                                 : "unknown terminal type '%s' (TERM): no description of it is "
                                   "installed",
                      name);
        return reason;
    }
    const bool addressable = usable(tigetstr("cup"));
    del_curterm(cur_term);
    if (!addressable) {
        std::snprintf(reason, sizeof reason,
                      "terminal type '%s' (TERM) cannot move the cursor, so it cannot show the "
                      "game's screen",
                      name);
        return reason;
    }
    return nullptr;
}

// Bracketed paste: the terminal marks a paste, so the game can drop it instead of
// taking its letters as orders. From the terminal's description where it has one, else
// the common sequence on terminals that speak ANSI.
void choose_paste_mode() {
    paste_on[0] = '\0';
    paste_off[0] = '\0';
    const char* on = tigetstr("BE");
    const char* off = tigetstr("BD");
    if (!usable(on) || !usable(off)) {
        const char* address = tigetstr("cup");
        if (!usable(address) || std::strncmp(address, "\033[", 2) != 0) {
            return;
        }
        on = "\033[?2004h";
        off = "\033[?2004l";
    }
    if (std::strlen(on) < sizeof paste_on && std::strlen(off) < sizeof paste_off) {
        std::strcpy(paste_on, on);
        std::strcpy(paste_off, off);
    }
}

// Ctrl-S would stop the terminal's output, and the game with it, until Ctrl-Q: while
// the game runs both are keys instead. Ctrl-C, Ctrl-Z and Ctrl-\ stay signals. Curses
// keeps this as its program mode and gives the player's own modes back on every exit.
void stop_flow_control() {
    termios modes{};
    if (tcgetattr(STDOUT_FILENO, &modes) == 0) {
        modes.c_iflag &= ~static_cast<tcflag_t>(IXON);
        tcsetattr(STDOUT_FILENO, TCSANOW, &modes);
        def_prog_mode();
    }
}

}  // namespace

const char* console_open() {
    if (is_open) {
        return nullptr;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
        return "needs a terminal on standard input and output";
    }
    if (const char* why = check_terminal_type()) {
        return why;
    }
    // The locale's character set decides the glyphs and how typed text is decoded; it is
    // all the game takes from the locale (its numbers read the same everywhere), and
    // loading only it starts the game sooner.
    std::setlocale(LC_CTYPE, "");

    install_signal_handlers();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        restore_signal_handlers();
        return "cannot use this terminal";
    }
    set_term(screen);
    if (std::getenv("ESCDELAY") == nullptr) {
        set_escdelay(25);  // a lone Escape should act at once; the player's setting wins
    }
    input =
        TerminalInput(locale_is_utf8(), static_cast<std::uint32_t>(std::max(get_escdelay(), 0)));
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
    stop_flow_control();
    choose_paste_mode();
    write_all(paste_on);

    std::memset(last_frame, 0, sizeof last_frame);
    shown_valid = false;
    queue_head = 0;
    queue_count = 0;
    terminal_quiet = false;
    clear_pending = true;
    repaint_pending = false;
    hold_pending = false;
    pending_exit_signal = 0;
    stop_requested = 0;
    continued = 0;
    resized = 0;
    is_open = true;
    return nullptr;
}

void console_restore() {
    if (!is_open) {
        return;
    }
    is_open = false;
    curs_set(1);
    endwin();  // the player's terminal modes, flow control included, and main screen
    write_all(paste_off);
    std::fflush(stdout);
    restore_signal_handlers();
}

void console_write(const Cell* cells) {
    if (!is_open) {
        return;
    }
    notice_signals();
    // Most frames: the terminal shows the frame before, and only changes need sending.
    if (shown_valid && !every_frame_whole && !clear_pending && !repaint_pending && !hold_pending &&
        !too_small()) {
        if (put_changed_cells(cells)) {
            wrefresh(stdscr);
        }
        return;
    }
    std::memcpy(last_frame, cells, sizeof last_frame);
    present();
}

bool console_peek_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    notice_signals();
    if (queue_count == 0 && !terminal_quiet) {
        read_terminal();
    }
    terminal_quiet = false;  // a second look, as when draining typed-ahead keys, asks
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
        wait_and_read(WAIT_SLICE_MS);
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
        notice_signals();
    }
}

void curses_present_every_frame(bool every_frame) {
    every_frame_whole = every_frame;
}

void curses_light_grey_in_pair_zero(bool in_pair_zero) {
    grey_in_pair_zero = in_pair_zero;
}

void curses_repaint_next_frame() {
    repaint_pending = true;
}

const Cell* curses_last_frame() {
    return last_frame;
}

// The terminal is the player's: the curses console takes it, plays in modes of its own,
// and gives it back as found on every way out, signals included. A game in the
// background leaves the terminal to the program in the foreground.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "platform/console.h"
#include "platform/curses/curses_parts.h"

// Last: the terminal database's own header names every capability as a macro, and
// these would take over names used here and in the headers above.
#include <term.h>
#undef columns
#undef lines

namespace {

// Set by the signal handlers, acted on by normal code in terminal_notice_signals.
volatile std::sig_atomic_t pending_exit_signal = 0;
volatile std::sig_atomic_t stop_requested = 0;
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;

// Signals whose default action ends the process and that come from outside (a key,
// kill, a timer, a resource limit): the handler only raises a flag, and the game
// restores the terminal and dies of the signal at its next look.
constexpr int ending_signals[] = {
    SIGINT,    SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef __linux__
    SIGIO,  // SIGPOLL; elsewhere its default is to do nothing
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

// Signals that report a fault in the game itself: the faulting instruction would only
// fault again, so the handler gives the terminal back at once, with calls safe in a
// handler, and the game then dies of the fault with the action it found (a core dump,
// a sanitizer's report).
constexpr int fault_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

struct CaughtSignal {
    int number;
    struct sigaction previous;
};
CaughtSignal caught_signals[96];  // the signals above, the control signals, real-time ones
int caught_count = 0;

// What the fault handler needs to give the terminal back without curses: the modes it
// was found in and the bytes that leave the game's screen.
termios found_modes{};
char leave_bytes[256];
std::size_t leave_length = 0;
volatile std::sig_atomic_t leave_ready = 0;

bool curses_started = false;
pid_t own_group = 0;  // the game's process group, which does not change

// What turns bracketed paste on and off on this terminal; empty where it has none.
char paste_on[32];
char paste_off[32];

void on_ending_signal(int signal_number) {
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

void on_fault_signal(int signal_number, siginfo_t* info, void*) {
    const int saved_errno = errno;
    if (leave_ready != 0 && !terminal_in_background()) {
        leave_ready = 0;
        [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, leave_bytes, leave_length);
        tcsetattr(STDIN_FILENO, TCSADRAIN, &found_modes);
    }
    for (int i = 0; i < caught_count; ++i) {
        if (caught_signals[i].number == signal_number) {
            sigaction(signal_number, &caught_signals[i].previous, nullptr);
        }
    }
    // A fault comes again when the instruction is retried; a signal sent is sent again.
    if (info == nullptr || info->si_code <= 0) {
        raise(signal_number);
    }
    errno = saved_errno;
}

// Signals ignored at start (a background job, nohup) stay so.
void catch_signal(int number, void (*handler)(int), bool fault) {
    struct sigaction previous {};
    if (caught_count == static_cast<int>(sizeof caught_signals / sizeof caught_signals[0]) ||
        sigaction(number, nullptr, &previous) != 0 ||
        (previous.sa_handler == SIG_IGN && (previous.sa_flags & SA_SIGINFO) == 0)) {
        return;
    }
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (fault) {
        action.sa_sigaction = on_fault_signal;
        action.sa_flags = SA_SIGINFO;
    } else {
        action.sa_handler = handler;
        action.sa_flags = 0;  // no restart: a signal wakes the sleep or key wait at once
    }
    if (sigaction(number, &action, nullptr) == 0) {
        caught_signals[caught_count++] = {number, previous};
    }
}

// Handlers must be in place before curses starts, so that curses leaves interrupt,
// suspension and resizing to us.
void install_signal_handlers() {
    for (const int number : ending_signals) {
        catch_signal(number, on_ending_signal, false);
    }
#ifdef SIGRTMIN
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        catch_signal(number, on_ending_signal, false);
    }
#endif
    for (const int number : fault_signals) {
        catch_signal(number, nullptr, true);
    }
    catch_signal(SIGTSTP, on_stop_signal, false);
    catch_signal(SIGCONT, on_continue_signal, false);
    catch_signal(SIGWINCH, on_resize_signal, false);
    // The game writes nothing but the terminal and its recording. A recording that can
    // no longer be written (its reader gone, the file size limit reached) fails with
    // EPIPE or EFBIG, and the game goes on and says so on leaving, instead of dying
    // with the terminal in its modes: these stay ignored to the end, the recording's
    // last lines being written after the terminal is given back.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void restore_signal_handlers() {
    for (int i = caught_count - 1; i >= 0; --i) {
        sigaction(caught_signals[i].number, &caught_signals[i].previous, nullptr);
    }
    caught_count = 0;
}

void unblock(int signal_number) {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

// Lets this signal do what it does by default (end or stop the process, or with
// whole_group its process group), then puts back the game's own handling of it.
void take_default_action(int signal_number, bool whole_group) {
    struct sigaction by_default {};
    struct sigaction ours {};
    by_default.sa_handler = SIG_DFL;
    sigemptyset(&by_default.sa_mask);
    sigaction(signal_number, &by_default, &ours);
    unblock(signal_number);
    if (whole_group) {
        kill(0, signal_number);
    } else {
        raise(signal_number);
    }
    sigaction(signal_number, &ours, nullptr);
}

// Ends the process by this signal's default action, so the parent (a shell loop, a
// script) sees a death by signal and not an ordinary exit.
[[noreturn]] void die_of(int signal_number) {
    take_default_action(signal_number, false);
    _exit(128 + signal_number);  // not reached for the signals caught here
}

void die_if_asked() {
    if (pending_exit_signal != 0) {
        const int signal_number = pending_exit_signal;
        console_restore();
        die_of(signal_number);
    }
}

// Stops the game's process group with the default action of SIGTTOU, as the terminal
// would stop a program in the background that changed its modes, until it is in the
// foreground. False when the stop was discarded: the process group is orphaned, and no
// shell can bring it forward.
bool stop_while_in_background() {
    while (terminal_in_background()) {
        continued = 0;
        take_default_action(SIGTTOU, true);
        if (continued == 0) {
            return false;
        }
    }
    continued = 0;
    return true;
}

// Waits in the background without touching the terminal: stopped where a shell can
// bring the game back, else in short naps until the terminal is given to it or goes.
void wait_in_background() {
    while (!stop_while_in_background()) {
        const timespec nap{0, 100 * 1000000L};
        nanosleep(&nap, nullptr);
        die_if_asked();
    }
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

bool usable(const char* capability) {
    return capability != nullptr && capability != reinterpret_cast<const char*>(-1);
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

// The bytes that leave the game's screen as endwin would: attributes off, the cursor
// shown, the keypad and the alternate screen left, paste marks off.
void prepare_leave_bytes() {
    leave_length = 0;
    for (const char* name : {"sgr0", "cnorm", "rmkx", "rmcup"}) {
        const char* text = tigetstr(name);
        if (usable(text) && leave_length + std::strlen(text) < sizeof leave_bytes) {
            std::memcpy(leave_bytes + leave_length, text, std::strlen(text));
            leave_length += std::strlen(text);
        }
    }
    if (leave_length + std::strlen(paste_off) < sizeof leave_bytes) {
        std::memcpy(leave_bytes + leave_length, paste_off, std::strlen(paste_off));
        leave_length += std::strlen(paste_off);
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

// Ctrl-Z: give the terminal back, stop, and on `fg` take it again and repaint, since
// whatever ran meanwhile has drawn over the picture.
void suspend() {
    leave_ready = 0;
    endwin();
    write_all(paste_off);
    std::fflush(stdout);
    take_default_action(SIGTSTP, false);
    wait_in_background();  // continued by `bg`: stop again until `fg`

    write_all(paste_on);
    leave_ready = 1;
    keyboard_reset();
    continued = 0;
    screen_follow_size();
    // Its refresh takes curses mode back (our terminal modes, keypad, alternate screen)
    // and draws the picture, once.
    screen_present();
}

// Stopped from outside (SIGSTOP) and continued, or away in the background: whoever had
// the terminal meanwhile left it in their own modes, perhaps at another size, and drew
// over the picture.
void take_terminal_back() {
    wait_in_background();
    reset_prog_mode();
    curs_set(1);  // curses skips a change to the state it believes in; force it
    curs_set(0);
    write_all(paste_on);
    keyboard_reset();
    screen_follow_size();
}

}  // namespace

const char* terminal_check_type() {
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
    // Asked quietly, so the player reads one line, ours.
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

const char* terminal_take() {
    pending_exit_signal = 0;
    stop_requested = 0;
    continued = 0;
    resized = 0;
    own_group = getpgrp();
    install_signal_handlers();
    // Started in the background (`&`): stop until `fg`, as terminal programs do, before
    // anything is sent to the terminal or its modes are changed.
    if (!stop_while_in_background()) {
        restore_signal_handlers();
        return "the terminal is another program's: the game was started in the background "
               "with no shell to bring it to the foreground";
    }
    tcgetattr(STDIN_FILENO, &found_modes);
    return nullptr;
}

void terminal_set_play_modes() {
    curses_started = true;
    stop_flow_control();
    choose_paste_mode();
    write_all(paste_on);
    prepare_leave_bytes();
    leave_ready = 1;
}

void terminal_give_back() {
    leave_ready = 0;
    if (curses_started && !terminal_in_background()) {
        curs_set(1);
        endwin();  // the player's terminal modes, flow control included, and main screen
        write_all(paste_off);
        std::fflush(stdout);
    }
    curses_started = false;
    restore_signal_handlers();
}

void terminal_notice_signals() {
    die_if_asked();
    if (!curses_started) {
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
        screen_follow_size();
    }
}

bool terminal_in_background() {
    // Fails where the terminal has gone, or is not the game's controlling terminal (no
    // job control): neither is another program's foreground.
    const pid_t foreground = tcgetpgrp(STDIN_FILENO);
    return foreground > 0 && foreground != own_group;
}

void terminal_wait_for_foreground() {
    take_terminal_back();
}

void terminal_hang_up() {
    // The terminal has gone (its window closed, the connection dropped): nothing can be
    // shown or read any more, so end as a hang-up signal would, whether or not the
    // signal itself came or was ignored.
    console_restore();
    die_of(SIGHUP);
}

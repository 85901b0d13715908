// The keyboard of the curses console: the terminal's bytes are read here, not by curses,
// and decoded into the presses a Windows keyboard would give (terminal_input.h), so no
// escape string, mouse report or paste can act as an order. A read that finds the
// terminal gone ends the game; one refused because the game is in the background waits
// for the foreground instead.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/console.h"
#include "platform/curses/curses_parts.h"
#include "platform/curses/key_queue.h"
#include "platform/curses/terminal_input.h"

namespace {

// At most this much is read in one go, so a stream of input cannot hold up a frame.
constexpr int READ_LIMIT = 64 * 1024;

TerminalInput input;
KeyQueue queue;

void push_press(const InputEvent& press, void*) {
    // Keys typed while the picture cannot be seen would act blindly.
    if (!screen_too_small()) {
        queue.push(press);
    }
}

// A read found the end of input or failed. In the background that is the terminal
// refusing a game that is not its foreground, which waits for its turn; otherwise the
// terminal has gone.
void lost_terminal() {
    if (terminal_in_background()) {
        terminal_wait_for_foreground();
        return;
    }
    terminal_hang_up();
}

// Reads everything the terminal has sent so far, without waiting, into one buffer:
// bytes that arrived together are decoded together. `ready` is what a wait has just
// found on the terminal, so it need not look again.
void read_terminal(short ready) {
    static unsigned char bytes[READ_LIMIT];
    std::size_t taken = 0;
    while (taken < sizeof bytes) {
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
                lost_terminal();
            }
            break;
        }
        const ssize_t count = read(STDIN_FILENO, bytes + taken, sizeof bytes - taken);
        if (count > 0) {
            taken += static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            lost_terminal();
        }
        break;
    }
    const std::uint32_t now = console_ticks();
    input.feed(bytes, taken, now, push_press, nullptr);
    // An ESC with nothing after it for the escape delay is the Escape key.
    input.expire(now, push_press, nullptr);
}

}  // namespace

void keyboard_open(bool utf8, std::uint32_t escape_delay_ms) {
    input = TerminalInput(utf8, escape_delay_ms);
    queue.clear();
}

void keyboard_reset() {
    input.reset();
}

void keyboard_read_now() {
    read_terminal(0);
}

bool keyboard_wait(int timeout_ms) {
    if (input.waiting()) {
        // Wake when a lone ESC becomes the Escape key.
        const auto until_deadline = static_cast<std::int32_t>(input.deadline() - console_ticks());
        timeout_ms = std::clamp(until_deadline, 0, timeout_ms);
    }
    pollfd terminal{STDIN_FILENO, POLLIN, 0};
    const int result = poll(&terminal, 1, timeout_ms);
    if (result > 0) {
        read_terminal(terminal.revents);
    } else if (input.waiting()) {
        input.expire(console_ticks(), push_press, nullptr);
    }
    return result == 0;
}

bool keyboard_peek(InputEvent* press) {
    return queue.peek(press);
}

bool keyboard_pop(InputEvent* press) {
    return queue.pop(press);
}

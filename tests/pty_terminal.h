// The terminal's side of a pseudo-terminal, as a terminal window holds it: an xterm of
// 80x25 (or another size) whose every received byte the test keeps.
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

struct TerminalSide {
    int master = -1;
    std::string output;

    // Forks a child on a fresh terminal of type xterm-256color, with no signal blocked
    // (the test runner's mask must not reach the game). Returns as fork does.
    pid_t fork_child(unsigned short columns = 80, unsigned short rows = 25) {
        winsize size{};
        size.ws_row = rows;
        size.ws_col = columns;
        const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0) {
            setenv("TERM", "xterm-256color", 1);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
        }
        return pid;
    }

    // Takes what the terminal has received, waiting up to `ms`; false if nothing came or
    // the other side has closed (EIO).
    bool read_some(int ms) {
        pollfd terminal{master, POLLIN, 0};
        if (master < 0 || poll(&terminal, 1, ms) <= 0 || (terminal.revents & POLLIN) == 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count > 0) {
            output.append(buffer, static_cast<std::size_t>(count));
        }
        return count > 0;
    }
};

// The entry point of canopy-hollow: take the console, play until the player quits.
#include <cstdio>
#include <cstdlib>

#include "app/game.h"
#include "platform/console.h"

int main() {
    if (!console_open()) {
        std::fputs("canopy-hollow: needs a terminal on standard input and output\n", stderr);
        return 1;
    }
    std::atexit(restore_console);
    run_game();
}

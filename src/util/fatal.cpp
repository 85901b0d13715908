#include "util/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

void fatal_error(const char* message) {
    console_restore();  // first, so the line lands on the player's own screen
    std::fprintf(stderr, "canopy-hollow: %s\n", message);
    std::exit(1);
}

#pragma once

// Gives the terminal back, prints one line on standard error and ends the process
// with status 1. For the few things the game cannot go on without, such as memory.
[[noreturn]] void fatal_error(const char* message);

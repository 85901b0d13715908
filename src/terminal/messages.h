// The game's texts: the message log, the detail box, the info box, menu lines, and
// the two string utilities.
#pragma once

#include <cstddef>

#include "util/printf_check.h"

void log_message(const char* format, ...) PRINTF_FORMAT(1, 2);
void show_feedback(const char* format, ...) PRINTF_FORMAT(1, 2);
void show_info(const char* format, ...) PRINTF_FORMAT(1, 2);
void print_line(const char* format, ...) PRINTF_FORMAT(1, 2);

// A heap copy of the formatted text (at most 1023 bytes). Never null: running out of
// memory ends the game with a message. Records point at these texts and slots are
// reused without clearing, so none is released during a game: they stay listed here
// and are released together when a fresh game starts.
char* format_string(const char* format, ...) PRINTF_FORMAT(1, 2);
void release_formatted_strings();

// strncpy with limit n, then always terminated at n - 1.
char* copy_string(char* destination, const char* source, std::size_t n);

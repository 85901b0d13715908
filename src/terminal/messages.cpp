#include "terminal/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "terminal/screen.h"
#include "util/array.h"
#include "util/fatal.h"

namespace {

// Every text handed out so far. A plain growable array rather than a container with a
// destructor, so the texts stay reachable until the process is gone.
char** formatted_strings;

// Scroll the current window one row and print at the bottom: the newest line of a
// log always ends on the window's last row.
void print_scrolled(const char* format, va_list args) {
    print_text("\n");
    print_fmt_va(format, args);
}

}  // namespace

void log_message(const char* format, ...) {
    select_message_window(1);
    va_list args;
    va_start(args, format);
    print_scrolled(format, args);
    va_end(args);
}

void show_feedback(const char* format, ...) {
    select_detail_window(1);
    va_list args;
    va_start(args, format);
    print_scrolled(format, args);
    va_end(args);
}

void show_info(const char* format, ...) {
    clear_window(0x20);
    va_list args;
    va_start(args, format);
    print_fmt_va(format, args);
    va_end(args);
}

void print_line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print_fmt_va(format, args);
    va_end(args);
    print_text("\n");
}

char* format_string(const char* format, ...) {
    static char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    buffer[sizeof buffer - 1] = '\0';
    const std::size_t size = std::strlen(buffer) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (copy == nullptr) {
        fatal_error("out of memory");
    }
    std::memcpy(copy, buffer, size);
    array_append(formatted_strings, copy);
    return copy;
}

void release_formatted_strings() {
    for (std::int32_t i = 0; i < array_length(formatted_strings); ++i) {
        std::free(formatted_strings[i]);
    }
    array_free(formatted_strings);
    formatted_strings = nullptr;
}

char* copy_string(char* destination, const char* source, std::size_t n) {
    if (n == 0) {
        return destination;
    }
    std::strncpy(destination, source, n);
    destination[n - 1] = '\0';
    return destination;
}

// Text that comes from outside (a file, the command line) shown in a message on a
// terminal: a control byte in it must not retitle, clear or reprogram the terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Printable ASCII as itself and every other byte as '?'; longer than `limit` bytes, the
// rest is cut and "..." marks the cut.
inline std::string printable(std::string_view text, std::size_t limit = std::string_view::npos) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c >= 32 && c <= 126 ? static_cast<char>(c) : '?';
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out;
}

// A word of a bad line or command, between single quotes: long enough to recognise, too
// short to flood the message.
inline std::string quoted_word(std::string_view word) {
    constexpr std::size_t SHOWN = 24;
    return "'" + printable(word, SHOWN) + "'";
}

#include "tools/capture.h"

#include <algorithm>
#include <utility>

#include "platform/cp437.h"

namespace {

constexpr const char* COLOUR_NAMES[17] = {
    "black",
    "blue",
    "green",
    "cyan",
    "red",
    "magenta",
    "brown",
    "light grey",
    "dark grey",
    "light blue",
    "light green",
    "light cyan",
    "light red",
    "light magenta",
    "yellow",
    "white",
    "no console colour",
};

// Terminal colours number red 1 and blue 4, console colours the other way round;
// 8..15 are the bright twins in both.
int console_colour_of(int terminal_colour) {
    if (terminal_colour < 0 || terminal_colour > 15) {
        return 16;
    }
    return (terminal_colour & 0x0A) | ((terminal_colour & 1) << 2) | ((terminal_colour >> 2) & 1);
}

// The colours set by SGR sequences so far. A terminal's default colours are the
// console's, light grey on black.
struct Style {
    int foreground = 7;  // terminal colour numbers, or 16 for none of the sixteen
    int background = 0;
    bool bold = false;
    bool reverse = false;
};

// One SGR parameter list, "38;5;12" or "38:5:12" alike.
void apply_sgr(std::string_view parameters, Style& style) {
    std::vector<int> values;
    int value = 0;
    bool any = false;
    for (const char c : parameters) {
        if (c >= '0' && c <= '9') {
            value = value < 100000 ? value * 10 + (c - '0') : value;
            any = true;
        } else {
            values.push_back(any ? value : 0);
            value = 0;
            any = false;
        }
    }
    values.push_back(any ? value : 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int v = values[i];
        // 38 and 48 take "5;N" (a palette index) or "2;R;G;B" (no console colour).
        auto extended = [&]() {
            if (i + 2 < values.size() && values[i + 1] == 5) {
                i += 2;
                return values[i] < 16 ? values[i] : 16;
            }
            if (i + 1 < values.size() && values[i + 1] == 2) {
                i = std::min(i + 4, values.size() - 1);
            }
            return 16;
        };
        if (v == 0) {
            style = Style{};
        } else if (v == 1) {
            style.bold = true;
        } else if (v == 22) {
            style.bold = false;
        } else if (v == 7) {
            style.reverse = true;
        } else if (v == 27) {
            style.reverse = false;
        } else if (v >= 30 && v <= 37) {
            style.foreground = v - 30;
        } else if (v == 38) {
            style.foreground = extended();
        } else if (v == 39) {
            style.foreground = 7;
        } else if (v >= 40 && v <= 47) {
            style.background = v - 40;
        } else if (v == 48) {
            style.background = extended();
        } else if (v == 49) {
            style.background = 0;
        } else if (v >= 90 && v <= 97) {
            style.foreground = v - 90 + 8;
        } else if (v >= 100 && v <= 107) {
            style.background = v - 100 + 8;
        }
    }
}

CapturedCell styled(char32_t glyph, const Style& style) {
    int foreground = style.foreground;
    int background = style.background;
    // Terminals of eight colours show a bright foreground as bold.
    if (style.bold && foreground < 8) {
        foreground += 8;
    }
    if (style.reverse) {
        std::swap(foreground, background);
    }
    return CapturedCell{glyph, console_colour_of(foreground), console_colour_of(background)};
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns nothing for bad bytes.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80             ? 1
                 : (lead & 0xE0) == 0xC0 ? 2
                 : (lead & 0xF0) == 0xE0 ? 3
                 : (lead & 0xF8) == 0xF0 ? 4
                                         : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
        return std::nullopt;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;  // overlong, beyond Unicode, or a surrogate
    }
    i += static_cast<std::size_t>(length);
    return code;
}

// Skips an escape sequence starting at text[i] (the ESC); applies it when it sets
// colours. Returns false when the text ends inside it.
bool take_escape(std::string_view text, std::size_t& i, Style& style) {
    if (i + 1 >= text.size()) {
        return false;
    }
    const char kind = text[i + 1];
    i += 2;
    if (kind == '[') {  // CSI: parameters and intermediates, then a final byte
        const std::size_t start = i;
        while (i < text.size() && (text[i] < 0x40 || text[i] > 0x7E)) {
            if (text[i] < 0x20) {
                return false;
            }
            ++i;
        }
        if (i == text.size()) {
            return false;
        }
        if (text[i] == 'm') {
            apply_sgr(text.substr(start, i - start), style);
        }
        ++i;
        return true;
    }
    if (kind == ']') {  // OSC (a hyperlink, a title): ends at BEL or ESC backslash
        while (i < text.size()) {
            if (text[i] == '\a') {
                ++i;
                return true;
            }
            if (text[i] == '\033' && i + 1 < text.size() && text[i + 1] == '\\') {
                i += 2;
                return true;
            }
            ++i;
        }
        return false;
    }
    return true;  // a two-byte escape
}

CaptureReadResult failure(int line, const std::string& message) {
    CaptureReadResult result;
    result.error = "line " + std::to_string(line) + ": " + message;
    return result;
}

std::string glyph_text(char32_t glyph) {
    std::string out = "'";
    append_utf8(out, glyph);
    return out + "'";
}

}  // namespace

CaptureReadResult read_capture(std::string_view text) {
    Capture capture;
    capture.cells.assign(SCREEN_CELLS, CapturedCell{});
    Style style;
    int row = 0;
    int column = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char byte = text[i];
        if (byte == '\n') {
            ++row;
            column = 0;
            ++i;
            continue;
        }
        if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (byte == '\033') {
            capture.has_colours = true;
            if (!take_escape(text, i, style)) {
                return failure(row + 1, "cut short inside an escape sequence");
            }
            continue;
        }
        if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) {
            return failure(row + 1, "a control character, not a screen");
        }
        const std::optional<char32_t> glyph = next_code_point(text, i);
        if (!glyph) {
            return failure(row + 1, "not UTF-8 text");
        }
        if (*glyph >= 0x80 && *glyph <= 0x9F) {
            // The 8-bit controls: no glyph, and a message showing one would reach the terminal.
            return failure(row + 1, "a control character, not a screen");
        }
        if (row >= SCREEN_HEIGHT) {
            return failure(row + 1,
                           "the screen has only " + std::to_string(SCREEN_HEIGHT) + " lines");
        }
        if (column >= SCREEN_WIDTH) {
            return failure(row + 1,
                           "longer than the screen's " + std::to_string(SCREEN_WIDTH) + " columns");
        }
        capture.cells[static_cast<std::size_t>(row * SCREEN_WIDTH + column)] =
            styled(*glyph, style);
        ++column;
    }
    if (!capture.has_colours) {
        for (CapturedCell& cell : capture.cells) {
            cell.foreground = cell.background = -1;
        }
    }
    CaptureReadResult result;
    result.capture = std::move(capture);
    return result;
}

std::vector<std::string> capture_differences(const std::vector<Cell>& screen,
                                             const Capture& capture) {
    std::vector<std::string> differences;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const auto index = static_cast<std::size_t>(y * SCREEN_WIDTH + x);
            const Cell& shown = screen[index];
            const CapturedCell& seen = capture.cells[index];
            const char32_t glyph = cp437_to_unicode[shown.character & 0xFF];
            const int foreground = shown.attribute & 0x0F;
            const int background = (shown.attribute >> 4) & 0x0F;
            const bool colours_seen = seen.foreground >= 0;
            if (glyph == seen.glyph && (!colours_seen || (foreground == seen.foreground &&
                                                          background == seen.background))) {
                continue;
            }
            std::string line = "line " + std::to_string(y + 1) + ", column " +
                               std::to_string(x + 1) + ": the replay shows " + glyph_text(glyph);
            if (colours_seen) {
                line += std::string(" in ") + COLOUR_NAMES[foreground] + " on " +
                        COLOUR_NAMES[background];
            }
            line += ", the capture " + glyph_text(seen.glyph);
            if (colours_seen) {
                line += std::string(" in ") + COLOUR_NAMES[seen.foreground] + " on " +
                        COLOUR_NAMES[seen.background];
            }
            differences.push_back(line);
        }
    }
    return differences;
}

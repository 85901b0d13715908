#include "platform/curses/terminal_input.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr std::uint32_t ESC = 0x1B;
constexpr std::uint32_t BEL = 0x07;
constexpr std::uint32_t CAN = 0x18;  // cancels a sequence, as does SUB
constexpr std::uint32_t SUB = 0x1A;
constexpr std::uint32_t DEL = 0x7F;
constexpr std::uint32_t C1_CSI = 0x9B;  // the 8-bit forms of ESC [, ESC O, ...
constexpr std::uint32_t C1_SS3 = 0x8F;
constexpr std::uint32_t C1_DCS = 0x90;
constexpr std::uint32_t C1_SOS = 0x98;
constexpr std::uint32_t C1_ST = 0x9C;
constexpr std::uint32_t C1_OSC = 0x9D;
constexpr std::uint32_t C1_PM = 0x9E;
constexpr std::uint32_t C1_APC = 0x9F;
constexpr std::uint32_t NOT_A_CHARACTER = 0xFFFD;  // what a malformed UTF-8 byte reads as

// A paste arrives in one burst; this much silence inside one means its end was lost.
constexpr std::uint32_t PASTE_SILENCE_MS = 2000;
// ESCs in a row beyond this are no player pressing Escape.
constexpr int ESCAPE_RUN_LIMIT = 64;
// Parameter values are kept up to this; larger ones name no key.
constexpr std::uint32_t PARAMETER_LIMIT = 0x110000;

InputEvent key_press(std::uint8_t character, std::uint16_t virtual_key) {
    return InputEvent{true, character, virtual_key};
}

// Control bytes that are not Ctrl+letter, with the key a US keyboard types them with.
struct ControlKey {
    std::uint32_t byte;
    std::uint8_t character;
    std::uint16_t virtual_key;
};
constexpr ControlKey control_keys[] = {
    {0, 0, VKEY_SPACE},     // Ctrl+Space
    {8, 8, VKEY_BACK},      // Backspace on terminals that send ^H
    {9, 9, VKEY_TAB},       //
    {10, 13, VKEY_RETURN},  // Enter where the terminal still sends a line feed
    {13, 13, VKEY_RETURN},  //
    {27, 27, VKEY_ESCAPE},  //
    {28, 28, 0xDC},         // Ctrl+Backslash
    {29, 29, 0xDD},         // Ctrl+]
    {30, 30, '6'},          // Ctrl+^
    {31, 31, 0xBD},         // Ctrl+_
    {127, 8, VKEY_BACK},    // Backspace on terminals that send DEL
};

// Punctuation by the US-layout key that types it, shifted or not.
struct PunctuationKey {
    char plain;
    char shifted;
    std::uint16_t virtual_key;
};
constexpr PunctuationKey punctuation_keys[] = {
    {';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC},  {'-', '_', 0xBD},
    {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0},  {'[', '{', 0xDB},
    {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE},
};
constexpr char shifted_digits[] = ")!@#$%^&*(";

std::uint16_t virtual_key_of_printable(char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::uint16_t>(c - 'a' + 'A');
    }
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') {
        return static_cast<std::uint16_t>(c);
    }
    if (const char* digit = std::strchr(shifted_digits, c); digit != nullptr) {
        return static_cast<std::uint16_t>('0' + (digit - shifted_digits));
    }
    for (const PunctuationKey& key : punctuation_keys) {
        if (c == key.plain || c == key.shifted) {
            return key.virtual_key;
        }
    }
    return 0;
}

// Function key n (1-based). Shift and Ctrl with F1..F12 arrive as F13 and up on some
// terminals; Windows reports them as the plain function key.
InputEvent function_key(std::uint32_t number) {
    return key_press(0, static_cast<std::uint16_t>(VKEY_F1 + (number - 1) % 12));
}

// Keys sent as a letter after ESC [ or ESC O; any modifier parameter is ignored, as
// Windows reports Ctrl+Left as Left. Lower-case a..d are rxvt's shifted arrows.
struct FinalKey {
    char final_byte;
    std::uint16_t virtual_key;
};
constexpr FinalKey cursor_keys[] = {
    {'A', VKEY_UP},   {'B', VKEY_DOWN}, {'C', VKEY_RIGHT}, {'D', VKEY_LEFT},
    {'H', VKEY_HOME}, {'F', VKEY_END},  {'E', VKEY_CLEAR}, {'G', VKEY_CLEAR},
    {'a', VKEY_UP},   {'b', VKEY_DOWN}, {'c', VKEY_RIGHT}, {'d', VKEY_LEFT},
};

// What CSI and SS3 sequences share by their final byte: F1..F4 as P..S, and the cursor
// keys. False when the final byte names neither.
bool final_byte_key(std::uint32_t final_byte, InputEvent* key) {
    if (final_byte >= 'P' && final_byte <= 'S') {
        *key = function_key(final_byte - 'P' + 1);
        return true;
    }
    for (const FinalKey& cursor_key : cursor_keys) {
        if (static_cast<std::uint32_t>(cursor_key.final_byte) == final_byte) {
            *key = key_press(0, cursor_key.virtual_key);
            return true;
        }
    }
    return false;
}

// The keypad in application mode (ESC O and a letter): the digits as the keys they
// double for with Num Lock off, the operators as their characters.
struct KeypadKey {
    char final_byte;
    std::uint8_t character;
    std::uint16_t virtual_key;
};
constexpr KeypadKey keypad_keys[] = {
    {'p', 0, VKEY_INSERT}, {'q', 0, VKEY_END},   {'r', 0, VKEY_DOWN},   {'s', 0, VKEY_NEXT},
    {'t', 0, VKEY_LEFT},   {'u', 0, VKEY_CLEAR}, {'v', 0, VKEY_RIGHT},  {'w', 0, VKEY_HOME},
    {'x', 0, VKEY_UP},     {'y', 0, VKEY_PRIOR}, {'n', 0, VKEY_DELETE}, {'M', 13, VKEY_RETURN},
    {'j', '*', 0x6A},      {'k', '+', 0x6B},     {'l', ',', 0x6C},      {'m', '-', 0x6D},
    {'o', '/', 0x6F},      {'X', '=', 0xBB},
};

// Keys sent as ESC [ number ~ (vt220, xterm, the Linux console, screen, tmux; rxvt
// ends shifted and controlled ones with $, ^ or @ instead).
struct NumberedKey {
    std::uint32_t number;
    std::uint16_t virtual_key;  // 0: the function key named by `function`
    std::uint32_t function;
};
constexpr NumberedKey numbered_keys[] = {
    {1, VKEY_HOME, 0},  {2, VKEY_INSERT, 0}, {3, VKEY_DELETE, 0}, {4, VKEY_END, 0},
    {5, VKEY_PRIOR, 0}, {6, VKEY_NEXT, 0},   {7, VKEY_HOME, 0},   {8, VKEY_END, 0},
    {11, 0, 1},         {12, 0, 2},          {13, 0, 3},          {14, 0, 4},
    {15, 0, 5},         {17, 0, 6},          {18, 0, 7},          {19, 0, 8},
    {20, 0, 9},         {21, 0, 10},         {23, 0, 11},         {24, 0, 12},
    {25, 0, 13},        {26, 0, 14},         {28, 0, 15},         {29, 0, 16},
    {31, 0, 17},        {32, 0, 18},         {33, 0, 19},         {34, 0, 20},
};

constexpr std::uint32_t PASTE_BEGIN = 200;
constexpr std::uint32_t MODIFIED_CHARACTER = 27;  // xterm's ESC [ 27 ; mod ; char ~
constexpr char PASTE_CLOSING[] = "\033[201~";

bool is_parameter(std::uint32_t c) {
    return c >= 0x30 && c <= 0x3F;
}
bool is_intermediate(std::uint32_t c) {
    return c >= 0x20 && c <= 0x2F;
}
bool is_final(std::uint32_t c) {
    return c >= 0x40 && c <= 0x7E;
}
// Characters that cannot be part of a sequence and cut it short.
bool is_control(std::uint32_t c) {
    return c < 0x20 || (c >= 0x80 && c <= 0x9F);
}

// True when `moment` is still before `deadline` on a clock that wraps.
bool before(std::uint32_t moment, std::uint32_t deadline) {
    return static_cast<std::int32_t>(moment - deadline) < 0;
}

}  // namespace

InputEvent key_of_character(std::uint32_t character) {
    for (const ControlKey& key : control_keys) {
        if (key.byte == character) {
            return key_press(key.character, key.virtual_key);
        }
    }
    if (character >= 1 && character <= 26) {
        // Ctrl+letter: the control byte as character, the letter's key as code.
        return key_press(static_cast<std::uint8_t>(character),
                         static_cast<std::uint16_t>('A' + character - 1));
    }
    if (character >= 32 && character <= 126) {
        return key_press(static_cast<std::uint8_t>(character),
                         virtual_key_of_printable(static_cast<char>(character)));
    }
    // Beyond ASCII: keep the Latin-1 byte where there is one (never printable ASCII,
    // so the game falls back to the key code), and name no key.
    const std::uint8_t byte = character < 256 ? static_cast<std::uint8_t>(character) : 0;
    return key_press(byte, VKEY_PROCESSKEY);
}

TerminalInput::TerminalInput(bool utf8, std::uint32_t escape_delay_ms)
    : utf8_(utf8), escape_delay_ms_(escape_delay_ms) {}

void TerminalInput::reset() {
    state_ = State::ground;
    utf8_needed_ = 0;
    escapes_ = 0;
}

void TerminalInput::feed(const unsigned char* bytes, std::size_t count, std::uint32_t now_ms,
                         KeySink sink, void* context) {
    for (std::size_t i = 0; i < count; ++i) {
        // Bytes that come after a silence belong to no sequence begun before it.
        expire(now_ms, sink, context);
        const std::uint32_t byte = bytes[i];
        if (!utf8_) {
            take(byte, sink, context);
        } else if (utf8_needed_ > 0 && (byte & 0xC0) == 0x80) {
            utf8_value_ = (utf8_value_ << 6) | (byte & 0x3F);
            if (--utf8_needed_ == 0) {
                // Overlong forms, surrogates and values past U+10FFFF are malformed.
                const std::uint32_t smallest = utf8_length_ == 2   ? 0x80
                                               : utf8_length_ == 3 ? 0x800
                                                                   : 0x10000;
                const bool valid = utf8_value_ >= smallest && utf8_value_ <= 0x10FFFF &&
                                   (utf8_value_ < 0xD800 || utf8_value_ > 0xDFFF);
                take(valid ? utf8_value_ : NOT_A_CHARACTER, sink, context);
            }
        } else {
            if (utf8_needed_ > 0) {
                utf8_needed_ = 0;  // a character cut short
                take(NOT_A_CHARACTER, sink, context);
            }
            if (byte < 0x80) {
                take(byte, sink, context);
            } else if (byte >= 0xC2 && byte <= 0xF4) {
                utf8_length_ = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
                utf8_needed_ = utf8_length_ - 1;
                utf8_value_ = byte & (0x7Fu >> utf8_length_);
            } else {
                take(NOT_A_CHARACTER, sink, context);
            }
        }
        if (waiting()) {
            deadline_ = now_ms + (state_ == State::paste ? PASTE_SILENCE_MS : escape_delay_ms_);
        }
    }
}

void TerminalInput::expire(std::uint32_t now_ms, KeySink sink, void* context) {
    if (!waiting() || before(now_ms, deadline_)) {
        return;
    }
    // Nothing followed the ESCs: Escape was pressed, perhaps several times quickly.
    const int escapes = state_ == State::escape && utf8_needed_ == 0 ? escapes_ : 0;
    reset();
    for (int i = 0; i < escapes; ++i) {
        sink(key_of_character(ESC), context);
    }
}

void TerminalInput::begin_sequence(State state) {
    state_ = state;
    std::fill(std::begin(parameters_), std::end(parameters_), 0u);
    parameter_count_ = 0;
    has_digits_ = false;
    private_ = false;
    intermediates_ = 0;
    length_ = 0;
    remaining_ = 0;
    paste_matched_ = 0;
}

void TerminalInput::take(std::uint32_t character, KeySink sink, void* context) {
    switch (state_) {
        case State::ground:
            take_ground(character, sink, context);
            return;
        case State::escape:
            take_escape(character, sink, context);
            return;
        case State::csi:
            take_csi(character, sink, context);
            return;
        case State::ss3:
            take_ss3(character, sink, context);
            return;
        case State::linux_function:
            if (character == ESC || is_control(character)) {
                state_ = State::ground;
                take_ground(character, sink, context);
            } else {
                state_ = State::ground;
                if (character >= 'A' && character <= 'E') {
                    sink(function_key(character - 'A' + 1), context);
                }
            }
            return;
        case State::mouse:
            // The payload is three characters of 32 and up; a control byte means the
            // report was cut short and is itself input.
            if (character < 0x20) {
                state_ = State::ground;
                take_ground(character, sink, context);
            } else if (--remaining_ == 0) {
                state_ = State::ground;
            }
            return;
        case State::string:
            if (character == BEL || character == C1_ST || character == CAN || character == SUB) {
                state_ = State::ground;
            } else if (character == ESC) {
                state_ = State::string_escape;
            }
            return;
        case State::string_escape:
            if (character == '\\') {
                state_ = State::ground;  // ESC \ is the string terminator
                return;
            }
            // Any other ESC cut the string short and begins something new.
            state_ = State::escape;
            escapes_ = 1;
            take_escape(character, sink, context);
            return;
        case State::paste:
            take_paste(character);
            return;
    }
}

void TerminalInput::take_ground(std::uint32_t character, KeySink sink, void* context) {
    switch (character) {
        case ESC:
            state_ = State::escape;
            escapes_ = 1;
            return;
        case C1_CSI:
            begin_sequence(State::csi);
            return;
        case C1_SS3:
            begin_sequence(State::ss3);
            return;
        case C1_OSC:
        case C1_DCS:
        case C1_SOS:
        case C1_PM:
        case C1_APC:
            begin_sequence(State::string);
            return;
        default:
            break;
    }
    if (character >= 0x80 && character <= 0x9F) {
        return;  // the other 8-bit controls are no keys
    }
    sink(key_of_character(character), context);
}

void TerminalInput::take_escape(std::uint32_t character, KeySink sink, void* context) {
    if (character == ESC) {
        escapes_ = std::min(escapes_ + 1, ESCAPE_RUN_LIMIT);
        return;
    }
    State next = State::ground;
    switch (character) {
        case '[':
            next = State::csi;
            break;
        case 'O':
            next = State::ss3;
            break;
        case ']':
        case 'P':
        case 'X':
        case '^':
        case '_':
            next = State::string;  // OSC, DCS, SOS, PM, APC
            break;
        default:
            break;
    }
    // The last ESC belongs to what follows. Before a sequence the one before it may be
    // Alt (ESC ESC [ A is Alt+Up); before a character the last ESC is Alt itself, and
    // Alt+key gives the key, as on a Windows console. Earlier ESCs were Escape presses.
    const int presses = next == State::ground ? escapes_ - 1 : std::max(escapes_ - 2, 0);
    escapes_ = 0;
    for (int i = 0; i < presses; ++i) {
        sink(key_of_character(ESC), context);
    }
    if (next == State::ground) {
        state_ = State::ground;
        take_ground(character, sink, context);
    } else {
        begin_sequence(next);
    }
}

bool TerminalInput::take_parameter(std::uint32_t character) {
    if (!is_parameter(character)) {
        return false;
    }
    if (intermediates_ > 0) {
        private_ = true;  // parameters after intermediates: malformed, no key
    }
    if (character >= '0' && character <= '9') {
        parameter_count_ = std::max(parameter_count_, 1);
        if (parameter_count_ <= KEPT_PARAMETERS) {
            std::uint32_t& value = parameters_[parameter_count_ - 1];
            value = std::min(value * 10 + (character - '0'), PARAMETER_LIMIT);
        }
        has_digits_ = true;
    } else if (character == ';' || character == ':') {
        parameter_count_ = std::min(std::max(parameter_count_, 1) + 1, KEPT_PARAMETERS + 1);
    } else {
        private_ = true;  // < = > ? mark a private sequence, a report rather than a key
    }
    return true;
}

void TerminalInput::take_csi(std::uint32_t character, KeySink sink, void* context) {
    const bool first = length_ == 0;
    length_ = std::min(length_ + 1, 2);
    if (first && character == 'M') {
        state_ = State::mouse;  // X10 mouse report: ESC [ M and three bytes
        remaining_ = 3;
        return;
    }
    if (first && character == '[') {
        state_ = State::linux_function;
        return;
    }
    if (take_parameter(character)) {
        return;
    }
    if (is_intermediate(character)) {
        // rxvt ends shifted editing keys with $, which is otherwise an intermediate.
        if (character == '$' && intermediates_ == 0 && !private_ && parameter_count_ == 1 &&
            has_digits_) {
            finish_csi(character, sink, context);
            return;
        }
        ++intermediates_;
        return;
    }
    if (is_final(character)) {
        finish_csi(character, sink, context);
        return;
    }
    if (character == DEL) {
        return;  // ignored inside a sequence
    }
    // A control character or a character beyond ASCII cuts the sequence short; CAN and
    // SUB only cancel it, anything else is input of its own.
    state_ = State::ground;
    if (character != CAN && character != SUB) {
        take_ground(character, sink, context);
    }
}

void TerminalInput::finish_csi(std::uint32_t final_byte, KeySink sink, void* context) {
    state_ = State::ground;
    if (private_ || intermediates_ > 0) {
        return;  // mouse reports in SGR form, terminal reports: no keys
    }
    const std::uint32_t first = parameter_count_ > 0 ? parameters_[0] : 0;
    if (final_byte == '~' && first == PASTE_BEGIN) {
        begin_sequence(State::paste);
        return;
    }
    if (final_byte == '~' && first == MODIFIED_CHARACTER && parameter_count_ >= 3) {
        if (parameters_[2] > 0 && parameters_[2] < PARAMETER_LIMIT) {
            sink(key_of_character(parameters_[2]), context);
        }
        return;
    }
    if (final_byte == '~' || final_byte == '$' || final_byte == '^' || final_byte == '@') {
        for (const NumberedKey& key : numbered_keys) {
            if (key.number == first) {
                sink(key.virtual_key != 0 ? key_press(0, key.virtual_key)
                                          : function_key(key.function),
                     context);
                return;
            }
        }
        return;  // the end of a paste that never began, unknown numbers
    }
    if (final_byte == 'u') {
        // The character and modifier form some terminals offer for modified keys.
        if (first > 0 && first < PARAMETER_LIMIT) {
            sink(key_of_character(first), context);
        }
        return;
    }
    if (final_byte == 'Z') {
        sink(key_press(9, VKEY_TAB), context);  // Shift+Tab
        return;
    }
    // F1..F4 come with a modifier ("ESC [ 1 ; 2 P"); any other first number makes it a
    // cursor position report, which is no key.
    const bool report = final_byte >= 'P' && final_byte <= 'S' && first > 1;
    if (InputEvent key{}; !report && final_byte_key(final_byte, &key)) {
        sink(key, context);
    }
}

void TerminalInput::take_ss3(std::uint32_t character, KeySink sink, void* context) {
    // Some terminals put a modifier between ESC O and the final byte ("ESC O 5 P").
    if (take_parameter(character)) {
        return;
    }
    if (!is_final(character)) {
        state_ = State::ground;
        if (character == DEL || is_intermediate(character)) {
            return;
        }
        if (character != CAN && character != SUB) {
            take_ground(character, sink, context);
        }
        return;
    }
    state_ = State::ground;
    if (private_) {
        return;
    }
    if (InputEvent key{}; final_byte_key(character, &key)) {
        sink(key, context);
        return;
    }
    for (const KeypadKey& key : keypad_keys) {
        if (static_cast<std::uint32_t>(key.final_byte) == character) {
            sink(key_press(key.character, key.virtual_key), context);
            return;
        }
    }
}

void TerminalInput::take_paste(std::uint32_t character) {
    // Everything up to the closing marker is dropped; only the marker is looked for.
    if (character == static_cast<unsigned char>(PASTE_CLOSING[paste_matched_])) {
        if (PASTE_CLOSING[++paste_matched_] == '\0') {
            state_ = State::ground;
        }
        return;
    }
    paste_matched_ = character == ESC ? 1 : 0;
    if (character == C1_CSI) {
        paste_matched_ = 2;  // the 8-bit CSI stands for ESC [
    }
}

#include "platform/curses/terminal_input.h"

#include <algorithm>
#include <iterator>

#include "platform/curses/terminal_keys.h"

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

TerminalInput::TerminalInput(bool utf8, std::uint32_t escape_delay_ms)
    : utf8_(utf8), escape_delay_ms_(escape_delay_ms) {}

void TerminalInput::reset() {
    state_ = State::ground;
    utf8_needed_ = 0;
    escapes_ = 0;
}

void TerminalInput::feed(const unsigned char* bytes, std::size_t count, std::uint32_t now_ms,
                         KeySink sink, void* context) {
    // Bytes that come after a silence belong to no sequence begun before it; bytes that
    // come together belong together, however short the escape delay.
    expire(now_ms, sink, context);
    for (std::size_t i = 0; i < count; ++i) {
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
        // The end of a paste that never began and unknown numbers are no keys.
        if (InputEvent key{}; numbered_key(first, &key)) {
            sink(key, context);
        }
        return;
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
    if (InputEvent key{}; final_byte_key(character, &key) || keypad_key(character, &key)) {
        sink(key, context);
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

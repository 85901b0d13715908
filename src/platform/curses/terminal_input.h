// The bytes a Unix terminal sends, read as the key presses a Windows keyboard would
// deliver. Pure: no curses and no system calls, and time comes in as an argument, so
// every case can be checked without a terminal.
//
// Terminals send more than keys: cursor and function keys as escape sequences, reports
// (colours, titles, capabilities) as long strings, mouse reports, and pastes. Each is
// consumed whole by its grammar, whatever its length and however the reads split it, so
// none of its bytes can arrive as a letter and act as an order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/console.h"

// A character beyond ASCII has no key the game could name: a Windows keyboard reports
// text composed by an input method with this code. It is non-zero, so the press still
// counts as a key on the "[press any key]" screens, and it lies outside 32..126, so it
// never aliases a letter or a cursor key.
constexpr std::uint16_t VKEY_PROCESSKEY = 0xE5;

// The press a typed character gives: printable ASCII as itself with its US-layout key,
// control bytes as Ctrl+letter, Tab, Enter, Backspace or Escape, and anything beyond
// ASCII as VKEY_PROCESSKEY (with its Latin-1 byte where it has one).
InputEvent key_of_character(std::uint32_t character);

// Receives each key press as it is decoded.
using KeySink = void (*)(const InputEvent& press, void* context);

class TerminalInput {
  public:
    // utf8: the terminal speaks UTF-8 (else one byte is one character, as in Latin-1).
    // escape_delay_ms: how long a lone ESC waits for the rest of a sequence before it
    // counts as the Escape key; a sequence that stops for that long is dropped.
    explicit TerminalInput(bool utf8 = true, std::uint32_t escape_delay_ms = 25);

    // Takes bytes read together at now_ms (a millisecond clock that may wrap) and hands
    // every complete key press to sink: a sequence whole in them is one key, whatever the
    // escape delay. What is left unfinished waits for the next bytes; if those come
    // after the delay, it is settled first, as expire does.
    void feed(const unsigned char* bytes, std::size_t count, std::uint32_t now_ms, KeySink sink,
              void* context);

    // Called when no more bytes have come: at or after deadline(), an unfinished ESC
    // becomes the Escape key (one per ESC), anything else unfinished is dropped.
    void expire(std::uint32_t now_ms, KeySink sink, void* context);

    // True while something unfinished waits; deadline() is then when expire acts.
    bool waiting() const { return state_ != State::ground || utf8_needed_ > 0; }
    std::uint32_t deadline() const { return deadline_; }

    // True between the markers of a bracketed paste, whose contents are dropped.
    bool in_paste() const { return state_ == State::paste; }

    // Forgets anything unfinished, as after the terminal was handed to another program.
    void reset();

  private:
    enum class State {
        ground,          // between sequences: characters are keys
        escape,          // after one or more ESCs
        csi,             // ESC [ parameters, intermediates, final byte
        ss3,             // ESC O, an optional modifier, final byte
        linux_function,  // ESC [ [ and one letter: the Linux console's F1..F5
        mouse,           // ESC [ M and three payload characters
        string,          // OSC, DCS, SOS, PM, APC: up to BEL or ST
        string_escape,   // an ESC inside a string: ST if a backslash follows
        paste,           // between ESC [ 200 ~ and ESC [ 201 ~
    };

    void take(std::uint32_t character, KeySink sink, void* context);
    void take_ground(std::uint32_t character, KeySink sink, void* context);
    void take_escape(std::uint32_t character, KeySink sink, void* context);
    void take_csi(std::uint32_t character, KeySink sink, void* context);
    void take_ss3(std::uint32_t character, KeySink sink, void* context);
    void take_paste(std::uint32_t character);
    void begin_sequence(State state);
    void finish_csi(std::uint32_t final_byte, KeySink sink, void* context);
    bool take_parameter(std::uint32_t character);

    bool utf8_;
    std::uint32_t escape_delay_ms_;
    State state_ = State::ground;
    std::uint32_t deadline_ = 0;

    // A UTF-8 character split across reads.
    std::uint32_t utf8_value_ = 0;
    int utf8_length_ = 0;
    int utf8_needed_ = 0;

    // The ESCs in a row not yet accounted for.
    int escapes_ = 0;

    // The sequence being read. Only what naming a key needs is kept, so a sequence of
    // any length costs no memory.
    static constexpr int KEPT_PARAMETERS = 3;
    std::uint32_t parameters_[KEPT_PARAMETERS] = {};
    int parameter_count_ = 0;  // parameters begun, counted past KEPT_PARAMETERS
    bool has_digits_ = false;  // any digit at all
    bool private_ = false;     // a private marker (< = > ?) came first
    int intermediates_ = 0;    // bytes 0x20..0x2F before the final byte
    int length_ = 0;           // characters after the introducer, counted up to 2
    int remaining_ = 0;        // mouse payload characters still to come
    int paste_matched_ = 0;    // characters of the closing paste marker seen so far
};

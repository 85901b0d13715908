// The keys of a US keyboard by what a Unix terminal sends for them: characters, control
// bytes, and the final bytes and numbers that end cursor, keypad and function key
// sequences. Tables and lookups only; the grammar around them is terminal_input.cpp.
#pragma once

#include <cstdint>

#include "platform/console.h"

InputEvent key_press(std::uint8_t character, std::uint16_t virtual_key);

// Function key n (1-based). Shift and Ctrl with F1..F12 arrive as F13 and up on some
// terminals; Windows reports them as the plain function key.
InputEvent function_key(std::uint32_t number);

// What CSI and SS3 sequences share by their final byte: F1..F4 as P..S, and the cursor
// keys. False when the final byte names neither.
bool final_byte_key(std::uint32_t final_byte, InputEvent* key);

// The keypad in application mode, by the final byte after ESC O; false for no key.
bool keypad_key(std::uint32_t final_byte, InputEvent* key);

// Keys sent as ESC [ number ~ (and rxvt's $ ^ @ endings); false for an unknown number.
bool numbered_key(std::uint32_t number, InputEvent* key);

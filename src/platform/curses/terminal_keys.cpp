#include "platform/curses/terminal_keys.h"

#include <cstring>

#include "platform/curses/terminal_input.h"

namespace {

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
}  // namespace

InputEvent key_press(std::uint8_t character, std::uint16_t virtual_key) {
    return InputEvent{true, character, virtual_key};
}

InputEvent function_key(std::uint32_t number) {
    return key_press(0, static_cast<std::uint16_t>(VKEY_F1 + (number - 1) % 12));
}

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

bool keypad_key(std::uint32_t final_byte, InputEvent* key) {
    for (const KeypadKey& keypad : keypad_keys) {
        if (static_cast<std::uint32_t>(keypad.final_byte) == final_byte) {
            *key = key_press(keypad.character, keypad.virtual_key);
            return true;
        }
    }
    return false;
}

bool numbered_key(std::uint32_t number, InputEvent* key) {
    for (const NumberedKey& numbered : numbered_keys) {
        if (numbered.number == number) {
            *key = numbered.virtual_key != 0 ? key_press(0, numbered.virtual_key)
                                             : function_key(numbered.function);
            return true;
        }
    }
    return false;
}

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

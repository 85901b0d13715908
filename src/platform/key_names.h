// The names of the keys, on their virtual-key codes: one table for everything that shows
// a key to a person or reads one from a person's text (the key scripts, the comments in
// a recording, the headless console's named presses).
#pragma once

#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/console.h"

struct KeyName {
    std::uint16_t virtual_key;
    std::uint8_t character;  // the byte the key types, or 0 for none
    const char* name;
};
inline constexpr KeyName KEY_NAMES[] = {
    {VKEY_BACK, 8, "Backspace"}, {VKEY_TAB, 9, "Tab"},     {VKEY_CLEAR, 0, "Clear"},
    {VKEY_RETURN, 13, "Enter"},  {VKEY_SHIFT, 0, "Shift"}, {VKEY_CONTROL, 0, "Ctrl"},
    {VKEY_MENU, 0, "Alt"},       {VKEY_ESCAPE, 27, "Esc"}, {VKEY_SPACE, ' ', "Space"},
    {VKEY_PRIOR, 0, "PgUp"},     {VKEY_NEXT, 0, "PgDn"},   {VKEY_END, 0, "End"},
    {VKEY_HOME, 0, "Home"},      {VKEY_LEFT, 0, "Left"},   {VKEY_UP, 0, "Up"},
    {VKEY_RIGHT, 0, "Right"},    {VKEY_DOWN, 0, "Down"},   {VKEY_INSERT, 0, "Insert"},
    {VKEY_DELETE, 0, "Delete"},  {VKEY_F1, 0, "F1"},       {VKEY_F1 + 1, 0, "F2"},
    {VKEY_F1 + 2, 0, "F3"},      {VKEY_F1 + 3, 0, "F4"},   {VKEY_F1 + 4, 0, "F5"},
    {VKEY_F1 + 5, 0, "F6"},      {VKEY_F1 + 6, 0, "F7"},   {VKEY_F1 + 7, 0, "F8"},
    {VKEY_F1 + 8, 0, "F9"},      {VKEY_F1 + 9, 0, "F10"},  {VKEY_F1 + 10, 0, "F11"},
    {VKEY_F1 + 11, 0, "F12"},
};

// The table's entry for a virtual-key code, or null.
inline const KeyName* key_name_of(std::uint32_t virtual_key) {
    for (const KeyName& key : KEY_NAMES) {
        if (key.virtual_key == virtual_key) {
            return &key;
        }
    }
    return nullptr;
}

// The press a name stands for, as a keyboard delivers it: one character typed as itself
// (letters and digits with their own virtual-key code), or a name of the table in any
// case ("tab", "PgUp"). None for anything else.
inline std::optional<InputEvent> key_press_named(std::string_view name) {
    if (name.size() == 1) {
        const auto byte = static_cast<unsigned char>(name[0]);
        const auto virtual_key =
            std::isalnum(byte) != 0 ? static_cast<std::uint16_t>(std::toupper(byte)) : 0;
        return InputEvent{true, byte, static_cast<std::uint16_t>(virtual_key)};
    }
    for (const KeyName& key : KEY_NAMES) {
        const std::string_view known = key.name;
        bool same = known.size() == name.size();
        for (std::size_t i = 0; same && i < known.size(); ++i) {
            same = std::tolower(static_cast<unsigned char>(known[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        }
        if (same) {
            return InputEvent{true, key.character, key.virtual_key};
        }
    }
    return std::nullopt;
}

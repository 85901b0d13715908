// Code page 437 glyphs as Unicode, for backends that draw on Unicode terminals and
// for turning captured frames into readable text.
#pragma once

#include <cstdint>
#include <string>

// The Unicode code point shown for each code page 437 byte. Control codes map to
// their graphic glyphs (0x01 is a smiling face, 0x10 a right-pointing triangle);
// code 0 maps to a blank.
extern const char32_t cp437_to_unicode[256];

// Appends the UTF-8 encoding of one code point.
void append_utf8(std::string& out, char32_t code_point);

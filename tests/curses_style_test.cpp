// The pure half of the curses console's output: console colours as curses colours, and
// ASCII stand-ins for glyphs.
#include "platform/curses/curses_style.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace {

TEST(CursesColours, ConsoleColoursBecomeCursesColoursAndPairs) {
    // Blue 1, green 2, red 4 become red 1, green 2, blue 4; intensity stays 8.
    std::array<int, 16> colours{};
    for (int colour = 0; colour < 16; ++colour) {
        colours[colour] = curses_colour_of(colour);
    }
    EXPECT_EQ(colours, (std::array{0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15}));

    // Every attribute has the pair of its colours. Eight colours show a bright foreground
    // as bold and a bright background as its dark twin. With a spare pair the
    // combinations take pairs from 1 and pair 0 stays the terminal's own; without one,
    // light grey on black takes pair 0.
    for (const auto& [palette, count, spare, grey_pair] :
         {std::tuple{CursesPalette::sixteen, 16, true, 8},
          {CursesPalette::sixteen, 16, false, 0},
          {CursesPalette::eight, 8, true, 8},
          {CursesPalette::eight, 8, false, 0}}) {
        const std::string name =
            std::to_string(count) + (spare ? " colours, spare pair" : " colours");
        std::set<int> pairs;
        for (int attribute = 0; attribute < 256; ++attribute) {
            const CursesStyle style = curses_style_of(attribute, palette, spare);
            int foreground = -1, background = -1;
            curses_pair_colours(style.pair, palette, spare, &foreground, &background);
            EXPECT_EQ((std::array{foreground, background, int{style.bold}, int{style.reverse}}),
                      (std::array{(attribute & 15) % count, (attribute >> 4) % count,
                                  int{count == 8 && (attribute & 8) != 0}, 0}))
                << name << ", attribute " << attribute;
            pairs.insert(style.pair);
        }
        // Every pair the palette counts is used, once per combination.
        const int first = spare ? 1 : 0;
        EXPECT_EQ(
            (std::array{*pairs.begin(), *pairs.rbegin(), static_cast<int>(pairs.size()),
                        curses_pair_count(palette, spare)}),
            (std::array{first, count * count - 1 + first, count * count, count * count + first}))
            << name;
        EXPECT_EQ(curses_style_of(0x07, palette, spare).pair, grey_pair) << name;
        if (spare) {
            int foreground = 0, background = 0;
            curses_pair_colours(0, palette, spare, &foreground, &background);
            EXPECT_EQ((std::array{foreground, background}), (std::array{-1, -1})) << name;
        }
    }

    // Without colour: pair 0, bright is bold and any background is reverse video.
    for (const auto& [attribute, bold, reverse] :
         {std::array{0x07, 0, 0}, {0x0F, 1, 0}, {0x70, 0, 1}, {0x1E, 1, 1}}) {
        const CursesStyle style = curses_style_of(attribute, CursesPalette::none, false);
        EXPECT_EQ((std::array{int{style.pair}, int{style.bold}, int{style.reverse}}),
                  (std::array{0, bold, reverse}))
            << attribute;
    }
    EXPECT_EQ(curses_pair_count(CursesPalette::none, true), 0);
}

TEST(CursesGlyphs, AsciiLookAlikesArePrintableAndKeepAscii) {
    for (int code = 0; code < 256; ++code) {
        // Printable ASCII stays itself; every other code has a printable stand-in.
        const int shown = cp437_to_ascii[code];
        EXPECT_EQ(code >= 32 && code <= 126 ? code : std::clamp(shown, 32, 126), shown) << code;
    }
    // Box drawing, shades, arrows and triangles.
    const std::string drawn = {cp437_to_ascii[0xB3], cp437_to_ascii[0xC4], cp437_to_ascii[0xC5],
                               cp437_to_ascii[0xB0], cp437_to_ascii[0xB1], cp437_to_ascii[0xB2],
                               cp437_to_ascii[0x1E], cp437_to_ascii[0x10], cp437_to_ascii[0x11]};
    EXPECT_EQ(drawn, "|-+.:#^><");
}

}  // namespace

// The pure half of the curses console's output: every console attribute drawn in its own
// colours on each palette, and a printable stand-in for every glyph.
#include "platform/curses/curses_style.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {

TEST(CursesStyle, EveryAttributeIsDrawnInItsOwnColours) {
    // Eight colours show a bright foreground as bold and a bright background as its dark
    // twin; with a spare pair, pair 0 stays the terminal's own.
    for (const auto& [palette, count] :
         {std::pair{CursesPalette::sixteen, 16}, std::pair{CursesPalette::eight, 8}}) {
        for (const bool spare : {true, false}) {
            for (int attribute = 0; attribute < 256; ++attribute) {
                const CursesStyle style = curses_style_of(attribute, palette, spare);
                int foreground = -1, background = -1;
                curses_pair_colours(style.pair, palette, spare, &foreground, &background);
                EXPECT_EQ((std::array{foreground, background, int{style.bold}, int{style.pair}}),
                          (std::array{(attribute & 15) % count, (attribute >> 4) % count,
                                      int{count == 8 && (attribute & 8) != 0},
                                      std::clamp(int{style.pair}, spare ? 1 : 0,
                                                 curses_pair_count(palette, spare) - 1)}))
                    << count << " colours, spare pair " << spare << ", attribute " << attribute;
            }
        }
    }
}

TEST(CursesStyle, EveryGlyphHasAPrintableStandIn) {
    for (int code = 0; code < 256; ++code) {
        const int shown = cp437_to_ascii[code];
        EXPECT_EQ(code >= 32 && code <= 126 ? code : std::clamp(shown, 32, 126), shown) << code;
    }
}

}  // namespace

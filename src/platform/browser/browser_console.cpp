// The browser console: the game compiled to WebAssembly, drawing its 80x25 cells as
// text into the page that loaded it (web/page.js). The page keeps the key queue and
// the clock; this side keeps the picture last shown and hands over only the rows that
// changed, so a frame that changes nothing never touches the page. Waiting (the frame's
// sleep, the "[press any key]" screens, the quit question) suspends the game through
// Asyncify and lets the browser run, so the game's loop stays as it is.
#include <emscripten.h>

#include <cstring>

#include "platform/console.h"
#include "platform/cp437.h"

// The page's half, reached through the Module object the page created the game with.
// Keys travel packed as character | virtual key << 8; -1 means none.

// Hands the page the glyph of each code page 437 byte; false when there is no page
// to draw on (the game was started outside it).
EM_JS(int, page_attach, (const char32_t* glyphs), {
    const page = Module["page"];
    if (!page) {
        return 0;
    }
    const table = [];
    for (let code = 0; code < 256; ++code) {
        table.push(String.fromCodePoint(HEAPU32[(glyphs >> 2) + code]));
    }
    return page.attach(table) ? 1 : 0;
});

EM_JS(void, page_detach, (), { Module["page"].detach(); });

// One row of SCREEN_WIDTH cells, each a 16-bit character and a 16-bit attribute.
EM_JS(void, page_draw_row, (int y, const Cell* cells), {
    const first = cells >> 1;
    Module["page"].drawRow(y, HEAPU16.subarray(first, first + 2 * 80));
});

EM_JS(int, page_peek_key, (), { return Module["page"].peekKey(); });
EM_JS(int, page_take_key, (), { return Module["page"].takeKey(); });
EM_ASYNC_JS(int, page_wait_key, (), { return await Module["page"].waitKey(); });

EM_JS(int, page_clock_is_manual, (), { return Module["page"].clock.manual ? 1 : 0; });
EM_JS(std::uint32_t, page_clock_now, (), { return Module["page"].clock.now() >>> 0; });
EM_ASYNC_JS(std::uint32_t, page_clock_wait, (),
            { return (await Module["page"].clock.waitForTurn()) >>> 0; });
EM_ASYNC_JS(void, page_sleep, (std::uint32_t milliseconds),
            { await Module["page"].clock.sleep(milliseconds >>> 0); });

namespace {

bool is_open = false;
bool manual_clock = false;

// What the page shows, row by row, and whether each row has been drawn since opening.
Cell shown[SCREEN_CELLS];
bool row_drawn[SCREEN_HEIGHT];

InputEvent unpack_key(int packed) {
    return InputEvent{true, static_cast<std::uint8_t>(packed & 0xFF),
                      static_cast<std::uint16_t>((packed >> 8) & 0xFFFF)};
}

}  // namespace

const char* console_open() {
    if (is_open) {
        return nullptr;
    }
    if (page_attach(cp437_to_unicode) == 0) {
        return "this page has no game screen to draw on";
    }
    manual_clock = page_clock_is_manual() != 0;
    std::memset(row_drawn, 0, sizeof row_drawn);
    is_open = true;
    return nullptr;
}

// The page stops taking keys for the game, so the browser has its keys back.
void console_restore() {
    if (!is_open) {
        return;
    }
    is_open = false;
    page_detach();
}

void console_write(const Cell* cells) {
    if (!is_open) {
        return;
    }
    constexpr std::size_t ROW_BYTES = sizeof(Cell) * SCREEN_WIDTH;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        const Cell* row = cells + y * SCREEN_WIDTH;
        Cell* shown_row = shown + y * SCREEN_WIDTH;
        if (row_drawn[y] && std::memcmp(row, shown_row, ROW_BYTES) == 0) {
            continue;
        }
        std::memcpy(shown_row, row, ROW_BYTES);
        row_drawn[y] = true;
        page_draw_row(y, shown_row);
    }
}

bool console_peek_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    const int packed = page_peek_key();
    if (packed < 0) {
        return false;
    }
    *event = unpack_key(packed);
    return true;
}

bool console_read_event(InputEvent* event) {
    if (!is_open) {
        return false;
    }
    int packed = page_take_key();
    while (packed < 0) {
        packed = page_wait_key();
    }
    *event = unpack_key(packed);
    return true;
}

// With a manual clock every reading waits for whoever drives the page to give the
// time, so a test decides when each frame starts and what time it is.
std::uint32_t console_ticks() {
    return manual_clock ? page_clock_wait() : page_clock_now();
}

// A hidden tab slows the page's timers; the game's longest step (0.1 s) already keeps
// such a stall from jerking the simulation, so the wait is never reported as a hold.
bool console_sleep(std::uint32_t milliseconds) {
    if (is_open) {
        page_sleep(milliseconds);
    }
    return false;
}

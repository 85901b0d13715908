// The browser console: the game compiled to WebAssembly, in a worker of the page's
// (web/game_worker.js), which relays its 80x25 cells to the page and keeps the key
// queue, the clock and a watched recording's pace. This side keeps the picture last
// shown and hands over only the cells that changed, so a frame that changes nothing
// never touches the page. Waiting (the frame's sleep, the "[press any key]" screens,
// the quit question) suspends the game through Asyncify and lets the worker run, so
// the game's loop stays as it is.
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

// `count` changed cells, each as three 32-bit words: position, character, attribute.
EM_JS(void, page_draw_cells, (int count, const std::uint32_t* changes), {
    const first = changes >> 2;
    Module["page"].drawCells(HEAPU32.subarray(first, first + 3 * count));
});

EM_JS(int, page_peek_key, (), { return Module["page"].peekKey(); });
EM_JS(int, page_take_key, (), { return Module["page"].takeKey(); });
EM_ASYNC_JS(int, page_wait_key, (), { return await Module["page"].waitKey(); });

// The clock: a tick at once, or -1 when the caller must wait for one.
EM_JS(double, page_tick_now, (), { return Module["page"].tickNow(); });
EM_ASYNC_JS(std::uint32_t, page_tick_wait, (), { return (await Module["page"].tickWait()) >>> 0; });
// A sleep: 0 or 1 (held) at once, or -1 when the caller must wait for the answer.
EM_JS(int, page_sleep_now, (std::uint32_t milliseconds),
      { return Module["page"].sleepNow(milliseconds >>> 0); });
EM_ASYNC_JS(int, page_sleep_wait, (std::uint32_t milliseconds),
            { return (await Module["page"].sleepWait(milliseconds >>> 0)) ? 1 : 0; });

namespace {

bool is_open = false;

// What the page shows; a cell never shown since opening differs from every real cell.
Cell shown[SCREEN_CELLS];
std::uint32_t changes[3 * SCREEN_CELLS];

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
    std::memset(shown, 0xFF, sizeof shown);
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
    int count = 0;
    for (int i = 0; i < SCREEN_CELLS; ++i) {
        if (cells[i].character == shown[i].character && cells[i].attribute == shown[i].attribute) {
            continue;
        }
        shown[i] = cells[i];
        changes[3 * count] = static_cast<std::uint32_t>(i);
        changes[3 * count + 1] = cells[i].character & 0xFFu;
        changes[3 * count + 2] = cells[i].attribute & 0xFFu;
        ++count;
    }
    if (count > 0) {
        page_draw_cells(count, changes);
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

// A test's manual clock makes the game wait here for its next tick.
std::uint32_t console_ticks() {
    const double tick = page_tick_now();
    return tick >= 0 ? static_cast<std::uint32_t>(tick) : page_tick_wait();
}

// True after the page paused the game (a hidden tab): the time away is no game time.
bool console_sleep(std::uint32_t milliseconds) {
    if (!is_open) {
        return false;
    }
    const int held = page_sleep_now(milliseconds);
    return (held < 0 ? page_sleep_wait(milliseconds) : held) != 0;
}

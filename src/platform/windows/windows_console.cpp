// The Windows console: the game's 80x25 picture in the console it was started from,
// through KERNEL32 alone. The frame goes to the console in one call; keys come from
// the console's own input queue, one event at a time. Every way out gives the console
// back: the standard exit, Ctrl-C, Ctrl-Break, closing the window, and a console that
// went away.
#include <cstdlib>

#include "platform/console.h"
#include "platform/windows/windows_convert.h"

namespace {

// A console whose input fails this many times in a row is gone: no key can come.
constexpr int FAILURES_BEFORE_LOST = 5;
// Between two failed reads, so a dying console is not asked in a tight loop.
constexpr DWORD RETRY_PAUSE_MS = 50;
// Cursor sizes, in percent of a cell: a full block hidden during play, the usual
// underline at the end.
constexpr DWORD HIDDEN_CURSOR_SIZE = 100;
constexpr DWORD SHOWN_CURSOR_SIZE = 20;
constexpr UINT GAME_CODE_PAGE = 437;

HANDLE output = INVALID_HANDLE_VALUE;
HANDLE input = INVALID_HANDLE_VALUE;
ConsoleGeometry found{};
UINT found_code_page = 0;
int input_failures = 0;
// 1 while the console is the game's. The control handler runs on a thread of its own,
// so giving the console back is claimed with one atomic exchange.
volatile LONG is_open = 0;

void give_console_back() {
    if (InterlockedExchange(&is_open, 0) == 0) {
        return;
    }
    const CONSOLE_CURSOR_INFO shown{SHOWN_CURSOR_SIZE, TRUE};
    SetConsoleCursorInfo(output, &shown);
    const RestoreSteps steps = console_restore_steps(found);
    SetConsoleScreenBufferSize(output, steps.grow_buffer);
    SetConsoleWindowInfo(output, TRUE, &steps.window);
    SetConsoleScreenBufferSize(output, steps.final_buffer);
    // The shell goes on below the picture.
    SetConsoleCursorPosition(output, steps.cursor);
    if (found_code_page != 0) {
        SetConsoleOutputCP(found_code_page);
    }
}

// Ctrl-C, Ctrl-Break, the window's close button, logging off and shutting down: the
// console gets its cursor back before the process ends, as Windows ends any console
// program on Ctrl-C.
BOOL WINAPI on_console_control(DWORD) {
    give_console_back();
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// A console that is gone ends the game as a hang-up would: what can be given back is
// given back, and the process ends instead of asking for keys that cannot come.
void note_input_failure() {
    if (++input_failures >= FAILURES_BEFORE_LOST) {
        give_console_back();
        std::exit(1);
    }
    Sleep(RETRY_PAUSE_MS);
}

}  // namespace

const char* console_open() {
    if (is_open != 0) {
        return nullptr;
    }
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    input = GetStdHandle(STD_INPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    INPUT_RECORD record{};
    DWORD waiting = 0;
    // Nothing is changed before both ends are known to be a console; keys read from
    // a file or a pipe would never come as key presses.
    if (GetConsoleScreenBufferInfo(output, &info) == FALSE ||
        PeekConsoleInputA(input, &record, 1, &waiting) == FALSE) {
        return "needs a console on standard input and output";
    }
    found = console_geometry(info);
    found_code_page = GetConsoleOutputCP();
    input_failures = 0;

    // A window cannot be larger than its buffer: when the buffer was smaller than the
    // picture, the window is set again once the buffer has grown.
    const SMALL_RECT window{0, 0, SCREEN_WIDTH - 1, SCREEN_HEIGHT - 1};
    const BOOL window_set = SetConsoleWindowInfo(output, TRUE, &window);
    SetConsoleScreenBufferSize(output, COORD{SCREEN_WIDTH, SCREEN_HEIGHT});
    if (window_set == FALSE) {
        SetConsoleWindowInfo(output, TRUE, &window);
    }
    const CONSOLE_CURSOR_INFO hidden{HIDDEN_CURSOR_SIZE, FALSE};
    SetConsoleCursorInfo(output, &hidden);
    SetConsoleOutputCP(GAME_CODE_PAGE);
    InterlockedExchange(&is_open, 1);
    SetConsoleCtrlHandler(on_console_control, TRUE);
    return nullptr;
}

void console_restore() {
    give_console_back();
}

void console_write(const Cell* cells) {
    if (is_open == 0) {
        return;
    }
    static CHAR_INFO wide[SCREEN_CELLS];
    windows_cells(cells, wide);
    SMALL_RECT target{0, 0, SCREEN_WIDTH - 1, SCREEN_HEIGHT - 1};
    WriteConsoleOutputW(output, wide, COORD{SCREEN_WIDTH, SCREEN_HEIGHT}, COORD{0, 0}, &target);
}

bool console_peek_event(InputEvent* event) {
    if (is_open == 0) {
        return false;
    }
    INPUT_RECORD record{};
    DWORD count = 0;
    if (PeekConsoleInputA(input, &record, 1, &count) == FALSE) {
        note_input_failure();
        return false;
    }
    input_failures = 0;
    if (count == 0) {
        return false;
    }
    *event = windows_input_event(record);
    return true;
}

bool console_read_event(InputEvent* event) {
    if (is_open == 0) {
        return false;
    }
    INPUT_RECORD record{};
    DWORD count = 0;
    if (ReadConsoleInputA(input, &record, 1, &count) == FALSE || count == 0) {
        note_input_failure();
        return false;
    }
    input_failures = 0;
    *event = windows_input_event(record);
    return true;
}

std::uint32_t console_ticks() {
    return GetTickCount();
}

// The console never holds the game: a window made smaller than the picture shows
// scroll bars, and the game goes on.
bool console_sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
    return false;
}

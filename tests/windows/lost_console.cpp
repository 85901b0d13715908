// A console whose input goes away while the game waits for a key. The process must
// end with status 1 and the console's cursor shown, not ask for keys for ever.
#include <cstdio>

#include "platform/windows/windows_convert.h"
#include "terminal/keyboard.h"

int main() {
    if (const char* why = console_open()) {
        std::fprintf(stderr, "lost-console: %s\n", why);
        return 2;
    }
    CloseHandle(GetStdHandle(STD_INPUT_HANDLE));
    wait_key();
    return 3;  // a key from a closed console
}

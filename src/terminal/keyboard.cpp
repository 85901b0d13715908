#include "terminal/keyboard.h"

#include "app/game.h"
#include "platform/console.h"

namespace {

std::int32_t decode_key(const InputEvent& event) {
    const auto c = static_cast<std::int32_t>(static_cast<signed char>(event.character));
    if (c >= 32 && c <= 126) {
        return c;
    }
    return event.virtual_key;
}

}  // namespace

void (*before_key_wait)() = nullptr;
void (*after_key_wait)(std::int32_t key) = nullptr;

std::int32_t wait_key() {
    if (before_key_wait != nullptr) {
        before_key_wait();
    }
    if (playback != nullptr) {
        if (const std::int32_t key = playback->key(true); key >= 0) {
            return key;
        }
    }
    for (;;) {
        InputEvent event{};
        if (console_read_event(&event) && event.key_down) {
            const std::int32_t key = decode_key(event);
            if (after_key_wait != nullptr) {
                after_key_wait(key);
            }
            return key;
        }
    }
}

std::int32_t poll_key() {
    if (playback != nullptr) {
        return playback->key(false);
    }
    InputEvent event{};
    while (console_peek_event(&event)) {
        if (console_read_event(&event) && event.key_down) {
            return decode_key(event);
        }
    }
    return 0;
}

#include "tools/key_script.h"

#include <optional>

#include "platform/headless/headless.h"
#include "platform/key_names.h"
#include "util/printable.h"

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string add_key_items(std::string_view text, KeyScript& script) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (is_space(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !is_space(text[end])) {
            ++end;
        }
        const std::string item(text.substr(i, end - i));
        if (item[0] == '#') {
            const std::size_t line_end = text.find('\n', i);
            i = line_end == std::string_view::npos ? text.size() : line_end;
            continue;
        }
        i = end;
        // The frame ends at the first colon, so the key may be a colon itself ("5::").
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == item.size()) {
            return "key items are FRAME:KEY, not " + quoted_word(item);
        }
        // Read as --frames is, so that any frame canopy-sim plays can have keys.
        constexpr NumberOption FRAME = {"a key item's FRAME", "a frame number",
                                        FRAMES_OPTION.maximum};
        std::string error;
        const std::optional<std::uint64_t> frame =
            parse_number_option(FRAME, item.substr(0, colon), error);
        if (!frame) {
            return error;
        }
        const std::string key = item.substr(colon + 1);
        if (!key_press_named(key)) {
            return "unknown key " + quoted_word(key);
        }
        script.keys[static_cast<long>(*frame)].push_back(key);
    }
    return {};
}

void queue_frame_keys(KeyScript& script, long frame) {
    const auto it = script.keys.find(frame);
    if (it == script.keys.end()) {
        return;
    }
    for (const std::string& key : it->second) {
        headless_push_named_key(key);
    }
    script.keys.erase(it);
}

bool queue_next_key(KeyScript& script) {
    if (script.keys.empty()) {
        return false;
    }
    const auto first = script.keys.begin();
    headless_push_named_key(first->second.front());
    first->second.erase(first->second.begin());
    if (first->second.empty()) {
        script.keys.erase(first);
    }
    return true;
}

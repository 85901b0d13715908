// canopy-sim's key script: FRAME:KEY items, each key pressed just before that frame.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"

// The frames canopy-sim plays and its key items name: a frame count stays within a long
// on every platform the game builds for.
constexpr NumberOption FRAMES_OPTION = {"--frames", "a frame count", 2147483647};

struct KeyScript {
    std::map<long, std::vector<std::string>> keys;  // by frame, in the order given
};

// Adds the items of a script: whitespace-separated FRAME:KEY items, where KEY is one
// character (":" and "," and "#" too) or a key name; a word that starts with "#" starts
// a comment to the end of its line. Returns an empty string, or one line saying what is
// wrong.
std::string add_key_items(std::string_view text, KeyScript& script);

// Queues on the headless console the keys of this frame, and takes them off the script.
void queue_frame_keys(KeyScript& script, long frame);
// Queues the script's next key, whatever its frame, and takes it off the script; for a
// question the game waits on. Returns false when no key is left.
bool queue_next_key(KeyScript& script);

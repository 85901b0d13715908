// Key presses as one integer: a printable character 32..126 as itself, any other key
// as its Windows virtual-key code.
#pragma once

#include <cstdint>

// Blocks until a key press arrives and returns its code.
std::int32_t wait_key();
// Hooks around the blocking wait, for tools that drive a game or write it down; both
// are null while a person simply plays. before_key_wait runs as wait_key begins to wait
// (a scripted player queues its next key then); after_key_wait receives the key that
// wait_key returns, before the caller acts on it.
extern void (*before_key_wait)();
extern void (*after_key_wait)(std::int32_t key);
// Returns the code of the first queued key press, or 0; never waits. Events in front
// of it that are not key presses are discarded; later presses stay queued.
std::int32_t poll_key();

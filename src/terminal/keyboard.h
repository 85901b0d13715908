// Key presses as one integer: a printable character 32..126 as itself, any other key
// as its Windows virtual-key code.
#pragma once

#include <cstdint>

// Blocks until a key press arrives and returns its code.
std::int32_t wait_key();
// Returns the code of the first queued key press, or 0; never waits. Events in front
// of it that are not key presses are discarded; later presses stay queued.
std::int32_t poll_key();

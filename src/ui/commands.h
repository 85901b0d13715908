// The player's command language: every key of every menu page.
#pragma once

#include <cstdint>

extern float notice_timer;
extern std::int32_t pause_ended;

// Acts on a key for the current page. Returns 0 when the key was consumed, else the
// key for the frame loop (cursor keys, Tab). Under the quit question it waits for
// keys itself, holding the game still.
std::int32_t handle_key(std::int32_t key);
// Shows a text in the notice box on the map for five seconds of game time.
void exclaim(const char* text);

void reset_commands();

// The game's version, as the status line shows it and `--version` prints it.
#pragma once

constexpr char GAME_VERSION[] = "v1.37";

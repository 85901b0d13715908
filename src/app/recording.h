// Writing a game down as it is played (canopy-hollow --record), so that canopy-sim can
// replay it exactly. Every line reaches the file as soon as it is known, so a game that
// ends by a signal, a hang-up or a crash leaves a recording up to its last picture.
#pragma once

#include <cstdint>
#include <string>

// Creates the recording's file, writes the format, the version and the seed, and from
// then on writes down every key a blocking wait returns. Called before the terminal is
// taken. Refuses an existing file unless `replace`. Returns an empty string on success,
// else one line saying why not.
std::string open_recording(const std::string& path, bool replace, std::uint32_t seed);
// The game never started (the console could not be opened): closes the recording and
// removes its file if this process created it.
void discard_recording();

// What the frame loop read; each does nothing when no game is being recorded.
void record_start(std::uint32_t tick);
// Called once the frame's picture has been shown: a recording cut short afterwards
// still replays to that picture, and one cut short before it ends on the one before.
void record_frame(std::uint32_t tick);
void record_held();
void record_key(std::int32_t key);

// Closes the recording. Returns an empty string when every line reached the file,
// else one line saying what was lost.
std::string end_recording();
// For atexit, after the console is given back: ends the recording and, when it is
// incomplete, says so on standard error and ends the process with status 1.
void finish_recording();

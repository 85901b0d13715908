// Writing a game down as it is played (canopy-hollow --record), so that canopy-sim can
// replay it exactly, and going on with a recorded game (--resume). Every line reaches
// the file whole as soon as it is known, so a game that ends by a signal, a hang-up or
// a crash leaves a recording up to its last picture. A game holds its file locked.
#pragma once

#include <cstdint>
#include <string>

class RecordedEvents;

// Creates the recording's file, writes the format, the version and the seed, and from
// then on writes down every key a blocking wait returns. Called before the terminal is
// taken. Refuses an existing file unless `replace`; a replaced file (or a link standing
// there) keeps its place until recording_takes_place, and only a regular file or a link
// is replaced. Returns an empty string on success, else one line saying why not.
std::string open_recording(const std::string& path, bool replace, std::uint32_t seed);
// The game has its terminal: the new recording takes the place of what it replaces.
void recording_takes_place();
// The game never started (the console could not be opened): closes the recording and
// removes its file if this process made it, leaving what it was to replace untouched.
void discard_recording();

// Opens a recording to go on with it: locked against a second game and read a line at a
// time through resumed_events, nothing written yet. Returns an empty string, or one
// line saying why not with `status` 1 (it cannot be had) or 2 (it is no recording).
std::string open_resumed_recording(const std::string& path, std::uint32_t& seed, int& status);
RecordedEvents& resumed_events();
// The replay has played every whole line and the game has its terminal: a last line cut
// short is cut off, and lines are written from here on.
void continue_recording();

// What the frame loop read; each does nothing when no game is being recorded.
void record_start(std::uint32_t tick);
// Called once the frame's picture has been shown: a recording cut short afterwards
// still replays to that picture, and one cut short before it ends on the one before.
void record_frame(std::uint32_t tick);
void record_held();
void record_key(std::int32_t key);
void record_sitting(std::uint32_t tick);

// Closes the recording. Returns an empty string when every line reached the file,
// else one line saying what was lost.
std::string end_recording();
// For atexit, after the console is given back: ends the recording, says on standard
// error what became of it when that is news (lost lines, a cut line dropped) and, when
// lines were lost, ends the process with status 1.
void finish_recording();

// The keys read from the terminal ahead of the game, which takes one a frame. Pure: no
// curses and no system calls.
//
// A key held down repeats faster than the game takes keys (30 a second against 20), so
// its repeats would pile up and the cursor would run on for seconds after the key is
// let go. A press of the key already waiting at the end of the queue is therefore kept
// only while fewer than HELD_BACKLOG presses of it wait there: a held key stops within a
// frame or two of its release. Different keys, however quickly typed, all wait their
// turn, in order. The game's recording holds what the game took from here, so replays
// stay exact.
#pragma once

#include "platform/console.h"

class KeyQueue {
  public:
    static constexpr int CAPACITY = 32;
    static constexpr int HELD_BACKLOG = 2;

    // Adds a press at the end; false when it is dropped (the queue full, or the key held).
    bool push(const InputEvent& press);

    // The first press, left in place or taken out; false when the queue is empty.
    bool peek(InputEvent* press) const;
    bool pop(InputEvent* press);

    bool empty() const { return count_ == 0; }
    void clear() { count_ = 0; }

  private:
    const InputEvent& at(int index) const { return presses_[(head_ + index) % CAPACITY]; }

    InputEvent presses_[CAPACITY] = {};
    int head_ = 0;
    int count_ = 0;
};

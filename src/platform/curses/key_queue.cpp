#include "platform/curses/key_queue.h"

namespace {

bool same_key(const InputEvent& a, const InputEvent& b) {
    return a.character == b.character && a.virtual_key == b.virtual_key;
}

}  // namespace

bool KeyQueue::push(const InputEvent& press) {
    if (count_ == CAPACITY) {
        return false;
    }
    int waiting = 0;  // presses of this key at the end of the queue
    while (waiting < count_ && same_key(at(count_ - 1 - waiting), press)) {
        ++waiting;
    }
    if (waiting >= HELD_BACKLOG) {
        return false;
    }
    presses_[(head_ + count_) % CAPACITY] = press;
    ++count_;
    return true;
}

bool KeyQueue::peek(InputEvent* press) const {
    if (count_ == 0) {
        return false;
    }
    *press = at(0);
    return true;
}

bool KeyQueue::pop(InputEvent* press) {
    if (!peek(press)) {
        return false;
    }
    head_ = (head_ + 1) % CAPACITY;
    --count_;
    return true;
}

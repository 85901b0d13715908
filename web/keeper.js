// The recording of the game being played, kept in the browser's storage as the game
// writes it, so that a reload can continue the game (canopy-hollow --resume reads it).
"use strict";

(function (exports) {
  // The recording of the game being played, kept in localStorage in parts so that each
  // save rewrites only the last part, a few kilobytes. An hour of play is about 1.2
  // million characters.
  const PREFIX = "canopy-hollow.recording.";
  const PART = 32768;

  class Keeper {
    constructor(storage) {
      this.storage = storage;
      this.parts = Number(storage.getItem(PREFIX + "parts")) || 0;
      this.length = 0;
      this.failed = false;
    }
    stored() {
      const parts = [];
      for (let i = 0; i < this.parts; ++i) {
        const part = this.storage.getItem(PREFIX + i);
        if (part === null) {
          return null;
        }
        parts.push(part);
      }
      return this.parts > 0 ? parts.join("") : null;
    }
    forget() {
      for (let i = 0; i < this.parts; ++i) {
        this.storage.removeItem(PREFIX + i);
      }
      this.storage.removeItem(PREFIX + "parts");
      this.parts = 0;
      this.length = 0;
    }
    // Starts keeping a game whose recording begins with `text`.
    begin(text) {
      this.forget();
      this.failed = false;
      this.append(text);
    }
    // False once the storage is full: the game is then forgotten, not kept in part.
    append(text) {
      if (this.failed || text === "") {
        return !this.failed;
      }
      try {
        let last = this.parts > 0 ? this.storage.getItem(PREFIX + (this.parts - 1)) : "";
        let index = Math.max(0, this.parts - 1);
        let rest = last + text;
        while (rest.length > 0) {
          this.storage.setItem(PREFIX + index, rest.slice(0, PART));
          rest = rest.slice(PART);
          ++index;
        }
        this.parts = index;
        this.storage.setItem(PREFIX + "parts", String(this.parts));
        this.length += text.length;
        return true;
      } catch (error) {
        this.forget();
        this.failed = true;
        return false;
      }
    }
  }

  exports.Keeper = Keeper;
})((window.canopyKeeper = {}));

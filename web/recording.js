// Recorded games in the page: reading the text canopy-hollow --record writes, handing a
// game its recorded ticks, pauses and keys in the order it reads them, and keeping the
// game being played in the browser's storage so that a reload can continue it.
"use strict";

(function (exports) {
  const MAGIC = "canopy-hollow-recording";
  const VERSION = 1;
  const LIMITS = { wait: [0, 0xffff], start: [0, 0xffffffff], frame: [0, 0xffffffff],
    held: null, key: [1, 0xffff] };

  function number(word, low, high) {
    if (!/^[0-9]{1,10}$/.test(word)) {
      return null;
    }
    const value = Number(word);
    return value >= low && value <= high ? value : null;
  }

  // Returns {seed, events: [{kind, value, line}]} or {error: "line N: ..."}. Strict, as
  // canopy-sim is, so that a recording either plays as it does there or not at all.
  function parseRecording(text) {
    const lines = text.split("\n");
    if (lines[lines.length - 1] !== "") {
      return { error: `line ${lines.length} is cut short` };
    }
    lines.pop();
    const result = { seed: null, events: [] };
    let stage = "header";
    for (let index = 0; index < lines.length; ++index) {
      const at = `line ${index + 1}: `;
      const hash = lines[index].search(/(^|[ \t\r])#/);
      const words = (hash < 0 ? lines[index] : lines[index].slice(0, hash)).trim().split(/[ \t\r]+/);
      if (words[0] === "") {
        continue;
      }
      if (stage === "header") {
        if (words[0] !== MAGIC || words.length !== 2 || number(words[1], 1, 0xffffffff) === null) {
          return { error: at + "this is not a Canopy Hollow recording" };
        }
        if (Number(words[1]) > VERSION) {
          return { error: at + "the recording is of a newer kind than this game reads" };
        }
        stage = "seed";
      } else if (stage === "seed") {
        result.seed = words[0] === "seed" && words.length === 2 ? number(words[1], 0, 0xffffffff) : null;
        if (result.seed === null) {
          return { error: at + "a world number ('seed N') should come here" };
        }
        stage = "events";
      } else {
        const limits = LIMITS[words[0]];
        if (limits === undefined || words.length !== (limits ? 2 : 1)) {
          return { error: at + "'" + words.join(" ").slice(0, 24) + "' is not a recorded event" };
        }
        const value = limits ? number(words[1], limits[0], limits[1]) : 0;
        if (value === null) {
          return { error: at + "'" + words[1].slice(0, 24) + "' is out of range" };
        }
        result.events.push({ kind: words[0], value, line: index + 1 });
      }
    }
    return result.seed === null ? { error: "the recording has no world number" } : result;
  }

  // The events of a recording, taken in the order the game reads them. take() answers
  // the next event when it is of one of these kinds, null when the recording is over,
  // and throws when the game reads something else there.
  class Replay {
    constructor(recording) {
      this.events = recording.events;
      this.next = 0;
      this.framesLeft = this.events.filter((event) => event.kind === "frame").length;
      this.lastTick = 0;
    }
    get over() {
      return this.next >= this.events.length;
    }
    peek(kind) {
      return !this.over && this.events[this.next].kind === kind ? this.events[this.next] : null;
    }
    take(...kinds) {
      if (this.over) {
        return null;
      }
      const event = this.events[this.next];
      if (!kinds.includes(event.kind)) {
        throw new Error(`line ${event.line}: the game reads a ${kinds.join(" or ")} here, ` +
          `not '${event.kind}'`);
      }
      ++this.next;
      if (event.kind === "frame") {
        --this.framesLeft;
      }
      if (event.kind === "frame" || event.kind === "start") {
        this.lastTick = event.value;
      }
      return event;
    }
    // The recorded length of the frame now playing: from its tick to the next one.
    frameLength() {
      const next = this.events.slice(this.next, this.next + 3).find((e) => e.kind === "frame");
      return next ? (next.value - this.lastTick) >>> 0 : 0;
    }
  }

  // The recording of the game being played, kept in localStorage in parts so that each
  // save rewrites only the last part. An hour of play is about 1.2 million characters.
  const PREFIX = "canopy-hollow.recording.";
  const PART = 262144;

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

  exports.parseRecording = parseRecording;
  exports.Replay = Replay;
  exports.Keeper = Keeper;
})((window.canopyRecording = {}));

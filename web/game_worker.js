// One game, compiled to WebAssembly, running off the page's own thread: the game's 20
// frames a second wake this worker, not the page, which hears only of the cells that
// changed. This side answers the game's console (src/platform/browser/browser_console.cpp)
// from what the page sends: keys, the clock a test steps, a pause while the tab is hidden,
// and the pace a recording is watched at. The page starts a worker for each game and
// ends it with the game.
"use strict";

importScripts("canopy.js");

const KEY_QUEUE_LIMIT = 32; // a key held down beyond this only repeats what waits
const RECORDING_FILE = "/game.rec"; // the game being played, as --record writes it
const SEND_RECORDING_EVERY_MS = 1000;

let game = null;
let how = "live"; // live, restore (--resume, then live) or watch (--replay)
let manualClock = false;
let frames = 0; // the game's frames (its sleeps), for whoever watches the page
let attached = false;

const never = () => new Promise(() => {});
const after = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));
const post = (message, transfer) => self.postMessage({ frames, ...message }, transfer || []);

// ---- Keys ----

let keyQueue = [];
let keyWaiter = null;
function pushKey(packed) {
  if (!attached || how === "watch" || keyQueue.length >= KEY_QUEUE_LIMIT) {
    return;
  }
  keyQueue.push(packed);
  if (keyWaiter) {
    const wake = keyWaiter;
    keyWaiter = null;
    wake(keyQueue.shift());
  }
}

// ---- The clock, pauses and the pace of a watched recording ----

const clock = { time: 0, waiter: null };
let paused = false;
let resumeWaiter = null;
let speed = 1;
let watchHeld = false;
let watchWaiter = null;

// ---- The recording the page keeps for a reload ----

let sentLength = 0;
let sentAt = 0;
function readRecording(from) {
  try {
    const size = game.FS.stat(RECORDING_FILE).size;
    const bytes = new Uint8Array(Math.max(0, size - from));
    const stream = game.FS.open(RECORDING_FILE, "r");
    game.FS.read(stream, bytes, 0, bytes.length, from);
    game.FS.close(stream);
    return bytes;
  } catch (error) {
    return new Uint8Array(0);
  }
}
// What the game has written since the last call, from where it starts (0: the whole
// recording, which replaces the one kept), or null when there is nothing new.
function newRecording() {
  sentAt = Date.now();
  if (how === "watch" || !attached) {
    return null;
  }
  const bytes = readRecording(sentLength);
  if (bytes.length === 0) {
    return null;
  }
  const from = sentLength;
  sentLength += bytes.length;
  return { from, text: new TextDecoder().decode(bytes) };
}

// ---- The console's page side ----

let unsent = []; // the changed cells of each picture not yet sent, in order
function sendCells() {
  if (unsent.length > 0) {
    const cells = unsent;
    unsent = [];
    post({ type: "cells", cells, recording: newRecording() }, cells.map((c) => c.buffer));
  }
}

const page = {
  attach(table) {
    attached = true;
    keyQueue = [];
    post({ type: "attach", glyphs: table });
    return true;
  },
  detach() {
    sendCells();
    const recording = newRecording();
    attached = false;
    keyQueue = [];
    keyWaiter = null;
    post({ type: "detach", recording });
  },
  // Cells wait until the game next waits (its frame's sleep, a key, the clock), so they
  // travel with what the recording gained meanwhile, the frame's own line included: the
  // page keeps every frame whose picture it has shown.
  drawCells(changes) {
    unsent.push(changes.slice());
  },
  peekKey() {
    return keyQueue.length > 0 ? keyQueue[0] : -1;
  },
  takeKey() {
    return keyQueue.length > 0 ? keyQueue.shift() : -1;
  },
  // A watched recording waits for a key only once it is over, holding its last picture.
  waitKey() {
    sendCells();
    if (how === "watch") {
      post({ type: "watched" });
      return never();
    }
    return new Promise((resolve) => {
      keyWaiter = resolve;
      post({ type: "idle", why: "key" });
    });
  },
  tickNow() {
    return manualClock ? -1 : Math.floor(performance.now()) >>> 0;
  },
  tickWait() {
    sendCells();
    return new Promise((resolve) => {
      clock.waiter = resolve;
      post({ type: "idle", why: "clock", time: clock.time });
    });
  },
  sleepNow(milliseconds) {
    ++frames;
    sendCells();
    if (manualClock && how !== "watch" && !paused) {
      clock.time = (clock.time + milliseconds) >>> 0;
      return 0;
    }
    return -1;
  },
  async sleepWait(milliseconds) {
    if (how === "watch") {
      await after(milliseconds / speed);
      while (watchHeld) {
        await new Promise((resolve) => (watchWaiter = resolve));
      }
      return false;
    }
    await after(milliseconds);
    if (Date.now() - sentAt >= SEND_RECORDING_EVERY_MS) {
      const recording = newRecording();
      if (recording) {
        post({ type: "recording", recording });
      }
    }
    if (!paused) {
      return false;
    }
    await new Promise((resolve) => (resumeWaiter = resolve));
    resumeWaiter = null;
    return true;
  },
};

// ---- Starting the game ----

function start(message) {
  how = message.how;
  manualClock = message.manualClock;
  speed = message.speed;
  const errors = [];
  game = {
    arguments: message.words,
    page,
    print: (line) => console.log(line),
    printErr: (line) => errors.push(line),
    preRun: [() => {
      for (const [path, text] of Object.entries(message.files)) {
        game.FS.writeFile(path, text);
      }
      if (message.steadyCursor) {
        game.ENV.CANOPY_STEADY_CURSOR = "1";
      }
    }],
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(message.module, imports).then(
        (instance) => receive(instance, message.module),
        () => post({ type: "abort", errors }));
      return {};
    },
    onExit: (status) => post({ type: "exit", status, errors }),
    onAbort: () => post({ type: "abort", errors }),
  };
  self.createCanopy(game).catch(() => post({ type: "abort", errors }));
}

// Leaving the game throws its stack away from within a wait; that is not a fault.
self.addEventListener("unhandledrejection", (event) => {
  if (event.reason && event.reason.name === "ExitStatus") {
    event.preventDefault();
  }
});

self.onmessage = ({ data }) => {
  switch (data.type) {
    case "start":
      start(data);
      break;
    case "key":
      pushKey(data.packed);
      break;
    case "step": // a test gives the game its clock once
      if (clock.waiter) {
        const wake = clock.waiter;
        clock.waiter = null;
        clock.time = data.time === undefined ? clock.time : data.time >>> 0;
        wake(clock.time);
      }
      break;
    case "pause":
      paused = true;
      break;
    case "resume":
      paused = false;
      if (resumeWaiter) {
        resumeWaiter();
      }
      break;
    case "speed":
      speed = data.times;
      break;
    case "hold": // the watcher's pause
      watchHeld = data.held;
      if (!watchHeld && watchWaiter) {
        watchWaiter();
      }
      break;
    case "save":
      post({ type: "saved", text: how === "watch" ? "" : new TextDecoder().decode(readRecording(0)) });
      break;
  }
};

// The page around the game: it starts each game in a worker of its own
// (game_worker.js), draws the cells the game hands over, takes keys from the keyboard
// and the on-screen pad, keeps the game's recording in the browser's storage so a
// reload can continue it (canopy-hollow --resume), plays recordings back
// (canopy-hollow --replay), pauses while the tab is hidden, and after the game ends
// offers a new one. The screen, the buttons, the keys and the kept recording have files
// of their own.
//
// The address may carry ?seed=N to play world N, as canopy-hollow --seed N does, and
// ?replay=URL to watch a recording from this site. ?clock=manual stops the clock: each
// reading of it then waits until whoever drives the page (a test) calls canopy.step(),
// which makes frames exact and repeatable.
"use strict";

(function () {
  const KEEP_EVERY_MS = 1000;

  const params = new URLSearchParams(window.location.search);
  const $ = (id) => document.getElementById(id);
  const screen = $("screen");
  const panel = $("panel");
  const note = $("note");
  const pad = $("pad");
  const manualClock = params.get("clock") === "manual";

  // ---- State shared with whoever watches the page (the browser test) ----

  const canopy = {
    state: "loading", // loading, offered, playing, restoring, watching, watched, ended, failed
    exitStatus: null,
    seed: params.get("seed"),
    frames: 0, // frames of the game now running, as of its last word to the page
    keysSent: 0, // keys handed to the games
    speed: 1,
  };
  window.canopy = canopy;

  // Resolved whenever the game stops to wait (for a key, for the clock) or ends.
  let idleWaiters = [];
  function noticeIdle(why) {
    const waiters = idleWaiters;
    idleWaiters = [];
    waiters.forEach((resolve) => resolve(why));
  }

  // The grid of cells and the live region (screen.js).
  const grid = window.canopyScreen.create(screen, $("said"));

  // ---- The game's worker ----

  let worker = null;
  let mode = "over"; // live, restore, watch or over: where the running game's turns come from
  let takingKeys = false;
  let waitingForKey = false;
  let waitingForClock = false;
  let clockTime = 0;

  function send(message) {
    if (worker) {
      worker.postMessage(message);
    }
  }

  // ---- Keys: the keyboard, the pad and taps ----

  function pushKey(key) {
    if (!takingKeys || mode !== "live") {
      return;
    }
    waitingForKey = false;
    ++canopy.keysSent;
    send({ type: "key", packed: key.character | (key.virtualKey << 8) });
  }

  screen.addEventListener("keydown", (event) => {
    const key = window.canopyKeys.decodeKey(event);
    if (key === null || !takingKeys) {
      return; // the browser's own key, or no game to take it
    }
    event.preventDefault();
    controls.keyboardSeen();
    if (paused) {
      resume(); // the key that ends a pause is not an order
    } else {
      pushKey(key);
    }
  });

  // A tap on the screen passes the "[press any key]" screens and ends a pause.
  screen.addEventListener("click", () => {
    if (paused) {
      resume();
    } else if (waitingForKey) {
      pushKey({ character: 32, virtualKey: 32 });
    }
  });
  $("paused").addEventListener("click", () => resume());

  // ---- Pausing while the tab is hidden ----

  let paused = false;
  function resume() {
    if (!paused || document.hidden) {
      return;
    }
    paused = false;
    $("paused").hidden = true;
    send({ type: "resume" });
  }
  document.addEventListener("visibilitychange", () => {
    if (document.hidden) {
      keepRecording();
      if (mode === "live" && canopy.state === "playing" && !manualClock) {
        paused = true;
        $("paused").hidden = false;
        send({ type: "pause" });
      }
    }
  });
  window.addEventListener("pagehide", () => keepRecording());

  // ---- The manual clock, for tests ----

  // Lets the game read the clock once more, at `time` if given (else where it stands),
  // and resolves with what the game waits for next: "clock", "key" or "ended". Keys
  // pressed before the call are in the queue for that frame.
  canopy.step = (time) => {
    if (!waitingForClock) {
      return Promise.reject(new Error("the game is not waiting for the clock"));
    }
    waitingForClock = false;
    const idle = new Promise((resolve) => idleWaiters.push(resolve));
    send({ type: "step", time });
    return idle;
  };
  canopy.time = () => clockTime;
  canopy.waitingForClock = () => waitingForClock;

  // ---- Keeping the recording ----

  // What the game wrote since the storage was last written, kept here until then.
  const keeper = new window.canopyKeeper.Keeper(window.localStorage);
  let unkept = "";
  let keepTimer = null;
  function gainRecording(recording) {
    if (!recording || mode !== "live") {
      return;
    }
    if (recording.from === 0) {
      keeper.begin(""); // the game now running replaces the one kept
      unkept = "";
    }
    unkept += recording.text;
    if (keepTimer === null) {
      keepTimer = setTimeout(keepRecording, KEEP_EVERY_MS);
    }
  }
  function keepRecording() {
    clearTimeout(keepTimer);
    keepTimer = null;
    const text = unkept;
    unkept = "";
    if (text !== "" && !keeper.append(text)) {
      note.textContent = "The browser's storage is full: this game can no longer be continued.";
    }
  }

  // ---- Starting and ending games ----

  let compiled = null; // the game's WebAssembly, fetched and compiled once
  let gamesAsked = 0;

  function compileGame() {
    if (!compiled) {
      compiled = fetch("canopy.wasm")
        .then((response) => {
          if (!response.ok) {
            throw new Error("canopy.wasm: " + response.status + " " + response.statusText);
          }
          return response.arrayBuffer();
        })
        .then((bytes) => WebAssembly.compile(bytes));
      compiled.catch(() => {
        compiled = null; // a later new game tries again
      });
    }
    return compiled;
  }

  // What the game said on leaving, without its name and the file's: "line 3: ...".
  function reason(errors) {
    const line = errors.find((text) => text.startsWith("canopy-hollow: ")) || "";
    const at = line.indexOf("': ");
    return at >= 0 ? line.slice(at + 3) : line.replace("canopy-hollow: ", "");
  }

  // Messages from the running game's worker.
  function hear(message) {
    canopy.frames = message.frames;
    switch (message.type) {
      case "attach":
        grid.attach(message.glyphs);
        takingKeys = true;
        if (mode === "restore") {
          mode = "live";
          note.textContent = "";
        }
        canopy.state = mode === "watch" ? "watching" : "playing";
        focusGame();
        break;
      case "cells":
        waitingForKey = false;
        message.cells.forEach(grid.drawCells);
        gainRecording(message.recording);
        break;
      case "recording":
        gainRecording(message.recording);
        break;
      case "detach":
        takingKeys = false;
        gainRecording(message.recording);
        break;
      case "idle":
        waitingForKey = message.why === "key";
        waitingForClock = message.why === "clock";
        if (message.why === "clock") {
          clockTime = message.time;
        }
        noticeIdle(message.why);
        break;
      case "watched":
        canopy.state = "watched";
        note.textContent = "The recording has ended.";
        $("watching").hidden = true;
        noticeIdle("ended");
        break;
      case "saved":
        download(message.text);
        break;
      case "exit":
        finish(message.status, message.errors);
        break;
      case "abort":
        finish(null, message.errors);
        break;
    }
  }

  // The game has left (status null: it broke down).
  function finish(status, errors) {
    const how = mode;
    mode = "over";
    takingKeys = false;
    canopy.exitStatus = status;
    if (how === "watch") {
      canopy.state = status === 0 ? "watched" : "failed";
      note.textContent = status === 0 ? "The recording has ended."
        : "This recording cannot be watched: " + reason(errors);
      $("watching").hidden = true;
    } else if (how === "restore") {
      canopy.state = "failed";
      note.textContent = "";
      keeper.forget();
      showPanel("The game could not be continued.", reason(errors));
    } else {
      keepRecording();
      keeper.forget();
      canopy.state = status === 0 ? "ended" : "failed";
      showPanel(status === 0 ? "The game has ended." : "The game has stopped.",
        status === 0 ? "" : "Something went wrong inside the game.");
    }
    noticeIdle("ended");
  }

  // Starts a game with these command-line words and files, in a worker of its own; the
  // game before it, if any, ends at once.
  function startGame(words, how, files = {}) {
    if (worker) {
      worker.terminate();
      worker = null;
    }
    keepRecording();
    mode = how;
    canopy.state = how === "watch" ? "watching" : how === "restore" ? "restoring" : "loading";
    canopy.exitStatus = null;
    canopy.frames = 0;
    panel.hidden = true;
    screen.classList.remove("over");
    note.textContent = how === "restore" ? "Bringing your game back…" : "";
    $("watching").hidden = how !== "watch";
    paused = false;
    $("paused").hidden = true;
    takingKeys = false;
    waitingForKey = false;
    waitingForClock = false;
    clockTime = 0;
    grid.forgetMessages();
    const ticket = ++gamesAsked;
    compileGame().then((module) => {
      if (ticket !== gamesAsked) {
        return; // another game was asked for meanwhile
      }
      const started = new Worker("game_worker.js");
      worker = started;
      started.onmessage = ({ data }) => worker === started && hear(data);
      started.onerror = () => worker === started && finish(null, []);
      started.postMessage({ type: "start", module, words, files, how, manualClock,
        speed: canopy.speed,
        steadyCursor: window.matchMedia("(prefers-reduced-motion: reduce)").matches });
    }, (error) => {
      if (ticket !== gamesAsked) {
        return;
      }
      mode = "over";
      canopy.state = "failed";
      showPanel("The game could not be loaded.", loadProblem(error));
    });
  }

  function loadProblem(error) {
    return window.location.protocol === "file:"
      ? "Browsers run the game only when a web server hands it over, not from a file. " +
        "In the game's folder, run python3 -m http.server and open http://localhost:8000/."
      : "Its files did not arrive (" + error.message + "). Try again in a moment.";
  }

  // A world number is 0 to 4294967295; anything else is refused before the game starts.
  function newGame(seed = canopy.seed) {
    if (seed !== null && !(/^[0-9]{1,10}$/.test(seed) && Number(seed) <= 0xffffffff)) {
      canopy.state = "failed";
      canopy.seed = null; // New game from here plays a world of its own choosing
      history.replaceState(null, "", window.location.pathname);
      showPanel("World numbers go from 0 to 4294967295.",
        `This link asks for world “${seed.slice(0, 40)}”, which does not exist.`);
      return;
    }
    const words = ["--record", "/game.rec"];
    startGame(seed === null ? words : words.concat(["--seed", seed]), "live");
  }

  function continueGame() {
    startGame(["--resume", "/game.rec"], "restore", { "/game.rec": keeper.stored() || "" });
  }

  function watch(text) {
    controls.watchStarted();
    startGame(["--replay", "/watched.rec"], "watch", { "/watched.rec": text });
  }

  function download(text) {
    if (text === "") {
      note.textContent = "There is no game to save yet.";
      return;
    }
    const seed = /^seed ([0-9]+)$/m.exec(text);
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([text], { type: "text/plain" }));
    link.download = `canopy-hollow-${seed ? seed[1] : "game"}.rec`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    focusGame();
  }

  function showPanel(title, detail, offerContinue = false) {
    screen.classList.add("over");
    $("panel-title").textContent = title;
    $("panel-detail").textContent = detail || "";
    $("panel-detail").hidden = !detail;
    $("continue").hidden = !offerContinue;
    panel.hidden = false;
    (offerContinue ? $("continue") : $("new-game")).focus();
    noticeIdle("ended");
  }

  // ---- The buttons round the screen (controls.js) ----

  const controls = window.canopyControls.wire({
    key(name) {
      if (paused) {
        resume();
      } else {
        pushKey(window.canopyKeys.decodeKey({ key: name, keyCode: 0 }));
      }
    },
    newGame: () => newGame(),
    continueGame,
    save() {
      if (mode === "live") {
        send({ type: "save" });
      } else {
        download("");
      }
    },
    watch,
    watchPaused: (held) => send({ type: "hold", held }),
    speed(times) {
      canopy.speed = times;
      send({ type: "speed", times });
    },
    fit: () => fit(),
  });

  // ---- Focus and size ----

  function focusGame() {
    if (panel.hidden) {
      screen.focus({ preventScroll: true });
    }
  }
  // A click beside the screen hands the keyboard back to the game.
  document.addEventListener("mousedown", (event) => {
    if (event.target === document.body || event.target.tagName === "MAIN") {
      event.preventDefault();
      focusGame();
    }
  });

  function fit() {
    const below = $("controls").offsetHeight + (pad.hidden ? 0 : pad.offsetHeight);
    grid.fit(pad.hidden ? below : null);
  }
  window.addEventListener("resize", fit);
  controls.showPad(window.matchMedia("(pointer: coarse)").matches, true);

  const replayAddress = params.get("replay");
  if (replayAddress !== null) {
    const url = new URL(replayAddress, window.location.href);
    if (url.origin !== window.location.origin) {
      note.textContent = "Recordings are watched only from this site.";
    } else {
      fetch(url).then((response) => {
        if (!response.ok) {
          throw new Error(`${response.status} ${response.statusText}`);
        }
        return response.text();
      }).then(watch, (error) => {
        note.textContent = "The recording could not be fetched: " + error.message;
      });
    }
  } else if (keeper.stored() !== null) {
    canopy.state = "offered";
    showPanel("A game is waiting where you left it.", "", true);
  } else {
    newGame();
  }
})();

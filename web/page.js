// The page around the game: it starts the game compiled to WebAssembly, draws the cells
// the game hands over, takes keys from the keyboard and the on-screen pad, keeps the
// clock, keeps the game's recording so a reload can continue it, plays recordings back,
// pauses while the tab is hidden, and after the game ends offers a new one. The game's
// side of the console (where each tick, pause and key comes from: the player, a kept
// recording or a watched one) and the games the page starts share one state, so they
// stay in one file; the screen, the buttons and recordings have files of their own.
//
// The address may carry ?seed=N to play world N, as canopy-hollow --seed N does, and
// ?replay=URL to watch a recording from this site. ?clock=manual stops the clock: each
// reading of it then waits until whoever drives the page (a test) calls canopy.step(),
// which makes frames exact and repeatable.
"use strict";

(function () {
  // Keys held back for the game; a key held down beyond this only repeats what waits.
  const KEY_QUEUE_LIMIT = 32;
  const RECORDING_FILE = "/game.rec";
  const KEEP_EVERY_MS = 1000;
  // While a game is restored the page lets the browser breathe this often (in frames).
  const RESTORE_SLICE = 500;

  const params = new URLSearchParams(window.location.search);
  const $ = (id) => document.getElementById(id);
  const screen = $("screen");
  const panel = $("panel");
  const note = $("note");
  const pad = $("pad");
  const { parseRecording, Replay, Keeper } = window.canopyRecording;

  // ---- State shared with whoever watches the page (the browser test) ----

  const canopy = {
    state: "loading", // loading, offered, playing, restoring, watching, watched, ended, failed
    exitStatus: null,
    seed: params.get("seed"),
    ticks: 0, // clock readings of the game now running
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
  canopy.whenIdle = () => new Promise((resolve) => idleWaiters.push(resolve));
  const never = () => new Promise(() => {});
  const after = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

  // The grid of cells and the live region (screen.js). While a game is restored no
  // message is read out: only the picture it comes back to counts.
  const grid = window.canopyScreen.create(screen, $("said"), () => mode !== "restore");

  // ---- Keys: the keyboard, the pad and taps ----

  let takingKeys = false;
  let keyQueue = [];
  let keyWaiter = null;

  function pushKey(key) {
    if (!takingKeys || mode !== "live" || keyQueue.length >= KEY_QUEUE_LIMIT) {
      return;
    }
    keyQueue.push(key.character | (key.virtualKey << 8));
    if (keyWaiter) {
      const wake = keyWaiter;
      keyWaiter = null;
      wake(keyQueue.shift());
    }
  }
  canopy.queuedKeys = () => keyQueue.length;

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
    } else if (keyWaiter) {
      pushKey({ character: 32, virtualKey: 32 });
    }
  });
  $("paused").addEventListener("click", () => resume());

  // ---- Pausing while the tab is hidden ----

  let paused = false;
  let resumeWaiter = null;
  function resume() {
    if (!paused || document.hidden) {
      return;
    }
    paused = false;
    $("paused").hidden = true;
    if (resumeWaiter) {
      resumeWaiter();
    }
  }
  document.addEventListener("visibilitychange", () => {
    if (document.hidden) {
      keepRecording();
      if (mode === "live" && canopy.state === "playing" && !clock.manual) {
        paused = true;
        $("paused").hidden = false;
      }
    }
  });
  window.addEventListener("pagehide", () => keepRecording());

  // ---- The clock ----

  const clock = { manual: params.get("clock") === "manual", time: 0, offset: 0, waiter: null };
  function liveTick() {
    return (Math.floor(performance.now()) + clock.offset) >>> 0;
  }
  // Lets the game read the clock once more, at `time` if given (else where it stands),
  // and resolves with what the game waits for next: "clock", "key" or "ended". Keys
  // pressed before the call are in the queue for that frame.
  canopy.step = (time) => {
    if (!clock.waiter) {
      return Promise.reject(new Error("the game is not waiting for the clock"));
    }
    if (time !== undefined) {
      clock.time = time >>> 0;
    }
    const idle = canopy.whenIdle();
    const wake = clock.waiter;
    clock.waiter = null;
    wake(clock.time);
    return idle;
  };
  canopy.time = () => clock.time;
  canopy.waitingForClock = () => clock.waiter !== null;

  // ---- Where the game's ticks, pauses and keys come from ----
  // "live": the player and the clock; "restore": a kept recording, drawn only from its
  // last frame on, then live; "watch": a recording shown at its own pace, then held.

  let mode = "live";
  let replay = null;
  let restoredFrames = 0;
  let watchPaused = false;
  let watchWaiter = null;

  function stopReplay(why) {
    if (mode === "watch") {
      canopy.state = why ? "failed" : "watched";
      note.textContent = why ? "This recording cannot be watched: " + why
        : "The recording has ended.";
      $("watching").hidden = true;
    } else {
      canopy.state = "failed";
      keeper.forget();
      showPanel("The game could not be continued.", why);
    }
    mode = "over";
    noticeIdle("ended");
  }

  // Answers from the replay, or null when it has none or does not fit.
  function fromReplay(...kinds) {
    try {
      const event = replay.take(...kinds);
      if (event === null && mode === "watch") {
        stopReplay(null);
      }
      return event;
    } catch (error) {
      stopReplay(error.message);
      return null;
    }
  }

  // The restored game has caught up with its recording: from here on it is played.
  function finishRestore() {
    mode = "live";
    canopy.state = "playing";
    clock.offset = (replay.lastTick - Math.floor(performance.now())) >>> 0;
    clock.time = replay.lastTick;
    note.textContent = "";
    const text = readRecording(0);
    if (keeper.stored() === text) {
      keeper.length = text.length;
    } else {
      keeper.begin(text);
    }
    focusGame();
  }
  function caughtUp() {
    if (mode === "restore" && replay.over) {
      finishRestore();
    }
  }

  function pageForGame(game) {
    const current = () => game === running;
    return {
      attach(table) {
        grid.attach(table);
        takingKeys = true;
        keyQueue = [];
        return true;
      },
      detach() {
        takingKeys = false;
        keyQueue = [];
        keyWaiter = null;
      },
      drawing: () => current() && (mode !== "restore" || replay.framesLeft === 0),
      drawCells: grid.drawCells,
      peekKey() {
        caughtUp();
        if (!current() || mode === "over") {
          return -1;
        }
        if (mode !== "live") {
          const event = replay.peek("key");
          return event ? packRecorded(event.value) : -1;
        }
        return keyQueue.length > 0 ? keyQueue[0] : -1;
      },
      takeKey() {
        caughtUp();
        if (!current() || mode === "over") {
          return -1;
        }
        if (mode !== "live") {
          const event = replay.over ? null : fromReplay("key", "wait");
          return event ? packRecorded(event.value) : -1;
        }
        return keyQueue.length > 0 ? keyQueue.shift() : -1;
      },
      waitKey() {
        if (!current() || mode !== "live") {
          if (current() && mode === "watch") {
            stopReplay(null);
          }
          return never();
        }
        return new Promise((resolve) => {
          keyWaiter = resolve;
          noticeIdle("key");
        });
      },
      tickNow() {
        caughtUp();
        if (!current() || mode === "over") {
          return -1;
        }
        ++canopy.ticks;
        if (mode !== "live") {
          const event = fromReplay("start", "frame");
          if (event !== null) {
            return event.value;
          }
          caughtUp();
          return mode === "live" && !clock.manual ? liveTick() : -1;
        }
        return clock.manual ? -1 : liveTick();
      },
      tickWait() {
        if (!current() || mode !== "live") {
          return never();
        }
        return new Promise((resolve) => {
          clock.waiter = resolve;
          noticeIdle("clock");
        });
      },
      sleepNow(milliseconds) {
        caughtUp();
        if (!current() || mode === "watch" || (mode === "live" && !clock.manual) || paused) {
          return -1;
        }
        if (mode === "restore") {
          if (++restoredFrames % RESTORE_SLICE === 0) {
            return -1;
          }
          return replay.peek("held") && fromReplay("held") !== null ? 1 : 0;
        }
        clock.time = (clock.time + milliseconds) >>> 0;
        return 0;
      },
      async sleepWait(milliseconds) {
        if (!current() || mode === "over") {
          return never();
        }
        if (mode === "restore") {
          note.textContent = "Bringing your game back…";
          await after(0);
          return replay.peek("held") ? fromReplay("held") !== null : false;
        }
        if (mode === "watch") {
          const length = replay.frameLength() || milliseconds;
          await after(Math.min(length, 2000) / canopy.speed);
          while (watchPaused) {
            await new Promise((resolve) => (watchWaiter = resolve));
          }
          return current() && replay.peek("held") ? fromReplay("held") !== null : false;
        }
        await after(milliseconds);
        if (Date.now() - keptAt >= KEEP_EVERY_MS) {
          keepRecording();
        }
        if (!paused) {
          return false;
        }
        await new Promise((resolve) => (resumeWaiter = resolve));
        resumeWaiter = null;
        return true;
      },
    };
  }

  // A recorded key as the console delivers it: printable characters as themselves,
  // every other key as its virtual-key code.
  function packRecorded(code) {
    return code >= 32 && code <= 126 ? code : code << 8;
  }

  // ---- Keeping the recording ----

  const keeper = new Keeper(window.localStorage);
  let keptAt = 0;
  function readRecording(from) {
    const FS = running && running.FS;
    if (!FS) {
      return "";
    }
    try {
      const size = FS.stat(RECORDING_FILE).size;
      const bytes = new Uint8Array(Math.max(0, size - from));
      const stream = FS.open(RECORDING_FILE, "r");
      FS.read(stream, bytes, 0, bytes.length, from);
      FS.close(stream);
      return new TextDecoder().decode(bytes);
    } catch (error) {
      return "";
    }
  }
  function keepRecording() {
    keptAt = Date.now();
    if (mode !== "live" || !running || keeper.failed || canopy.state !== "playing") {
      return;
    }
    if (!keeper.append(readRecording(keeper.length))) {
      note.textContent = "The browser's storage is full: this game can no longer be continued.";
    }
  }

  // ---- Starting and ending games ----

  let compiled = null; // the game's WebAssembly, fetched and compiled once
  let running = null; // the Module object of the game now running

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

  // Starts the game with these command-line words; the game before it, if any, is left
  // waiting for ever and draws no more.
  function startGame(words, how) {
    mode = how;
    canopy.state = how === "watch" ? "watching" : how === "restore" ? "restoring" : "loading";
    canopy.exitStatus = null;
    canopy.ticks = 0;
    restoredFrames = 0;
    panel.hidden = true;
    screen.classList.remove("over");
    note.textContent = "";
    $("watching").hidden = how !== "watch";
    paused = false;
    $("paused").hidden = true;
    clock.time = 0;
    clock.offset = 0;
    clock.waiter = null;
    keyQueue = [];
    keyWaiter = null;
    grid.forgetMessages();
    const game = {
      arguments: words,
      print: (line) => console.log(line),
      printErr: (line) => console.error(line),
    };
    running = game;
    let finished = false;
    const finish = (status, title, detail) => {
      if (finished || game !== running) {
        return;
      }
      finished = true;
      game.page.detach();
      if (mode === "watch" || mode === "over") {
        if (mode === "watch") {
          stopReplay(null);
        }
        return;
      }
      keeper.forget();
      canopy.state = status === 0 ? "ended" : "failed";
      canopy.exitStatus = status;
      showPanel(title, detail);
    };
    game.page = pageForGame(game);
    game.preRun = [() => {
      if (window.matchMedia("(prefers-reduced-motion: reduce)").matches) {
        game.ENV.CANOPY_STEADY_CURSOR = "1";
      }
    }];
    game.instantiateWasm = (imports, receive) => {
      compileGame()
        .then((module) =>
          WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module)))
        .catch((error) => finish(null, "The game could not be loaded.", loadProblem(error)));
      return {};
    };
    game.onRuntimeInitialized = () => {
      if (mode === "live") {
        canopy.state = "playing";
        keeper.begin("");
      }
      focusGame();
    };
    game.onExit = (status) => finish(status, status === 0 ? "The game has ended." :
      "The game has stopped.", status === 0 ? "" : "Something went wrong inside the game.");
    game.onAbort = () => finish(null, "The game has stopped.",
      "Something went wrong inside the game.");
    window.createCanopy(game).catch(() => finish(null, "The game has stopped.",
      "Something went wrong inside the game."));
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
    const words = ["--record", RECORDING_FILE];
    startGame(seed === null ? words : words.concat(["--seed", seed]), "live");
  }

  function continueGame() {
    const recording = parseRecording(keeper.stored() || "");
    if (recording.error) {
      keeper.forget();
      newGame();
      return;
    }
    replay = new Replay(recording);
    startGame(["--record", RECORDING_FILE, "--seed", String(recording.seed)], "restore");
  }

  function watch(text) {
    const recording = parseRecording(text);
    if (recording.error) {
      note.textContent = "This recording cannot be watched: " + recording.error;
      focusGame();
      return;
    }
    keepRecording();
    replay = new Replay(recording);
    watchPaused = false;
    controls.watchStarted();
    startGame(["--seed", String(recording.seed)], "watch");
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
      const text = readRecording(0);
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
    },
    watch,
    watchPaused(held) {
      watchPaused = held;
      if (!held && watchWaiter) {
        watchWaiter();
      }
    },
    speed(times) {
      canopy.speed = times;
    },
    fit: () => fit(),
  });

  // Leaving the game throws its stack away from within a wait; that is not a fault.
  window.addEventListener("unhandledrejection", (event) => {
    if (event.reason && event.reason.name === "ExitStatus") {
      event.preventDefault();
    }
  });
  window.addEventListener("error", (event) => {
    if (event.error && event.error.name === "ExitStatus") {
      event.preventDefault();
    }
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

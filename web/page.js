// The page around the game: it starts the game compiled to WebAssembly, draws the rows
// the game hands over as styled text, keeps the keys pressed while the game has focus,
// keeps the clock, and after the game ends offers a new one.
//
// The address may carry ?seed=N to play world N, as canopy-hollow --seed N does.
// ?clock=manual stops the clock: each reading of it then waits until whoever drives
// the page (a test) calls canopy.step(), which makes frames exact and repeatable.
"use strict";

(function () {
  const COLUMNS = 80;
  const ROWS = 25;
  // Keys held back for the game; a key held down beyond this only repeats what waits.
  const KEY_QUEUE_LIMIT = 32;

  const params = new URLSearchParams(window.location.search);
  const screen = document.getElementById("screen");
  const endPanel = document.getElementById("ended");
  const endTitle = document.getElementById("ended-title");
  const endDetail = document.getElementById("ended-detail");
  const newGameButton = document.getElementById("new-game");

  const rowElements = [];
  for (let y = 0; y < ROWS; ++y) {
    const row = document.createElement("div");
    row.className = "row";
    screen.appendChild(row);
    rowElements.push(row);
  }

  // ---- State shared with whoever watches the page (the browser test) ----

  const canopy = {
    state: "loading", // loading, playing, ended, failed
    exitStatus: null,
    seed: params.get("seed"),
  };
  window.canopy = canopy;

  // Resolved whenever the game stops to wait (for a key, for the clock) or ends.
  let idleWaiters = [];
  function noticeIdle(why) {
    const waiters = idleWaiters;
    idleWaiters = [];
    for (const resolve of waiters) {
      resolve(why);
    }
  }

  // ---- Drawing ----

  let glyphs = null; // the glyph of each code page 437 byte, from the game
  let plainGlyph = null; // true where the glyph is ASCII, drawn straight in a run

  // One row of cells (character, attribute pairs): runs of one colour become one
  // span; a glyph beyond ASCII gets a span of its own, one cell wide, so a glyph that
  // the font lacks and borrows from a wider one cannot push the rest of the row.
  function drawRow(y, cells) {
    const fragment = document.createDocumentFragment();
    let x = 0;
    while (x < COLUMNS) {
      const attribute = cells[2 * x + 1] & 0xff;
      const span = document.createElement("span");
      span.className = "f" + (attribute & 15) + " b" + (attribute >> 4);
      const code = cells[2 * x] & 0xff;
      if (!plainGlyph[code]) {
        span.className += " glyph";
        span.textContent = glyphs[code];
        ++x;
      } else {
        let text = "";
        for (; x < COLUMNS && (cells[2 * x + 1] & 0xff) === attribute; ++x) {
          const next = cells[2 * x] & 0xff;
          if (!plainGlyph[next]) {
            break;
          }
          text += glyphs[next];
        }
        span.textContent = text;
      }
      fragment.appendChild(span);
    }
    rowElements[y].replaceChildren(fragment);
  }

  // ---- Keys ----

  let takingKeys = false;
  let keyQueue = [];
  let keyWaiter = null;

  function packKey(key) {
    return key.character | (key.virtualKey << 8);
  }

  screen.addEventListener("keydown", (event) => {
    const key = window.canopyKeys.decodeKey(event);
    if (key === null || !takingKeys) {
      return; // the browser's own key, or no game to take it
    }
    event.preventDefault();
    if (keyQueue.length >= KEY_QUEUE_LIMIT) {
      return;
    }
    keyQueue.push(packKey(key));
    if (keyWaiter) {
      const wake = keyWaiter;
      keyWaiter = null;
      wake(keyQueue.shift());
    }
  });

  // ---- Clock ----

  const clock = params.get("clock") === "manual" ? manualClock() : realClock();

  function realClock() {
    return {
      manual: false,
      now: () => Math.floor(performance.now()),
      sleep: (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds)),
      reset() {},
    };
  }

  // Time stands still: sleeps move it on at once, and every reading waits for step().
  function manualClock() {
    let time = 0;
    let turnWaiter = null;
    const manual = {
      manual: true,
      now: () => time,
      sleep(milliseconds) {
        time = (time + milliseconds) >>> 0;
        return Promise.resolve();
      },
      waitForTurn() {
        return new Promise((resolve) => {
          turnWaiter = resolve;
          noticeIdle("clock");
        });
      },
      reset() {
        time = 0;
        turnWaiter = null;
      },
    };
    // Lets the game read the clock once more, at `time` if given (else where it
    // stands), and resolves with what the game waits for next: "clock", "key" or
    // "ended". Keys pressed before the call are in the queue for that frame.
    canopy.step = (newTime) => {
      if (!turnWaiter) {
        return Promise.reject(new Error("the game is not waiting for the clock"));
      }
      if (newTime !== undefined) {
        time = newTime >>> 0;
      }
      const idle = canopy.whenIdle();
      const wake = turnWaiter;
      turnWaiter = null;
      wake(time);
      return idle;
    };
    canopy.time = () => time;
    canopy.waitingForClock = () => turnWaiter !== null;
    return manual;
  }

  canopy.queuedKeys = () => keyQueue.length;
  canopy.whenIdle = () => new Promise((resolve) => idleWaiters.push(resolve));

  // ---- The game's side of the console (src/platform/browser/browser_console.cpp) ----

  const pageForGame = {
    clock,
    attach(table) {
      glyphs = table;
      plainGlyph = table.map((glyph) => glyph >= " " && glyph <= "~");
      takingKeys = true;
      keyQueue = [];
      return true;
    },
    detach() {
      takingKeys = false;
      keyQueue = [];
      keyWaiter = null;
    },
    drawRow,
    peekKey: () => (keyQueue.length > 0 ? keyQueue[0] : -1),
    takeKey: () => (keyQueue.length > 0 ? keyQueue.shift() : -1),
    waitKey() {
      return new Promise((resolve) => {
        keyWaiter = resolve;
        noticeIdle("key");
      });
    },
  };

  // ---- Starting and ending games ----

  let compiled = null; // the game's WebAssembly, fetched and compiled once

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

  function gameArguments() {
    return canopy.seed === null ? [] : ["--seed", canopy.seed];
  }

  function startGame() {
    canopy.state = "loading";
    canopy.exitStatus = null;
    endPanel.hidden = true;
    screen.classList.remove("over");
    clock.reset();
    keyQueue = [];
    keyWaiter = null;
    const errors = [];
    let finished = false;
    const finish = (status, detail) => {
      if (finished) {
        return;
      }
      finished = true;
      pageForGame.detach();
      showEnd(status, detail);
    };
    window
      .createCanopy({
        arguments: gameArguments(),
        page: pageForGame,
        print: (line) => console.log(line),
        printErr: (line) => {
          errors.push(line);
          console.error(line);
        },
        instantiateWasm(imports, receive) {
          compileGame()
            .then((module) =>
              WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module))
            )
            .catch((error) =>
              finish(null, "The game could not be loaded: " + error.message + loadHint())
            );
          return {};
        },
        onRuntimeInitialized() {
          canopy.state = "playing";
          focusGame();
        },
        // The game's first line on standard error says why; a usage text may follow.
        onExit: (status) => finish(status, errors.length > 0 ? errors[0] : ""),
        onAbort: (what) => finish(null, "The game stopped unexpectedly: " + what),
      })
      .catch((error) => finish(null, "The game stopped unexpectedly: " + error));
  }

  function loadHint() {
    return window.location.protocol === "file:"
      ? " (browsers load it only from a web server: run python3 -m http.server in this folder)"
      : "";
  }

  // Status 0 is the player's own q y; anything else is the game saying why it stopped.
  function showEnd(status, detail) {
    canopy.state = status === 0 ? "ended" : "failed";
    canopy.exitStatus = status;
    screen.classList.add("over");
    endTitle.textContent = status === 0 ? "The game has ended." : "The game has stopped.";
    endDetail.textContent = status === 0 ? "" : detail;
    endDetail.hidden = status === 0 || detail === "";
    endPanel.hidden = false;
    newGameButton.focus();
    noticeIdle("ended");
  }

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

  newGameButton.addEventListener("click", () => startGame());

  // ---- Focus and size ----

  function focusGame() {
    if (endPanel.hidden) {
      screen.focus({ preventScroll: true });
    }
  }
  // A click on the grid focuses it by itself (and may start selecting text to copy);
  // a click beside it hands the keyboard back to the game as well.
  document.addEventListener("mousedown", (event) => {
    if (!endPanel.contains(event.target) && !screen.contains(event.target)) {
      event.preventDefault();
      focusGame();
    }
  });

  // The largest font at which all 80x25 cells fit the window. The cell's shape comes
  // from the font itself, measured once at a large size.
  const probe = document.createElement("div");
  probe.className = "probe";
  probe.textContent = "M".repeat(COLUMNS);
  screen.appendChild(probe);
  const PROBE_SIZE = 100;
  const cellWidth = probe.getBoundingClientRect().width / COLUMNS / PROBE_SIZE;
  const cellHeight = probe.getBoundingClientRect().height / PROBE_SIZE;
  probe.remove();

  function fit() {
    const margin = 16;
    const width = (window.innerWidth - margin) / (COLUMNS * cellWidth);
    const height = (window.innerHeight - margin) / (ROWS * cellHeight);
    const size = Math.max(4, Math.floor(Math.min(width, height) * 4) / 4);
    screen.style.fontSize = size + "px";
  }
  window.addEventListener("resize", fit);
  fit();

  startGame();
})();

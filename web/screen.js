// The game's 80x25 screen in the page: one element per cell, each changed alone, so a
// frame costs the page only the cells it changed (the blinking cursor, one cell). Also
// the live region that reads out what a player would otherwise have to look for: each
// new line of the message log and each answer in the detail box.
"use strict";

(function (exports) {
  const COLUMNS = 80;
  const ROWS = 25;
  const CLASSES = Array.from({ length: 256 }, (_, a) => `f${a & 15} b${a >> 4}`);
  // Where the game keeps its message log and its detail box (columns and rows, ends
  // excluded).
  const LOG = { left: 28, top: 20, right: COLUMNS, bottom: 24 };
  const DETAIL = { left: 54, top: 15, right: COLUMNS, bottom: 20 };

  function inside(box, at) {
    const x = at % COLUMNS;
    const y = Math.floor(at / COLUMNS);
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
  }

  function create(screen, said) {
    let glyphs = null; // the glyph of each code page 437 byte, from the game
    const characters = new Uint8Array(COLUMNS * ROWS).fill(32);
    const attributes = new Uint8Array(COLUMNS * ROWS).fill(7);
    const texts = [];
    const cells = [];
    for (let y = 0; y < ROWS; ++y) {
      const row = document.createElement("div");
      row.className = "row";
      for (let x = 0; x < COLUMNS; ++x) {
        const cell = document.createElement("span");
        cell.className = CLASSES[7];
        texts.push(cell.appendChild(document.createTextNode(" ")));
        cells.push(cell);
        row.appendChild(cell);
      }
      screen.appendChild(row);
    }

    function lines(box) {
      const found = [];
      for (let y = box.top; y < box.bottom; ++y) {
        let line = "";
        for (let x = box.left; x < box.right; ++x) {
          line += glyphs[characters[y * COLUMNS + x]];
        }
        found.push(line.trim());
      }
      return found;
    }

    let logLines = ["", "", "", ""];
    let detailText = "";
    function announce(log, detail) {
      const heard = [];
      if (log) {
        const now = lines(LOG);
        // The log scrolls up by `shift` lines; lines that were empty fill in place.
        const fits = (s) => now.every((line, i) => i + s >= 4 || logLines[i + s] === "" ||
          logLines[i + s] === line);
        let shift = 0;
        while (shift < 4 && !fits(shift)) {
          ++shift;
        }
        now.forEach((line, i) => {
          if (line !== "" && (i + shift >= 4 || logLines[i + shift] === "")) {
            heard.push(line);
          }
        });
        logLines = now;
      }
      if (detail) {
        const text = lines(DETAIL).filter((line) => line !== "").join(" ");
        if (text !== detailText && text !== "") {
          heard.push(text);
        }
        detailText = text;
      }
      if (heard.length > 0) {
        said.textContent = heard.join(" ");
      }
    }

    // changes: position, character, attribute, position, ...
    function drawCells(changes) {
      let log = false;
      let detail = false;
      for (let i = 0; i < changes.length; i += 3) {
        const at = changes[i];
        if (characters[at] !== changes[i + 1]) {
          characters[at] = changes[i + 1];
          texts[at].data = glyphs[changes[i + 1]];
        }
        if (attributes[at] !== changes[i + 2]) {
          attributes[at] = changes[i + 2];
          cells[at].className = CLASSES[changes[i + 2]];
        }
        log = log || inside(LOG, at);
        detail = detail || inside(DETAIL, at);
      }
      if (log || detail) {
        announce(log, detail);
      }
    }

    // The cell's shape comes from the font itself, measured once at a large size.
    const probe = document.createElement("div");
    probe.className = "probe";
    probe.textContent = "M".repeat(COLUMNS);
    screen.appendChild(probe);
    const PROBE_SIZE = 100;
    const cellWidth = probe.getBoundingClientRect().width / COLUMNS / PROBE_SIZE;
    const cellHeight = probe.getBoundingClientRect().height / PROBE_SIZE;
    probe.remove();

    // The largest font at which all cells fit the window's width and, unless `below` is
    // null (the page then scrolls), its height less `below` pixels.
    function fit(below) {
      const margin = 8;
      const width = (document.documentElement.clientWidth - margin) / (COLUMNS * cellWidth);
      const height = (window.innerHeight - below - 2 * margin) / (ROWS * cellHeight);
      const size = below === null ? width : Math.min(width, height);
      screen.style.fontSize = Math.max(4, Math.floor(size * 8) / 8) + "px";
    }

    return {
      attach(table) {
        glyphs = table;
      },
      drawCells,
      fit,
      forgetMessages() {
        logLines = ["", "", "", ""];
        detailText = "";
      },
    };
  }

  exports.create = create;
})((window.canopyScreen = {}));

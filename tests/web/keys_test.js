// Browser key presses as the game's console delivers them (web/keys.js): the same
// character byte and virtual-key code a Windows keyboard and the other consoles give.
"use strict";

const test = require("node:test");
const assert = require("node:assert");
const { decodeKey } = require("../../web/keys.js");

// A keydown as a browser reports it; AltGr is reported through getModifierState.
function press(key, keyCode = 0, modifiers = {}) {
  return {
    key,
    keyCode,
    ctrlKey: false,
    altKey: false,
    metaKey: false,
    shiftKey: false,
    isComposing: false,
    ...modifiers,
    getModifierState: (name) => name === "AltGraph" && Boolean(modifiers.altGraph),
  };
}

test("keys the game names give their console codes", () => {
  const cases = [
    [press("Tab", 9), 9, 0x09],
    [press("Tab", 9, { shiftKey: true }), 9, 0x09],
    [press("Enter", 13), 13, 0x0d],
    [press("Escape", 27), 27, 0x1b],
    [press("Esc", 27), 27, 0x1b],
    [press("Backspace", 8), 8, 0x08],
    [press("ArrowLeft", 37), 0, 0x25],
    [press("ArrowUp", 38), 0, 0x26],
    [press("ArrowRight", 39), 0, 0x27],
    [press("ArrowDown", 40), 0, 0x28],
    [press("Down", 40), 0, 0x28],
    [press("Home", 36), 0, 0x24],
    [press("End", 35), 0, 0x23],
    [press("PageUp", 33), 0, 0x21],
    [press("PageDown", 34), 0, 0x22],
    [press("Insert", 45), 0, 0x2d],
    [press("Delete", 46), 0, 0x2e],
    [press("Clear", 12), 0, 0x0c],
    [press("F1", 112), 0, 0x70],
    [press("F12", 123), 0, 0x7b],
    [press("F5", 116, { shiftKey: true }), 0, 0x74],
  ];
  for (const [event, character, virtualKey] of cases) {
    assert.deepStrictEqual(decodeKey(event), { character, virtualKey }, event.key);
  }
});

test("typed characters carry themselves and their key", () => {
  const cases = [
    [press("a", 65), 0x61, 0x41],
    [press("Y", 89, { shiftKey: true }), 0x59, 0x59],
    [press("7", 55), 0x37, 0x37],
    [press(" ", 32), 0x20, 0x20],
    [press("&", 55, { shiftKey: true }), 0x26, 0x37],
    [press("q"), 0x71, 0x51], // no keyCode given: the letter's own
    [press("/"), 0x2f, 0], // no keyCode given: punctuation depends on the layout
    [press("@", 81, { ctrlKey: true, altKey: true, altGraph: true }), 0x40, 0x51],
  ];
  for (const [event, character, virtualKey] of cases) {
    assert.deepStrictEqual(decodeKey(event), { character, virtualKey }, event.key);
  }
});

test("characters beyond ASCII count as keys but alias none of the game's", () => {
  assert.deepStrictEqual(decodeKey(press("é", 0)), { character: 0xe9, virtualKey: 0xe5 });
  const euro = press("€", 69, { altGraph: true, ctrlKey: true, altKey: true });
  assert.deepStrictEqual(decodeKey(euro), { character: 0, virtualKey: 0xe5 });
  assert.deepStrictEqual(decodeKey(press("😀", 0)), { character: 0, virtualKey: 0xe5 });
});

test("browser shortcuts, lone modifiers and composing keys stay the browser's", () => {
  const cases = [
    press("r", 82, { ctrlKey: true }),
    press("R", 82, { ctrlKey: true, shiftKey: true }),
    press("ArrowLeft", 37, { altKey: true }),
    press("Tab", 9, { ctrlKey: true }),
    press("F5", 116, { ctrlKey: true }),
    press("c", 67, { metaKey: true }),
    press("Shift", 16, { shiftKey: true }),
    press("Control", 17, { ctrlKey: true }),
    press("CapsLock", 20),
    press("Dead", 222),
    press("Unidentified", 0),
    press("Process", 229),
    press("a", 65, { isComposing: true }),
    press("", 0),
  ];
  for (const event of cases) {
    assert.strictEqual(decodeKey(event), null, JSON.stringify(event));
  }
});

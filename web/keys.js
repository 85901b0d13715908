// Key presses in the page as the game's console delivers them: a character byte and a
// Windows virtual-key code. The game reads the character first and falls back to the
// code, so printable keys carry their character and the cursor and function keys
// carry only their code, as a Windows keyboard reports them.
"use strict";

(function (exports) {
  const VKEY_PROCESSKEY = 0xe5;

  // Keys by their KeyboardEvent.key name: [character byte, virtual-key code]. Older
  // browsers name some keys differently ("Left", "Esc"); both spellings are here.
  const NAMED_KEYS = new Map([
    ["Backspace", [8, 0x08]],
    ["Tab", [9, 0x09]],
    ["Clear", [0, 0x0c]], // keypad 5 without Num Lock
    ["Enter", [13, 0x0d]],
    ["Escape", [27, 0x1b]],
    ["Esc", [27, 0x1b]],
    ["PageUp", [0, 0x21]],
    ["PageDown", [0, 0x22]],
    ["End", [0, 0x23]],
    ["Home", [0, 0x24]],
    ["ArrowLeft", [0, 0x25]],
    ["Left", [0, 0x25]],
    ["ArrowUp", [0, 0x26]],
    ["Up", [0, 0x26]],
    ["ArrowRight", [0, 0x27]],
    ["Right", [0, 0x27]],
    ["ArrowDown", [0, 0x28]],
    ["Down", [0, 0x28]],
    ["Insert", [0, 0x2d]],
    ["Delete", [0, 0x2e]],
    ["Del", [0, 0x2e]],
  ]);
  for (let number = 1; number <= 12; ++number) {
    NAMED_KEYS.set("F" + number, [0, 0x70 + number - 1]);
  }

  // The code of a printable key where the browser gave none: letters and digits are
  // their upper-case characters' codes; other characters depend on the layout.
  function printableKeyCode(character) {
    const upper = character.toUpperCase();
    return /^[A-Z0-9 ]$/.test(upper) ? upper.charCodeAt(0) : 0;
  }

  // Returns {character, virtualKey} for a key the game takes, or null for one that
  // stays the browser's: shortcuts with Ctrl, Alt or the system key (reload, back,
  // close), modifiers alone, dead keys and keys that compose text in an input method.
  // AltGr, which browsers report as Ctrl+Alt, still types its character for the game.
  function decodeKey(event) {
    if (event.isComposing || event.keyCode === 229) {
      return null;
    }
    const altGraph =
      typeof event.getModifierState === "function" && event.getModifierState("AltGraph");
    if (event.metaKey || ((event.ctrlKey || event.altKey) && !altGraph)) {
      return null;
    }
    const key = event.key;
    if (typeof key !== "string" || key.length === 0) {
      return null;
    }
    const named = NAMED_KEYS.get(key);
    if (named) {
      return { character: named[0], virtualKey: named[1] };
    }
    const codePoint = key.codePointAt(0);
    if (String.fromCodePoint(codePoint) !== key || codePoint < 32) {
      return null; // a name such as "Shift" or "Dead", not one typed character
    }
    if (codePoint <= 126) {
      const given = event.keyCode > 0 && event.keyCode < 256 ? event.keyCode : 0;
      return { character: codePoint, virtualKey: given || printableKeyCode(key) };
    }
    // Beyond ASCII the game has no key to name: the Latin-1 byte where there is one
    // (never printable ASCII, so no letter is aliased), and the input-method code,
    // which still counts as a key on the "[press any key]" screens.
    return { character: codePoint < 256 ? codePoint : 0, virtualKey: VKEY_PROCESSKEY };
  }

  exports.decodeKey = decodeKey;
})((window.canopyKeys = {}));

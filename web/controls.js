// The buttons round the screen: the pad of the game's keys, for a thumb, and the bar
// under the screen (New game, Continue, Save recording, Watch a recording and its
// speeds, Keys). Each only calls back into page.js, which decides what it means now.
"use strict";

(function (exports) {
  const $ = (id) => document.getElementById(id);

  // actions: key(name) for a pad key by its KeyboardEvent name, newGame(),
  // continueGame(), save(), watch(text), watchPaused(paused), speed(times), fit().
  function wire(actions) {
    const pad = $("pad");
    for (const letter of "abcdefghijklmnopqrstuvwxyz") {
      const button = document.createElement("button");
      button.dataset.key = letter;
      button.textContent = letter;
      button.setAttribute("aria-label", letter);
      pad.querySelector(".letters").appendChild(button);
    }
    for (const button of pad.querySelectorAll("button")) {
      button.type = "button";
      // A press keeps the keyboard focus on the game.
      button.addEventListener("pointerdown", (event) => event.preventDefault());
      button.addEventListener("click", () => actions.key(button.dataset.key));
    }

    let padFromTouch = false;
    function showPad(shown, fromTouch = false) {
      pad.hidden = !shown;
      padFromTouch = shown && fromTouch;
      $("show-pad").setAttribute("aria-pressed", String(shown));
      actions.fit();
    }
    $("show-pad").addEventListener("click", () => showPad(pad.hidden));

    $("new-game").addEventListener("click", () => actions.newGame());
    $("bar-new-game").addEventListener("click", () => actions.newGame());
    $("continue").addEventListener("click", () => actions.continueGame());
    $("save").addEventListener("click", () => actions.save());
    $("watch").addEventListener("click", () => $("watch-file").click());
    $("watch-file").addEventListener("change", async () => {
      const file = $("watch-file").files[0];
      $("watch-file").value = "";
      if (file) {
        actions.watch(await file.text());
      }
    });
    $("watch-pause").addEventListener("click", () => {
      const paused = $("watch-pause").getAttribute("aria-pressed") !== "true";
      $("watch-pause").setAttribute("aria-pressed", String(paused));
      actions.watchPaused(paused);
    });
    for (const button of document.querySelectorAll(".speed")) {
      button.addEventListener("click", () => {
        document.querySelectorAll(".speed").forEach((other) =>
          other.setAttribute("aria-pressed", String(other === button)));
        actions.speed(Number(button.dataset.speed));
      });
    }

    return {
      showPad,
      // A key typed on a keyboard: the pad shown for touch alone steps aside.
      keyboardSeen() {
        if (padFromTouch) {
          showPad(false);
        }
      },
      watchStarted() {
        $("watch-pause").setAttribute("aria-pressed", "false");
      },
    };
  }

  exports.wire = wire;
})((window.canopyControls = {}));

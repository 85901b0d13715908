#!/usr/bin/python3
"""The game in a real browser: headless Chromium plays the page served from 127.0.0.1
with real key presses, and the page's 80x25 grid, character and colour of every cell,
must match what canopy-sim shows for the same world, frames and keys.

The page runs with ?clock=manual, so the test gives the game its clock one frame at
a time, exactly as canopy-sim does: the frames are the same frames, not a race.

Usage: browser_test.py --site build/web --sim build/release/canopy-sim --out DIR
"""

import argparse
import functools
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time
import traceback

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

SEED = 1234
FRAME_MS = 50
WAIT_SECONDS = 20

# The sixteen console colours as a VGA card shows them.
CONSOLE_COLOURS = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]

# Keys pressed just before a frame, by frame, in canopy-sim's names.
KEY_SCRIPT = {
    12: ["Tab"], 14: ["Tab"],
    16: ["Right"], 17: ["Right"], 18: ["Down"], 19: ["Up"], 20: ["Left"],
    21: ["Home"], 22: ["End"], 23: ["PgUp"], 24: ["PgDn"],
    30: ["e"], 32: ["a"],
    45: ["Esc"], 46: ["Esc"],
}
# Frames after which the whole grid is compared with canopy-sim.
CHECKPOINTS = [1, 10, 13, 15, 25, 31, 33, 36, 40, 47, 60]
QUIT_FRAME = 70  # q and y are pressed before this frame

SELENIUM_KEYS = {
    "Tab": Keys.TAB, "Esc": Keys.ESCAPE, "Enter": Keys.ENTER, "Space": Keys.SPACE,
    "Up": Keys.ARROW_UP, "Down": Keys.ARROW_DOWN, "Left": Keys.ARROW_LEFT,
    "Right": Keys.ARROW_RIGHT, "Home": Keys.HOME, "End": Keys.END,
    "PgUp": Keys.PAGE_UP, "PgDn": Keys.PAGE_DOWN,
}

# What the page renders, row by row, as runs of [text, colour, background]: the text
# of each text node and the computed colours of the element that holds it.
READ_GRID = """
return Array.from(document.querySelectorAll('#screen .row'), (row) => {
  const runs = [];
  const walker = document.createTreeWalker(row, NodeFilter.SHOW_TEXT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const style = getComputedStyle(node.parentElement);
    runs.push([node.data, style.color, style.backgroundColor]);
  }
  return runs;
});
"""

# Records, for each keydown that reaches the window, whether the page kept the
# browser's own action from happening.
WATCH_KEYS = """
window.keyLog = [];
window.addEventListener('keydown', (e) => window.keyLog.push([e.key, e.defaultPrevented]));
"""

# Counts the page's changes to each row from now on.
WATCH_ROWS = """
window.rowChanges = new Array(25).fill(0);
const rows = Array.from(document.querySelectorAll('#screen .row'));
window.rowObserver = new MutationObserver((records) => {
  for (const record of records) {
    let node = record.target;
    while (node && !rows.includes(node)) node = node.parentNode;
    if (node) window.rowChanges[rows.indexOf(node)] += 1;
  }
});
window.rowObserver.observe(document.getElementById('screen'),
    {subtree: true, childList: true, characterData: true, attributes: true});
"""
TAKE_ROW_CHANGES = """
window.rowObserver.takeRecords().forEach(() => {});
const counts = window.rowChanges;
window.rowChanges = new Array(25).fill(0);
return counts;
"""


class Failure(Exception):
    pass


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, condition, what):
        if condition:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL: {what}", file=sys.stderr)


def rgb(colour):
    return "rgb({}, {}, {})".format(*colour)


def sim_screen(sim, frames, keys):
    """canopy-sim's final screen as rows of [character, colour, background]."""
    items = " ".join(f"{frame}:{key}" for frame, names in sorted(keys.items())
                     for key in names if frame < frames)
    common = [sim, "--seed", str(SEED), "--frames", str(frames), "--frame-ms", str(FRAME_MS),
              "--keys", items]
    text = subprocess.run(common, capture_output=True, text=True, encoding="utf-8").stdout
    cells = subprocess.run(common + ["--cells"], capture_output=True, text=True).stdout
    text_rows = text.split("\n")[:25]
    cell_rows = cells.split("\n")[:25]
    if len(text_rows) != 25 or len(cell_rows) != 25:
        raise Failure(f"canopy-sim printed no screen for {frames} frames")
    screen = []
    for text_row, cell_row in zip(text_rows, cell_rows):
        attributes = [int(item.split("/")[1], 16) for item in cell_row.split()]
        screen.append([[ch, rgb(CONSOLE_COLOURS[a & 15]), rgb(CONSOLE_COLOURS[a >> 4])]
                       for ch, a in zip(text_row, attributes)])
    return screen


def grid_text(grid):
    return "\n".join("".join(cell[0] for cell in row) for row in grid)


def first_differences(page, expected, field, limit=5):
    found = []
    for y, (page_row, sim_row) in enumerate(zip(page, expected)):
        for x, (page_cell, sim_cell) in enumerate(zip(page_row, sim_row)):
            if page_cell[field] != sim_cell[field]:
                found.append(f"row {y} column {x}: page {page_cell[field]!r}, "
                             f"canopy-sim {sim_cell[field]!r}")
    return found[:limit]


class Page:
    def __init__(self, driver, checks):
        self.driver = driver
        self.checks = checks

    def grid(self):
        """Every cell as [character, colour, background]."""
        return [[[ch, colour, background] for text, colour, background in runs for ch in text]
                for runs in self.driver.execute_script(READ_GRID)]

    def text(self):
        return grid_text(self.grid())

    def press(self, *names):
        actions = ActionChains(self.driver)
        for name in names:
            actions.send_keys(SELENIUM_KEYS.get(name, name))
        actions.perform()

    def step(self, time_ms=None):
        """Gives the game its clock once and returns what it waits for next."""
        script = ("const done = arguments[arguments.length - 1];"
                  "canopy.step(arguments[0] === null ? undefined : arguments[0])"
                  "  .then(done, (e) => done('error: ' + e.message));")
        return self.driver.execute_async_script(script, time_ms)

    def wait_for(self, what, condition):
        deadline = time.monotonic() + WAIT_SECONDS
        while not condition():
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting for {what}; the page shows:\n{self.text()}")
            time.sleep(0.05)

    def value(self, expression):
        return self.driver.execute_script("return " + expression)

    def compare(self, frames, keys):
        page = self.grid()
        expected = sim_screen(self.sim, frames, keys)
        shape = [len(row) for row in page]
        self.checks.check(shape == [80] * 25, f"after {frames} frames the grid is 80x25, "
                          f"not rows of {shape}")
        for field, name in ((0, "characters"), (1, "colours"), (2, "backgrounds")):
            differences = first_differences(page, expected, field)
            self.checks.check(not differences,
                              f"after {frames} frames the page's {name} differ from canopy-sim:\n"
                              + "\n".join(differences)
                              + f"\npage:\n{grid_text(page)}\ncanopy-sim:\n{grid_text(expected)}")
        return page


# How far each row's cells stray from a grid of equal columns: every character's left
# edge against its column times the width of one cell of an ASCII run, in CSS pixels.
MEASURE_ROWS = """
const rows = Array.from(document.querySelectorAll('#screen .row'));
const run = rows.flatMap((row) => Array.from(row.children))
    .find((span) => !span.classList.contains('glyph') && span.textContent.length >= 10);
const cell = run.getBoundingClientRect().width / run.textContent.length;
const range = document.createRange();
const strays = rows.map((row) => {
  const origin = row.getBoundingClientRect().left;
  const walker = document.createTreeWalker(row, NodeFilter.SHOW_TEXT);
  let column = 0;
  let worst = 0;
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    for (let i = 0; i < node.data.length; ++i, ++column) {
      range.setStart(node, i);
      range.setEnd(node, i + 1);
      const box = range.getBoundingClientRect();
      const element = node.parentElement.getBoundingClientRect();
      const left = node.parentElement.classList.contains('glyph') ? element.left : box.left;
      worst = Math.max(worst, Math.abs(left - origin - column * cell));
    }
  }
  return worst;
});
return [strays, cell];
"""
FIT = """
const box = document.getElementById('screen').getBoundingClientRect();
return [box.left, box.top, box.right, box.bottom, innerWidth, innerHeight];
"""


def check_layout(driver, checks):
    """Every row is 80 equal cells wide, glyphs beyond ASCII included, and the grid
    grows and shrinks with the window without leaving it."""
    strays, cell = driver.execute_script(MEASURE_ROWS)
    wrong = [(y, round(stray, 2)) for y, stray in enumerate(strays) if stray > 1]
    checks.check(not wrong, f"every row's cells line up in columns of {cell:.3f} px: {wrong}")
    boxes = []
    for size in ((1280, 800), (800, 1000), (1600, 600)):
        driver.set_window_size(*size)
        time.sleep(0.3)
        boxes.append(driver.execute_script(FIT))
    for left, top, right, bottom, width, height in boxes:
        checks.check(left >= 0 and top >= 0 and right <= width and bottom <= height,
                     f"the grid {left, top, right, bottom} lies inside the window {width}x{height}")
        checks.check(right - left >= 0.9 * width or bottom - top >= 0.9 * height,
                     f"the grid {left, top, right, bottom} fills the window {width}x{height}")
    driver.set_window_size(1280, 800)


def serve(site):
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    requested = []

    def log_message(self, format, *args):
        QuietHandler.requested.append(self.path)


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-extensions",
                 "--window-size=1280,800", f"--user-data-dir={profile}"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def play(page, checks, base, out):
    driver = page.driver
    driver.get(f"{base}/index.html?seed={SEED}&clock=manual")
    driver.execute_script(WATCH_KEYS)

    # The intro: the proverb, then the game's own "[press any key]".
    page.wait_for("the intro's [press any key]", lambda: "[press any key]" in page.text())
    intro = page.text().split("\n")
    checks.check(intro[8][26:].startswith(' "An Elf must ever live'),
                 f"the intro's proverb is at row 8, column 26: {intro[8]!r}")
    checks.check(page.value("document.activeElement.id") == "screen",
                 "the game screen has the keyboard focus after loading")
    outside = page.value("document.body.innerText.replace("
                         "document.getElementById('screen').innerText, '')")
    checks.check("press any key" not in outside.lower(),
                 f"the page adds no key hint of its own: {outside!r}")

    page.press("Space")
    page.wait_for("the title screen",
                  lambda: "C A N O P Y   H O L L O W" in page.text() and
                  "[press any key]" in page.text())
    page.press("Space")
    page.wait_for("the game to read the clock", lambda: page.value("canopy.waitingForClock()"))
    start = page.value("canopy.time()")
    checks.check(page.step() == "clock", "the game starts and reads the clock for frame 0")

    screenshot_taken = False
    row_faults = []
    still_frames = moving_frames = 0
    for frame in range(QUIT_FRAME):
        names = KEY_SCRIPT.get(frame, [])
        if names:
            page.press(*names)
            queued = page.value("canopy.queuedKeys()")
            checks.check(queued == len(names), f"before frame {frame} {len(names)} key(s) wait "
                         f"for the game, not {queued}")
        before = page.grid() if frame >= 40 else None
        if before is not None:
            driver.execute_script(WATCH_ROWS)
        waits_for = page.step(start + (frame + 1) * FRAME_MS)
        if waits_for != "clock":
            raise Failure(f"after frame {frame} the game waits for {waits_for!r}, not the clock")
        if before is not None:
            changes = driver.execute_script(TAKE_ROW_CHANGES)
            after = page.grid()
            for y in range(25):
                if (before[y] == after[y]) != (changes[y] == 0):
                    row_faults.append(f"frame {frame} row {y}: {changes[y]} change(s) to the "
                                      f"page, content {'same' if before[y] == after[y] else 'new'}")
            driver.execute_script("window.rowObserver.disconnect()")
            if before == after:
                still_frames += 1
            else:
                moving_frames += 1
        if frame + 1 in CHECKPOINTS:
            grid = page.compare(frame + 1, KEY_SCRIPT)
            text = grid_text(grid)
            if frame + 1 == 10:
                checks.check("Main menu:" in text, "the main menu is shown after 10 frames")
                checks.check("The elf mission has arrived at" in text,
                             "the arrival message is shown after 10 frames")
            if frame + 1 == 36 and not screenshot_taken:
                check_layout(driver, checks)
                os.makedirs(out, exist_ok=True)
                path = os.path.join(out, "game-screen.png")
                driver.find_element(By.ID, "screen").screenshot(path)
                screenshot_taken = os.path.getsize(path) > 0
    checks.check(not row_faults, "a frame touches exactly the rows whose cells changed:\n"
                 + "\n".join(row_faults[:10]))
    checks.check(still_frames > 0 and moving_frames > 0,
                 f"the watched frames include frames that change nothing ({still_frames}) "
                 f"and frames that change something ({moving_frames})")
    checks.check(screenshot_taken, "a screenshot of the game screen was saved")

    keys_seen = driver.execute_script("return window.keyLog")
    for key in ("Tab", "ArrowRight", "ArrowDown", "ArrowUp", "ArrowLeft", "Home", "End",
                "PageUp", "PageDown", "Escape", "e", "a", " "):
        prevented = [entry[1] for entry in keys_seen if entry[0] == key]
        checks.check(prevented and all(prevented),
                     f"the browser's own action for {key!r} is suppressed: {prevented}")
    checks.check(page.value("document.activeElement.id") == "screen",
                 "Tab leaves the keyboard focus on the game")
    driver.execute_script("document.activeElement.blur()")
    driver.find_element(By.ID, "screen").click()
    checks.check(page.value("document.activeElement.id") == "screen",
                 "a click on the game gives it the keyboard focus")

    # A browser shortcut stays the browser's and never reaches the game.
    queued_before = page.value("canopy.queuedKeys()")
    prevented = driver.execute_script(
        "const e = new KeyboardEvent('keydown', {key: 'r', keyCode: 82, ctrlKey: true,"
        " bubbles: true, cancelable: true});"
        "document.getElementById('screen').dispatchEvent(e); return e.defaultPrevented")
    checks.check(not prevented, "Ctrl+R keeps its browser action")
    checks.check(page.value("canopy.queuedKeys()") == queued_before,
                 "Ctrl+R does not reach the game")

    # q y ends the game; the last picture stays, with a way to start again.
    page.press("q", "y")
    waits_for = page.step(start + (QUIT_FRAME + 1) * FRAME_MS)
    checks.check(waits_for == "ended", f"q y ends the game (it waits for {waits_for!r})")
    checks.check(page.value("canopy.state") == "ended", "the page knows the game has ended")
    checks.check(page.value("canopy.exitStatus") == 0, "the game ended with status 0")
    quit_keys = dict(KEY_SCRIPT)
    quit_keys[QUIT_FRAME] = ["q", "y"]
    page.compare(QUIT_FRAME + 1, quit_keys)
    panel = driver.find_element(By.ID, "ended")
    checks.check(panel.is_displayed() and "The game has ended." in panel.text,
                 f"the page says the game has ended: {panel.text!r}")
    button = driver.find_element(By.ID, "new-game")
    checks.check(button.is_displayed(), "a New game button is shown")
    checks.check(page.value("document.activeElement.id") == "new-game",
                 "the New game button has the focus")

    # The button starts a fresh game: the intro again, and keys reach it.
    button.click()
    page.wait_for("the new game's intro", lambda: "[press any key]" in page.text())
    checks.check(not panel.is_displayed(), "the end notice is gone in the new game")
    checks.check(page.value("document.activeElement.id") == "screen",
                 "the new game has the keyboard focus")
    checks.check(page.value("canopy.state") == "playing", "the page plays the new game")
    page.press("Space")
    page.wait_for("the new game's title screen", lambda: "C A N O P Y" in page.text())

    foreign = [entry for entry in page.value(
        "performance.getEntriesByType('resource').map((e) => e.name)")
        if not entry.startswith(base + "/")]
    checks.check(not foreign, f"the page fetches nothing from elsewhere: {foreign}")
    served = sorted(set(path.split("?")[0] for path in QuietHandler.requested))
    checks.check(served == ["/canopy.js", "/canopy.wasm", "/index.html", "/keys.js",
                            "/page.js", "/style.css"],
                 f"the page loads exactly its own files: {served}")


def check_real_time(driver, checks, base):
    """With the page's own clock the game runs by itself: the intro waits its seconds,
    and once playing the map cursor blinks with no key pressed."""
    page = Page(driver, checks)
    driver.get(f"{base}/index.html?seed={SEED}")
    page.wait_for("the intro's [press any key]", lambda: "[press any key]" in page.text())
    page.press("Space")
    page.wait_for("the title screen", lambda: "C A N O P Y" in page.text())
    page.press("Space")
    page.wait_for("the arrival message",
                  lambda: "The elf mission has arrived at" in page.text())
    first = page.grid()
    page.wait_for("the cursor to blink", lambda: page.grid() != first)
    checks.check(page.value("canopy.state") == "playing", "the game plays on its own clock")


def check_seed_error(driver, checks, base):
    """A world number the game refuses is reported on the page, as on a command line."""
    driver.get(f"{base}/index.html?seed=forest")
    deadline = time.monotonic() + WAIT_SECONDS
    while driver.execute_script("return canopy.state") not in ("ended", "failed"):
        if time.monotonic() > deadline:
            raise Failure("the page never reported the refused world number")
        time.sleep(0.05)
    checks.check(driver.execute_script("return canopy.exitStatus") == 2,
                 "a refused world number ends the game with status 2")
    detail = driver.find_element(By.ID, "ended-detail").text
    checks.check("--seed takes a world number" in detail,
                 f"the page shows why the world number was refused: {detail!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    checks = Checks()
    server = serve(os.path.abspath(args.site))
    base = f"http://127.0.0.1:{server.server_address[1]}"
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as profile:
        driver = start_browser(profile)
        try:
            driver.set_script_timeout(WAIT_SECONDS)
            page = Page(driver, checks)
            page.sim = os.path.abspath(args.sim)
            play(page, checks, base, args.out)
            check_real_time(driver, checks, base)
            check_seed_error(driver, checks, base)
        except Exception as error:  # a broken step ends the run as one more failure
            checks.failed += 1
            if isinstance(error, Failure):
                print(f"FAIL: {error}", file=sys.stderr)
            else:
                traceback.print_exc()
        finally:
            driver.quit()
            server.shutdown()
    print(f"browser test took {time.monotonic() - started:.1f} s")
    print(f"browser: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed or checks.passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

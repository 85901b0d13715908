#!/usr/bin/python3
"""The game in a real browser: headless Chromium plays the page served from 127.0.0.1,
and the page's 80x25 grid, character and colour of every cell, must match what
canopy-sim shows for the same world, frames and keys, or for the same recording.

With ?clock=manual the test gives the game its clock one frame at a time, exactly as
canopy-sim does: the frames are the same frames, not a race.

Usage: browser_test.py --site build/web --sim build/release/canopy-sim --out DIR
"""

import argparse
import functools
import glob
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
WAIT_SECONDS = 30
RECORDINGS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "recordings")

# The sixteen console colours as a VGA card shows them.
CONSOLE_COLOURS = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]
CURSOR_BACKGROUND = "rgb(0, 170, 170)"

# Keys pressed just before a frame, by frame, in canopy-sim's names.
KEY_SCRIPT = {
    12: ["Tab"], 14: ["Tab"],
    16: ["Right"], 17: ["Right"], 18: ["Down"], 19: ["Up"], 20: ["Left"],
    21: ["Home"], 22: ["End"], 23: ["PgUp"], 24: ["PgDn"],
    30: ["e"], 32: ["a"],
    45: ["Esc"], 46: ["Esc"],
}
CHECKPOINTS = [1, 10, 13, 15, 25, 31, 33, 36, 40, 47, 60]  # whole grid against canopy-sim
QUIT_FRAME = 70  # q and y are pressed before this frame
SELENIUM_KEYS = {
    "Tab": Keys.TAB, "Esc": Keys.ESCAPE, "Enter": Keys.ENTER, "Space": Keys.SPACE,
    "Up": Keys.ARROW_UP, "Down": Keys.ARROW_DOWN, "Left": Keys.ARROW_LEFT,
    "Right": Keys.ARROW_RIGHT, "Home": Keys.HOME, "End": Keys.END,
    "PgUp": Keys.PAGE_UP, "PgDn": Keys.PAGE_DOWN,
}
# The README's first platform in world 1, as a player taps it on the pad.
TAPS = "e a Esc j s w Esc Esc c s b Tab Tab Home Home Home Home Home Home Up Up Up Enter"

# What the page renders: each cell's text and the computed colours that show it.
READ_GRID = """
return Array.from(document.querySelectorAll('#screen .row'), (row) =>
  Array.from(row.children, (cell) => {
    const style = getComputedStyle(cell);
    return [cell.textContent, style.color, style.backgroundColor];
  }));
"""
# Counts the cells the page changes from now on.
WATCH_CELLS = """
const cells = Array.from(document.querySelectorAll('#screen .row > span'));
window.touched = new Set();
window.cellObserver = new MutationObserver((records) => records.forEach((record) => {
  const node = record.target.nodeType === Node.TEXT_NODE ? record.target.parentNode : record.target;
  window.touched.add(cells.indexOf(node));
}));
window.cellObserver.observe(document.getElementById('screen'),
    {subtree: true, childList: true, characterData: true, attributes: true});
"""
TAKE_CELLS = "window.cellObserver.takeRecords(); window.cellObserver.disconnect(); " \
             "return window.touched.size;"
BOX = "const b = arguments[0].getBoundingClientRect(); return [b.left, b.top, b.width, b.height];"


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


def key_items(keys, frames):
    return " ".join(f"{frame}:{key}" for frame, names in sorted(keys.items())
                    for key in names if frame < frames)


def sim_screen(sim, *words):
    """canopy-sim's final screen as rows of [character, colour, background]."""
    shown = subprocess.run([sim, *words], capture_output=True, text=True, encoding="utf-8")
    cells = subprocess.run([sim, *words, "--cells"], capture_output=True, text=True).stdout
    text_rows, cell_rows = shown.stdout.split("\n")[:25], cells.split("\n")[:25]
    if len(text_rows) != 25 or len(cell_rows) != 25:
        raise Failure(f"canopy-sim {' '.join(words)} printed no screen: {shown.stderr}")
    screen = []
    for text_row, cell_row in zip(text_rows, cell_rows):
        attributes = [int(item.split("/")[1], 16) for item in cell_row.split()]
        screen.append([[ch, rgb(CONSOLE_COLOURS[a & 15]), rgb(CONSOLE_COLOURS[a >> 4])]
                       for ch, a in zip(text_row, attributes)])
    return screen


def grid_text(grid):
    return "\n".join("".join(cell[0] for cell in row) for row in grid)


class Page:
    def __init__(self, driver, checks, sim, base):
        self.driver, self.checks, self.sim, self.base = driver, checks, sim, base

    def open(self, query):
        self.driver.get(f"{self.base}/blank")  # the game before keeps itself as it goes
        self.driver.execute_script("localStorage.clear()")  # no game to continue
        self.driver.get(f"{self.base}/index.html?{query}")

    def grid(self):
        return self.driver.execute_script(READ_GRID)

    def text(self):
        return grid_text(self.grid())

    def press(self, *names):
        if not names:
            return
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

    def wait_for(self, what, condition, seconds=WAIT_SECONDS):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting for {what}; the page shows:\n{self.text()}")
            time.sleep(0.05)

    def value(self, expression):
        return self.driver.execute_script("return " + expression)

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def same(self, page, expected, what):
        """One check: every cell's character and colours as expected."""
        found = [f"row {y} column {x}: page {got}, expected {want}"
                 for y, (got_row, want_row) in enumerate(zip(page, expected))
                 for x, (got, want) in enumerate(zip(got_row, want_row)) if got != want]
        shape_ok = [len(row) for row in page] == [80] * 25
        self.checks.check(shape_ok and not found, f"{what}: the page differs:\n"
                          + "\n".join(found[:5]) + f"\npage:\n{grid_text(page)}\n"
                          f"expected:\n{grid_text(expected)}")

    def compare(self, frames, keys):
        self.same(self.grid(), sim_screen(self.sim, "--seed", str(SEED), "--frames", str(frames),
                                          "--frame-ms", str(FRAME_MS), "--keys",
                                          key_items(keys, frames)),
                  f"after {frames} frames against canopy-sim")


def begin_play(page):
    """From the intro to frame 0 on the manual clock; returns the tick play began at."""
    page.wait_for("the intro", lambda: "[press any key]" in page.text())
    page.press("Space")
    page.wait_for("the title", lambda: "C A N O P Y" in page.text())
    page.press("Space")
    page.wait_for("the game to read the clock", lambda: page.value("canopy.waitingForClock()"))
    return page.value("canopy.time()")


def check_manual_game(page, checks, downloads):
    """The keyboard game against canopy-sim, frame by frame; a frame writes exactly the
    cells that changed; Continue after a reload; the saved recording; q y; New game."""
    driver = page.driver
    page.open(f"seed={SEED}&clock=manual")
    driver.execute_script("window.keyLog = []; window.addEventListener('keydown', "
                          "(e) => window.keyLog.push([e.key, e.defaultPrevented]));")
    page.wait_for("the intro", lambda: "[press any key]" in page.text())
    checks.check(page.value("document.activeElement.id") == "screen",
                 "the game screen has the keyboard focus after loading")
    checks.check(page.value("getComputedStyle(document.activeElement).outlineColor") !=
                 "rgba(0, 0, 0, 0)", "the focused game screen shows a focus ring")
    start = begin_play(page)
    checks.check(page.step() == "clock", "the game starts and reads the clock for frame 0")
    write_faults = []
    for frame in range(QUIT_FRAME):
        page.press(*KEY_SCRIPT.get(frame, []))
        before = page.grid()
        driver.execute_script(WATCH_CELLS)
        if page.step(start + (frame + 1) * FRAME_MS) != "clock":
            raise Failure(f"after frame {frame} the game does not wait for the clock")
        touched = driver.execute_script(TAKE_CELLS)
        after = page.grid()
        changed = sum(b != a for rb, ra in zip(before, after) for b, a in zip(rb, ra))
        if touched != changed:
            write_faults.append(f"frame {frame}: {touched} cells written, {changed} changed")
        if frame + 1 in CHECKPOINTS:
            page.compare(frame + 1, KEY_SCRIPT)
        if frame + 1 == 36:
            os.makedirs(page.out, exist_ok=True)
            driver.find_element(By.ID, "screen").screenshot(f"{page.out}/game-screen.png")
    checks.check(not write_faults, "each frame writes exactly the cells that changed (none "
                 "when nothing changed):\n" + "\n".join(write_faults[:10]))
    checks.check("The elf mission has arrived at" in page.value("said.textContent") or
                 "Darkwood" in page.value("said.textContent"),
                 f"the live region reads out messages: {page.value('said.textContent')!r}")
    keys_seen = driver.execute_script("return window.keyLog")
    checks.check(all(prevented for _, prevented in keys_seen) and len(keys_seen) >= 17,
                 f"the browser's own action for each game key is suppressed: {keys_seen}")
    sent = page.value("canopy.keysSent")
    prevented = driver.execute_script(
        "const e = new KeyboardEvent('keydown', {key: 'r', keyCode: 82, ctrlKey: true,"
        " bubbles: true, cancelable: true});"
        "document.getElementById('screen').dispatchEvent(e); return e.defaultPrevented")
    checks.check(not prevented and page.value("canopy.keysSent") == sent,
                 "Ctrl+R keeps its browser action and never reaches the game")

    # A reload offers Continue, which brings back exactly the picture the game had.
    picture = page.grid()
    driver.refresh()
    page.wait_for("the offer to continue", lambda: page.value("canopy.state") == "offered")
    page.click("continue")
    page.wait_for("the continued game", lambda: page.value("canopy.waitingForClock()"))
    page.same(page.grid(), picture, "the continued game after a reload")

    # The saved recording replays in canopy-sim to the same picture.
    page.click("save")
    page.wait_for("the download", lambda: glob.glob(f"{downloads}/canopy-hollow-{SEED}.rec"))
    saved = glob.glob(f"{downloads}/canopy-hollow-{SEED}.rec")[0]
    page.same(picture, sim_screen(page.sim, "--replay", saved), "canopy-sim --replay of the save")

    # q y ends the continued game exactly where canopy-sim ends the uninterrupted one: the
    # new sitting reads the clock once to begin (the time away is no game time), then
    # plays its first frame as long as the others.
    page.press("q", "y")
    page.step(0)
    checks.check(page.step(FRAME_MS) == "ended", "q y ends the game")
    page.compare(QUIT_FRAME + 1, {**KEY_SCRIPT, QUIT_FRAME: ["q", "y"]})
    checks.check(page.value("canopy.exitStatus") == 0 and
                 "The game has ended." in page.value("panel.innerText") and
                 page.value("document.activeElement.id") == "new-game",
                 "the page says the game has ended and offers New game, focused")
    page.click("new-game")
    page.wait_for("the new game's intro", lambda: "[press any key]" in page.text())
    checks.check(page.value("canopy.state") == "playing" and page.value("panel.hidden"),
                 "New game plays a new game")

    # The saved recording, resumed once, watched from disk ends on the same picture.
    chooser = driver.find_element(By.ID, "watch-file")
    driver.execute_script("arguments[0].hidden = false", chooser)
    chooser.send_keys(saved)
    driver.find_element(By.CSS_SELECTOR, ".speed[data-speed='16']").click()
    page.wait_for("the saved recording's end", lambda: page.value("canopy.state") == "watched")
    page.same(page.grid(), picture, "the saved recording watched from disk to its end")


def check_watch(page, checks):
    """A recording watched at 16x, with a pause, ends on canopy-sim --replay's screen."""
    page.open("replay=recordings/quit.rec")
    page.wait_for("the watched game", lambda: page.value("canopy.frames") > 2)
    page.click("watch-pause")
    frames = page.value("canopy.frames")
    time.sleep(0.5)
    checks.check(page.value("canopy.frames") == frames, "Pause holds the watched game")
    page.click("watch-pause")
    page.driver.find_element(By.CSS_SELECTOR, ".speed[data-speed='16']").click()
    page.wait_for("the recording's end", lambda: page.value("canopy.state") == "watched")
    page.same(page.grid(), sim_screen(page.sim, "--replay", f"{RECORDINGS}/quit.rec"),
              "the watched recording at its end")


def tap(driver, element):
    left, top, width, height = driver.execute_script(BOX, element)
    point = [{"x": left + width / 2, "y": top + height / 2}]
    driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": point})
    driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})


def check_touch(page, checks):
    """A phone: the pad below a grid as wide as the screen, and a first platform ordered
    by taps alone, each pad key found by its accessible name."""
    driver = page.driver
    page.open("seed=1")
    screen = driver.find_element(By.ID, "screen")
    page.wait_for("the intro", lambda: "[press any key]" in page.text())
    grid, pad = driver.execute_script(BOX, screen), driver.execute_script(
        BOX, driver.find_element(By.ID, "pad"))
    checks.check(grid[2] >= 0.95 * 390 and pad[1] >= grid[1] + grid[3] and pad[3] > 0,
                 f"at 390x844 the grid {grid} spans the width and the pad {pad} is below it")
    tap(driver, screen)
    page.wait_for("the title", lambda: "C A N O P Y" in page.text())
    tap(driver, screen)
    page.wait_for("the main menu", lambda: "Main menu:" in page.text())
    keys = {button.accessible_name: button
            for button in driver.find_elements(By.CSS_SELECTOR, "#pad button")}
    for name in TAPS.split():
        tap(driver, keys[name])
        time.sleep(0.12)
    page.wait_for("the detail box's answer", lambda: "Building." in page.text())
    checks.check("Building." in page.value("said.textContent"),
                 "the live region reads out the detail box's answer")
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 844, "height": 390, "deviceScaleFactor": 3, "mobile": True})
    time.sleep(0.3)
    width = driver.execute_script(BOX, screen)[2]
    checks.check(width >= 0.95 * 844, f"in landscape the grid is {width} px of 844 wide")


def check_hidden(page, checks):
    """A hidden tab pauses the game; back in view it says so and goes on at a key."""
    driver = page.driver
    page.open(f"seed={SEED}")
    page.wait_for("the intro", lambda: "[press any key]" in page.text())
    page.press("Space")
    page.wait_for("the title", lambda: "C A N O P Y" in page.text())
    page.press("Space")
    page.wait_for("the arrival", lambda: "The elf mission has arrived at" in page.text())
    game_tab, frames = driver.current_window_handle, page.value("canopy.frames")
    driver.switch_to.new_window("tab")
    time.sleep(3)
    driver.close()
    driver.switch_to.window(game_tab)
    checks.check(page.value("canopy.frames") - frames <= 3,
                 f"the hidden game stood still ({page.value('canopy.frames') - frames} frames)")
    checks.check(driver.find_element(By.ID, "paused").is_displayed(), "the page says it paused")
    page.press("Space")
    time.sleep(1.5)
    checks.check(not driver.find_element(By.ID, "paused").is_displayed() and
                 page.value("canopy.frames") - frames > 10, "a key ends the pause")
    checks.check("\nheld\n" in page.value("localStorage.getItem('canopy-hollow.recording.0')"),
                 "the kept recording holds the pause")


def check_reduced_motion(page, checks):
    """Where the browser is asked to reduce motion the cursor stays shown."""
    page.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
        {"name": "prefers-reduced-motion", "value": "reduce"}]})
    page.open(f"seed={SEED}&clock=manual")
    start = begin_play(page)
    shown = []
    for frame in range(24):  # about a second and a quarter of the blink's cycle
        page.step(start + frame * FRAME_MS)
        shown.append(sum(cell[2] == CURSOR_BACKGROUND for row in page.grid()[:20]
                         for cell in row[:54]))
    checks.check(shown == [1] * 24, f"the cursor stays shown, frame by frame: {shown}")
    page.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})


def check_failure_panel(page, checks):
    """A bad world number: a readable panel in a player's words at any window size, no
    usage text in the console, and New game starts a playable game."""
    driver = page.driver
    for width, height in ((1280, 800), (390, 844)):
        driver.set_window_size(width, height)
        page.open("seed=forest")
        page.wait_for("the refusal", lambda: page.value("canopy.state") == "failed")
        panel = driver.find_element(By.ID, "panel")
        inner = page.value("innerWidth")
        box = driver.execute_script(BOX, panel)
        checks.check(min(400, inner - 40) <= box[2] <= inner and box[0] >= 0,
                     f"in a {inner} px window the panel {box} is wide and within it")
        checks.check("World numbers go from 0 to 4294967295" in panel.text and
                     "--" not in panel.text, f"the panel speaks a player's words: {panel.text!r}")
    logged = [entry["message"] for entry in driver.get_log("browser")]
    checks.check(not any("usage" in line or "Content Security" in line for line in logged),
                 f"no usage text and nothing the host's policy refused: {logged}")
    # A kept game that no longer fits the game is refused, naming its line.
    driver.get(f"{page.base}/blank")
    driver.execute_script("localStorage.setItem('canopy-hollow.recording.0', arguments[0]);"
                          "localStorage.setItem('canopy-hollow.recording.parts', '1')",
                          open(f"{RECORDINGS}/level_0.rec").read() + "bogus 7\n")
    driver.get(f"{page.base}/index.html")
    page.wait_for("the offer to continue", lambda: page.value("canopy.state") == "offered")
    page.click("continue")
    page.wait_for("the refusal", lambda: page.value("canopy.state") == "failed")
    checks.check("could not be continued" in page.value("panel.innerText") and
                 "bogus" in page.value("panel.innerText"),
                 f"a damaged kept game is refused: {page.value('panel.innerText')!r}")
    page.click("new-game")
    begin = lambda: "[press any key]" in page.text()  # noqa: E731
    page.wait_for("the new game's intro", begin)
    page.press("Space")
    page.wait_for("the title", lambda: "C A N O P Y" in page.text())
    driver.set_window_size(1280, 800)


def serve(site):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def translate_path(self, path):
            if path.startswith("/recordings/"):
                return os.path.join(RECORDINGS, os.path.basename(path.split("?")[0]))
            return super().translate_path(path)

        def log_message(self, *args):
            pass

        def end_headers(self):  # the strictest policy the README asks hosts for
            self.send_header("Content-Security-Policy", "default-src 'self'; "
                             "script-src 'self' 'wasm-unsafe-eval'; img-src 'self' data:")
            super().end_headers()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(Handler, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def start_browser(profile, downloads, phone=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--disable-extensions", "--window-size=1280,800",
                 f"--user-data-dir={profile}"):
        options.add_argument(flag)
    # A hidden tab as players have it: chromedriver otherwise keeps its timers running.
    options.add_experimental_option("excludeSwitches", [
        "disable-background-timer-throttling", "disable-backgrounding-occluded-windows",
        "disable-renderer-backgrounding"])
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if phone:
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": 390, "height": 844, "pixelRatio": 3.0, "touch": True}})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def main():
    parser = argparse.ArgumentParser()
    for name in ("--site", "--sim", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    checks = Checks()
    server = serve(os.path.abspath(args.site))
    base = f"http://127.0.0.1:{server.server_address[1]}"
    started = time.monotonic()
    runs = [(False, [check_manual_game, check_watch, check_reduced_motion, check_hidden,
                     check_failure_panel]), (True, [check_touch])]
    for phone, steps in runs:
        with tempfile.TemporaryDirectory() as profile, tempfile.TemporaryDirectory() as downloads:
            driver = start_browser(profile, downloads, phone)
            driver.set_script_timeout(WAIT_SECONDS)
            page = Page(driver, checks, os.path.abspath(args.sim), base)
            page.out = args.out
            for step in steps:
                try:
                    step(page, checks, downloads) if step is check_manual_game else step(page, checks)
                except Exception as error:  # a broken step counts as one more failure
                    checks.failed += 1
                    print(f"FAIL in {step.__name__}:", file=sys.stderr)
                    if isinstance(error, Failure):
                        print(error, file=sys.stderr)
                    else:
                        traceback.print_exc()
            driver.quit()
    server.shutdown()
    print(f"browser test took {time.monotonic() - started:.1f} s")
    print(f"browser: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed or checks.passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""What the page costs while nobody plays: this build's page and the page of another
revision, side by side in one headless Chromium, each left on the main screen of the
same world with no key pressed. For each, the renderer's main-thread time (CDP
Performance.getMetrics: TaskDuration, LayoutDuration, RecalcStyleDuration) and the
whole browser's CPU time (every Chromium process and thread, workers included, from
/proc) per second over SECONDS, then the page's changes to the grid (DOM mutation
records) per second, in alternating rounds.

Usage: bench/web_idle.py [--site build/web] [--against REV] [--seconds 10] [--rounds 3]
(make bench-web builds this page first; the other revision's page is built by
Emscripten into build/web-REV unless it is there already.)
"""

import argparse
import functools
import http.server
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
COUNT_CHANGES = """
window.gridChanges = 0;
new MutationObserver((records) => { window.gridChanges += records.length; }).observe(
    document.getElementById('screen'),
    {subtree: true, childList: true, characterData: true, attributes: true});
"""


def build_other(revision, folder):
    """The page of another revision, built from a copy of that revision's files."""
    if os.path.exists(os.path.join(folder, "canopy.wasm")):
        return
    with tempfile.TemporaryDirectory() as source:
        archive = subprocess.run(["git", "-C", ROOT, "archive", revision], check=True,
                                 capture_output=True).stdout
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
        env = dict(os.environ, NODE_PATH="/usr/share/nodejs")
        subprocess.run(["emcmake", "cmake", "-S", f"{source}/web", "-B", f"{source}/obj",
                        "-DCMAKE_BUILD_TYPE=Release", f"-DCANOPY_WEB_OUTPUT={folder}"],
                       check=True, env=env, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", f"{source}/obj", "-j", "2"], check=True, env=env,
                       stdout=subprocess.DEVNULL)


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"http://127.0.0.1:{server.server_address[1]}"


def metrics(driver):
    found = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {item["name"]: item["value"] for item in found}


def browser_cpu_seconds(driver):
    """CPU time so far of chromedriver's browser: every process under it, all threads."""
    parents, times = {}, {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, ValueError, IndexError):
            continue
        parents[int(entry)] = int(fields[1])
        times[int(entry)] = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    total, root = 0.0, driver.service.process.pid
    for pid, seconds in times.items():
        ancestor = parents.get(pid)
        while ancestor not in (None, 0, 1, root):
            ancestor = parents.get(ancestor)
        total += seconds if ancestor == root else 0
    return total


def idle_round(driver, base, seconds):
    """Per second on the idle main screen: main-thread, layout and style ms, grid changes."""
    driver.get(base + "/blank")
    driver.execute_script("localStorage.clear()")  # no game waiting to be continued
    url = base + "/index.html?seed=1234"
    driver.get(url)
    deadline = time.monotonic() + 30
    text = lambda: driver.execute_script(  # noqa: E731
        "return document.getElementById('screen').innerText")
    for wanted in ("[press any key]", "C A N O P Y", "The elf mission has arrived"):
        while wanted not in text():
            if time.monotonic() > deadline:
                sys.exit(f"web_idle: {url} never showed {wanted!r}")
            time.sleep(0.1)
        if wanted != "The elf mission has arrived":
            ActionChains(driver).send_keys(" ").perform()
    time.sleep(1)
    driver.execute_cdp_cmd("Performance.enable", {"timeDomain": "threadTicks"})
    before, started, cpu = metrics(driver), time.monotonic(), browser_cpu_seconds(driver)
    time.sleep(seconds)
    after, elapsed = metrics(driver), time.monotonic() - started
    cpu = browser_cpu_seconds(driver) - cpu
    driver.execute_cdp_cmd("Performance.disable", {})
    # The grid's changes are counted afterwards, so that counting them costs no time above.
    driver.execute_script(COUNT_CHANGES)
    time.sleep(seconds / 2)
    changes = driver.execute_script("return window.gridChanges") * 2
    per_second = lambda name: (after[name] - before[name]) * 1000 / elapsed  # noqa: E731
    return {"main thread ms/s": per_second("TaskDuration"),
            "browser CPU ms/s": cpu * 1000 / elapsed,
            "script ms/s": per_second("ScriptDuration"),
            "layout ms/s": per_second("LayoutDuration"),
            "style ms/s": per_second("RecalcStyleDuration"),
            "layouts/s": (after["LayoutCount"] - before["LayoutCount"]) / elapsed,
            "grid changes/s": changes / seconds}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", default=os.path.join(ROOT, "build/web"))
    parser.add_argument("--against", default="2da0087")
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    other = os.path.join(ROOT, "build", "web-" + args.against)
    build_other(args.against, other)
    pages = {"this page": serve(os.path.abspath(args.site)), args.against: serve(other)}
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,800",
                 "--disable-background-networking", "--disable-component-update"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    results = {name: [] for name in pages}
    try:
        for _ in range(args.rounds):
            for name, url in pages.items():
                results[name].append(idle_round(driver, url, args.seconds))
    finally:
        driver.quit()
    print(f"idle on the main screen, {args.rounds} rounds of {args.seconds:g} s, medians:")
    names = list(pages)
    print(f"{'':18}" + "".join(f"{name:>14}" for name in names) + f"{'ratio':>8}")
    for measure in results[names[0]][0]:
        values = [statistics.median(r[measure] for r in results[name]) for name in names]
        ratio = values[0] / values[1] if values[1] else float("nan")
        print(f"{measure:18}" + "".join(f"{value:14.2f}" for value in values) + f"{ratio:8.2f}")


if __name__ == "__main__":
    main()

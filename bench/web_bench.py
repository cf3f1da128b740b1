#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Times the web engine against the native one.

    bench/web_bench.py [--turns N] [--no-browser]

Needs the ci build (narravox-term, narravox_bench) and the web build (build/web). Measures:
- engine time per turn: narravox-node against narravox-term, both in batch mode, on the demo and
  on the turn benchmarks' 16 MB scenario: (time of N turns - time of none) / N;
- in headless Chromium: the page ready on the demo (navigation to the start-up box open), and a
  turn including its repaint (Enter to the frame after the reply is drawn) on the demo and on the
  16 MB scenario.
A benchmark, not a test: it prints figures and judges nothing.
"""
import argparse
import functools
import http.server
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TERM = os.path.join(ROOT, "build/ci/src/term/narravox-term")
BENCH = os.path.join(ROOT, "build/ci/bench/narravox_bench")
NODE = os.path.join(ROOT, "build/web/narravox-node")
TURN_LOOP = os.path.join(ROOT, "build/ci/bench/narravox_turn_loop")
NODE_TURN_LOOP = os.path.join(ROOT, "build/web/narravox_turn_loop.js")
SITE = os.path.join(ROOT, "build/web/site")
DEMO = os.path.join(ROOT, "build/ci/games/demo")
DEMO_COMMAND = "осмотреться"


def run_seconds(program, folder, commands, repeats=3):
    """The fastest of `repeats` batch runs of `commands` in `folder`, in seconds."""
    script = "".join(line + "\n" for line in commands).encode()
    best = None
    for _ in range(repeats):
        start = time.perf_counter()
        subprocess.run([program, "--batch", "--columns", "128", "--lines", "45"], cwd=folder,
                       input=script, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def turn_loop_us(command_line, folder, command, turns):
    """The fastest of three runs of the turn loop, in microseconds a turn."""
    return min(float(subprocess.run(command_line + [folder, command, str(turns)], check=True,
                                    capture_output=True, text=True).stdout)
               for _ in range(3))


def per_turn_ms(program, folder, command, turns):
    empty = run_seconds(program, folder, [])
    full = run_seconds(program, folder, [command] * turns)
    return (full - empty) / turns * 1000, empty * 1000


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          ".wasm": "application/wasm"}

        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1024,768",
                 "--force-device-scale-factor=1"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    # Notes the moment the first box opens, before any script of the page runs.
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
        new MutationObserver((changes, observer) => {
            if (document.querySelector('dialog[open]')) {
                window.firstBoxAt = performance.now();
                observer.disconnect();
            }
        }).observe(document, {subtree: true, childList: true, attributes: true,
                              attributeFilter: ['open']});"""})
    return driver


def wait_for(driver, expression, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = driver.execute_script("return " + expression)
        if value:
            return value
        time.sleep(0.005)
    raise TimeoutError(expression)


def open_game(driver, url):
    driver.get(url)
    opened_at = wait_for(driver, "window.firstBoxAt")
    # The start-up warning: OK, then the game waits for a command.
    driver.execute_script("document.querySelector('dialog[open] button').click()")
    wait_for(driver, "document.body.dataset.state === 'playing' && !window.narravox.busy()")
    return opened_at


TURN_SCRIPT = """
const [command, done] = arguments;
const input = document.getElementById('command');
const channel = new MessageChannel();
const start = performance.now();
input.value = command;
input.dispatchEvent(new Event('input', {bubbles: true}));
input.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', code: 'Enter', bubbles: true}));
// Polled through a message channel: a timer's minimum delay would count as the turn's time.
channel.port1.onmessage = () => {
    if (window.narravox.busy()) { channel.port2.postMessage(0); return; }
    const handled = performance.now() - start;
    const engine = window.narravox.lastTurnMs;
    requestAnimationFrame(() => done([handled, performance.now() - start, engine]));
};
channel.port2.postMessage(0);
"""


def page_turns_ms(driver, command, turns):
    """Medians: the engine's turn, the whole handling of Enter, and the time until the frame
    that shows the reply (the page draws at the next frame); and the slowest such frame."""
    times = [driver.execute_async_script(TURN_SCRIPT, command) for _ in range(turns)]
    return (statistics.median(t[2] for t in times), statistics.median(t[0] for t in times),
            statistics.median(t[1] for t in times), max(t[1] for t in times))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--turns", type=int, default=500)
    parser.add_argument("--no-browser", action="store_true", help="node and native only")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="narravox-web-bench-")
    try:
        big = os.path.join(work, "big")
        big_command = subprocess.run([BENCH, "--write-game", "16", big], check=True,
                                     capture_output=True, text=True).stdout.strip()
        demo = os.path.join(work, "demo")
        shutil.copytree(DEMO, demo)
        print(f"the engine alone (narravox_turn_loop), {args.turns * 10} turns:")
        for name, folder, command in (("demo", demo, DEMO_COMMAND),
                                      ("16 MB", big, big_command)):
            native = turn_loop_us([TURN_LOOP], folder, command, args.turns * 10)
            node = turn_loop_us(["node", "--no-experimental-fetch", NODE_TURN_LOOP], folder,
                                command, args.turns * 10)
            print(f"  {name:6} native {native:.1f} µs, node {node:.1f} µs, "
                  f"ratio {node / native:.2f}")
        print(f"a turn in batch mode, transcript included, {args.turns} turns, fastest of 3 runs:")
        for name, folder, command in (("demo", demo, DEMO_COMMAND),
                                      ("16 MB", big, big_command)):
            native, native_start = per_turn_ms(TERM, folder, command, args.turns)
            node, node_start = per_turn_ms(NODE, folder, command, args.turns)
            print(f"  {name:6} native {native:.3f} ms, node {node:.3f} ms, "
                  f"ratio {node / native:.2f}; start-up native {native_start:.0f} ms, "
                  f"node {node_start:.0f} ms")
        if args.no_browser:
            return 0

        site = os.path.join(work, "site")
        shutil.copytree(SITE, site)
        shutil.copytree(big, os.path.join(site, "games", "big"))
        server = serve(site)
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        driver = browser()
        try:
            ready = []
            for _ in range(5):
                ready.append(open_game(driver, base + "index.html"))
            print(f"page ready (demo, navigation to the start-up box): median "
                  f"{statistics.median(ready):.0f} ms, best {min(ready):.0f} ms of 5 loads")
            for name, url, command in (("demo", base + "index.html", DEMO_COMMAND),
                                       ("16 MB", base + "index.html?game=games/big",
                                        big_command)):
                open_game(driver, url)
                engine, handled, frame, worst = page_turns_ms(driver, command, 100)
                print(f"  {name}: engine {engine:.2f} ms, Enter handled {handled:.2f} ms, reply "
                      f"on screen by the next frame at {frame:.1f} ms (medians; slowest "
                      f"{worst:.1f} ms; 100 turns)")
        finally:
            driver.quit()
            server.shutdown()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

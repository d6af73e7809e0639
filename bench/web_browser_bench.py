#!/usr/bin/python3
"""The web view with real browsers: `vesk --headless --acquire` on the simulated counter at the
full line rate (vesk-sim --time-scale 10, about 94 % of 115200 bit/s), first with no browser
and then with BROWSERS pages of Debian's chromium following it, each for SECONDS.

Figures:
  - latency from a frame's processing to its value in the page: for every L frame, from its
    published record (the datagram the processing thread sends as it writes the record, taken
    by a plain UDP listener on the same machine: the anchor, the same frame through the plain
    network path) to the first update in each page whose frame count includes it, by the
    page's own clock (the same wall clock): median and 95th percentile over frames x pages;
  - the program's CPU (user + system of every thread, from /proc) without browsers and with
    them, as a share of one core, and the same of its user-interface thread alone (where the
    web view does all its work; on a busy machine the steadier figure); the difference is the
    web view's extra CPU. The anchor is the first figure: the program doing the same scan
    without the page, in the same run.

  bench/web_browser_bench.py [--build build] [--seconds 60] [--browsers 4]
Needs chromium, chromium-driver and python3-selenium (scripts/install-deps --browser)."""

import argparse
import json
import os
import socket
import statistics
import sys
import tempfile
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "python"))

from web_support import (CHROMIUM_FLAGS, free_port, start_counter, start_vesk,  # noqa: E402
                         wait_until, write_ini)


def cpu_seconds(path):
    with open(path, encoding="ascii") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_shares(pid, seconds):
    """The share of a core of the whole program, and of its user-interface thread (the main
    thread, where the web view does all its work), over `seconds`."""
    paths = (f"/proc/{pid}/stat", f"/proc/{pid}/task/{pid}/stat")
    before, start = [cpu_seconds(p) for p in paths], time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    return [(cpu_seconds(p) - b) / elapsed * 100 for p, b in zip(paths, before)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--browsers", type=int, default=4)
    args = parser.parse_args()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    with tempfile.TemporaryDirectory() as work:
        os.environ["HOME"] = work
        sim, link = start_counter(os.path.join(args.build, "tools", "vesk-sim"), work, 10)
        port, udp, records = free_port(), free_port(), free_port(socket.SOCK_DGRAM)
        ini = os.path.join(work, "vesk.ini")
        write_ini(ini, os.path.join(work, "data"), link, port, udp)
        with open(ini, "a", encoding="utf-8") as f:
            f.write(f"[Publish]\nEnabled=1\nPort={records}\nCRecords=0\nMRecords=0\n")
        listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        listener.bind(("127.0.0.1", records))
        published = {}  # L frame index: wall-clock ms its record arrived
        listening = True

        def listen():
            listener.settimeout(0.5)
            while listening:
                try:
                    record = json.loads(listener.recv(65536))
                except socket.timeout:
                    continue
                if record["type"] == "L":
                    published[record["l_frame_index"]] = time.time() * 1000
        thread = threading.Thread(target=listen)
        thread.start()
        vesk = start_vesk(os.path.join(args.build, "src", "vesk"), ini, work, simulate=False)
        driver = None
        try:
            if not wait_until(lambda: "scanning" in vesk.last_status(), 20):
                raise SystemExit("the scan did not start: " + vesk.err())
            time.sleep(5)
            alone, ui_alone = cpu_shares(vesk.proc.pid, args.seconds)

            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for flag in CHROMIUM_FLAGS + [f"--user-data-dir={work}/chromium",
                                          "--window-size=1600,1000"]:
                options.add_argument(flag)
            driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
            tabs = []
            for i in range(args.browsers):
                if i:
                    driver.switch_to.new_window("tab")
                driver.get(f"http://127.0.0.1:{port}/")
                tabs.append(driver.current_window_handle)
            for tab in tabs:
                driver.switch_to.window(tab)
                wait_until(lambda: driver.execute_script(
                    "return window.veskLive && window.veskLive.connected"), 15)
            time.sleep(3)
            begin = time.time() * 1000
            followed, ui_followed = cpu_shares(vesk.proc.pid, args.seconds)
            end = time.time() * 1000
            updates = []
            for tab in tabs:
                driver.switch_to.window(tab)
                updates.append(driver.execute_script("return window.veskLive.updates"))
        finally:
            if driver:
                driver.quit()
            vesk.stop()
            sim.stop()
            listening = False
            thread.join()

    latencies = []
    for page in updates:
        page = [u for u in page if u["at"] >= begin]
        for index, at in published.items():
            if not begin <= at <= end - 2000:
                continue
            shown = next((u["at"] for u in page if u["l_frames"] >= index + 1), None)
            if shown is not None:
                latencies.append(shown - at)
    latencies.sort()
    print(f"L frames followed: {len(latencies) // max(1, len(updates))} in each of "
          f"{len(updates)} pages")
    print(f"latency frame -> page: median {statistics.median(latencies):.0f} ms, "
          f"p95 {latencies[int(len(latencies) * 0.95)]:.0f} ms, "
          f"min {latencies[0]:.0f} ms, max {latencies[-1]:.0f} ms")
    print(f"vesk CPU: {alone:.2f} % of a core alone (anchor), {followed:.2f} % with "
          f"{len(updates)} pages: the web view's extra {followed - alone:.2f} %")
    print(f"its user-interface thread: {ui_alone:.2f} % alone, {ui_followed:.2f} % with "
          f"{len(updates)} pages: the web view's extra {ui_followed - ui_alone:.2f} %")


if __name__ == "__main__":
    main()

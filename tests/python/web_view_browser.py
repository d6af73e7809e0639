#!/usr/bin/python3
"""The live page in a real browser (Debian's chromium and chromium-driver, driven by
python3-selenium): it shows a headless simulated scan with its total count growing and the
histogram drawn, says the connection is lost when VESK stops and live again when it comes
back. Exit 77 (skipped) when the browser or Selenium is not installed.

  web_view_browser.py VESK VESK_SIM                       the test
  web_view_browser.py VESK VESK_SIM --screenshots DIR     pictures of the page for the README
                                                          (desktop 1600x1000, phone 390 wide)"""

import os
import shutil
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError as e:
    print(f"skipped: {e}")
    sys.exit(77)
CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
if not CHROMIUM or not DRIVER:
    print("skipped: Debian's chromium and chromium-driver are not installed")
    sys.exit(77)

from web_support import (CHROMIUM_FLAGS, Failures, free_port, remote, start_counter, start_vesk,
                         wait_until, write_ini)

VESK, VESK_SIM = sys.argv[1], sys.argv[2]
SCREENSHOTS = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--screenshots" else None
t = Failures()


def browser(work, width, height, mobile=False):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in CHROMIUM_FLAGS + [f"--user-data-dir={work}/chromium",
                                  f"--window-size={width},{height}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
    return driver


def field(driver, name):
    return driver.find_element(By.CSS_SELECTOR, f'[data-field="{name}"]')


def number(driver, name):
    text = field(driver, name).text.strip()
    return int(text) if text.isdigit() else -1


def connection(driver):
    return field(driver, "connection").get_attribute("data-state")


def histogram_pixels(driver):
    """Pixels of the histogram's canvas in its bars' colour."""
    return driver.execute_script("""
        const c = document.getElementById('histogram');
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let n = 0;
        for (let i = 0; i < d.length; i += 4)
          if (d[i] === 0x15 && d[i + 1] === 0x65 && d[i + 2] === 0xc0) n++;
        return n;""")


def test(work):
    port = free_port()
    ini = os.path.join(work, "vesk.ini")
    write_ini(ini, os.path.join(work, "data"), None, port, free_port())
    vesk = start_vesk(VESK, ini, work)
    driver = browser(work, 1600, 1000)
    try:
        t.check(vesk.says(f"Web view: http://127.0.0.1:{port}/"), "web view started: " + vesk.err())
        driver.get(f"http://127.0.0.1:{port}/")
        t.check(wait_until(lambda: connection(driver) == "live", 15), "the page connects")
        t.check(wait_until(lambda: number(driver, "total_count") > 0, 20), "counts arrive")
        first = number(driver, "total_count")
        t.check(wait_until(lambda: number(driver, "total_count") > first, 10),
                f"total_count grows from {first}")
        t.check(field(driver, "state").text.lower() == "acquiring", "the scan state is shown")
        t.check(wait_until(lambda: histogram_pixels(driver) > 500, 10), "the histogram is drawn")
        for name in ("depth_m", "temperature_degC", "salinity_psu", "flow_speed_m_per_s",
                     "latitude_deg_north", "fix_age_s", "frame_errors", "alarms",
                     "last_remote_command", "time_utc", "profile"):
            t.check(field(driver, name).text.strip() not in ("", "-"), f"{name} is shown")

        # VESK goes away: the page says so; it comes back: the page follows it again.
        t.check(vesk.stop() == 0, "vesk ends cleanly on SIGTERM")
        t.check(wait_until(lambda: connection(driver) == "lost", 10), "the loss is shown")
        t.check("lost" in field(driver, "connection").text, "the loss is said")
        vesk = start_vesk(VESK, ini, work, name="vesk-again")
        t.check(wait_until(lambda: connection(driver) == "live", 20), "the page reconnects")
        t.check("reconnected" in field(driver, "connection").text, "the reconnection is said")
        t.check(wait_until(lambda: number(driver, "total_count") > 0, 20),
                "the new scan's counts arrive")
        t.check(driver.get_log("browser") == [], f"no console message: {driver.get_log('browser')}")
    finally:
        driver.quit()
        vesk.stop()


def screenshots(work, folder):
    """The page of a logging scan ten minutes into a cast (the simulated counter at ten times
    its pace), with a mark and a remote command."""
    sim, link = start_counter(VESK_SIM, work, time_scale=10)
    port, udp = free_port(), free_port()
    ini = os.path.join(work, "vesk.ini")
    write_ini(ini, os.path.join(work, "data"), link, port, udp, nmea=os.path.join(work, "nmea"))
    vesk = start_vesk(VESK, ini, work, args=["--log"], simulate=False)
    try:
        wait_until(lambda: "logging" in vesk.last_status(), 20)
        time.sleep(30)
        remote(udp, 6)
        time.sleep(35)
        for name, width, height, mobile in (("web_desktop.png", 1600, 1000, False),
                                            ("web_phone.png", 390, 844, True)):
            driver = browser(work, width, height, mobile)
            driver.get(f"http://127.0.0.1:{port}/")
            wait_until(lambda: connection(driver) == "live", 15)
            time.sleep(2.5)  # the time series are redrawn once a second
            if mobile:  # the whole page, as the phone scrolls through it
                height = driver.execute_script("return document.documentElement.scrollHeight")
                driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})
                time.sleep(1.5)
            driver.save_screenshot(os.path.join(folder, name))
            driver.quit()
    finally:
        vesk.stop()
        sim.stop()


with tempfile.TemporaryDirectory() as work:
    os.environ["HOME"] = work
    if SCREENSHOTS:
        screenshots(work, SCREENSHOTS)
        sys.exit(0)
    test(work)
t.exit()

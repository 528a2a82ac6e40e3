#!/usr/bin/env python3
"""The stamping page of `stampctl serve`, driven in a real headless Chromium on the simulated
machine: token, photo, zoom, click, stamp, and the impression found in the next photo where the
page was clicked.

    page_test.py STAMPCTL WWW [--screenshot FILE]

WWW is the page's directory (serve/www of the source tree).

Exits 77 (ctest's skip code) with a message where Chromium, its driver or Selenium is missing.
With --screenshot it saves the page after the stamp (scripts/screenshot.sh --page uses this).
"""

import argparse
import json
import math
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SKIP = 77

# Where the test clicks, in cut-picture pixels: on the printed letter, well inside the sheet, away
# from the picture's centre so that a click mapped with the wrong zoom or scroll lands elsewhere.
TARGET = (1850, 700)
# Zoom-in steps before the click: the picture is then shown larger than it is, and scrolled.
ZOOM_STEPS = 6
# The simulated seal is 40 mm across, about 370 pixels of the cut picture.
WINDOW = 260
# How far the impression's centre may lie from the click: the simulated machine's fresh
# calibration places a seal within a few millimetres (about 9.2 pixels each).
TOLERANCE_PX = 40
DARK, LIGHT = 100, 150

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--window-size=1400,900", "--lang=zh-CN",
]


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def browser_tools():
    try:
        from selenium import webdriver  # noqa: F401
    except ImportError:
        skip("python3-selenium is not installed (scripts/setup.sh installs it)")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver")
    if not chromium or not driver:
        skip("chromium and chromium-driver are not installed (scripts/setup.sh installs them)")
    return chromium, driver


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_token(stampctl, env):
    out = subprocess.run([stampctl, "--json", "token", "add", "page-test", "--role", "operator"], env=env,
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)["data"]["token"]


def wait_for_service(base, token, service, deadline=30):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        if service.poll() is not None:
            raise AssertionError("stampctl serve ended with status %d" % service.returncode)
        try:
            request = urllib.request.Request(base + "/v1/status", headers={"Authorization": "Bearer " + token})
            with urllib.request.urlopen(request, timeout=2):
                return
        except urllib.error.HTTPError:
            return  # answering, if not (yet) connected
        except OSError:
            time.sleep(0.2)
    raise AssertionError("stampctl serve did not answer within %d s" % deadline)


# Grey levels of the picture on show around a pixel, read back through a canvas: the photo is a
# blob URL of this page's own origin, so the canvas may be read.
READ_WINDOW = """
const [x0, y0, w, h] = arguments;
const img = document.getElementById('photo');
const canvas = document.createElement('canvas');
canvas.width = w; canvas.height = h;
const g = canvas.getContext('2d');
g.drawImage(img, x0, y0, w, h, 0, 0, w, h);
const rgba = g.getImageData(0, 0, w, h).data;
const grey = [];
for (let i = 0; i < rgba.length; i += 4) grey.push(Math.round((rgba[i] + rgba[i + 1] + rgba[i + 2]) / 3));
return grey;
"""


def read_window(driver, centre):
    x0, y0 = centre[0] - WINDOW, centre[1] - WINDOW
    size = 2 * WINDOW
    return driver.execute_script(READ_WINDOW, x0, y0, size, size), (x0, y0, size)


def impression_centre(before, after, origin):
    """The centre of the pixels that turned dark between the two pictures."""
    x0, y0, size = origin
    xs, ys = [], []
    for i, (b, a) in enumerate(zip(before, after)):
        if b > LIGHT and a < DARK:
            xs.append(x0 + i % size)
            ys.append(y0 + i // size)
    if len(xs) < 500:
        raise AssertionError("no impression near the click: %d pixels turned dark" % len(xs))
    return sum(xs) / len(xs), sum(ys) / len(ys)


def run(stampctl, www, screenshot):
    chromium, chromedriver = browser_tools()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    work = tempfile.mkdtemp(prefix="stampctl-page-")
    base_dir = os.path.join(work, "files")
    for sub in ("log", "cut"):
        os.makedirs(os.path.join(base_dir, sub))
    env = dict(os.environ, STAMPCTL_BASE_DIR=base_dir)
    token = make_token(stampctl, env)
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    service = subprocess.Popen([stampctl, "serve", "--simulator", "--listen", "127.0.0.1:%d" % port, "--www", www],
                               env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "serve.err"), "w"))
    driver = None
    try:
        wait_for_service(base, token, service)
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        options.add_argument("--user-data-dir=" + os.path.join(work, "chromium"))
        driver = webdriver.Chrome(service=Service(chromedriver), options=options)
        driver.set_window_size(1400, 900)
        wait = WebDriverWait(driver, 60)
        by_id = lambda name: driver.find_element(By.ID, name)  # noqa: E731

        # A wrong token is refused and asked for again; the right one opens the desk.
        driver.get(base + "/")
        wait.until(lambda d: by_id("login").is_displayed())
        assert not by_id("desk").is_displayed()
        by_id("token").send_keys("not-a-token\n")
        wait.until(lambda d: "令牌无效" in by_id("login-error").text)
        by_id("token").send_keys(token + "\n")
        wait.until(lambda d: by_id("desk").is_displayed())
        wait.until(lambda d: by_id("st-connected").text == "已连接")
        assert driver.execute_script("return sessionStorage.getItem('stampctl.token')") == token
        # Once per browser session: a reload goes straight to the desk.
        driver.refresh()
        wait.until(lambda d: by_id("st-connected").text == "已连接")
        assert not by_id("login").is_displayed()

        def outcome(timeout=60):
            """The message once the photo or stamp under way has ended, well or not."""
            WebDriverWait(driver, timeout).until(lambda d: not by_id("take-photo").get_attribute("disabled"))
            return by_id("message").text

        by_id("take-photo").click()
        assert outcome().startswith("拍照完成"), by_id("message").text
        size = driver.execute_script("const i = document.getElementById('photo'); return [i.naturalWidth, i.naturalHeight];")
        assert size[0] > TARGET[0] + WINDOW and size[1] > TARGET[1] + WINDOW, size

        # Zoomed in, with the target scrolled to an off-centre place of the view.
        for _ in range(ZOOM_STEPS):
            by_id("zoom-in").click()
        driver.execute_script("""
            const view = document.getElementById('view'), img = document.getElementById('photo');
            const scale = img.getBoundingClientRect().width / img.naturalWidth;
            view.scrollLeft = arguments[0] * scale - view.clientWidth / 3;
            view.scrollTop = arguments[1] * scale - view.clientHeight / 3;""", *TARGET)
        rect = driver.execute_script("return document.getElementById('photo').getBoundingClientRect().toJSON();")
        scale = rect["width"] / size[0]
        assert scale > 1, "the page did not zoom in: %.3f" % scale
        # The pointer goes to the middle of the target pixel, in whole CSS pixels of the viewport.
        cx = math.floor(rect["left"] + (TARGET[0] + 0.5) * scale)
        cy = math.floor(rect["top"] + (TARGET[1] + 0.5) * scale)
        expected = (math.floor((cx - rect["left"]) / scale), math.floor((cy - rect["top"]) / scale))
        assert max(abs(expected[0] - TARGET[0]), abs(expected[1] - TARGET[1])) <= 1, expected
        actions = ActionChains(driver)
        actions.w3c_actions.pointer_action.move_to_location(cx, cy)
        actions.w3c_actions.pointer_action.click()
        actions.perform()
        wait.until(lambda d: by_id("verdict").text.startswith("x:"))
        assert by_id("verdict").text.startswith("x:%d, y:%d" % expected), by_id("verdict").text
        cross = by_id("cross").rect
        assert abs(cross["x"] + cross["width"] / 2 - cx) <= 1.5 and abs(cross["y"] + cross["height"] / 2 - cy) <= 1.5, cross
        wait.until(lambda d: "盖章区域" in by_id("verdict").text)

        before, origin = read_window(driver, expected)
        driver.find_element(By.CSS_SELECTOR, "input[name=seal][value='2']").click()
        driver.find_element(By.CSS_SELECTOR, "input[name=angle][value='90']").click()
        by_id("stamp").click()
        assert outcome(150) == "用印成功", by_id("message").text
        after, _ = read_window(driver, expected)
        centre = impression_centre(before, after, origin)
        distance = math.hypot(centre[0] - expected[0], centre[1] - expected[1])
        print("clicked pixel %s, impression centre (%.1f, %.1f), %.1f px apart" % (expected, *centre, distance))
        assert distance <= TOLERANCE_PX, "the impression lies %.1f px from the click" % distance

        # The stamp's progress came through the event stream.
        events = by_id("events").text
        assert "盖章" in events or "stamp" in events, events

        if screenshot:
            by_id("zoom-fit").click()
            time.sleep(0.3)
            driver.save_screenshot(screenshot)
            print("saved " + screenshot)
    finally:
        if driver is not None:
            driver.quit()
        service.terminate()
        try:
            service.wait(timeout=10)
        except subprocess.TimeoutExpired:
            service.kill()
            service.wait()
        with open(os.path.join(work, "serve.err")) as err:
            text = err.read()
            if text:
                sys.stderr.write("stampctl serve said:\n" + text)
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("stampctl")
    parser.add_argument("www")
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    run(args.stampctl, os.path.abspath(args.www), args.screenshot and os.path.abspath(args.screenshot))
    print("page test passed")


if __name__ == "__main__":
    main()

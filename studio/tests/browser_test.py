#!/usr/bin/python3
"""The studio's page in headless Chromium, each scenario going the whole way:
page -> server -> preferences file -> notification -> extension -> preview pixels.

    browser_test.py --studio BIN --prefs PREFSBIN --sim SIMBIN --demo-root DIR [--screenshot PNG]
"""
import argparse
import base64
import json
import os
import plistlib
import re
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

PREFS_FILE = "var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist"
BAND = (780, 90)  # the pills band, 2 pixels a point
PHONE = (780, 1688)  # the whole 390 x 844 screen at 2 pixels a point, the band at its bottom
STATIC_MIDDLE = (214, 69)  # middle of the static pill's colour view, in the band
LUMA_MIDDLE = (566, 69)
RED, BLUE = (255, 0, 0), (0, 0, 255)
STATIC_GREY, LUMA_GREY = (235, 235, 235), (217, 217, 217)
BOUND = 15.0

# Reads one pixel of the enlarged band and the same one of the phone, as the page drew them.
READ_PIXEL_JS = """
const band = document.getElementById('band'), phone = document.getElementById('phone');
if (!document.getElementById('stage').dataset.drawn) return null;
const read = (canvas, x, y) => Array.from(canvas.getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3));
const [x, y] = arguments;
return [band.width, band.height, phone.width, phone.height, ...read(band, x, y), ...read(phone, x, phone.height - band.height + y)];
"""


class Failure(Exception):
    pass


def wait_for(what, read, ok, bound=BOUND, every=0.05, never=None):
    """Polls read() until ok(value); returns (value, seconds taken) or fails after bound seconds,
    or at once on a value for which never(value) holds."""
    start = time.monotonic()
    while True:
        value = read()
        if ok(value):
            return value, time.monotonic() - start
        if never is not None and never(value):
            raise Failure(f"{what}: saw {value!r}")
        if time.monotonic() - start > bound:
            raise Failure(f"{what}: not within {bound:g} s (last seen: {value!r})")
        time.sleep(every)


def near(rgb, target, tolerance):
    return rgb is not None and all(abs(a - b) <= tolerance for a, b in zip(rgb, target))


def off_red_blue_fade(rgb):
    # A fade from red to blue mixes the two: no green, red + blue about 255. A hue cycle
    # (the Wave style, left running when a respring is lost) passes magenta or green.
    return rgb is not None and (rgb[1] > 40 or abs(rgb[0] + rgb[2] - 255) > 40)


class Studio:
    def __init__(self, binary, root, log):
        self.log = log
        self.process = subprocess.Popen([binary, "--root", root, "--port", "0"],
                                        stdout=subprocess.PIPE, stderr=log, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 30)
        line = self.process.stdout.readline() if ready else ""
        match = re.search(r"serving (http://\S+/)", line)
        if not match:
            raise Failure(f"studio printed no address line within 30 s (got {line!r})")
        self.url = match.group(1)
        # Keeps reading so a chatty server never blocks on a full pipe.
        threading.Thread(target=self.process.stdout.read, daemon=True).start()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise Failure("studio did not stop within 15 s of SIGTERM")


class Page:
    def __init__(self, url):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,800"):
            options.add_argument(flag)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_page_load_timeout(60)
        self.driver.get(url)

    def control(self, key):
        return self.driver.find_element(By.NAME, key)

    def type_into(self, key, text):
        field = self.control(key)
        field.click()
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text, Keys.ENTER)

    def slide(self, key, value):
        # A range input has no keystroke for "go to 1": set it and fire what a drag fires.
        self.driver.execute_script(
            "const s = arguments[0]; s.value = arguments[1];"
            "s.dispatchEvent(new Event('input', {bubbles: true}));"
            "s.dispatchEvent(new Event('change', {bubbles: true}));",
            self.control(key), str(value))

    def respring(self):
        status = self.driver.find_element(By.ID, "status")
        before = status.text
        self.driver.find_element(By.ID, "respring").click()
        # Sampling starts once the server has made the new pills, not while the old ones run on.
        wait_for("page reporting the respring", lambda: status.text,
                 lambda text: text != before and text.startswith("Respring"))

    def note(self, key):
        return self.driver.find_element(By.CSS_SELECTOR, f'.row[data-key="{key}"] .reads').text

    def message(self):
        element = self.driver.find_element(By.ID, "message")
        return element.text if element.is_displayed() else ""

    def pixel(self, x, y):
        values = self.driver.execute_script(READ_PIXEL_JS, x, y)
        if values is None:
            return None
        if tuple(values[:4]) != BAND + PHONE:
            raise Failure(f"band {values[0]} x {values[1]} and phone {values[2]} x {values[3]}, not {BAND} and {PHONE}")
        if values[4:7] != values[7:10]:
            raise Failure(f"the band shows {values[4:7]} where the phone shows {values[7:10]}")
        return tuple(values[4:7])

    def quit(self):
        self.driver.quit()


def read_prefs(path):
    try:
        with open(path, "rb") as handle:
            return plistlib.load(handle)
    except (OSError, plistlib.InvalidFileException):
        return None


def scenarios(page, prefs_path, prefs_binary, root):
    # The form is made from the first answer of the API: wait for it.
    wait_for("enabled checkbox checked from the demo root's file",
             lambda: [box.is_selected() for box in page.driver.find_elements(By.NAME, "enabled")], lambda seen: seen == [True])
    with urllib.request.urlopen(page.driver.current_url + "api/settings", timeout=10) as answer:
        keys = json.load(answer)["keys"]
    missing = [entry["key"] for entry in keys if len(page.driver.find_elements(By.NAME, entry["key"])) != 1]
    if missing:
        raise Failure(f"no control (or more than one) named {missing}")
    unset = [entry for entry in keys if entry["file"] is None]
    for entry in unset:  # each at what the extension starts with; a colour at its fallback
        control = page.control(entry["key"])
        if entry["kind"] == "color":
            shows, wanted, says = control.get_attribute("placeholder"), entry["fallback"], "fallback"
        elif entry["kind"] == "flag":
            shows, wanted, says = control.is_selected(), entry["initial"], "starts at"
        else:
            value = control.get_attribute("value")
            shows = float(value) if entry["kind"] == "number" else value
            wanted, says = entry["initial"], "starts at"
        if shows != wanted or says not in page.note(entry["key"]):
            raise Failure(f"unset {entry['key']} shows {shows!r} ({page.note(entry['key'])!r}), not {wanted!r}")
    wait_for("wave step shown as 0.05", lambda: page.driver.find_element(
        By.CSS_SELECTOR, '.row[data-key="waveAnimationSpeed"] output').text, lambda text: text == "0.05")
    print(f"PASS 1 open: the enabled checkbox is checked, as the file says; a control for each of the {len(keys)} keys; "
          f"the {len(unset)} unset ones at the extension's values")

    Select(page.control("style")).select_by_value("Fade")
    page.type_into("fadeColor1", "#FF0000")
    page.type_into("fadeColor2", "#0000FF")
    page.slide("fadeSpeed", 1)
    wanted = {"style": "Fade", "fadeColor1": "#FF0000", "fadeColor2": "#0000FF", "fadeSpeed": 1}
    wait_for("file holding the Fade settings", lambda: read_prefs(prefs_path),
             lambda d: d is not None and all(d.get(k) == v for k, v in wanted.items()))
    page.respring()
    _, to_red = wait_for("static pill red", lambda: page.pixel(*STATIC_MIDDLE), lambda p: near(p, RED, 40))
    _, to_blue = wait_for("static pill fading from red to blue", lambda: page.pixel(*STATIC_MIDDLE),
                          lambda p: near(p, BLUE, 40), never=off_red_blue_fade)
    print(f"PASS 2 Fade #FF0000 -> #0000FF, 1 s, respring: file holds them; pill red after {to_red:.2f} s, "
          f"then blue after {to_blue:.2f} s")

    page.control("enabled").click()
    wait_for("file with enabled false", lambda: read_prefs(prefs_path),
             lambda d: d is not None and d.get("enabled") is False)
    page.respring()
    wait_for("static pill its own grey", lambda: page.pixel(*STATIC_MIDDLE), lambda p: near(p, STATIC_GREY, 12))
    wait_for("luma pill its own grey", lambda: page.pixel(*LUMA_MIDDLE), lambda p: near(p, LUMA_GREY, 12))
    print("PASS 3 master switch off, respring: both pills show their own grey")

    with open(prefs_path, "rb") as handle:
        before = handle.read()
    page.type_into("fadeColor1", "#12")
    shown, _ = wait_for("message naming fadeColor1", page.message, lambda text: "fadeColor1" in text)
    with open(prefs_path, "rb") as handle:
        if handle.read() != before:
            raise Failure("the refused colour changed the file")
    wait_for("fadeColor1 restored from the file", lambda: page.control("fadeColor1").get_attribute("value"),
             lambda value: value == "#FF0000")
    print(f"PASS 4 '#12' refused: page says {shown!r}; file unchanged; control restored")

    if Select(page.control("style")).first_selected_option.get_attribute("value") == "Static":
        raise Failure("style already shows Static before the other program writes it")
    subprocess.run([prefs_binary, "--root", root, "write", "style", "-string", "Static"], check=True, timeout=30)
    _, latency = wait_for("style control following the other program's write",
                          lambda: Select(page.control("style")).first_selected_option.get_attribute("value"),
                          lambda value: value == "Static", bound=5.0, every=0.01)
    subprocess.run([prefs_binary, "--root", root, "delete", "fadeSpeed"], check=True, timeout=30)
    kept = "not set: the extension keeps 1.0 s, its last value read"
    wait_for("fadeSpeed showing the value the extension kept", lambda: (page.note("fadeSpeed"), page.control("fadeSpeed").get_attribute("value")),
             lambda seen: seen == (kept, "1"))
    print(f"PASS 5 auroraribbon-prefs writes style Static: the page shows it {latency * 1000:.0f} ms later; "
          f"it deletes fadeSpeed: the page shows {kept!r}")


def time_now(page):
    with urllib.request.urlopen(page.driver.current_url + "api/time", timeout=10) as answer:
        return json.load(answer)


def drawn(page):
    return int(page.driver.find_element(By.ID, "stage").get_attribute("data-drawn") or 0)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat_file:
        fields = stat_file.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def time_pause_stops_frames(page, prefs_binary, root, pid):
    for key, kind, value in (("enabled", "-bool", "true"), ("style", "-string", "Fade"), ("fadeColor1", "-string", "#FF0000"),
                             ("fadeColor2", "-string", "#0000FF"), ("fadeSpeed", "-float", "4")):
        subprocess.run([prefs_binary, "--root", root, "write", key, kind, value], check=True, timeout=30)
    wait_for("style control showing Fade", lambda: Select(page.control("style")).first_selected_option.get_attribute("value"),
             lambda value: value == "Fade")
    page.respring()
    start = drawn(page)
    wait_for("pictures arriving while the fade plays", lambda: drawn(page), lambda n: n > start + 5)
    page.driver.find_element(By.ID, "time-play").click()
    wait_for("the page showing Play once paused", lambda: page.driver.find_element(By.ID, "time-play").text, lambda text: text == "Play")
    paused_at = time_now(page)
    if not paused_at["paused"]:
        raise Failure(f"GET /api/time after Pause: {paused_at}")
    # Pictures sent before the pause may still be on their way (a sanitized build is slow): let them land.
    last = [drawn(page)]
    wait_for("the pictures sent before the pause landed", lambda: last.append(drawn(page)) or last[-2:],
             lambda pair: pair[0] == pair[1], every=0.5)
    before, cpu_before = drawn(page), cpu_seconds(pid)
    time.sleep(2)  # a span in which a playing fade sends 60 pictures
    after, cpu_after, still = drawn(page), cpu_seconds(pid), time_now(page)
    if after > before + 1 or still["t"] != paused_at["t"]:
        raise Failure(f"paused, yet {after - before} pictures came in 2 s and t went {paused_at['t']} -> {still['t']}")
    cpu = (cpu_after - cpu_before) / 2 * 100
    print(f"PASS 6 Pause: t holds at {still['t']:.3f} s; {after - before} picture(s) in the next 2 s "
          f"(the instant paused at); the studio used {cpu:.1f} % of a processor meanwhile")


def time_step_is_one_picture(page):
    first = time_now(page)["t"]
    for _ in range(2):
        before, t = drawn(page), time_now(page)["t"]
        page.driver.find_element(By.ID, "time-step").click()
        wait_for("t one picture on", lambda: time_now(page)["t"], lambda now: abs(now - (t + 1 / 30)) < 1e-6)
        wait_for("the step's one picture", lambda: drawn(page), lambda n: n == before + 1, never=lambda n: n > before + 1)
    time.sleep(0.5)
    if drawn(page) != before + 1:
        raise Failure(f"a step sent {drawn(page) - before} pictures")
    print(f"PASS 7 Step, twice: t {first:.4f} -> {time_now(page)['t']:.4f} s, one picture each")


# The page's phone beside the simulator's PNG, as the browser decodes both; rows [skipFrom, skipTo) left out.
COMPARE_JS = """
const [data, skipFrom, skipTo, done] = arguments;
const image = new Image();
image.onerror = () => done(-2);
image.onload = () => {
  const phone = document.getElementById('phone');
  if (image.width !== phone.width || image.height !== phone.height) return done(-1);
  const canvas = document.createElement('canvas');
  canvas.width = image.width;
  canvas.height = image.height;
  const context = canvas.getContext('2d');
  context.drawImage(image, 0, 0);
  const a = context.getImageData(0, 0, canvas.width, canvas.height).data;
  const b = phone.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  let differing = 0;
  for (let i = 0; i < a.length; i += 4) {
    const y = Math.floor(i / 4 / canvas.width);
    if (y >= skipFrom && y < skipTo) continue;
    if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) ++differing;
  }
  done(differing);
};
image.src = 'data:image/png;base64,' + data;
"""


def time_scrub_matches_simulator(page, sim_binary, root, temp):
    # As a drag ends there: the timeline is a range input.
    page.driver.execute_script(
        "const s = document.getElementById('time-t'); s.value = '2.5';"
        "s.dispatchEvent(new Event('input', {bubbles: true})); s.dispatchEvent(new Event('change', {bubbles: true}));")
    wait_for("t at 2.5 s, paused", lambda: time_now(page), lambda now: now["t"] == 2.5 and now["paused"])
    png = os.path.join(temp, "sim-2.5.png")
    subprocess.run([sim_binary, "--root", root, "--png", png, "--at", "2.5", "--scale", "2"], check=True, timeout=60,
                   stdout=subprocess.DEVNULL)
    with open(png, "rb") as handle:
        data = base64.b64encode(handle.read()).decode()
    band_top = PHONE[1] - BAND[1]
    labels = (band_top, band_top + 64)  # the simulator names the pills above them; the phone does not
    differing, _ = wait_for("the page's phone matching the simulator's picture at 2.5 s",
                            lambda: page.driver.execute_async_script(COMPARE_JS, data, *labels), lambda n: n == 0)
    mid = page.pixel(*STATIC_MIDDLE)
    if near(mid, RED, 40) or near(mid, BLUE, 40):
        raise Failure(f"at 2.5 s into a 4 s fade the pill shows {mid}, not a colour part way")
    print(f"PASS 8 scrub to 2.5 s: the page's {PHONE[0]} x {PHONE[1]} phone is the simulator's --png --at 2.5 --scale 2 "
          f"pixel for pixel (its label rows aside); the static pill shows {mid}")


def cost_card_shows_every_style(page):
    looks = ["Current", "Wave", "Spectrum", "Fade", "Breathing", "Static"]

    def disagreement():
        """What the card shows that the API's finished measurement does not say, or None."""
        with urllib.request.urlopen(page.driver.current_url + "api/cost", timeout=10) as answer:
            cost = json.load(answer)
        columns = [th.text for th in page.driver.find_elements(By.CSS_SELECTOR, "#cost-table tr:first-child th[scope=col]")]
        if not cost.get("ready") or "current" not in cost or columns != looks:
            return f"measuring, or the card shows {columns}"
        shown = {row.find_element(By.TAG_NAME, "th").text: [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
                 for row in page.driver.find_elements(By.CSS_SELECTOR, "#cost-table tr")[1:]}
        for index, pill in enumerate(cost["current"]["pills"]):
            wakeups = shown.get(f"Timer wake-ups ({pill['pill']})", [])
            wanted = [round(float(look["pills"][index]["perSecond"]["timerFires"]), 2)
                      for look in [cost["current"], *cost["styles"]]]
            if [round(float(text), 2) for text in wakeups] != wanted:
                return f"{pill['pill']}: the card shows {wakeups} wake-ups a second, the API {wanted}"
        return None

    wait_for("the cost card showing what the API measured", disagreement, lambda seen: seen is None, bound=60)
    wakeups = [cell.text for cell in page.driver.find_elements(By.CSS_SELECTOR, "#cost-table tr:nth-child(2) td")]
    if float(wakeups[looks.index("Static")]) != 0 or float(wakeups[looks.index("Wave")]) <= 0:
        raise Failure(f"wake-ups a second: {dict(zip(looks, wakeups))}")
    print(f"PASS 9 cost: the card shows {', '.join(looks[1:])} beside the current look, as the API measured them; "
          f"Static wakes nothing, Wave {wakeups[looks.index('Wave')]} times a second per pill")


def record_downloads_a_gif(page, temp):
    downloads = os.path.join(temp, "downloads")
    os.mkdir(downloads)
    page.driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    Select(page.driver.find_element(By.ID, "record-view")).select_by_value("band")
    page.driver.find_element(By.ID, "record").click()
    gifs, _ = wait_for("the recording downloaded", lambda: [name for name in os.listdir(downloads) if name.endswith(".gif")],
                       lambda names: len(names) == 1, bound=120)
    with open(os.path.join(downloads, gifs[0]), "rb") as handle:
        head = handle.read(6)
    progress = page.driver.find_element(By.ID, "record-progress")
    if head != b"GIF89a" or progress.get_attribute("value") != progress.get_attribute("max"):
        raise Failure(f"{gifs[0]} begins {head!r}; progress {progress.get_attribute('value')} of {progress.get_attribute('max')}")
    print(f"PASS 10 record: the page downloaded {gifs[0]}, a GIF, with its progress full")
def looks_folder(temp):
    return os.path.join(temp, "data", "auroraribbon", "looks")


def studio_get(page, path):
    """A GET as the page's own download link makes it: (headers, bytes)."""
    with urllib.request.urlopen(page.driver.current_url.split("#")[0] + path.lstrip("/"), timeout=10) as answer:
        return answer.headers, answer.read()


def sim_png(sim, root, png):
    subprocess.run([sim, "--root", root, "--png", png, "--at", "2.5"], check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(png, "rb") as handle:
        return handle.read()


def download_road(page, root, demo_root, sim, temp):
    prefs_path = os.path.join(root, PREFS_FILE)
    # Coloured pills, so that another file would draw other ones.
    if not page.control("enabled").is_selected():
        page.control("enabled").click()
    Select(page.control("style")).select_by_value("Fade")
    wait_for("file holding a Fade, switched on", lambda: read_prefs(prefs_path),
             lambda d: d is not None and d.get("enabled") is True and d.get("style") == "Fade")
    link = page.driver.find_element(By.ID, "download")
    wait_for("the device path on the page", lambda: page.driver.find_element(By.ID, "device-path").text,
             lambda text: text == "/" + PREFS_FILE)
    headers, body = studio_get(page, link.get_attribute("href").split("/", 3)[3])
    name = os.path.basename(PREFS_FILE)
    if not body.startswith(b"bplist00") or headers["Content-Disposition"] != f'attachment; filename="{name}"':
        raise Failure(f"download: {headers['Content-Disposition']!r}, starting {body[:8]!r}")
    if plistlib.loads(body) != read_prefs(prefs_path):
        raise Failure("the downloaded file holds another dictionary than the studio's")
    _, xml = studio_get(page, page.driver.find_element(By.ID, "download-xml").get_attribute("href").split("/", 3)[3])
    if not xml.startswith(b"<?xml") or plistlib.loads(xml) != plistlib.loads(body):
        raise Failure("the XML download differs from the binary one")
    # The same pills on another device root holding the download as on a copy of the studio's.
    other, same = os.path.join(temp, "other-root"), os.path.join(temp, "same-root")
    shutil.copytree(demo_root, other, symlinks=True, ignore=sockets_in)
    shutil.copytree(root, same, symlinks=True, ignore=sockets_in)
    demo_png = sim_png(sim, other, os.path.join(temp, "demo.png"))
    with open(os.path.join(other, PREFS_FILE), "wb") as handle:
        handle.write(body)
    same_png = sim_png(sim, same, os.path.join(temp, "same.png"))
    if sim_png(sim, other, os.path.join(temp, "other.png")) != same_png:
        raise Failure("auroraribbon-sim draws other pills from the downloaded file than from the studio's")
    if demo_png == same_png:
        raise Failure("the demo root's own file draws the same pills: the comparison tells nothing")
    print(f"PASS 11 download: {len(body)} bytes of binary plist named {name}, the studio's dictionary (XML too); "
          "auroraribbon-sim draws the same PNG at 2.5 s from it in another root")


def bad_file_road(page, prefs_path, temp):
    bad = os.path.join(temp, "bad.plist")
    with open(bad, "wb") as handle:
        plistlib.dump(["Fade"], handle)
    with open(prefs_path, "rb") as handle:
        before = handle.read()
    page.driver.find_element(By.ID, "phone-file-input").send_keys(bad)
    said, _ = wait_for("the bad file refused", lambda: page.driver.find_element(By.ID, "files-message").text,
                       lambda text: "refused" in text)
    with open(prefs_path, "rb") as handle:
        if handle.read() != before:
            raise Failure("a refused file changed the preferences file")
    if page.driver.find_element(By.ID, "proposal").is_displayed():
        raise Failure("a refused file was offered")
    print(f"PASS 12 a file with an array at its root: {said!r}; the preferences file unchanged")


def look_items(page):
    return [item.get_attribute("data-look") for item in page.driver.find_elements(By.CSS_SELECTOR, "#look-list li")]


def looks_road(page, prefs_path, temp):
    Select(page.control("style")).select_by_value("Spectrum")
    wait_for("file holding Spectrum", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Spectrum")
    page.type_into("look-name", "Night sky")
    wait_for("the look listed", lambda: look_items(page), lambda names: names == ["Night sky"])
    if not os.path.isfile(os.path.join(looks_folder(temp), "Night sky.plist")):
        raise Failure("the look is not in the test's own looks folder")
    page.type_into("look-name", "../escape")
    wait_for("a bad name refused", lambda: page.driver.find_element(By.ID, "files-message").text, lambda text: "name" in text)
    Select(page.control("style")).select_by_value("Static")
    wait_for("file holding Static", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Static")
    page.driver.find_element(By.CSS_SELECTOR, '#look-list li[data-look="Night sky"] button').click()  # Apply
    wait_for("the look applied", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Spectrum")
    wait_for("the style control following", lambda: Select(page.control("style")).first_selected_option.get_attribute("value"),
             lambda value: value == "Spectrum")
    if os.listdir(looks_folder(temp)) != ["Night sky.plist"]:
        raise Failure(f"the looks folder holds {os.listdir(looks_folder(temp))}")
    print("PASS 13 a look saved as 'Night sky' (a file in the test's looks folder; '../escape' refused), applied after a change")


def offered_look(page):
    if not page.driver.find_element(By.ID, "proposal").is_displayed():
        return None
    return [row.text for row in page.driver.find_elements(By.CSS_SELECTOR, "#proposal tbody tr")]


def link_road(page, prefs_path):
    Select(page.control("style")).select_by_value("Breathing")
    wait_for("file holding Breathing", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Breathing")
    link = page.driver.find_element(By.CSS_SELECTOR, '#look-list li[data-look="Night sky"] a').get_attribute("href")
    page.driver.get(link)
    rows, _ = wait_for("the linked look offered", lambda: offered_look(page), lambda rows: rows and any("style" in row for row in rows))
    if read_prefs(prefs_path).get("style") != "Breathing":
        raise Failure("the linked look was written before it was confirmed")
    page.driver.find_element(By.ID, "proposal-apply").click()
    wait_for("the linked look applied", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Spectrum")
    # The page says so once the answer is in; a link opened before that would have its refusal overwritten.
    wait_for("the page saying it applied", lambda: page.driver.find_element(By.ID, "files-message").text, lambda text: text == "Applied.")
    page.driver.get(link.split("#")[0] + "#look=!!not-a-look")
    said, _ = wait_for("a bad link refused", lambda: page.driver.find_element(By.ID, "files-message").text, lambda text: "refused" in text)
    print(f"PASS 14 the look's link, opened after a change, offers {len(rows)} changes and writes them on Apply; a bad link: {said!r}")
    return link


def fresh_studio_road(binary, demo_root, link, temp, log):
    """Looks survive a restart: a new studio on another root lists the look, and its link offers it there."""
    root = os.path.join(temp, "fresh-root")
    shutil.copytree(demo_root, root, symlinks=True, ignore=sockets_in)
    studio = Studio(binary, root, log)
    page = None
    try:
        page = Page(studio.url + "#look=" + link.split("#look=")[1])
        rows, _ = wait_for("the look offered on a fresh studio", lambda: offered_look(page), lambda rows: rows and any("style" in row for row in rows))
        wait_for("the look listed on a fresh studio", lambda: look_items(page), lambda names: names == ["Night sky"])
        prefs_path = os.path.join(root, PREFS_FILE)
        page.driver.find_element(By.ID, "proposal-apply").click()
        wait_for("the look applied on a fresh studio", lambda: read_prefs(prefs_path), lambda d: d is not None and d.get("style") == "Spectrum")
        print(f"PASS 15 a fresh studio lists the look and its link offers {len(rows)} changes, written on Apply")
    finally:
        if page is not None:
            page.quit()
        studio.stop()


def sockets_in(folder, names):
    """For copytree: a process's notification socket is no file to copy."""
    return [name for name in names if stat.S_ISSOCK(os.lstat(os.path.join(folder, name)).st_mode)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--studio", required=True)
    parser.add_argument("--prefs", required=True)
    parser.add_argument("--demo-root", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--screenshot", help="save the page as a PNG at the end")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="studio-browser-") as temp:
        root = os.path.join(temp, "root")
        shutil.copytree(args.demo_root, root, symlinks=True, ignore=sockets_in)
        log_path = os.path.join(temp, "studio.log")
        os.environ["XDG_DATA_HOME"] = os.path.join(temp, "data")  # the studios' looks, in the test's own folder
        studio = page = None
        try:
            with open(log_path, "w") as log:
                studio = Studio(args.studio, root, log)
                page = Page(studio.url)
                prefs_path = os.path.join(root, PREFS_FILE)
                scenarios(page, prefs_path, args.prefs, root)
                time_pause_stops_frames(page, args.prefs, root, studio.process.pid)
                time_step_is_one_picture(page)
                time_scrub_matches_simulator(page, args.sim, root, temp)
                cost_card_shows_every_style(page)
                record_downloads_a_gif(page, temp)
                download_road(page, root, args.demo_root, args.sim, temp)
                bad_file_road(page, prefs_path, temp)
                looks_road(page, prefs_path, temp)
                link = link_road(page, prefs_path)
                fresh_studio_road(args.studio, args.demo_root, link, temp, log)
                if args.screenshot:
                    page.driver.save_screenshot(args.screenshot)
                page.quit()
                page = None
                status = studio.stop()
                studio = None
                if status != 0:
                    raise Failure(f"studio exited with status {status} after SIGTERM")
                print("PASS studio stopped by SIGTERM with status 0")
        except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as failure:
            print(f"FAIL {failure}", file=sys.stderr)
            with open(log_path) as log:
                tail = log.read()[-2000:]
            if tail:
                print(f"studio's standard error ends:\n{tail}", file=sys.stderr)
            return 1
        finally:
            if page is not None:
                page.quit()
            if studio is not None:
                studio.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())

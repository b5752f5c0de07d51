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
        if entry["kind"] == "colour":
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
    wait_for("the cost card's columns", lambda: [th.text for th in page.driver.find_elements(
        By.CSS_SELECTOR, "#cost-table tr:first-child th[scope=col]")], lambda names: names == looks)
    with urllib.request.urlopen(page.driver.current_url + "api/cost", timeout=10) as answer:
        cost = json.load(answer)
    shown = {row.find_element(By.TAG_NAME, "th").text: [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
             for row in page.driver.find_elements(By.CSS_SELECTOR, "#cost-table tr")[1:]}
    for index, pill in enumerate(cost["current"]["pills"]):
        wakeups = shown[f"Timer wake-ups ({pill['pill']})"]
        for column, look in enumerate(looks[1:], start=1):
            fires = cost["styles"][column - 1]["pills"][index]["perSecond"]["timerFires"]
            if float(wakeups[column]) != round(fires, 2):
                raise Failure(f"the card shows {wakeups[column]} wake-ups a second for {look} on {pill['pill']}, the API {fires}")
        if float(wakeups[looks.index("Static")]) != 0 or float(wakeups[looks.index("Wave")]) <= 0:
            raise Failure(f"wake-ups a second on {pill['pill']}: {dict(zip(looks, wakeups))}")
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
        studio = page = None
        try:
            with open(log_path, "w") as log:
                studio = Studio(args.studio, root, log)
                page = Page(studio.url)
                scenarios(page, os.path.join(root, PREFS_FILE), args.prefs, root)
                time_pause_stops_frames(page, args.prefs, root, studio.process.pid)
                time_step_is_one_picture(page)
                time_scrub_matches_simulator(page, args.sim, root, temp)
                cost_card_shows_every_style(page)
                record_downloads_a_gif(page, temp)
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

"""Real attacking and polling clients against a running studio, for
bench/studio-load: slowhttptest's slow reads and slow headers, and wrk.

Each attack runs as a program of its own, bounded in time, while a thread of
this script asks the page's `GET /api/settings` (a new connection each time)
and reads the studio's resident memory every SAMPLE_EVERY seconds. What is
printed for each: whether the studio still runs, those answers' median and
worst times, the memory before, during and after, and when the attack's
connections were closed (slowhttptest's own CSV, one row a second).
"""
import csv
import http.client
import os
import re
import statistics
import subprocess
import tempfile
import threading
import time

SAMPLE_EVERY = 2.0
SETTLE = 3.0      # after an attack, before the memory is read again
OVERRUN = 60.0    # beyond an attack's own length, before it is killed
WRK_SECONDS = 10

SLOW_READ = ["-X", "-c", "50", "-r", "10", "-w", "1", "-y", "2", "-n", "5", "-z", "8", "-k", "3"]
SLOW_HEADERS = ["-H", "-c", "500", "-r", "100", "-i", "3", "-x", "24"]

# (what it is, path, slowhttptest's arguments, seconds)
SLOWHTTPTEST_RUNS = [
    ("slow read", "/api/preview", SLOW_READ, 120),
    ("slow read", "/api/preview.png", SLOW_READ, 30),
    ("slow headers", "/api/settings", SLOW_HEADERS, 30),
]


def resident_mb(pid):
    """The process's resident memory now and at its peak, MB."""
    with open(f"/proc/{pid}/status") as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["VmRSS"].split()[0]) / 1024, int(fields["VmHWM"].split()[0]) / 1024


class Sampler:
    """The page's GET and the studio's memory, every SAMPLE_EVERY s on a thread of its own."""

    def __init__(self, studio, timed_get):
        self.studio, self.timed_get = studio, timed_get
        self.times, self.failures, self.resident = [], [], []
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stopping.is_set() and self.studio.process.poll() is None:
            took, status = self.timed_get(self.studio)
            if took is not None and status == 200:
                self.times.append(took)
            else:
                self.failures.append(str(status))
            try:
                self.resident.append(resident_mb(self.studio.process.pid)[0])
            except OSError:
                return  # the studio has gone: said by the caller
            self.stopping.wait(SAMPLE_EVERY)

    def stop(self):
        self.stopping.set()
        self.thread.join()

    def describe(self):
        if not self.times:
            return f"GET /api/settings every {SAMPLE_EVERY:.0f} s: none answered, {len(self.failures)} failed ({', '.join(self.failures[:3])})"
        shown = (f"GET /api/settings every {SAMPLE_EVERY:.0f} s: {len(self.times)} answered, {len(self.failures)} failed; "
                 f"median {statistics.median(self.times) * 1000:.1f} ms, worst {max(self.times) * 1000:.1f} ms")
        return shown + (f" (failures: {', '.join(self.failures[:3])})" if self.failures else "")


def during(studio, timed_get, label, command, seconds):
    """Runs `command` for at most seconds + OVERRUN while sampling; its completed process, or None if killed."""
    before = resident_mb(studio.process.pid)[0]
    sampler = Sampler(studio, timed_get)
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=seconds + OVERRUN)
    except subprocess.TimeoutExpired:
        done = None
    sampler.stop()
    time.sleep(SETTLE)
    running = studio.process.poll() is None
    after = f"{resident_mb(studio.process.pid)[0]:.1f} MB" if running else "gone"
    print(f"{label}\n  `{' '.join(command)}`")
    print(f"  studio still running: {'yes' if running else f'NO, exit status {studio.process.returncode}'}")
    print(f"  {sampler.describe()}")
    print(f"  studio resident: before {before:.1f} MB, during at most {max(sampler.resident, default=before):.1f} MB, after {after}")
    if not running:
        raise SystemExit(f"studio-load: the studio died during: {' '.join(command)}")
    return done


def connections_over_time(csv_path):
    """slowhttptest's CSV: (seconds, closed, pending, connected, service available) a row each second."""
    with open(csv_path, newline="") as rows:
        return [tuple(int(v) for v in row) for row in list(csv.reader(rows))[1:] if row]


def describe_connections(rows):
    most = max(rows, key=lambda r: r[3])
    last_open = max((r[0] for r in rows if r[3] + r[2] > 0), default=None)
    first_closed = next((r[0] for r in rows if r[1] > 0), None)
    unavailable = [r[0] for r in rows if r[4] == 0]
    end = rows[-1]
    text = (f"at most {most[3]} connected (at {most[0]} s); first closed at {first_closed} s; "
            f"last open at {last_open} s; at the end ({end[0]} s) {end[1]} closed, {end[3]} connected, {end[2]} pending")
    return text + (f"; its probe found no service at {len(unavailable)} of {len(rows)} s (first at {unavailable[0]} s)" if unavailable else
                   "; its probe found the service every second")


def slowhttptest(studio, timed_get, name, path, arguments, seconds):
    with tempfile.TemporaryDirectory(prefix="studio-slowhttptest-") as out:
        base = os.path.join(out, "stats")
        command = (["slowhttptest"] + arguments + ["-l", str(seconds), "-p", "3", "-g", "-o", base,
                   "-u", f"http://{studio.host}:{studio.port}{path}"])
        done = during(studio, timed_get, f"{name} on {path}, {seconds} s (slowhttptest):", command, seconds)
        if done is None:
            print(f"  slowhttptest: killed after {seconds + OVERRUN:.0f} s")
            return
        ended = re.search(r"Exit status:\W*([^\n\x1b]+)", done.stdout)
        print(f"  slowhttptest: exit {done.returncode}, \"{ended.group(1).strip() if ended else 'no exit status printed'}\"")
        if os.path.exists(base + ".csv"):
            print(f"  its connections: {describe_connections(connections_over_time(base + '.csv'))}")


def wrk(studio, timed_get, previews):
    """wrk on the page's settings for WRK_SECONDS beside the given preview readers."""
    counts = [p.frames for p in previews]
    started = time.monotonic()
    command = ["wrk", "-t2", "-c50", f"-d{WRK_SECONDS}s", "--latency", f"http://{studio.host}:{studio.port}/api/settings"]
    done = during(studio, timed_get, f"wrk, {WRK_SECONDS} s beside {len(previews)} previews:", command, WRK_SECONDS)
    rates = [(p.frames - c) / (time.monotonic() - started) for p, c in zip(previews, counts) if p.status == 200]
    if done is None:
        print(f"  wrk: killed after {WRK_SECONDS + OVERRUN:.0f} s")
        return
    found = {key: re.search(pattern, done.stdout) for key, pattern in {
        "rate": r"Requests/sec:\s+([\d.]+)", "total": r"(\d+) requests in", "p50": r"50%\s+(\S+)",
        "p99": r"99%\s+(\S+)", "errors": r"Socket errors:([^\n]+)", "non2xx": r"Non-2xx or 3xx responses: (\d+)"}.items()}
    value = {key: match.group(1).strip() if match else None for key, match in found.items()}
    print(f"  wrk: exit {done.returncode}; {value['total']} requests, {value['rate']} a second; latency p50 {value['p50']}, p99 {value['p99']}; "
          f"non-2xx {value['non2xx'] or 0}; socket errors: {value['errors'] or 'none'}")
    print(f"  previews open beside it: {[p.status for p in previews].count(200)} of {len(previews)}, "
          f"{min(rates, default=0):.1f} to {max(rates, default=0):.1f} frames/s")


def attack(studio, timed_get, preview_reader, previews):
    """Every real client in turn; stops at the first the studio does not survive."""
    for run in SLOWHTTPTEST_RUNS:
        slowhttptest(studio, timed_get, *run)
    readers = [preview_reader(studio) for _ in range(previews)]
    time.sleep(1.0)  # past the first pictures
    wrk(studio, timed_get, readers)
    for reader in readers:
        reader.close()

"""Real attacking and polling clients against a running studio, for
bench/studio-load: slowhttptest's slow reads and slow headers, and wrk.

Each attack runs as a program of its own, bounded in time, while a thread of
this script asks the page's `GET /api/settings` (a new connection each time)
and reads the studio's resident memory every SAMPLE_EVERY seconds. What is
printed for each: whether the studio still runs, those answers' median and
worst times, the memory before, during and after, and when the attack's
connections were closed: from the studio's side (its open sockets, and the
kernel's sockets and unsent bytes on its port, every half second) and from
slowhttptest's (its own CSV, one row a second; a connection the studio closed
behind unsent bytes still counts as connected there until they are read).
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
TIMELINE_STEP = 10.0

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


def studio_sockets(pid):
    """The sockets the studio holds open (its listener and the preview readers' among them)."""
    count = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            count += os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
        except OSError:
            pass  # closed meanwhile
    return count


def kernel_queue(port):
    """The kernel's TCP sockets on the studio's port (also those the studio has closed but not yet ended) and their unsent bytes."""
    shown = subprocess.run(["ss", "-tnH", f"( sport = :{port} )"], capture_output=True, text=True, timeout=5).stdout.splitlines()
    return len(shown), sum(int(line.split()[2]) for line in shown)


class Sampler:
    """Every TICK s on a thread of its own: the studio's sockets and memory and the kernel's queue;
    every SAMPLE_EVERY s the page's GET."""

    TICK = 0.5

    def __init__(self, studio, timed_get):
        self.studio, self.timed_get = studio, timed_get
        self.times, self.failures, self.resident, self.ticks = [], [], [], []
        self.started = time.monotonic()
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        next_get = self.started
        while not self.stopping.is_set() and self.studio.process.poll() is None:
            if time.monotonic() >= next_get:
                next_get += SAMPLE_EVERY
                took, status = self.timed_get(self.studio)
                if took is not None and status == 200:
                    self.times.append(took)
                else:
                    self.failures.append(str(status))
            try:
                pid = self.studio.process.pid
                self.resident.append(resident_mb(pid)[0])
                self.ticks.append((time.monotonic() - self.started, studio_sockets(pid)) + kernel_queue(self.studio.port))
            except OSError:
                return  # the studio has gone: said by the caller
            self.stopping.wait(self.TICK)

    def stop(self):
        self.stopping.set()
        self.thread.join()

    def describe_get(self):
        if not self.times:
            return f"GET /api/settings every {SAMPLE_EVERY:.0f} s: none answered, {len(self.failures)} failed ({', '.join(self.failures[:3])})"
        shown = (f"GET /api/settings every {SAMPLE_EVERY:.0f} s: {len(self.times)} answered, {len(self.failures)} failed; "
                 f"median {statistics.median(self.times) * 1000:.1f} ms, worst {max(self.times) * 1000:.1f} ms")
        return shown + (f" (failures: {', '.join(self.failures[:3])})" if self.failures else "")

    def describe_sockets(self):
        """From the studio's side: how many it held, and when it was back to what it held before."""
        if not self.ticks:
            return "no samples"
        base = self.ticks[0][1]
        most = max(self.ticks, key=lambda t: t[1])
        first = next((t[0] for t in self.ticks if t[0] > most[0] and t[1] < most[1]), None)
        back = next((t[0] for t in self.ticks if t[0] > most[0] and t[1] <= base), None)
        queued = max(self.ticks, key=lambda t: t[3])
        end = self.ticks[-1]
        return (f"the studio held {base} sockets at the start, at most {most[1]} at {most[0]:.1f} s, "
                f"{f'the first closed by {first:.1f} s' if first is not None else 'none closed'}, "
                f"{'back to ' + str(base) + f' by {back:.1f} s' if back is not None else f'still {end[1]} at the end ({end[0]:.1f} s)'}; "
                f"the kernel's unsent bytes on its port at most {queued[3] / 1e6:.2f} MB at {queued[0]:.1f} s "
                f"({queued[2]} sockets), at the end {end[3] / 1e6:.2f} MB ({end[2]} sockets)\n"
                f"  every {TIMELINE_STEP:.0f} s (s: the studio's sockets / the kernel's on its port / MB unsent): {self.timeline()}")

    def timeline(self):
        shown, due = [], 0.0
        for at, held, kernel, unsent in self.ticks:
            if at >= due:
                shown.append(f"{at:.0f}: {held}/{kernel}/{unsent / 1e6:.2f}")
                due += TIMELINE_STEP
        return ", ".join(shown)


def during(studio, timed_get, label, command, seconds, at_end=lambda: None):
    """Runs `command` for at most seconds + OVERRUN while sampling, calls at_end as it ends;
    its completed process, or None if killed."""
    before = resident_mb(studio.process.pid)[0]
    sampler = Sampler(studio, timed_get)
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=seconds + OVERRUN)
    except subprocess.TimeoutExpired:
        done = None
    at_end()
    time.sleep(SETTLE)  # the sampler still runs: the closing is seen
    sampler.stop()
    running = studio.process.poll() is None
    after = f"{resident_mb(studio.process.pid)[0]:.1f} MB" if running else "gone"
    print(f"{label}\n  `{' '.join(command)}`")
    print(f"  studio still running: {'yes' if running else f'NO, exit status {studio.process.returncode}'}")
    print(f"  {sampler.describe_get()}")
    print(f"  {sampler.describe_sockets()}")
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
    first_closed = next((f"{r[0]} s" for r in rows if r[1] > 0), "never")
    unavailable = [r[0] for r in rows if r[4] == 0]
    end = rows[-1]
    text = (f"at most {most[3]} connected (at {most[0]} s); first closed {first_closed}; "
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
        plain = re.sub(r"\x1b\[[0-9;]*[A-Za-z]", "", done.stdout)
        ended = re.search(r"Exit status:\s*([^\n]+)", plain)
        print(f"  slowhttptest: exit {done.returncode}, \"{ended.group(1).strip() if ended else 'no exit status printed'}\"")
        if os.path.exists(base + ".csv"):
            print(f"  its connections: {describe_connections(connections_over_time(base + '.csv'))}")


def wrk(studio, timed_get, previews):
    """wrk on the page's settings for WRK_SECONDS beside the given preview readers."""
    counts = [p.frames for p in previews]
    started = time.monotonic()
    rates = []

    def count_frames():
        rates.extend((p.frames - c) / (time.monotonic() - started) for p, c in zip(previews, counts) if p.status == 200)

    command = ["wrk", "-t2", "-c50", f"-d{WRK_SECONDS}s", "--latency", f"http://{studio.host}:{studio.port}/api/settings"]
    done = during(studio, timed_get, f"wrk, {WRK_SECONDS} s beside {len(previews)} previews:", command, WRK_SECONDS, count_frames)
    if done is None:
        print(f"  wrk: killed after {WRK_SECONDS + OVERRUN:.0f} s")
        return
    found = {key: re.search(pattern, done.stdout) for key, pattern in {
        "rate": r"Requests/sec:\s+([\d.]+)", "total": r"(\d+) requests in", "p50": r"(?m)^\s+50%\s+(\S+)",
        "p99": r"(?m)^\s+99%\s+(\S+)", "errors": r"Socket errors:([^\n]+)", "non2xx": r"Non-2xx or 3xx responses: (\d+)"}.items()}
    value = {key: match.group(1).strip() if match else None for key, match in found.items()}
    print(f"  wrk: exit {done.returncode}; {value['total']} requests, {value['rate']} a second; latency p50 {value['p50']}, p99 {value['p99']}; "
          f"non-2xx {value['non2xx'] or 0}; socket errors: {value['errors'] or 'none'}")
    print(f"  previews open beside it: {[p.status for p in previews].count(200)} of {len(previews)}, "
          f"{min(rates, default=0):.1f} to {max(rates, default=0):.1f} frames/s")


def attack(studio, timed_get, preview_reader, previews):
    """Every real client in turn; stops at the first the studio does not survive."""
    time.sleep(SETTLE)  # the connections of what ran before are gone
    for run in SLOWHTTPTEST_RUNS:
        slowhttptest(studio, timed_get, *run)
    readers = [preview_reader(studio) for _ in range(previews)]
    time.sleep(1.0)  # past the first pictures
    wrk(studio, timed_get, readers)
    for reader in readers:
        reader.close()

// What the roads stand on: waiting for what the page or a file shows, the
// studio as a child process, device roots copied, the other programs run.
// Nothing here knows the page.
import { spawn, execFile } from 'node:child_process';
import fs from 'node:fs';
import { promisify } from 'node:util';
import readline from 'node:readline';

export const PREFS_FILE = 'var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist';

// A road that went wrong: its message is the report.
export class Failure extends Error {}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
export const seconds = () => performance.now() / 1000;

// Reads until ok(value); returns { value, took } in seconds, or fails after `bound` seconds,
// or at once on a value for which never(value) holds.
export async function waitFor(what, read, ok, { bound = 15, every = 50, never } = {}) {
  const start = seconds();
  for (;;) {
    const value = await read();
    if (ok(value)) return { value, took: seconds() - start };
    if (never && never(value)) throw new Failure(`${what}: saw ${JSON.stringify(value)}`);
    if (seconds() - start > bound) throw new Failure(`${what}: not within ${bound} s (last seen: ${JSON.stringify(value)})`);
    await sleep(every);
  }
}

// What `promise` gives, or `late` when it has given nothing within `ms`.
function within(promise, ms, late) {
  let timer;
  const timeout = new Promise((resolve) => { timer = setTimeout(resolve, ms, late); });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

export const near = (rgb, target, tolerance) => rgb !== null && rgb.every((value, i) => Math.abs(value - target[i]) <= tolerance);

// A copy of a device root; a process's notification socket is no file to copy. A root reached
// through a link is copied itself, so that nothing done to the copy reaches it.
export function copyRoot(from, to) {
  fs.cpSync(fs.realpathSync(from), to, { recursive: true, verbatimSymlinks: true, filter: (path) => !fs.lstatSync(path).isSocket() });
}

// Runs a program to its end; a non-zero status or a minute's wait fails the road.
export async function run(program, args) {
  try {
    await promisify(execFile)(program, args, { timeout: 60_000 });
  } catch (error) {
    throw new Failure(`${program} ${args.join(' ')}: ${error.stderr || error.message}`);
  }
}

// The built studio serving a device root on a port of its own; its standard error goes to `log`.
export class Studio {
  static async start(binary, root, log, env) {
    const studio = new Studio();
    studio.process = spawn(binary, ['--root', root, '--port', '0'], {
      env, stdio: ['ignore', 'pipe', fs.openSync(log, 'a')],
    });
    studio.exited = new Promise((resolve) => {
      studio.process.on('exit', (code, signal) => resolve(signal ?? code));
      studio.process.on('error', (error) => resolve(error.message));
    });
    const lines = readline.createInterface({ input: studio.process.stdout });
    const line = new Promise((resolve) => lines.once('line', resolve));
    const first = await within(Promise.race([line, studio.exited.then((status) => `(it ended: ${status})`)]), 30_000, '(nothing in 30 s)');
    // The rest is read and dropped, so a chatty studio never blocks on a full pipe.
    lines.on('line', () => {});
    const match = /serving (http:\/\/\S+\/)/.exec(first);
    if (!match) {
      studio.process.kill();
      throw new Failure(`studio printed no address line: ${first}`);
    }
    studio.url = match[1];
    return studio;
  }

  // A GET as the page's own links make it: the answer, its body read.
  async get(path) {
    const answer = await fetch(new URL(path, this.url), { signal: AbortSignal.timeout(10_000) });
    return { headers: answer.headers, body: Buffer.from(await answer.arrayBuffer()), ok: answer.ok };
  }

  async json(path) {
    const { body, ok } = await this.get(path);
    if (!ok) throw new Failure(`GET ${path}: ${body}`);
    return JSON.parse(body);
  }

  // How many events named `name` the studio sends in the next `ms` (GET /api/events).
  async eventsWithin(name, ms) {
    const answer = await fetch(new URL('api/events', this.url), { signal: AbortSignal.timeout(ms) });
    let text = '';
    try {
      for await (const chunk of answer.body) text += Buffer.from(chunk).toString();
    } catch {
      // The time is up.
    }
    return text.split(`event: ${name}\n`).length - 1;
  }

  // SIGTERM, then its exit status (or the signal's name).
  async stop() {
    if (this.process.exitCode === null && this.process.signalCode === null) this.process.kill('SIGTERM');
    const status = await within(this.exited, 15_000, 'still running');
    if (status !== 'still running') return status;
    this.process.kill('SIGKILL');
    await this.exited;
    throw new Failure('studio did not stop within 15 s of SIGTERM');
  }
}

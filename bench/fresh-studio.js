'use strict';
// A studio of its own for a measurement: the built program on a temporary copy
// of the build's demo root, on a free port, stopped and its copy removed by
// stop(). Also where the browser tools are loaded from (studio/node_modules,
// installed by `cd studio && npm ci`) and which browser they drive.
const { spawn } = require('node:child_process');
const { createRequire } = require('node:module');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');

const chromium = '/usr/bin/chromium';
const studioTools = path.join(__dirname, '..', 'studio');
const requireTool = createRequire(path.join(studioTools, 'package.json'));

// A browser tool from the committed lock, with a clear word when it is not installed.
function tool(name) {
  try {
    return requireTool(name);
  } catch (error) {
    throw new Error(`${name} is not installed: run "cd studio && npm ci" (${error.message})`);
  }
}

// One request; resolves to { status, body }.
async function request(studio, method, pathname, body) {
  const headers = method === 'GET' ? {} : { Origin: studio.origin, 'X-Studio-Token': studio.token };
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  const response = await fetch(studio.origin + pathname, {
    method, headers, body: body === undefined ? undefined : JSON.stringify(body), signal: AbortSignal.timeout(10000),
  });
  return { status: response.status, body: await response.text() };
}

async function start(build, prefix) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), `${prefix}-`));
  // Without sockets: one left by a killed process belongs to no device.
  fs.cpSync(path.join(build, 'demo-root'), root, { recursive: true, filter: (from) => !fs.lstatSync(from).isSocket() });
  const child = spawn(path.join(build, 'studio', 'auroraribbon-studio'), ['--root', root, '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: child.stdout });
  const [first] = await Promise.race([
    new Promise((resolve) => lines.once('line', (line) => resolve([line]))),
    new Promise((resolve) => child.once('exit', () => resolve(['']))),
  ]);
  lines.on('line', () => {}); // the rest of its output is not ours to read, but must not fill the pipe
  const address = /http:\/\/[\d.]+:\d+/.exec(first);
  if (!address) {
    child.kill();
    fs.rmSync(root, { recursive: true, force: true });
    throw new Error(`the studio did not start: ${JSON.stringify(first)}`);
  }
  const studio = { origin: address[0], pid: child.pid, root, token: '' };
  studio.token = /name="studio-token" content="([0-9a-f]+)"/.exec((await request(studio, 'GET', '/')).body)[1];
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve(code ?? signal)));
  studio.stop = async () => {
    child.kill('SIGTERM');
    const status = await exited;
    fs.rmSync(root, { recursive: true, force: true });
    return status;
  };
  return studio;
}

module.exports = { chromium, request, start, studioTools, tool };

'use strict';
// A studio of its own for a measurement: the built program on a temporary copy
// of the build's demo root, on a free port, stopped and its copy removed by
// stop(). Also where the browser tools are loaded from (studio/node_modules,
// installed by `cd studio && npm ci`) and which browser they drive.
const { createRequire } = require('node:module');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

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

// Debian's Chromium, headless, as the measurements of the page open it.
function headlessChromium() {
  return tool('puppeteer-core').launch({
    executablePath: chromium,
    headless: true,
    // Not watching its network: each preview part would be reported to us, work a person's browser does not do.
    networkEnabled: false,
    args: ['--no-sandbox', '--disable-gpu', '--window-size=1280,800'],
    defaultViewport: { width: 1280, height: 800 },
  });
}

// The studio is started and stopped as the browser roads start it (their harness).
async function start(build, prefix) {
  const { Studio, copyRoot } = await import('../studio/tests/browser/harness.mjs');
  const temp = fs.mkdtempSync(path.join(os.tmpdir(), `${prefix}-`));
  const root = path.join(temp, 'root');
  let child;
  try {
    copyRoot(path.join(build, 'demo-root'), root);
    child = await Studio.start(path.join(build, 'studio', 'auroraribbon-studio'), root, '/dev/stderr', process.env);
  } catch (error) {
    fs.rmSync(temp, { recursive: true, force: true });
    throw error;
  }
  const studio = { origin: new URL(child.url).origin, pid: child.process.pid, root, token: '' };
  studio.token = /name="studio-token" content="([0-9a-f]+)"/.exec((await request(studio, 'GET', '/')).body)[1];
  studio.stop = async () => {
    try {
      return await child.stop();
    } finally {
      fs.rmSync(temp, { recursive: true, force: true });
    }
  };
  return studio;
}

module.exports = { chromium, headlessChromium, request, start, studioTools };

#!/usr/bin/env node
// The studio's page in a headless browser, each road going the whole way:
// page -> server -> preferences file -> notification -> extension -> preview
// pixels. The same roads for every browser; which one is an argument.
//
//   roads.mjs --browser chromium|firefox --studio BIN --prefs PREFSBIN --sim SIMBIN --demo-root DIR [--screenshot PNG]
//
// Each road prints PASS, its time and what it saw; the first to fail prints FAIL, the
// end of the studio's standard error, and the status is 1 (2 for a mistake
// in the arguments).
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { Failure, PREFS_FILE, Studio, copyRoot, seconds } from './harness.mjs';
import { BROWSER_NAMES, Page, launchBrowser } from './page.mjs';
import { fadeRoad, openRoad, otherProgramRoad, refusedColourRoad, switchOffRoad } from './settings-roads.mjs';
import { pauseRoad, quarterPaceRoad, scrubRoad, stepRoad } from './time-roads.mjs';
import { costRoad, hiddenRoad, recordRoad } from './output-roads.mjs';
import { badFileRoad, downloadRoad, freshStudioRoad, linkRoad, looksRoad } from './file-roads.mjs';

// In order: each starts where the one before left the page and the file.
const ROADS = [openRoad, hiddenRoad, fadeRoad, switchOffRoad, refusedColourRoad, otherProgramRoad, pauseRoad, stepRoad,
  quarterPaceRoad, scrubRoad, costRoad, recordRoad, downloadRoad, badFileRoad, looksRoad, linkRoad, freshStudioRoad];

const USAGE = `usage: roads.mjs --browser ${BROWSER_NAMES.join('|')} --studio BIN --prefs PREFSBIN --sim SIMBIN --demo-root DIR [--screenshot PNG]`;

function readArguments() {
  const required = ['browser', 'studio', 'prefs', 'sim', 'demo-root'];
  const options = Object.fromEntries([...required, 'screenshot'].map((name) => [name, { type: 'string' }]));
  let values;
  try {
    ({ values } = parseArgs({ options }));
  } catch (error) {
    throw new Failure(`${error.message}\n${USAGE}`);
  }
  const missing = required.filter((name) => values[name] === undefined);
  if (missing.length) throw new Failure(`missing --${missing.join(', --')}\n${USAGE}`);
  if (!BROWSER_NAMES.includes(values.browser)) throw new Failure(`no browser named ${values.browser}\n${USAGE}`);
  return values;
}

async function runRoads(args, temp) {
  const root = path.join(temp, 'root');
  copyRoot(args['demo-root'], root);
  const downloads = path.join(temp, 'downloads');
  fs.mkdirSync(downloads);
  const log = path.join(temp, 'studio.log');
  const env = { ...process.env, XDG_DATA_HOME: path.join(temp, 'data') }; // the studios' looks, in the test's own folder
  const context = {
    prefs: args.prefs, sim: args.sim, studioBinary: args.studio, demoRoot: args['demo-root'], root, temp, downloads, log, env,
    prefsPath: path.join(root, PREFS_FILE), looksFolder: path.join(temp, 'data', 'auroraribbon', 'looks'),
  };
  let browser = null;
  try {
    context.studio = await Studio.start(args.studio, root, log, env);
    context.browser = browser = await launchBrowser(args.browser);
    context.page = await Page.open(browser, context.studio.url, downloads);
    for (const [index, road] of ROADS.entries()) {
      const start = seconds();
      const saw = await road(context);
      console.log(`PASS ${index + 1} (${(seconds() - start).toFixed(1)} s) ${saw}`);
    }
    if (args.screenshot) await context.page.screenshot(args.screenshot);
    await browser.close();
    browser = null;
    const status = await context.studio.stop();
    context.studio = null;
    if (status !== 0) throw new Failure(`studio exited with status ${status} after SIGTERM`);
    console.log('PASS studio stopped by SIGTERM with status 0');
  } catch (failure) {
    const tail = fs.existsSync(log) ? fs.readFileSync(log, 'utf8').slice(-2000) : '';
    throw new Failure((failure instanceof Failure ? failure.message : failure.stack)
      + (tail ? `\nstudio's standard error ends:\n${tail}` : ''));
  } finally {
    await browser?.close();
    await context.studio?.stop();
  }
}

async function main() {
  let args;
  try {
    args = readArguments();
  } catch (mistake) {
    console.error(mistake.message);
    return 2;
  }
  const temp = fs.mkdtempSync(path.join(os.tmpdir(), 'studio-browser-'));
  try {
    await runRoads(args, temp);
    return 0;
  } catch (failure) {
    console.error(`FAIL ${failure.message}`);
    return 1;
  } finally {
    fs.rmSync(temp, { recursive: true, force: true });
  }
}

process.exitCode = await main();

// The time roads: pause, one step, the 25 % pace and a scrub, each read from
// the pictures the page draws and the instant GET /api/time reports. Bounds
// only ever come from what the test itself saw happen before and after.
import fs from 'node:fs';
import path from 'node:path';
import { Failure, near, run, seconds, sleep, waitFor } from './harness.mjs';
import { BAND, PHONE, named } from './page.mjs';
import { BLUE, RED, STATIC_MIDDLE } from './settings-roads.mjs';

const PICTURE_INTERVAL = 1 / 30; // the studio's pictures at most this often on its clock
const QUARTER = 0.25;

function cpuSeconds(pid) {
  const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(')').pop().trim().split(/\s+/);
  return (Number(fields[11]) + Number(fields[12])) / 100; // user and system time, in USER_HZ (100 on Linux)
}

export async function pauseRoad({ page, studio, prefs, root }) {
  await run(prefs, ['--root', root, 'write', 'enabled', '-bool', 'true', 'style', '-string', 'Fade',
    'fadeColor1', '-string', '#FF0000', 'fadeColor2', '-string', '#0000FF', 'fadeSpeed', '-float', '4']);
  await waitFor('style control showing Fade', () => page.chosen(named('style')), (value) => value === 'Fade');
  await page.respring();
  const start = await page.drawn();
  await waitFor('pictures arriving while the fade plays', () => page.drawn(), (n) => n > start + 5);
  await page.click('#time-play');
  await waitFor('the page showing Play once paused', () => page.text('#time-play'), (text) => text === 'Play');
  const pausedAt = await studio.json('api/time');
  if (!pausedAt.paused) throw new Failure(`GET /api/time after Pause: ${JSON.stringify(pausedAt)}`);
  // Pictures sent before the pause may still be on their way (a sanitized build is slow): let them land.
  let last = await page.drawn();
  await waitFor('the pictures sent before the pause landed', async () => [last, last = await page.drawn()],
    ([earlier, now]) => earlier === now, { every: 500 });
  const before = await page.drawn(), cpuBefore = cpuSeconds(studio.process.pid);
  await sleep(2000); // a span in which a playing fade sends 60 pictures
  const after = await page.drawn(), cpuAfter = cpuSeconds(studio.process.pid), still = await studio.json('api/time');
  if (after > before + 1 || still.t !== pausedAt.t) {
    throw new Failure(`paused, yet ${after - before} pictures came in 2 s and t went ${pausedAt.t} -> ${still.t}`);
  }
  const cpu = ((cpuAfter - cpuBefore) / 2) * 100;
  return `Pause: t holds at ${still.t.toFixed(3)} s; ${after - before} picture(s) in the next 2 s `
    + `(the instant paused at); the studio used ${cpu.toFixed(1)} % of a processor meanwhile`;
}

export async function stepRoad({ page, studio }) {
  const t = async () => (await studio.json('api/time')).t;
  const first = await t();
  let before;
  for (let i = 0; i < 2; ++i) {
    before = await page.drawn();
    const from = await t();
    await page.click('#time-step');
    await waitFor('t one picture on', t, (now) => Math.abs(now - (from + PICTURE_INTERVAL)) < 1e-6);
    await waitFor('the step\'s one picture', () => page.drawn(), (n) => n === before + 1, { never: (n) => n > before + 1 });
  }
  await sleep(500);
  const drawn = await page.drawn();
  if (drawn !== before + 1) throw new Failure(`a step sent ${drawn - before} pictures`);
  return `Step, twice: t ${first.toFixed(4)} -> ${(await t()).toFixed(4)} s, one picture each`;
}

// GET /api/time with the instants just before it was asked and just after it was answered.
async function timeRead(studio) {
  const asked = seconds();
  const now = await studio.json('api/time');
  return { now, asked, answered: seconds() };
}

// Whether `moved` seconds of the studio's clock are a quarter of a span that began between
// `began` and `beganBy` and ended between `ended` and `endedBy` (instants of this process).
function quarterOf(moved, { began, beganBy, ended, endedBy }) {
  const least = QUARTER * (ended - beganBy), most = QUARTER * (endedBy - began);
  return moved >= least - 1e-9 && moved <= most + 1e-9 ? null : `${moved.toFixed(4)} s, not ${least.toFixed(4)} to ${most.toFixed(4)} s`;
}

// At 25 % the studio's clock, and the pictures drawn on it, go at a quarter of real time.
// Paused on both sides, the clock's own instants bound what it did while playing: it
// began after Play was pressed and before the studio said so, and ended likewise. No
// more pictures come than a quarter of the full rate allows (a fade draws every one it may).
export async function quarterPaceRoad({ page, studio }) {
  await page.choose('#time-rate', String(QUARTER));
  const { value: start } = await waitFor('the studio at 25 %, still paused', () => timeRead(studio),
    ({ now }) => now.rate === QUARTER && now.paused);
  const drawnBefore = await page.drawn();
  const pressedPlay = seconds(); // every picture counted below was made after this
  await page.click('#time-play');
  const { value: playing } = await waitFor('the studio playing', () => timeRead(studio), ({ now }) => !now.paused);
  const { value: mid } = await waitFor('half a second on the studio\'s clock, with pictures',
    async () => ({ ...(await timeRead(studio)), drawn: await page.drawn() }),
    ({ now, drawn }) => now.t >= start.now.t + 0.5 && drawn >= drawnBefore + 3, { bound: 30 });
  const pictures = (await page.drawn()) - drawnBefore, span = seconds() - pressedPlay;
  const pressedPause = seconds();
  await page.click('#time-play');
  const { value: end } = await waitFor('the studio paused', () => timeRead(studio), ({ now }) => now.paused);
  const reported = quarterOf(mid.now.t - start.now.t, { began: pressedPlay, beganBy: playing.answered, ended: mid.asked, endedBy: mid.answered });
  const moved = end.now.t - start.now.t;
  const held = quarterOf(moved, { began: pressedPlay, beganBy: playing.answered, ended: pressedPause, endedBy: end.answered });
  if (reported || held) throw new Failure(`at 25 % GET /api/time moved ${reported ?? 'as it should'} while playing; the clock moved ${held ?? 'as it should'}`);
  const allowed = Math.floor((QUARTER * span) / PICTURE_INTERVAL) + 2; // the first picture on playing, and the one under way
  if (pictures > allowed) throw new Failure(`at 25 % ${pictures} pictures came in ${span.toFixed(2)} s: more than ${allowed}`);
  await waitFor('the page showing Play once paused', () => page.text('#time-play'), (text) => text === 'Play');
  return `25 %: the clock moved ${moved.toFixed(3)} s while playing for ${(pressedPause - pressedPlay).toFixed(3)} s, `
    + `a quarter; ${pictures} pictures in ${span.toFixed(2)} s (a quarter of the full rate allows ${allowed})`;
}

export async function scrubRoad({ page, studio, sim, root, temp }) {
  await page.slide('#time-t', 2.5); // as a drag ends there: the timeline is a range input
  await waitFor('t at 2.5 s, paused', () => studio.json('api/time'), (now) => now.t === 2.5 && now.paused);
  const png = path.join(temp, 'sim-2.5.png');
  await run(sim, ['--root', root, '--png', png, '--at', '2.5', '--scale', '2']);
  const data = fs.readFileSync(png).toString('base64');
  const bandTop = PHONE[1] - BAND[1]; // the simulator names the pills above them; the phone does not
  await waitFor('the page\'s phone matching the simulator\'s picture at 2.5 s',
    () => page.differingFrom(data, bandTop, bandTop + 64), (differing) => differing === 0);
  const middle = await page.pixel(STATIC_MIDDLE);
  if (near(middle, RED, 40) || near(middle, BLUE, 40)) {
    throw new Failure(`at 2.5 s into a 4 s fade the pill shows ${middle}, not a colour part way`);
  }
  return `scrub to 2.5 s: the page's ${PHONE[0]} x ${PHONE[1]} phone is the simulator's --png --at 2.5 --scale 2 `
    + `pixel for pixel (its label rows aside); the static pill shows ${middle}`;
}

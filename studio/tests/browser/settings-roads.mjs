// The settings roads, each the whole way: page -> server -> preferences file
// -> notification -> extension -> preview pixels, and back from another
// program's write to the page.
import fs from 'node:fs';
import { Failure, near, run, waitFor } from './harness.mjs';
import { named } from './page.mjs';
import { readPlist } from './plist.mjs';

export const STATIC_MIDDLE = [214, 69]; // middle of the static pill's colour view, in the band
const LUMA_MIDDLE = [566, 69];
export const RED = [255, 0, 0];
export const BLUE = [0, 0, 255];
const STATIC_GREY = [235, 235, 235], LUMA_GREY = [217, 217, 217];

// The file, once it holds every one of `wanted`.
export function fileHolding(what, prefsPath, wanted) {
  return waitFor(what, () => readPlist(prefsPath),
    (file) => file !== null && Object.entries(wanted).every(([key, value]) => file[key] === value));
}

// A fade from red to blue mixes the two: no green, red + blue about 255. A hue cycle
// (the Wave style, left running when a respring is lost) passes magenta or green.
const offRedBlueFade = (rgb) => rgb !== null && (rgb[1] > 40 || Math.abs(rgb[0] + rgb[2] - 255) > 40);

export async function openRoad({ page, studio }) {
  // The form is made from the first answer of the API: wait for it.
  await waitFor('enabled checkbox checked from the demo root\'s file',
    () => page.properties(named('enabled'), 'checked'), (seen) => String(seen) === 'true');
  const { keys } = await studio.json('api/settings');
  const missing = [];
  for (const entry of keys) if ((await page.count(named(entry.key))) !== 1) missing.push(entry.key);
  if (missing.length) throw new Failure(`no control (or more than one) named ${missing}`);
  const unset = keys.filter((entry) => entry.file === null);
  for (const entry of unset) { // each at what the extension starts with; a colour at its fallback
    const control = named(entry.key);
    let shows, wanted = entry.initial, says = 'starts at';
    if (entry.kind === 'color') {
      [shows, wanted, says] = [await page.property(control, 'placeholder'), entry.fallback, 'fallback'];
    } else if (entry.kind === 'flag') {
      shows = await page.property(control, 'checked');
    } else {
      const value = await page.property(control, 'value');
      shows = entry.kind === 'number' ? Number(value) : value;
    }
    const note = await page.note(entry.key);
    if (shows !== wanted || !note.includes(says)) {
      throw new Failure(`unset ${entry.key} shows ${JSON.stringify(shows)} (${JSON.stringify(note)}), not ${JSON.stringify(wanted)}`);
    }
  }
  await waitFor('wave step shown as 0.05', () => page.text('.row[data-key="waveAnimationSpeed"] output'), (text) => text === '0.05');
  return `open: the enabled checkbox is checked, as the file says; a control for each of the ${keys.length} keys; `
    + `the ${unset.length} unset ones at the extension's values`;
}

export async function fadeRoad({ page, prefsPath }) {
  await page.choose(named('style'), 'Fade');
  await page.typeInto(named('fadeColor1'), '#FF0000');
  await page.typeInto(named('fadeColor2'), '#0000FF');
  await page.slide(named('fadeSpeed'), 1);
  await fileHolding('file holding the Fade settings', prefsPath, { style: 'Fade', fadeColor1: '#FF0000', fadeColor2: '#0000FF', fadeSpeed: 1 });
  await page.respring();
  const red = await waitFor('static pill red', () => page.pixel(STATIC_MIDDLE), (rgb) => near(rgb, RED, 40));
  const blue = await waitFor('static pill fading from red to blue', () => page.pixel(STATIC_MIDDLE),
    (rgb) => near(rgb, BLUE, 40), { never: offRedBlueFade });
  return `Fade #FF0000 -> #0000FF, 1 s, respring: file holds them; pill red after ${red.took.toFixed(2)} s, `
    + `then blue after ${blue.took.toFixed(2)} s`;
}

export async function switchOffRoad({ page, prefsPath }) {
  await page.click(named('enabled'));
  await fileHolding('file with enabled false', prefsPath, { enabled: false });
  await page.respring();
  await waitFor('static pill its own grey', () => page.pixel(STATIC_MIDDLE), (rgb) => near(rgb, STATIC_GREY, 12));
  await waitFor('luma pill its own grey', () => page.pixel(LUMA_MIDDLE), (rgb) => near(rgb, LUMA_GREY, 12));
  return 'master switch off, respring: both pills show their own grey';
}

export async function refusedColourRoad({ page, prefsPath }) {
  const before = fs.readFileSync(prefsPath);
  await page.typeInto(named('fadeColor1'), '#12');
  const { value: said } = await waitFor('message naming fadeColor1', () => page.message(), (text) => text.includes('fadeColor1'));
  if (!fs.readFileSync(prefsPath).equals(before)) throw new Failure('the refused colour changed the file');
  await waitFor('fadeColor1 restored from the file', () => page.property(named('fadeColor1'), 'value'), (value) => value === '#FF0000');
  return `'#12' refused: page says ${JSON.stringify(said)}; file unchanged; control restored`;
}

export async function otherProgramRoad({ page, prefs, root }) {
  if ((await page.chosen(named('style'))) === 'Static') throw new Failure('style already shows Static before the other program writes it');
  await run(prefs, ['--root', root, 'write', 'style', '-string', 'Static']);
  const { took } = await waitFor('style control following the other program\'s write', () => page.chosen(named('style')),
    (value) => value === 'Static', { bound: 5, every: 10 });
  await run(prefs, ['--root', root, 'delete', 'fadeSpeed']);
  const kept = 'not set: the extension keeps 1.0 s, its last value read';
  await waitFor('fadeSpeed showing the value the extension kept',
    async () => [await page.note('fadeSpeed'), await page.property(named('fadeSpeed'), 'value')],
    ([note, value]) => note === kept && value === '1');
  return `auroraribbon-prefs writes style Static: the page shows it ${Math.round(took * 1000)} ms later; `
    + `it deletes fadeSpeed: the page shows ${JSON.stringify(kept)}`;
}

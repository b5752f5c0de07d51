// What the page makes of the studio's work beside the preview: the cost card
// as the API measured it, a recording downloaded as a GIF; and no pictures,
// made or drawn, while the page is hidden.
import fs from 'node:fs';
import { Failure, waitFor } from './harness.mjs';
import { named } from './page.mjs';
import { fileHolding } from './settings-roads.mjs';

const LOOKS = ['Current', 'Wave', 'Spectrum', 'Fade', 'Breathing', 'Static'];

// What the card shows that the API's finished measurement does not say, or null.
async function disagreement(page, studio) {
  const cost = await studio.json('api/cost');
  const columns = await page.texts('#cost-table tr:first-child th[scope=col]');
  if (!cost.ready || !cost.current || String(columns) !== String(LOOKS)) return `measuring, or the card shows ${columns}`;
  const shown = Object.fromEntries(await page.tableRows('#cost-table'));
  for (const [index, pill] of cost.current.pills.entries()) {
    const wakeups = shown[`Timer wake-ups (${pill.pill})`] ?? [];
    const wanted = [cost.current, ...cost.styles].map((look) => Number(look.pills[index].perSecond.timerFires).toFixed(2));
    if (String(wakeups.map((text) => Number(text).toFixed(2))) !== String(wanted)) {
      return `${pill.pill}: the card shows ${wakeups} wake-ups a second, the API ${wanted}`;
    }
  }
  return null;
}

export async function costRoad({ page, studio }) {
  await waitFor('the cost card showing what the API measured', () => disagreement(page, studio), (seen) => seen === null, { bound: 60 });
  const wakeups = await page.texts('#cost-table tr:nth-child(2) td');
  const of = (look) => Number(wakeups[LOOKS.indexOf(look)]);
  if (of('Static') !== 0 || !(of('Wave') > 0)) {
    throw new Failure(`wake-ups a second: ${JSON.stringify(Object.fromEntries(LOOKS.map((look, i) => [look, wakeups[i]])))}`);
  }
  return `cost: the card shows ${LOOKS.slice(1).join(', ')} beside the current look, as the API measured them; `
    + `Static wakes nothing, Wave ${of('Wave')} times a second per pill`;
}

export async function recordRoad({ page, downloads }) {
  await page.choose('#record-view', 'band');
  await page.click('#record');
  // Alone in the folder: a browser writes beside the file (.part, .crdownload) until it is whole.
  const { value: gifs } = await waitFor('the recording downloaded', () => fs.readdirSync(downloads),
    (names) => names.length === 1 && names[0].endsWith('.gif'), { bound: 120 });
  const head = fs.readFileSync(`${downloads}/${gifs[0]}`).subarray(0, 6).toString('latin1');
  const [value, max] = [await page.property('#record-progress', 'value'), await page.property('#record-progress', 'max')];
  if (head !== 'GIF89a' || value !== max) throw new Failure(`${gifs[0]} begins ${JSON.stringify(head)}; progress ${value} of ${max}`);
  return `record: the page downloaded ${gifs[0]}, a GIF, with its progress full`;
}

// Hidden behind another tab, the page closes its preview: for a second the studio makes no picture and
// the page draws none, where Wave makes 20; shown again, it draws once more.
export async function hiddenRoad({ page, studio, prefsPath }) {
  await page.choose(named('style'), 'Wave'); // whatever style the demo root was left in
  await fileHolding('file holding Wave', prefsPath, { style: 'Wave' });
  await page.respring();
  const start = await page.drawn();
  await waitFor('the page drawing the running pills', () => page.drawn(), (drawn) => drawn >= start + 5);
  await page.hide();
  let drawnWhileHidden;
  try {
    await waitFor('the page hidden', () => page.hidden(), (hidden) => hidden === true);
    const hiddenAt = await page.drawn();
    // Until the stream has closed: the studio then makes no pictures.
    await waitFor('the studio making no pictures for a second', () => studio.eventsWithin('frame', 1000),
      (frames) => frames === 0);
    drawnWhileHidden = (await page.drawn()) - hiddenAt;
  } finally {
    await page.show();
  }
  const shownAt = await page.drawn();
  await waitFor('the page drawing again once shown', () => page.drawn(), (drawn) => drawn >= shownAt + 5);
  if (drawnWhileHidden > 1) throw new Failure(`the page drew ${drawnWhileHidden} pictures while hidden`);
  return `hidden: the studio made no pictures for a second and the page drew ${drawnWhileHidden} while hidden; `
    + 'shown again, it drew on';
}

// The phone's file and looks: downloaded and drawing the same pills in
// another root, a bad file refused, looks saved, applied, linked and kept
// across a restart of the studio.
import fs from 'node:fs';
import path from 'node:path';
import { isDeepStrictEqual } from 'node:util';
import { Failure, PREFS_FILE, Studio, copyRoot, run, waitFor } from './harness.mjs';
import { Page, named } from './page.mjs';
import { parsePlist, readPlist } from './plist.mjs';
import { fileHolding } from './settings-roads.mjs';

const LOOK = 'Night sky';

async function simPng(sim, root, png) {
  await run(sim, ['--root', root, '--png', png, '--at', '2.5']);
  return fs.readFileSync(png);
}

export async function downloadRoad({ page, studio, sim, root, demoRoot, prefsPath, temp }) {
  // Coloured pills, so that another file would draw other ones.
  if (!(await page.property(named('enabled'), 'checked'))) await page.click(named('enabled'));
  await page.choose(named('style'), 'Fade');
  await fileHolding('file holding a Fade, switched on', prefsPath, { enabled: true, style: 'Fade' });
  await waitFor('the device path on the page', () => page.text('#device-path'), (text) => text === `/${PREFS_FILE}`);
  const { headers, body } = await studio.get(await page.property('#download', 'href'));
  const name = path.basename(PREFS_FILE);
  const disposition = headers.get('content-disposition');
  if (!body.subarray(0, 8).equals(Buffer.from('bplist00')) || disposition !== `attachment; filename="${name}"`) {
    throw new Failure(`download: ${JSON.stringify(disposition)}, starting ${JSON.stringify(body.subarray(0, 8).toString('latin1'))}`);
  }
  if (!isDeepStrictEqual(parsePlist(body), readPlist(prefsPath))) throw new Failure('the downloaded file holds another dictionary than the studio\'s');
  const { body: xml } = await studio.get(await page.property('#download-xml', 'href'));
  if (!xml.toString('latin1').startsWith('<?xml') || !isDeepStrictEqual(parsePlist(xml), parsePlist(body))) {
    throw new Failure('the XML download differs from the binary one');
  }
  // The same pills on another device root holding the download as on a copy of the studio's.
  const other = path.join(temp, 'other-root'), same = path.join(temp, 'same-root');
  copyRoot(demoRoot, other);
  copyRoot(root, same);
  const demoPng = await simPng(sim, other, path.join(temp, 'demo.png'));
  fs.writeFileSync(path.join(other, PREFS_FILE), body);
  const samePng = await simPng(sim, same, path.join(temp, 'same.png'));
  if (!(await simPng(sim, other, path.join(temp, 'other.png'))).equals(samePng)) {
    throw new Failure('auroraribbon-sim draws other pills from the downloaded file than from the studio\'s');
  }
  if (demoPng.equals(samePng)) throw new Failure('the demo root\'s own file draws the same pills: the comparison tells nothing');
  return `download: ${body.length} bytes of binary plist named ${name}, the studio's dictionary (XML too); `
    + 'auroraribbon-sim draws the same PNG at 2.5 s from it in another root';
}

export async function badFileRoad({ page, prefsPath, temp }) {
  const bad = path.join(temp, 'bad.plist');
  fs.writeFileSync(bad, '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<array><string>Fade</string></array>\n</plist>\n');
  const before = fs.readFileSync(prefsPath);
  await page.upload('#phone-file-input', bad);
  const { value: said } = await waitFor('the bad file refused', () => page.text('#files-message'), (text) => text.includes('refused'));
  if (!fs.readFileSync(prefsPath).equals(before)) throw new Failure('a refused file changed the preferences file');
  if (await page.shown('#proposal')) throw new Failure('a refused file was offered');
  return `a file with an array at its root: ${JSON.stringify(said)}; the preferences file unchanged`;
}

const lookNames = (page) => page.attributes('#look-list li', 'data-look');

export async function looksRoad({ page, prefsPath, looksFolder }) {
  await page.choose(named('style'), 'Spectrum');
  await fileHolding('file holding Spectrum', prefsPath, { style: 'Spectrum' });
  await page.typeInto(named('look-name'), LOOK);
  await waitFor('the look listed', () => lookNames(page), (names) => String(names) === LOOK);
  if (!fs.existsSync(path.join(looksFolder, `${LOOK}.plist`))) throw new Failure('the look is not in the test\'s own looks folder');
  await page.typeInto(named('look-name'), '../escape');
  await waitFor('a bad name refused', () => page.text('#files-message'), (text) => text.includes('name'));
  await page.choose(named('style'), 'Static');
  await fileHolding('file holding Static', prefsPath, { style: 'Static' });
  await page.click(`#look-list li[data-look="${LOOK}"] button`); // Apply
  await fileHolding('the look applied', prefsPath, { style: 'Spectrum' });
  await waitFor('the style control following', () => page.chosen(named('style')), (value) => value === 'Spectrum');
  const kept = fs.readdirSync(looksFolder);
  if (String(kept) !== `${LOOK}.plist`) throw new Failure(`the looks folder holds ${kept}`);
  return `a look saved as '${LOOK}' (a file in the test's looks folder; '../escape' refused), applied after a change`;
}

// The rows of the look a link offers, or null while none is offered.
async function offeredLook(page) {
  return (await page.shown('#proposal')) ? page.texts('#proposal tbody tr') : null;
}
const offersStyle = (rows) => rows !== null && rows.some((row) => row.includes('style'));

// Leaves the look's link in the roads' context, for the fresh studio.
export async function linkRoad(context) {
  const { page, prefsPath } = context;
  await page.choose(named('style'), 'Breathing');
  await fileHolding('file holding Breathing', prefsPath, { style: 'Breathing' });
  const link = await page.property(`#look-list li[data-look="${LOOK}"] a`, 'href');
  await page.goto(link);
  const { value: rows } = await waitFor('the linked look offered', () => offeredLook(page), offersStyle);
  if (readPlist(prefsPath)?.style !== 'Breathing') throw new Failure('the linked look was written before it was confirmed');
  await page.click('#proposal-apply');
  await fileHolding('the linked look applied', prefsPath, { style: 'Spectrum' });
  // The page says so once the answer is in; a link opened before that would have its refusal overwritten.
  await waitFor('the page saying it applied', () => page.text('#files-message'), (text) => text === 'Applied.');
  await page.goto(`${link.split('#')[0]}#look=!!not-a-look`);
  const { value: said } = await waitFor('a bad link refused', () => page.text('#files-message'), (text) => text.includes('refused'));
  context.link = link;
  return `the look's link, opened after a change, offers ${rows.length} changes and writes them on Apply; a bad link: ${JSON.stringify(said)}`;
}

// Looks survive a restart: a new studio on another root lists the look, and its link offers it there.
export async function freshStudioRoad({ browser, studioBinary, demoRoot, link, temp, downloads, log, env }) {
  const root = path.join(temp, 'fresh-root');
  copyRoot(demoRoot, root);
  const studio = await Studio.start(studioBinary, root, log, env);
  let page = null;
  try {
    page = await Page.open(browser, `${studio.url}#look=${link.split('#look=')[1]}`, downloads);
    const { value: rows } = await waitFor('the look offered on a fresh studio', () => offeredLook(page), offersStyle);
    await waitFor('the look listed on a fresh studio', () => lookNames(page), (names) => String(names) === LOOK);
    await page.click('#proposal-apply');
    await fileHolding('the look applied on a fresh studio', path.join(root, PREFS_FILE), { style: 'Spectrum' });
    return `a fresh studio lists the look and its link offers ${rows.length} changes, written on Apply`;
  } finally {
    await page?.close();
    await studio.stop();
  }
}

// The studio's page in a headless browser Debian installs, driven by
// puppeteer-core: Chromium over the DevTools protocol, Firefox over WebDriver
// BiDi. Everything a road does to or reads from the page goes through here,
// the same calls for both browsers.
import { Failure, waitFor } from './harness.mjs';

const BROWSERS = {
  chromium: { browser: 'chrome', executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] },
  firefox: { browser: 'firefox', executablePath: '/usr/bin/firefox-esr', args: [] },
};
export const BROWSER_NAMES = Object.keys(BROWSERS);

export const BAND = [780, 90]; // the pills' band, 2 pixels a point
export const PHONE = [780, 1688]; // the whole 390 x 844 screen at 2 pixels a point, the band at its bottom

// The selector of a settings control, named by its key.
export const named = (key) => `[name="${key}"]`;

export async function launchBrowser(name) {
  const { default: puppeteer } = await import('puppeteer-core').catch((error) => {
    throw new Failure(`${error.message}: install it with \`npm ci --prefix studio\` (\`make deps\` does)`);
  });
  return puppeteer.launch({ ...BROWSERS[name], headless: true, defaultViewport: { width: 1280, height: 800 } });
}

export class Page {
  // A page of its own (no storage shared with another) at `url`; downloads land in `downloads`.
  static async open(browser, url, downloads) {
    const context = await browser.createBrowserContext({ downloadBehavior: { policy: 'allow', downloadPath: downloads } });
    const page = new Page();
    page.tab = await context.newPage();
    page.tab.setDefaultTimeout(60_000);
    await page.tab.goto(url);
    return page;
  }

  async goto(url) {
    await this.tab.goto(url);
  }

  async find(selector) {
    const element = await this.tab.$(selector);
    if (!element) throw new Failure(`no ${selector} on the page`);
    return element;
  }

  count(selector) {
    return this.tab.$$eval(selector, (elements) => elements.length);
  }

  // What a person reads there (innerText), or what an element holds.
  text(selector) {
    return this.tab.$eval(selector, (element) => element.innerText);
  }

  texts(selector) {
    return this.tab.$$eval(selector, (elements) => elements.map((element) => element.innerText));
  }

  property(selector, name) {
    return this.tab.$eval(selector, (element, name) => element[name], name);
  }

  // Each row below a table's first: its heading and its cells' text.
  tableRows(selector) {
    return this.tab.$$eval(`${selector} tr`, (rows) => rows.slice(1).map((row) => [
      row.querySelector('th').innerText, Array.from(row.querySelectorAll('td'), (cell) => cell.innerText)]));
  }

  properties(selector, name) {
    return this.tab.$$eval(selector, (elements, name) => elements.map((element) => element[name]), name);
  }

  attributes(selector, name) {
    return this.tab.$$eval(selector, (elements, name) => elements.map((element) => element.getAttribute(name)), name);
  }

  shown(selector) {
    return this.tab.$eval(selector, (element) => element.checkVisibility());
  }

  async click(selector) {
    await (await this.find(selector)).click();
  }

  async choose(selector, value) {
    await this.tab.select(selector, value);
  }

  chosen(selector) {
    return this.property(selector, 'value');
  }

  // As a person types it: the field's text replaced, then Enter.
  async typeInto(selector, text) {
    const field = await this.find(selector);
    await field.click();
    await field.evaluate((input) => input.select());
    await field.type(text);
    await field.press('Enter');
  }

  // A range input has no keystroke for "go to 1": set it and fire what a drag fires.
  async slide(selector, value) {
    await this.tab.$eval(selector, (slider, value) => {
      slider.value = value;
      slider.dispatchEvent(new Event('input', { bubbles: true }));
      slider.dispatchEvent(new Event('change', { bubbles: true }));
    }, String(value));
  }

  async upload(selector, path) {
    await (await this.find(selector)).uploadFile(path);
  }

  async respring() {
    const before = await this.text('#status');
    await this.click('#respring');
    // Sampling starts once the server has made the new pills, not while the old ones run on.
    await waitFor('page reporting the respring', () => this.text('#status'),
      (text) => text !== before && text.startsWith('Respring'));
  }

  note(key) {
    return this.text(`.row[data-key="${key}"] .reads`);
  }

  async message() {
    return (await this.shown('#message')) ? this.text('#message') : '';
  }

  // Pictures the page has drawn since it opened.
  async drawn() {
    return Number((await this.tab.$eval('#stage', (stage) => stage.dataset.drawn)) || 0);
  }

  // One pixel of the enlarged band, checked against the same one of the phone; null before the first picture.
  async pixel([x, y]) {
    const values = await this.tab.evaluate((x, y) => {
      const band = document.getElementById('band'), phone = document.getElementById('phone');
      if (!document.getElementById('stage').dataset.drawn) return null;
      const read = (canvas, atX, atY) => Array.from(canvas.getContext('2d').getImageData(atX, atY, 1, 1).data.slice(0, 3));
      return [band.width, band.height, phone.width, phone.height, ...read(band, x, y), ...read(phone, x, phone.height - band.height + y)];
    }, x, y);
    if (values === null) return null;
    if (String(values.slice(0, 4)) !== String([...BAND, ...PHONE])) {
      throw new Failure(`band ${values[0]} x ${values[1]} and phone ${values[2]} x ${values[3]}, not ${BAND} and ${PHONE}`);
    }
    if (String(values.slice(4, 7)) !== String(values.slice(7, 10))) {
      throw new Failure(`the band shows ${values.slice(4, 7)} where the phone shows ${values.slice(7, 10)}`);
    }
    return values.slice(4, 7);
  }

  // How many pixels of the phone differ from the PNG (base64), rows [skipFrom, skipTo) left out; -1 for another size.
  differingFrom(png, skipFrom, skipTo) {
    return this.tab.evaluate(async (png, skipFrom, skipTo) => {
      const image = new Image();
      image.src = `data:image/png;base64,${png}`;
      await image.decode();
      const phone = document.getElementById('phone');
      if (image.width !== phone.width || image.height !== phone.height) return -1;
      const canvas = Object.assign(document.createElement('canvas'), { width: image.width, height: image.height });
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const a = context.getImageData(0, 0, canvas.width, canvas.height).data;
      const b = phone.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      let differing = 0;
      for (let i = 0; i < a.length; i += 4) {
        const row = Math.floor(i / 4 / canvas.width);
        if (row >= skipFrom && row < skipTo) continue;
        if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) ++differing;
      }
      return differing;
    }, png, skipFrom, skipTo);
  }

  // Another tab brought to the front of the page's window, as a person leaves the page for another:
  // this one is hidden until show().
  async hide() {
    this.cover = await this.tab.browserContext().newPage();
    await this.cover.bringToFront();
  }

  async show() {
    await this.tab.bringToFront();
    await this.cover.close();
  }

  hidden() {
    return this.tab.evaluate(() => document.hidden);
  }

  async screenshot(path) {
    await this.tab.screenshot({ path, fullPage: true });
  }

  async close() {
    await this.tab.browserContext().close();
  }
}

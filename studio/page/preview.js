// The live preview: the phone's screen and, enlarged, the pills' band, both
// from one stream of PNG parts (GET /api/preview). The first part is the
// whole picture; each after it is the rectangle that changed, drawn over the
// picture kept in #phone (not shown) where its X-Place header says.
// Everything that moves lies in the pills' band (X-Band), so the phone is
// shown composed: its screen (#phone-screen, copied from #phone only when a
// part falls outside the band) under a live copy of the band (#phone-band),
// laid over it where the band lies; the enlarged band (#band) is a second live
// copy. The studio draws nothing while nothing moves, so neither does the
// page; nor while the page is hidden, as it then closes the stream. The
// pictures drawn are counted in the stage's data-drawn (the browser roads and
// bench/studio-cost read it; no style depends on it, so counting draws
// nothing).
//
// What a picture costs the browser is mostly the frames it makes (measured in
// docs/performance.md): so the two live copies are small desynchronized
// canvases, each handing its pixels to the compositor without a frame of the
// whole page, and a part is decoded by ImageDecoder where there is one,
// without the trip through a Blob.
(() => {
  'use strict';
  const stage = document.getElementById('stage');
  const phone = document.getElementById('phone');
  const phoneScreen = document.getElementById('phone-screen');
  const phoneBand = document.getElementById('phone-band');
  const phoneContext = phone.getContext('2d');
  const screenContext = phoneScreen.getContext('2d');
  const liveBands = [phoneBand, document.getElementById('band')]
    .map((canvas) => [canvas, canvas.getContext('2d', { desynchronized: true })]);
  const endOfHeaders = new TextEncoder().encode('\r\n\r\n');
  const headText = new TextDecoder();
  let drawn = 0;
  let bandPlace = null; // [x, y, width, height] in the picture

  // "x,y,w,h" as numbers.
  const numbers = (text) => (text || '').split(',').map(Number);

  function indexOf(bytes, pattern) {
    outer: for (let i = 0; i + pattern.length <= bytes.length; ++i) {
      for (let j = 0; j < pattern.length; ++j) if (bytes[i + j] !== pattern[j]) continue outer;
      return i;
    }
    return -1;
  }

  function headersOf(bytes) {
    const headers = {};
    for (const line of headText.decode(bytes).split('\r\n')) {
      const colon = line.indexOf(':');
      if (colon > 0) headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
    }
    return headers;
  }

  // A drawable picture of the PNG bytes; the caller closes it.
  async function decode(png) {
    if (typeof ImageDecoder === 'undefined') return createImageBitmap(new Blob([png], { type: 'image/png' }));
    const decoder = new ImageDecoder({ data: png, type: 'image/png' });
    try {
      return (await decoder.decode()).image;
    } finally {
      decoder.close();
    }
  }

  function sized(canvas, width, height) {
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
  }

  // The phone's live band laid over its screen where the band lies in the picture.
  function placeBand([x, y, width, height]) {
    const percent = (part, whole) => `${(100 * part) / whole}%`;
    Object.assign(phoneBand.style, {
      left: percent(x, phone.width), top: percent(y, phone.height),
      width: percent(width, phone.width), height: percent(height, phone.height),
    });
  }

  async function draw(headers, png) {
    const [x, y, width, height] = numbers(headers['x-place']);
    const [pictureWidth, pictureHeight] = numbers(headers['x-picture']);
    const place = numbers(headers['x-band']);
    const [bandX, bandY, bandWidth, bandHeight] = place;
    const picture = await decode(png);
    sized(phone, pictureWidth, pictureHeight);
    phoneContext.drawImage(picture, x, y);
    const inBand = bandPlace && place.every((value, i) => value === bandPlace[i])
      && x >= bandX && y >= bandY && x + width <= bandX + bandWidth && y + height <= bandY + bandHeight;
    if (inBand) {
      for (const [, context] of liveBands) context.drawImage(picture, x - bandX, y - bandY);
    } else {
      sized(phoneScreen, pictureWidth, pictureHeight);
      screenContext.drawImage(phone, 0, 0);
      for (const [canvas, context] of liveBands) {
        sized(canvas, bandWidth, bandHeight);
        context.drawImage(phone, bandX, bandY, bandWidth, bandHeight, 0, 0, bandWidth, bandHeight);
      }
      bandPlace = place;
      placeBand(place);
      // Shown from the first picture; a picture that is the band alone (--view pills) needs no phone beside it.
      stage.classList.add('live');
      stage.classList.toggle('band-only', bandWidth === pictureWidth && bandHeight === pictureHeight);
    }
    picture.close();
    stage.dataset.drawn = String(++drawn);
  }

  async function follow(signal) {
    // Low: it never ends, and the page's own files and settings go first.
    const response = await fetch('/api/preview', { cache: 'no-store', priority: 'low', signal });
    if (!response.ok || !response.body) throw new Error(`the preview answered ${response.status}`);
    const reader = response.body.getReader();
    let pending = new Uint8Array(0);
    for (;;) {
      const { value, done } = await reader.read();
      if (done) return;
      const joined = new Uint8Array(pending.length + value.length);
      joined.set(pending);
      joined.set(value, pending.length);
      pending = joined;
      for (;;) {
        const end = indexOf(pending, endOfHeaders);
        if (end < 0) break;
        const headers = headersOf(pending.subarray(0, end));
        const start = end + endOfHeaders.length, length = Number(headers['content-length']);
        if (!(length >= 0)) throw new Error('a preview part without its length');
        if (pending.length < start + length) break;
        await draw(headers, pending.slice(start, start + length));
        pending = pending.slice(start + length);
      }
    }
  }

  // Resolves once the page is shown: at once if it is.
  const shown = () => new Promise((resolve) => {
    const check = () => {
      if (document.hidden) return;
      document.removeEventListener('visibilitychange', check);
      resolve();
    };
    document.addEventListener('visibilitychange', check);
    check();
  });

  // The stream is followed while the page is shown. A hidden page (another tab in front, a minimised
  // window) closes it, so that neither the browser nor the studio makes pictures no one sees, and opens it
  // again when shown: its first part is the whole picture. A broken stream (the studio restarted, or too
  // many viewers) is opened again after a pause.
  async function keepFollowing() {
    for (;;) {
      await shown();
      const closing = new AbortController();
      const hide = () => {
        if (document.hidden) closing.abort();
      };
      document.addEventListener('visibilitychange', hide);
      try {
        await follow(closing.signal);
      } catch (error) {
        // Opened again below.
      } finally {
        document.removeEventListener('visibilitychange', hide);
      }
      if (!closing.signal.aborted) await new Promise((resolve) => setTimeout(resolve, 2000));
    }
  }
  // A fetch, unlike an <img>, does not hold the page's load open however long it streams.
  keepFollowing();
})();

// Time in the user's hand: pause and play, the speed, one picture forward, and
// the timeline since the last respring (GET and PUT /api/time, the `time`
// event). Between events the page counts time on from the last state it was
// told, and only while playing: paused, it draws nothing and wakes for nothing.
// Playing, the readout moves once a second, not every frame the screen could
// show: each move is a frame of the page that the browser lays out, paints and
// composites (about 0.5 % of a core a second; docs/performance.md).
(() => {
  'use strict';
  const { call, listen } = studioPage;
  const play = document.getElementById('time-play');
  const rate = document.getElementById('time-rate');
  const step = document.getElementById('time-step');
  const scrubber = document.getElementById('time-t');
  const shown = document.getElementById('time-shown');
  const message = document.getElementById('message');
  let state = { paused: false, rate: 1, t: 0, at: performance.now() };
  const tickMilliseconds = 1000;
  let dragging = false;
  let ticker = 0;
  let scrubs = Promise.resolve(); // one scrub at a time; the newest wins
  let wantedScrub = null;

  async function change(body) {
    try {
      await call('PUT', '/api/time', JSON.stringify(body));
    } catch (error) {
      message.textContent = error.message;
      message.hidden = false;
    }
  }

  const now = () => (state.paused ? state.t : state.t + ((performance.now() - state.at) / 1000) * state.rate);

  function show() {
    const t = now();
    shown.textContent = `${t.toFixed(3)} s`;
    if (!dragging) {
      scrubber.max = String(Math.max(Number(scrubber.max), Math.ceil(t / 10) * 10));
      scrubber.value = String(t);
      scrubber.setAttribute('aria-valuetext', `${t.toFixed(3)} seconds since the respring`);
    }
  }

  function tick() {
    show();
    ticker = state.paused ? 0 : setTimeout(tick, tickMilliseconds);
  }

  function follow(data) {
    state = { ...data, at: performance.now() };
    play.textContent = state.paused ? 'Play' : 'Pause';
    play.setAttribute('aria-pressed', String(state.paused));
    rate.value = String(state.rate);
    document.getElementById('timeline').dataset.paused = String(state.paused);
    clearTimeout(ticker);
    tick();
  }

  play.addEventListener('click', () => change({ paused: !state.paused }));
  rate.addEventListener('change', () => change({ rate: Number(rate.value) }));
  step.addEventListener('click', () => change({ step: true }));
  scrubber.addEventListener('input', () => {
    dragging = true;
    shown.textContent = `${Number(scrubber.value).toFixed(3)} s`;
    wantedScrub = Number(scrubber.value);
    scrubs = scrubs.then(async () => {
      if (wantedScrub === null) return;
      const t = wantedScrub;
      wantedScrub = null;
      await change({ t });
    });
  });
  scrubber.addEventListener('change', () => { dragging = false; });
  scrubber.addEventListener('blur', () => { dragging = false; });

  listen('time', (event) => follow(JSON.parse(event.data)));
  listen('respring', async () => follow(await call('GET', '/api/time')));
  listen('open', async () => follow(await call('GET', '/api/time')));
})();

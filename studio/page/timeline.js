// Time in the user's hand: pause and play, the speed, one picture forward, and
// the timeline since the last respring (GET and PUT /api/time, the `time`
// event). Between events the page counts time on from the last state it was
// told, and only while playing: paused, it draws nothing and wakes for nothing.
(() => {
  'use strict';
  const token = document.querySelector('meta[name="studio-token"]').content;
  const play = document.getElementById('time-play');
  const rate = document.getElementById('time-rate');
  const step = document.getElementById('time-step');
  const scrubber = document.getElementById('time-t');
  const shown = document.getElementById('time-shown');
  const message = document.getElementById('message');
  let state = { paused: false, rate: 1, t: 0, at: performance.now() };
  let dragging = false;
  let ticking = false;
  let scrubs = Promise.resolve(); // one scrub at a time; the newest wins
  let wantedScrub = null;

  async function change(body) {
    const response = await fetch('/api/time', {
      method: 'PUT', cache: 'no-store', body: JSON.stringify(body),
      headers: { 'X-Studio-Token': token, 'Content-Type': 'application/json' },
    });
    if (response.ok) return;
    const data = await response.json().catch(() => null);
    message.textContent = (data && data.error) || `PUT /api/time: HTTP ${response.status}`;
    message.hidden = false;
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
    if (state.paused) {
      ticking = false;
      return;
    }
    requestAnimationFrame(tick);
  }

  function follow(data) {
    state = { ...data, at: performance.now() };
    play.textContent = state.paused ? 'Play' : 'Pause';
    play.setAttribute('aria-pressed', String(state.paused));
    rate.value = String(state.rate);
    document.getElementById('timeline').dataset.paused = String(state.paused);
    if (!ticking) {
      ticking = true;
      requestAnimationFrame(tick);
    }
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

  const events = new EventSource('/api/events');
  events.addEventListener('time', (event) => follow(JSON.parse(event.data)));
  events.addEventListener('respring', async () => follow(await (await fetch('/api/time', { cache: 'no-store' })).json()));
  events.addEventListener('open', async () => follow(await (await fetch('/api/time', { cache: 'no-store' })).json()));
})();

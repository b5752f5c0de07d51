'use strict';

// The cost card (GET /api/cost) and the recording (POST, then GET /api/record).
(() => {
  const { call, listen } = studioPage;
  const table = document.getElementById('cost-table');
  const costState = document.getElementById('cost-state');
  const recordButton = document.getElementById('record');
  const recordView = document.getElementById('record-view');
  const recordProgress = document.getElementById('record-progress');
  const recordState = document.getElementById('record-state');
  const figures = [
    ['timerFires', 'Timer wake-ups'],
    ['animations', 'Block animations'],
    ['layerChanges', 'Layer changes'],
    ['layerColors', 'Colours given to layers'],
  ];

  const number = (value) => (Number.isInteger(value) ? String(value) : value.toFixed(2));

  function cell(tag, text) {
    const element = document.createElement(tag);
    element.textContent = text;
    return element;
  }

  // One column per look, one row per figure and pill, each a second.
  function show(cost) {
    const looks = [['Current', cost.current], ...cost.styles.map((look) => [look.style, look])];
    const head = document.createElement('tr');
    head.append(cell('th', 'A second, per pill'), ...looks.map(([name]) => Object.assign(cell('th', name), { scope: 'col' })));
    const rows = [head];
    for (const [pillIndex, pill] of cost.current.pills.entries()) {
      for (const [key, label] of figures) {
        const row = document.createElement('tr');
        row.append(Object.assign(cell('th', `${label} (${pill.pill})`), { scope: 'row' }));
        for (const [, look] of looks) row.append(cell('td', number(look.pills[pillIndex].perSecond[key])));
        rows.push(row);
      }
    }
    table.replaceChildren(...rows);
  }

  let asked = 0;
  async function refreshCost() {
    const mine = ++asked;
    try {
      const cost = await call('GET', '/api/cost');
      if (mine !== asked) return;
      if (!cost.ready) {
        costState.textContent = 'Measuring a minute of each look…';
        setTimeout(() => { if (mine === asked) refreshCost(); }, 300);
        return;
      }
      if (cost.error) {
        costState.textContent = `Could not measure: ${cost.error}`;
        return;
      }
      costState.textContent = `Measured over ${cost.current.seconds} s of simulated time, after the first layout.`;
      show(cost);
    } catch (error) {
      costState.textContent = error.message;
    }
  }

  async function followRecording() {
    try {
      const state = await call('GET', '/api/record');
      if (state.state === 'running') {
        if (state.total) {
          recordProgress.max = state.total;
          recordProgress.value = state.done;
        }
        recordState.textContent = `Recording ${state.seconds ?? ''} s of ${state.style ?? 'the look'}…`;
        setTimeout(followRecording, 300);
        return;
      }
      recordButton.disabled = false;
      if (state.state === 'failed') {
        recordState.textContent = `The recording failed: ${state.error}`;
        return;
      }
      recordProgress.value = recordProgress.max;
      recordState.textContent = `Recorded ${state.seconds} s of ${state.style}.`;
      const link = document.createElement('a');
      link.href = '/api/record.gif';
      link.download = '';
      document.body.append(link);
      link.click();
      link.remove();
    } catch (error) {
      recordButton.disabled = false;
      recordState.textContent = error.message;
    }
  }

  recordButton.addEventListener('click', async () => {
    recordButton.disabled = true;
    recordProgress.removeAttribute('value');
    try {
      await call('POST', '/api/record', JSON.stringify({ view: recordView.value }));
      followRecording();
    } catch (error) {
      recordButton.disabled = false;
      recordState.textContent = error.message;
    }
  });

  listen('settings', () => refreshCost());
  refreshCost();
})();

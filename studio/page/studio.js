'use strict';

(() => {
  const { call, make, listen } = studioPage;
  const message = document.getElementById('message');
  const statusLine = document.getElementById('status');
  const groups = document.getElementById('groups');
  const rows = new Map(); // key -> row, made from the first answer
  const editing = new Set(); // keys whose control the user is changing: never overwritten
  let writes = Promise.resolve(); // PUTs go one after another so the last one wins

  function showMessage(text) {
    message.textContent = text;
    message.hidden = !text;
  }

  // A colour the extension took ("#RGB" or "#RRGGBB", then maybe ":alpha"),
  // split for the well and the alpha slider. The page judges no colour text
  // itself: it splits only what the API says the extension reads or holds.
  function colorParts(color) {
    const [digits, alpha = '1'] = color.slice(1).split(':');
    const hex = digits.length === 3 ? digits.replace(/./g, (digit) => digit + digit) : digits;
    return { hex: `#${hex.toLowerCase()}`, alpha: Math.min(1, Math.max(0, Number(alpha))) };
  }

  const colorText = (hex, alpha) => (alpha >= 1 ? hex.toUpperCase() : `${hex.toUpperCase()}:${alpha}`);

  // Numbers arrive as the extension's 32-bit floats widened: show them short,
  // with as many decimals as the slider's step has (0.30, not 0.3000000119).
  const shortNumber = (value) => Number(Number(value).toPrecision(6));
  function numberText(entry, value) {
    const decimals = (String(entry.pane.range.step).split('.')[1] || '').length;
    const fixed = Number(value).toFixed(decimals);
    return Number(fixed) === shortNumber(value) ? fixed : String(shortNumber(value));
  }

  // A value in the page's words: a number with its unit, a choice by its label.
  function shown(entry, value) {
    if (typeof value === 'boolean') return value ? 'on' : 'off';
    if (entry.kind === 'number' && typeof value === 'number') {
      const unit = entry.pane.range.unit;
      return unit ? `${numberText(entry, value)} ${unit}` : numberText(entry, value);
    }
    const labels = entry.pane.choiceLabels;
    const choice = entry.choices ? entry.choices.indexOf(value) : -1;
    if (choice >= 0) return labels ? labels[choice] : value;
    return entry.kind === 'choice' ? `"${value}"` : String(value);
  }

  function sameReading(entry) {
    if (entry.kind === 'number' && typeof entry.file === 'number' && typeof entry.reads === 'number') {
      return Math.fround(entry.file) === Math.fround(entry.reads);
    }
    return entry.file === entry.reads;
  }

  // What the extension holds when that is not simply the file's value; quiet when only unset.
  function readingNote(entry) {
    const held = entry.held;
    if (entry.file === null) {
      let text;
      if (held.value === null) text = 'not set: the extension has not read the file yet';
      else if (held.from === 'initial') text = `not set: starts at ${shown(entry, held.value)}`;
      else if (entry.kind === 'color' && held.value === entry.fallback) text = `not set: the extension takes its fallback ${held.value}`;
      else text = `not set: the extension keeps ${shown(entry, held.value)}, its last value read`;
      return { text, quiet: true };
    }
    if (sameReading(entry)) return { text: '', quiet: true };
    if (entry.reads === null) return { text: `the extension cannot use this value and keeps ${shown(entry, held.value)}`, quiet: false };
    return { text: `the extension reads ${shown(entry, entry.reads)}`, quiet: false };
  }

  // Where the control sits: the file's value where the extension can use it, else what the extension holds.
  function current(entry) {
    if (entry.file === null || entry.reads === null) return entry.held.value;
    return entry.kind === 'number' && typeof entry.file === 'number' ? entry.file : entry.reads;
  }

  function setControl(row, entry) {
    const control = row.querySelector(`[name="${entry.key}"]`);
    const value = current(entry);
    row.classList.toggle('unset', entry.file === null);
    switch (entry.kind) {
      case 'flag':
        control.checked = value === true;
        break;
      case 'choice': {
        const known = entry.choices.includes(value);
        const odd = control.querySelector('.odd');
        odd.textContent = known || value === null ? '' : shown(entry, value);
        control.value = known ? value : '';
        break;
      }
      case 'number':
        if (typeof value === 'number') control.value = value;
        row.querySelector('output').textContent = typeof value === 'number' ? numberText(entry, value) : '—';
        break;
      case 'color': {
        const [, well, alpha] = row.querySelectorAll('input');
        control.value = typeof entry.file === 'string' ? entry.file : '';
        control.placeholder = value || '';
        if (typeof value === 'string') {
          const colour = colorParts(value);
          well.value = colour.hex;
          alpha.value = colour.alpha;
        }
        break;
      }
      default:
        break;
    }
  }

  // The control a key's kind takes, named after its key; changes go to send.
  function controlsFor(entry) {
    const { key, pane } = entry;
    switch (entry.kind) {
      case 'flag': {
        const box = make('input', { type: 'checkbox', id: key, name: key });
        box.addEventListener('change', () => send(key, box.checked));
        return [box];
      }
      case 'choice': {
        const labels = pane.choiceLabels || entry.choices;
        const options = entry.choices.map((choice, i) => make('option', { value: choice, textContent: labels[i] }));
        const select = make('select', { id: key, name: key }, make('option', { className: 'odd', value: '', disabled: true, hidden: true }), ...options);
        select.addEventListener('change', () => send(key, select.value));
        return [select];
      }
      case 'number': {
        const { min, max, step } = pane.range;
        const slider = make('input', { type: 'range', id: key, name: key, min, max, step });
        const output = make('output');
        slider.addEventListener('input', () => { output.textContent = numberText(entry, slider.value); });
        slider.addEventListener('change', () => send(key, Number(slider.value)));
        return [slider, output];
      }
      case 'color': {
        const text = make('input', { type: 'text', id: key, name: key, spellcheck: false, autocomplete: 'off' });
        const well = make('input', { type: 'color' });
        const alpha = make('input', { type: 'range', min: 0, max: 1, step: 0.01, title: 'alpha' });
        well.setAttribute('aria-label', `${pane.group}: ${pane.label}, colour well`);
        alpha.setAttribute('aria-label', `${pane.group}: ${pane.label}, alpha`);
        const compose = () => { text.value = colorText(well.value, Number(alpha.value)); };
        for (const input of [well, alpha]) {
          input.addEventListener('input', compose);
          input.addEventListener('change', () => send(key, text.value));
        }
        text.addEventListener('change', () => send(key, text.value.trim()));
        return [text, well, alpha];
      }
    }
  }

  function makeRow(entry) {
    const { key, pane } = entry;
    const unit = pane.range && pane.range.unit ? ` (${pane.range.unit})` : '';
    const label = make('label', { htmlFor: key, textContent: pane.label + unit, title: `${pane.explanation} (${key})` });
    const controls = controlsFor(entry);
    // What the extension makes of the value, read out with each of the key's controls.
    const reads = make('small', { className: 'reads', id: `${key}-reads` });
    for (const control of controls) control.setAttribute('aria-describedby', reads.id);
    const row = make('div', { className: `row ${entry.kind}` }, label, ...controls, reads);
    row.dataset.key = key;
    row.addEventListener('input', () => editing.add(key));
    // Left without a change: the control may follow the file again.
    row.addEventListener('focusout', () => {
      setTimeout(() => {
        if (row.contains(document.activeElement) || !editing.has(key)) return;
        editing.delete(key);
        writes = writes.then(refresh);
      });
    });
    return row;
  }

  // The form: a fieldset for each group, in their order, holding its keys in theirs.
  function build(data) {
    const fieldsets = new Map(data.groups.map((group) => [group, make('fieldset', {}, make('legend', { textContent: group }))]));
    groups.append(...fieldsets.values());
    for (const entry of data.keys) {
      const row = makeRow(entry);
      rows.set(entry.key, row);
      fieldsets.get(entry.pane.group).append(row);
    }
  }

  function describeFile(data) {
    const state = document.getElementById('file-state');
    if (!data.exists) state.textContent = 'No preferences file: each setting shows what the extension holds without one.';
    else if (!data.readable) state.textContent = 'The device cannot read the preferences file: Reset removes it.';
    else state.textContent = '';
    state.hidden = !state.textContent;

    const other = document.getElementById('other');
    const list = other.querySelector('ul');
    list.replaceChildren(...Object.entries(data.other || {}).map(([key, value]) => make('li', { textContent: `${key}: ${JSON.stringify(value)}` })));
    other.hidden = list.children.length === 0;
  }

  function apply(data) {
    if (rows.size === 0) build(data);
    describeFile(data);
    for (const entry of data.keys) {
      const row = rows.get(entry.key);
      if (!row) continue;
      const note = readingNote(entry);
      const reads = row.querySelector('.reads');
      reads.textContent = note.text;
      reads.classList.toggle('quiet', note.quiet);
      if (!editing.has(entry.key)) setControl(row, entry);
    }
  }

  // One GET at a time; a request made meanwhile runs once more after it.
  let fetching = null;
  let fetchAgain = false;
  async function refresh() {
    if (fetching) {
      fetchAgain = true;
      return fetching;
    }
    fetching = (async () => {
      do {
        fetchAgain = false;
        try {
          apply(await call('GET', '/api/settings'));
        } catch (error) {
          showMessage(error.message);
        }
      } while (fetchAgain);
    })();
    try { await fetching; } finally { fetching = null; }
  }

  // Numbers go as JSON reals (1.0, not 1) so the file holds a float, as a slider writes.
  function bodyFor(key, value) {
    if (typeof value === 'number') {
      return `{${JSON.stringify(key)}: ${Number.isInteger(value) ? value.toFixed(1) : String(value)}}`;
    }
    return JSON.stringify({ [key]: value });
  }

  function send(key, value) {
    editing.add(key);
    writes = writes.then(async () => {
      try {
        const data = await call('PUT', '/api/settings', bodyFor(key, value));
        editing.delete(key);
        showMessage('');
        apply(data);
      } catch (error) {
        editing.delete(key);
        showMessage(error.message);
        await refresh(); // puts the control back to what the file holds
      }
    });
  }

  document.getElementById('respring').addEventListener('click', async () => {
    try {
      const data = await call('POST', '/api/respring');
      statusLine.textContent = `Respring ${data.respring} done`;
    } catch (error) {
      showMessage(error.message);
    }
  });

  document.getElementById('reset').addEventListener('click', async () => {
    if (!window.confirm('Remove the preferences file? The extension keeps the values it last read; the colours fall back.')) return;
    try {
      const data = await call('DELETE', '/api/settings');
      statusLine.textContent = data.removed ? 'Preferences file removed' : 'There was no preferences file';
      showMessage('');
    } catch (error) {
      showMessage(error.message);
    }
    await refresh();
  });

  listen('settings', () => refresh());
  listen('respring', (event) => {
    statusLine.textContent = `Respring ${JSON.parse(event.data).respring} done`;
  });
  // Also on reconnecting: changes made while cut off are fetched.
  listen('open', () => refresh());

  refresh();
})();

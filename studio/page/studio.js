'use strict';

(() => {
  const token = document.querySelector('meta[name="studio-token"]').content;
  const message = document.getElementById('message');
  const statusLine = document.getElementById('status');
  const rows = new Map([...document.querySelectorAll('.row')].map((row) => [row.dataset.key, row]));
  const editing = new Set(); // keys whose control the user is changing: never overwritten
  let writes = Promise.resolve(); // PUTs go one after another so the last one wins

  async function call(method, path, body) {
    const headers = { 'X-Studio-Token': token };
    if (body !== undefined) headers['Content-Type'] = 'application/json';
    const response = await fetch(path, { method, headers, body, cache: 'no-store' });
    let data = null;
    try { data = await response.json(); } catch { /* not JSON: reported by status below */ }
    if (!response.ok) throw new Error((data && data.error) || `${method} ${path}: HTTP ${response.status}`);
    return data;
  }

  function showMessage(text) {
    message.textContent = text;
    message.hidden = !text;
  }

  // #RGB or #RRGGBB, then optionally :alpha, as the extension takes them.
  function parseColour(text) {
    const match = /^#([0-9a-f]{3}|[0-9a-f]{6})(?::(.+))?$/i.exec(text || '');
    if (!match) return null;
    let hex = match[1];
    if (hex.length === 3) hex = hex.replace(/./g, (digit) => digit + digit);
    const alpha = match[2] === undefined ? 1 : Number(match[2]);
    return { hex: `#${hex.toLowerCase()}`, alpha: Number.isFinite(alpha) ? Math.min(1, Math.max(0, alpha)) : 1 };
  }

  const colourText = (hex, alpha) => (alpha >= 1 ? hex.toUpperCase() : `${hex.toUpperCase()}:${alpha}`);

  // Numbers arrive as the extension's 32-bit floats widened: show them short.
  const shortNumber = (value) => String(Number(Number(value).toPrecision(6)));

  function shown(value) {
    if (typeof value === 'number') return shortNumber(value);
    if (typeof value === 'boolean') return value ? 'on' : 'off';
    return String(value);
  }

  function sameReading(entry) {
    if (entry.kind === 'number' && typeof entry.file === 'number' && typeof entry.reads === 'number') {
      return Math.fround(entry.file) === Math.fround(entry.reads);
    }
    return entry.file === entry.reads;
  }

  // What the extension takes when that is not simply the file's value; quiet when only unset.
  function readingNote(entry) {
    if (entry.file === null) return { text: entry.reads === null ? 'not set' : `not set: the extension reads ${shown(entry.reads)}`, quiet: true };
    if (sameReading(entry)) return { text: '', quiet: true };
    if (entry.reads === null) return { text: 'the extension cannot use this value and keeps what it had', quiet: false };
    return { text: `the extension reads ${shown(entry.reads)}`, quiet: false };
  }

  function setControl(row, entry) {
    const control = row.querySelector(`[name="${entry.key}"]`);
    switch (entry.kind) {
      case 'flag':
        control.checked = typeof entry.file === 'boolean' ? entry.file : entry.reads === true;
        break;
      case 'choice':
        control.value = entry.choices.includes(entry.file) ? entry.file : '';
        break;
      case 'number':
        if (typeof entry.file === 'number') control.value = entry.file;
        row.querySelector('output').textContent = entry.file === null ? '—' : shown(entry.file);
        break;
      case 'colour': {
        const [, well, alpha] = row.querySelectorAll('input');
        control.value = typeof entry.file === 'string' ? entry.file : '';
        control.placeholder = entry.fallback || '';
        const colour = parseColour(entry.reads);
        if (colour) {
          well.value = colour.hex;
          alpha.value = colour.alpha;
        }
        break;
      }
      default:
        break;
    }
  }

  function describeFile(data) {
    const state = document.getElementById('file-state');
    if (!data.exists) state.textContent = 'No preferences file: the extension keeps its defaults.';
    else if (!data.readable) state.textContent = 'The device cannot read the preferences file: Reset removes it.';
    else state.textContent = '';
    state.hidden = !state.textContent;

    const other = document.getElementById('other');
    const list = other.querySelector('ul');
    list.replaceChildren(...Object.entries(data.other || {}).map(([key, value]) => {
      const item = document.createElement('li');
      item.textContent = `${key}: ${JSON.stringify(value)}`;
      return item;
    }));
    other.hidden = list.children.length === 0;
  }

  function apply(data) {
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

  for (const [key, row] of rows) {
    const control = row.querySelector(`[name="${key}"]`);
    row.querySelector('label').title = key;
    row.addEventListener('input', () => editing.add(key));
    // Left without a change: the control may follow the file again.
    row.addEventListener('focusout', () => {
      setTimeout(() => {
        if (row.contains(document.activeElement) || !editing.has(key)) return;
        editing.delete(key);
        writes = writes.then(refresh);
      });
    });

    if (row.classList.contains('colour')) {
      const [text, well, alpha] = row.querySelectorAll('input');
      const compose = () => { text.value = colourText(well.value, Number(alpha.value)); };
      well.addEventListener('input', compose);
      alpha.addEventListener('input', compose);
      well.addEventListener('change', () => send(key, text.value));
      alpha.addEventListener('change', () => send(key, text.value));
      text.addEventListener('input', () => {
        const colour = parseColour(text.value.trim());
        if (colour) {
          well.value = colour.hex;
          alpha.value = colour.alpha;
        }
      });
      text.addEventListener('change', () => send(key, text.value.trim()));
    } else if (control.type === 'checkbox') {
      control.addEventListener('change', () => send(key, control.checked));
    } else if (control.type === 'range') {
      const output = row.querySelector('output');
      control.addEventListener('input', () => { output.textContent = shortNumber(control.value); });
      control.addEventListener('change', () => send(key, Number(control.value)));
    } else {
      control.addEventListener('change', () => send(key, control.value));
    }
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
    if (!window.confirm('Remove the preferences file? The extension goes back to its defaults.')) return;
    try {
      const data = await call('DELETE', '/api/settings');
      statusLine.textContent = data.removed ? 'Preferences file removed' : 'There was no preferences file';
      showMessage('');
    } catch (error) {
      showMessage(error.message);
    }
    await refresh();
  });

  const events = new EventSource('/api/events');
  events.addEventListener('settings', () => refresh());
  events.addEventListener('respring', (event) => {
    statusLine.textContent = `Respring ${JSON.parse(event.data).respring} done`;
  });
  // Also on reconnecting: changes made while cut off are fetched.
  events.addEventListener('open', () => refresh());

  refresh();
})();

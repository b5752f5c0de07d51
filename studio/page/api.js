'use strict';

// What every part of the page shares: a request to the studio (with the token
// the page was served with; an answer that is not OK becomes an Error carrying
// the studio's words), making an element and the studio's events. Loaded
// before the other scripts.
const studioPage = (() => {
  const token = document.querySelector('meta[name="studio-token"]').content;

  async function call(method, path, body, type = 'application/json') {
    const headers = { 'X-Studio-Token': token };
    if (body !== undefined) headers['Content-Type'] = type;
    const response = await fetch(path, { method, headers, body, cache: 'no-store' });
    let data = null;
    try { data = await response.json(); } catch { /* not JSON: reported by status below */ }
    if (!response.ok) throw new Error((data && data.error) || `${method} ${path}: HTTP ${response.status}`);
    return data;
  }

  function make(tag, properties = {}, ...children) {
    const element = Object.assign(document.createElement(tag), properties);
    element.append(...children);
    return element;
  }

  // The studio's events (GET /api/events), one stream for the whole page: the
  // studio serves 16 at once. Opened once every script has said what it
  // listens for (deferred scripts all run before DOMContentLoaded), so that
  // none misses the first `open`.
  const listeners = [];
  const listen = (name, listener) => listeners.push([name, listener]);
  document.addEventListener('DOMContentLoaded', () => {
    const events = new EventSource('/api/events');
    for (const [name, listener] of listeners) events.addEventListener(name, listener);
  });

  return { call, make, listen };
})();

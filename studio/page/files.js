'use strict';

// The phone's file and the looks: download, open a phone's file, looks kept by
// name, and a look's link. Whatever comes from outside (a file, a link) is
// shown as what it would change and written only when the user confirms.
(() => {
  const { call, make } = studioPage;
  const message = document.getElementById('files-message');
  const proposal = document.getElementById('proposal');
  const lookList = document.getElementById('look-list');
  const kMostFragmentCharacters = 4096; // a look's link is about 600
  let confirmProposal = null; // what Apply does for the change on show

  function say(text) {
    message.textContent = text;
    message.hidden = !text;
  }

  const shownValue = (value) => (value === null ? '(not set)' : JSON.stringify(value));

  function closeProposal() {
    proposal.hidden = true;
    confirmProposal = null;
  }

  // Shows what a change would do; `apply` runs only on the user's Apply.
  function offer(title, answer, apply) {
    document.getElementById('proposal-title').textContent = title;
    const rows = answer.changes.map((change) => make('tr', {},
      make('th', { scope: 'row', textContent: change.key }),
      make('td', { textContent: shownValue(change.current) }),
      make('td', { textContent: shownValue(change.new) })));
    proposal.querySelector('tbody').replaceChildren(...rows);
    const ignored = answer.ignored || [];
    const note = document.getElementById('proposal-note');
    note.textContent = [answer.changes.length === 0 ? 'It changes nothing.' : '',
      ignored.length ? `Left out, as AuroraRibbon does not read them: ${ignored.join(', ')}.` : ''].join(' ').trim();
    confirmProposal = apply;
    proposal.hidden = false;
    document.getElementById('proposal-apply').focus();
  }

  document.getElementById('proposal-apply').addEventListener('click', async () => {
    const apply = confirmProposal;
    closeProposal();
    if (!apply) return;
    try {
      await apply();
      say('Applied.');
    } catch (error) {
      say(error.message);
    }
  });
  document.getElementById('proposal-cancel').addEventListener('click', () => {
    closeProposal();
    say('Nothing was changed.');
  });

  // A phone's file: previewed, then the same bytes sent again with the confirmation.
  const fileInput = document.getElementById('phone-file-input');
  fileInput.addEventListener('change', async () => {
    const file = fileInput.files[0];
    fileInput.value = '';
    if (!file) return;
    closeProposal();
    say('');
    try {
      const bytes = await file.arrayBuffer();
      const type = 'application/octet-stream';
      const answer = await call('POST', '/api/phone-file', bytes, type);
      offer(`The file ${file.name} would change:`, answer, () => call('POST', '/api/phone-file?confirm=yes', bytes, type));
    } catch (error) {
      say(error.message);
    }
  });

  // A look's fragment: base64url of its settings as JSON, sent on as the very text it decodes to.
  function lookFromFragment(fragment) {
    if (fragment.length > kMostFragmentCharacters) throw new Error(`this link's look is longer than ${kMostFragmentCharacters} characters`);
    if (!/^[A-Za-z0-9_-]*$/.test(fragment)) throw new Error("this link's look is not base64url text");
    let text;
    try {
      const binary = atob(fragment.replace(/-/g, '+').replace(/_/g, '/'));
      text = new TextDecoder('utf-8', { fatal: true }).decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
    } catch {
      throw new Error("this link's look cannot be decoded");
    }
    let parsed;
    try { parsed = JSON.parse(text); } catch { throw new Error("this link's look is not JSON"); }
    if (parsed === null || typeof parsed !== 'object' || Array.isArray(parsed)) throw new Error("this link's look is not a set of keys and values");
    return text;
  }

  function forgetFragment() {
    history.replaceState(null, '', location.pathname + location.search);
  }

  async function offerLinkedLook() {
    const match = /^#look=(.*)$/s.exec(location.hash);
    if (!match) return;
    closeProposal();
    try {
      const text = lookFromFragment(match[1]);
      const answer = await call('POST', '/api/settings/preview', text);
      offer('The look in this link would change:', answer, async () => {
        await call('PUT', '/api/settings', text);
        forgetFragment();
      });
    } catch (error) {
      say(`The look in this link is refused: ${error.message}. Nothing was changed.`);
      forgetFragment();
    }
  }

  function lookItem(look) {
    const buttons = [];
    const button = (text, label, act) => {
      const element = make('button', { type: 'button', textContent: text });
      element.setAttribute('aria-label', `${label} ${look.name}`);
      element.addEventListener('click', async () => {
        try {
          await act();
        } catch (error) {
          say(error.message);
        }
      });
      buttons.push(element);
    };
    const body = JSON.stringify({ name: look.name });
    if (look.settings) {
      button('Apply', 'Apply the look', async () => {
        await call('POST', '/api/looks/apply', body);
        say(`The look ${look.name} is applied.`);
      });
    }
    button('Rename', 'Rename the look', async () => {
      const to = window.prompt(`A new name for ${look.name}`, look.name);
      if (to === null || to === look.name) return;
      showLooks(await call('POST', '/api/looks/rename', JSON.stringify({ name: look.name, to })));
      say('');
    });
    button('Delete', 'Delete the look', async () => {
      if (!window.confirm(`Delete the look ${look.name}?`)) return;
      showLooks(await call('POST', '/api/looks/delete', body));
      say('');
    });
    const item = make('li', {}, make('span', { className: 'look-name', textContent: look.name }), ...buttons);
    item.dataset.look = look.name;
    if (look.link) {
      const link = make('a', { href: look.link, textContent: 'link' });
      link.setAttribute('aria-label', `A link that offers ${look.name}`);
      item.append(link);
    }
    if (look.error) item.append(make('small', { textContent: look.error }));
    return item;
  }

  function showLooks(answer) {
    lookList.replaceChildren(...answer.looks.map(lookItem));
    document.getElementById('looks-empty').hidden = answer.looks.length > 0;
    document.getElementById('looks-folder').textContent = answer.folder;
    document.getElementById('device-path').textContent = answer.devicePath;
    document.getElementById('device-notification').textContent = answer.notification;
  }

  document.getElementById('look-save').addEventListener('submit', async (event) => {
    event.preventDefault();
    const name = document.getElementById('look-name');
    try {
      showLooks(await call('POST', '/api/looks', JSON.stringify({ name: name.value })));
      say(`The current settings are kept as ${name.value}.`);
      name.value = '';
    } catch (error) {
      say(error.message);
    }
  });

  window.addEventListener('hashchange', offerLinkedLook);
  call('GET', '/api/looks').then(showLooks, (error) => say(error.message));
  offerLinkedLook();
})();

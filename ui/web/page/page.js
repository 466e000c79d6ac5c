// The browser's front end. The page arrives with Form1 already drawn, from
// the window's description, when the site was built; this script gives the
// drawn controls their behaviour, hands the module the view it calls, and
// sends clicks and menu choices to the module's handlers. What the user does
// before the module has arrived is done once it has.
'use strict';

(function () {
  const description = JSON.parse(document.getElementById('description').textContent);
  const behaviour = description.behaviour;
  const texts = description.texts;
  const app = document.getElementById('app');
  let module = null;
  const waiting = [];  // calls for the module, in the order the user made them
  let lastFocused = document.activeElement;  // the control to give the focus back to
  let focusAfterMessage = null;  // the box the open message names

  function element(tag, properties, children) {
    const made = document.createElement(tag);
    for (const [name, value] of Object.entries(properties || {})) {
      if (name === 'text') made.textContent = value;
      else if (name === 'className') made.className = value;
      else made.setAttribute(name, value);
    }
    for (const child of children || []) made.append(child);
    return made;
  }

  function withModule(call) {
    if (module) call(module);
    else waiting.push(call);
  }

  // ---- the view the module's handlers talk to ----------------------------

  const view = {
    text(name) {
      const box = document.getElementById(name);
      return box && 'value' in box ? box.value : '';
    },
    setText(name, text, said) {
      const box = document.getElementById(name);
      if (!box || !('value' in box)) return;
      box.value = text;
      // Shown from its start, as a number is read.
      box.setSelectionRange(0, 0);
      box.scrollLeft = 0;
      // Said where the box is not being read: "r: .453125".
      if (said) announce(said);
    },
    showMessage(text) {
      const dialog = document.getElementById('message');
      const returnTo = document.activeElement;
      focusAfterMessage = null;
      document.getElementById('message-text').textContent = text;
      // The close event comes a task after the message has gone: by then the
      // browser may have put the focus back itself, or the user moved it on.
      // Only a focus left nowhere, still in the message, or put back where it
      // was, goes to the box the message names; only a lost one goes back.
      dialog.addEventListener('close', () => {
        const now = document.activeElement;
        const lost = !now || now === document.body || dialog.contains(now);
        if (focusAfterMessage && (lost || now === returnTo)) selectForTyping(focusAfterMessage);
        else if (lost && returnTo && returnTo.isConnected) returnTo.focus();
        focusAfterMessage = null;
      }, { once: true });
      dialog.showModal();
      document.getElementById('message-ok').focus();
    },
    focusSelected(name) {
      const box = document.getElementById(name);
      if (!box) return;
      if (document.getElementById('message').open) focusAfterMessage = box;
      else selectForTyping(box);
    },
    copyToClipboard(plain, html) {
      const byHand = document.getElementById('copy-by-hand');
      byHand.hidden = true;
      if (copyNow(plain, html)) return copied();
      // Without a click still in hand (the module arrived after it), or
      // where the old way is gone, the asynchronous clipboard may yet take it.
      const write = navigator.clipboard && navigator.clipboard.write && window.ClipboardItem
        ? navigator.clipboard.write([new ClipboardItem({
          'text/plain': new Blob([plain], { type: 'text/plain' }),
          'text/html': new Blob([html], { type: 'text/html' }),
        })])
        : Promise.reject(new Error('no clipboard'));
      write.then(copied, () => {
        // Said in one line, and the record shown to be copied by hand.
        byHand.querySelector('p').textContent = texts.copy_refused;
        const record = byHand.querySelector('textarea');
        record.value = plain;
        byHand.hidden = false;
        record.focus();
        record.select();
      });
    },
    endProgram() {
      // Browsers let a page close only a window that a script opened, or an
      // installed app's. Where it stays open, the calculator leaves the page.
      window.close();
      module = null;
      waiting.length = 0;
      const commands = document.querySelector('.commands');
      if (commands) commands.remove();
      replaceWindow(texts.ended);
    },
  };

  // Both forms in one copy, as the browser's own Copy puts them; false
  // where the browser refuses (no click to answer, no permission).
  function copyNow(plain, html) {
    let given = false;
    const give = (event) => {
      event.clipboardData.setData('text/plain', plain);
      event.clipboardData.setData('text/html', html);
      event.preventDefault();
      given = true;
    };
    document.addEventListener('copy', give, { capture: true });
    let done = false;
    try {
      done = document.execCommand('copy');
    } catch (error) {
      done = false;
    }
    document.removeEventListener('copy', give, { capture: true });
    return done && given;
  }

  // A command done is shown beside its button and said to screen readers.
  function copied() {
    const done = document.getElementById('command-done');
    done.textContent = '';
    requestAnimationFrame(() => { done.textContent = texts.copied; });
    announce(texts.copied);
  }

  function selectForTyping(box) {
    box.focus();
    if ('select' in box) box.select();
  }

  // Puts a note where the window was, with a button that loads the page again.
  function replaceWindow(lines, role) {
    const again = element('button', { type: 'button', text: texts.start_again });
    again.addEventListener('click', () => location.reload());
    const note = element('div', { className: 'ended' }, [...lines.map((line) => element('p', { text: line })), again]);
    if (role) note.setAttribute('role', role);
    app.replaceChildren(note);
    again.focus();
  }

  // A pattern of the description's texts with what is known only now
  // filled in (the title was filled as the site was built).
  function fill(pattern, values) {
    return pattern.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? values[name] : whole));
  }

  function cannotStart(reason, advice) {
    replaceWindow([fill(texts.cannot_start, { reason }), advice], 'alert');
  }

  function focusableControls() {
    return description.focus_order.map((name) => document.getElementById(name));
  }

  function isTextBox(element) {
    return element instanceof HTMLInputElement && element.closest('.client') !== null;
  }

  // A box reached from the keyboard has its whole text selected, so typing
  // replaces it.
  function focusFromKeyboard(control) {
    control.focus();
    if (isTextBox(control) && behaviour.select_all_on_keyboard_focus) control.select();
  }

  // Tab follows the description's focus order inside the window. From its
  // last control Tab, and from its first Shift+Tab, go on to the rest of the
  // page and the browser, as from any form on a page: the browser's to do.
  function followTabOrder(event) {
    if (event.key !== 'Tab' || event.altKey || event.ctrlKey || event.metaKey) return;
    const order = focusableControls();
    const at = order.indexOf(document.activeElement);
    const next = at + (event.shiftKey ? -1 : 1);
    if (at < 0 || next < 0 || next >= order.length) return;
    focusFromKeyboard(order[next]);
    event.preventDefault();
  }

  // Enter in any box is a click on the button the description names; not
  // while an input method is still composing, where Enter takes its text.
  function onBoxKey(event) {
    if (event.key !== 'Enter' || event.isComposing || !isTextBox(event.target)) return;
    if (event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) return;
    event.preventDefault();
    document.getElementById(behaviour.enter_clicks).click();
  }

  // A double-click takes the run the module's rule gives, not the
  // browser's word, which would split " 2.5E-05" at its point or sign; the
  // browser's word stands until the module has arrived. The browser has
  // put the caret at the start of its word, inside the run.
  function onBoxDoubleClick(event) {
    const box = event.target;
    if (!isTextBox(box) || box.value === '' || !module) return;
    const text = box.value;
    // The text as UTF-16 in the module's memory, then the run's ends after it.
    const memory = module._malloc(2 * text.length + 12);
    if (!memory) return;
    const range = (memory + 2 * text.length + 3) & ~3;
    for (let i = 0; i < text.length; i += 1) module.HEAPU16[(memory >> 1) + i] = text.charCodeAt(i);
    module._bemvara_double_click_run(memory, text.length, box.selectionStart, range);
    box.setSelectionRange(module.HEAPU32[range >> 2], module.HEAPU32[(range >> 2) + 1]);
    module._free(memory);
  }

  function announce(text) {
    const announcer = document.getElementById('announcer');
    // Emptied first, so the same result said twice is said again.
    announcer.textContent = '';
    requestAnimationFrame(() => { announcer.textContent = text; });
  }

  // ---- the menu bar ---------------------------------------------------------

  function wireMenuBar() {
    description.menus.forEach((menu, menuIndex) => {
      const title = document.getElementById(menu.name);
      menu.items.forEach((item, itemIndex) => {
        document.getElementById(item).addEventListener('click', () => choose(menuIndex, itemIndex));
      });
      title.addEventListener('click', () => (openMenu() === menuIndex ? leaveMenus() : open(menuIndex, false)));
      title.addEventListener('pointerenter', () => {
        if (openMenu() >= 0 && openMenu() !== menuIndex) open(menuIndex, false);
      });
    });
    document.querySelector('[role="menubar"]').addEventListener('keydown', onMenuKey);
  }

  function titles() {
    return description.menus.map((menu) => document.getElementById(menu.name));
  }

  function itemsOf(menuIndex) {
    return description.menus[menuIndex].items.map((item) => document.getElementById(item));
  }

  function openMenu() {
    return titles().findIndex((title) => title.getAttribute('aria-expanded') === 'true');
  }

  function closeMenus() {
    for (const title of titles()) {
      title.setAttribute('aria-expanded', 'false');
      title.nextElementSibling.hidden = true;
    }
  }

  function open(menuIndex, focusFirstItem) {
    closeMenus();
    const title = titles()[menuIndex];
    title.setAttribute('aria-expanded', 'true');
    title.nextElementSibling.hidden = false;
    if (focusFirstItem) itemsOf(menuIndex)[0].focus();
    else title.focus();
  }

  function enterMenuBar() {
    closeMenus();
    titles()[0].focus();
  }

  function leaveMenus() {
    closeMenus();
    (lastFocused && lastFocused.isConnected ? lastFocused : focusableControls()[0]).focus();
  }

  function choose(menuIndex, itemIndex) {
    leaveMenus();
    withModule((ready) => ready._bemvara_choose(menuIndex, itemIndex));
  }

  function onMenuKey(event) {
    const allTitles = titles();
    const titleAt = allTitles.indexOf(document.activeElement);
    const menuIndex = titleAt >= 0 ? titleAt : openMenu();
    if (menuIndex < 0) return;
    const items = itemsOf(menuIndex);
    const itemAt = items.indexOf(document.activeElement);
    const step = (from, by, count) => (from + by + count) % count;
    switch (event.key) {
      case 'ArrowRight':
      case 'ArrowLeft': {
        const next = step(menuIndex, event.key === 'ArrowRight' ? 1 : -1, allTitles.length);
        if (openMenu() >= 0) open(next, itemAt >= 0);
        else allTitles[next].focus();
        break;
      }
      case 'ArrowDown':
      case 'ArrowUp':
        if (itemAt >= 0) items[step(itemAt, event.key === 'ArrowDown' ? 1 : -1, items.length)].focus();
        else open(menuIndex, true);
        break;
      case 'Enter':
      case ' ':
        if (itemAt >= 0) choose(menuIndex, itemAt);
        else open(menuIndex, true);
        break;
      case 'Escape':
        if (itemAt >= 0) {
          closeMenus();
          allTitles[menuIndex].focus();
        } else {
          leaveMenus();
        }
        break;
      case 'Tab':
        leaveMenus();
        break;
      default:
        return;
    }
    event.preventDefault();
    event.stopPropagation();
  }

  // F10, or Alt pressed and released alone, moves into the menu bar and out.
  let altAlone = false;
  function onWindowKeyDown(event) {
    altAlone = event.key === 'Alt' && !event.repeat;
    const inBar = event.target instanceof Element && event.target.closest('[role="menubar"]');
    if (event.key === behaviour.menu_key && !event.shiftKey && !event.ctrlKey && !event.altKey) {
      if (inBar) leaveMenus();
      else enterMenuBar();
      event.preventDefault();
      return;
    }
    if (!inBar) followTabOrder(event);
  }
  function onWindowKeyUp(event) {
    if (event.key !== 'Alt' || !altAlone) return;
    altAlone = false;
    if (document.querySelector('dialog[open]')) return;
    const inBar = document.activeElement && document.activeElement.closest('[role="menubar"]');
    if (inBar) leaveMenus();
    else enterMenuBar();
    event.preventDefault();
  }

  // ---- putting it together --------------------------------------------------

  function wireWindow() {
    // Each button carries its index in the description's list of controls.
    document.querySelectorAll('.client .push-button[data-index]').forEach((button) => {
      const index = Number(button.dataset.index);
      button.addEventListener('click', () => withModule((ready) => ready._bemvara_click(index)));
    });
    // A box's command carries its control's index and its own.
    document.querySelectorAll('.commands .command[data-control]').forEach((button) => {
      const [control, command] = [Number(button.dataset.control), Number(button.dataset.command)];
      button.addEventListener('click', () => withModule((ready) => ready._bemvara_command(control, command)));
    });
    wireMenuBar();
    const client = document.querySelector('.client');
    client.addEventListener('focusin', (event) => { lastFocused = event.target; });
    client.addEventListener('keydown', onBoxKey);
    client.addEventListener('dblclick', onBoxDoubleClick);
    // The message keeps the focus on its button: a click elsewhere in it
    // (the second of a double-click on the button, say) must not take it away.
    const dialog = document.getElementById('message');
    dialog.addEventListener('mousedown', (event) => {
      if (!(event.target instanceof HTMLButtonElement)) event.preventDefault();
    });
    // As a desktop message box does, it keeps the keyboard: Tab goes round
    // its one button, not out to the browser's own controls.
    const ok = document.getElementById('message-ok');
    dialog.addEventListener('keydown', (event) => {
      if (event.key !== 'Tab') return;
      event.preventDefault();
      ok.focus();
    });
    // WebKit moves the focus to the dialog itself all the same.
    dialog.addEventListener('focusin', (event) => {
      if (event.target === dialog) ok.focus();
    });
    document.addEventListener('keydown', onWindowKeyDown);
    document.addEventListener('keyup', onWindowKeyUp);
    document.addEventListener('pointerdown', (event) => {
      if (!(event.target instanceof Element) || !event.target.closest('[role="menubar"]')) closeMenus();
    });
  }

  function ready(instance) {
    module = instance;
    performance.mark('ready');  // a calculation can run from here on
    document.body.dataset.ready = 'true';
    for (const call of waiting.splice(0)) call(module);
  }

  // A host whose policy forbids WebAssembly is named as the cause, not the
  // network; the browser reports the violation before the compile fails.
  let forbidden = false;
  document.addEventListener('securitypolicyviolation', (event) => {
    if (/wasm|eval/.test(`${event.blockedURI} ${event.violatedDirective}`)) forbidden = true;
  });

  // The module travels at the end of the page, as text: it came with the
  // page, so it needs no round trip of its own, and it is compiled as soon
  // as this script runs, while the module's glue may still be arriving.
  const compiling = Promise.resolve().then(() => {
    const text = document.getElementById('module').textContent;
    if (Uint8Array.fromBase64) return WebAssembly.compile(Uint8Array.fromBase64(text));
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return WebAssembly.compile(bytes);
  });
  compiling.catch(() => {});  // reported when the glue asks for it

  function instantiateWasm(imports, receiveInstance) {
    compiling
      .then((compiled) => WebAssembly.instantiate(compiled, imports))
      .then((instance) => receiveInstance(instance), (error) => setTimeout(() => {
        // A task later: the violation's event is queued as the compile fails.
        if (forbidden || /Content.Security.Policy|CSP|unsafe-eval/i.test(error.message)) {
          cannotStart(texts.webassembly_forbidden, texts.tell_host);
        } else {
          cannotStart(fill(texts.module_failed, { error: error.message }), texts.check_network);
        }
      }));
    return {};
  }

  // A click on the button Enter clicks (or Enter in a box) made before this
  // script ran submitted the early form, which closed its dialog: it is
  // answered now, with the values the boxes hold. From here on the button
  // and the boxes answer to this script alone.
  // The first box's value came as a placeholder, so that keys typed before
  // this script ran replaced it; untyped, it becomes the value now.
  let typedEarly = false;
  for (const box of document.querySelectorAll('.client input[placeholder]')) {
    if (box.value === '') box.value = box.placeholder;
    else typedEarly = true;
    box.defaultValue = box.placeholder;
    box.removeAttribute('placeholder');
  }

  const early = document.getElementById('early');
  const clickedEarly = early !== null && !early.open;
  if (early) early.remove();  // an open dialog of its own, which the message's code would count
  for (const control of document.querySelectorAll('[form]')) control.removeAttribute('form');
  const enterClicks = document.getElementById(behaviour.enter_clicks);
  if (enterClicks) enterClicks.type = 'button';

  wireWindow();
  document.documentElement.dataset.started = 'true';
  performance.mark('started');  // the window answers from here on
  if (clickedEarly && enterClicks) enterClicks.click();
  // The first control holds the focus at start (the markup gives it), its
  // text selected. The window shows before this script arrives: where the
  // user has already gone elsewhere, or typed, nothing is taken from them.
  const first = focusableControls()[0];
  const now = document.activeElement;
  const untouched = now === first && !typedEarly;
  if (!now || now === document.body || untouched) {
    focusFromKeyboard(first);
  } else {
    // WebKit gives the markup's first box the focus all the same, once the
    // page has arrived: a focus that reaches it before the user has clicked
    // or pressed anything more goes back where the user put it.
    let acted = false;
    const act = () => { acted = true; };
    document.addEventListener('pointerdown', act, { capture: true, once: true });
    document.addEventListener('keydown', act, { capture: true, once: true });
    first.addEventListener('focus', () => { if (!acted && now.isConnected) now.focus(); }, { once: true });
  }
  // The module's glue is a deferred script after this one: it has run by
  // the time the document is parsed, or it failed to arrive.
  document.addEventListener('DOMContentLoaded', () => {
    if (typeof WebAssembly !== 'object') cannotStart(texts.no_webassembly, texts.update_browser);
    else if (typeof createBemvara !== 'function') cannotStart(texts.module_missing, texts.check_network);
    else createBemvara({ view, instantiateWasm }).then(ready);
  });

  // Every visit asks whether a new version has been published, so that the
  // next visit can have it; browsers' own checks are too rare to count on,
  // and a host may answer them "not modified" by its dates (a version dated
  // before the one stored here: a rollback, files copied with their dates).
  // So the worker is fetched past every cache, and registered under its
  // version: a new version is a new address, which is fetched whole.
  // A new version taking over from the one this page came with is said in
  // one quiet line with a button; the page never reloads by itself, which
  // would lose what was typed.
  function offerNewVersion() {
    if (document.querySelector('.update')) return;
    const again = element('button', { type: 'button', text: texts.start_again });
    again.addEventListener('click', () => location.reload());
    const line = element('p', { className: 'update', role: 'status' }, [texts.update_ready, again]);
    (document.querySelector('.version') || app).after(line);
  }

  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    // The first worker taking the page over is no new version.
    if (navigator.serviceWorker.controller) navigator.serviceWorker.addEventListener('controllerchange', offerNewVersion);
    fetch('service-worker.js', { cache: 'no-store' })
      .then((response) => (response.ok ? response.text() : Promise.reject(new Error(`HTTP ${response.status}`))))
      .then((worker) => {
        const version = (worker.match(/'bemvara-([0-9a-f]+)'/) || [])[1];
        return navigator.serviceWorker.register(version ? `service-worker.js?version=${version}` : 'service-worker.js');
      })
      .catch(() => {});  // offline: the version in use stays
  }
})();

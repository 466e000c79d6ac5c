// The browser's front end: builds Form1 in the page from the description
// that the module hands over, gives the module the view it calls, and sends
// clicks and menu choices to the module's handlers. Every caption, position,
// tooltip and rule comes from the description; what is written here is only
// how a browser shows such a window.
'use strict';

(function () {
  // Windows names its faces as the description does; other systems have the
  // same styles of face under other names. No web fonts: nothing is fetched.
  const FACES = {
    '楷体_GB2312': ['楷体_GB2312', 'KaiTi', '楷体', 'STKaiti', 'AR PL UKai CN'],
    '宋体': ['SimSun', '宋体', 'Songti SC', 'AR PL UMing CN', 'Noto Serif CJK SC'],
  };
  const GENERIC_FACE = 'serif';
  // Above this the window only grows coarse; below 1 it still fits a phone.
  const LARGEST_SCALE = 2;
  const ITEM_CLASS = { label: 'label', text_box: 'text-box', push_button: 'push-button', line: 'line' };
  // As page.css draws them: the window's border, the menu bar and its rule.
  const FRAME_BORDER = 1;
  const MENU_BAR_HEIGHT = 20;
  // The limit of the desktop's text boxes, so a long paste behaves alike.
  const MAX_TEXT_LENGTH = 32767;

  let module = null;
  let description = null;
  let lastFocused = null;  // the control to give the focus back to

  function fontCss(font) {
    const faces = (FACES[font.family] || [font.family]).map((face) => JSON.stringify(face));
    return `${font.weight} ${font.points}pt ${faces.join(', ')}, ${GENERIC_FACE}`;
  }

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

  // ---- the view the module's handlers talk to ----------------------------

  const view = {
    text(name) {
      const box = document.getElementById(name);
      return box && 'value' in box ? box.value : '';
    },
    setText(name, text) {
      const box = document.getElementById(name);
      if (box && 'value' in box) box.value = text;
    },
    showMessage(text) {
      const dialog = document.getElementById('message');
      const returnTo = document.activeElement;
      document.getElementById('message-text').textContent = text;
      dialog.addEventListener('close', () => {
        if (returnTo && returnTo.isConnected) returnTo.focus();
      }, { once: true });
      dialog.showModal();
      document.getElementById('message-ok').focus();
    },
    endProgram() {
      // Browsers let a page close only a window that a script opened, or an
      // installed app's. Where it stays open, the calculator leaves the page.
      window.close();
      module = null;
      const again = element('button', { type: 'button', text: '重新载入' });
      again.addEventListener('click', () => location.reload());
      document.getElementById('app').replaceChildren(element('div', { className: 'ended' }, [
        element('p', { text: `${description.title} 已退出，输入的数值均未保存。` }),
        element('p', { text: '重新载入本页即可重新开始。' }),
        again,
      ]));
      again.focus();
    },
  };

  // ---- the window ---------------------------------------------------------

  function pixels(twips) {
    return Math.trunc(twips / description.twips_per_pixel);
  }

  function buildControl(control, index) {
    let made;
    if (control.kind === 'text_box') {
      made = element('input', {
        type: 'text', value: control.text, maxlength: MAX_TEXT_LENGTH, autocomplete: 'off',
        spellcheck: 'false', inputmode: 'decimal',
      });
      if (control.accessible_name) made.setAttribute('aria-label', control.accessible_name);
    } else if (control.kind === 'push_button') {
      made = element('button', { type: 'button', text: control.text });
      if (control.clickable) made.addEventListener('click', () => module && module._bemvara_click(index));
    } else if (control.kind === 'line') {
      made = element('div', { role: 'separator' });
    } else {
      made = element('div', { text: control.text });
    }
    made.id = control.name;
    made.className = ITEM_CLASS[control.kind];
    if (control.tooltip) made.title = control.tooltip;
    if (control.font) made.style.font = fontCss(control.font);
    made.style.zIndex = String(control.layer);
    made.style.left = `${pixels(control.left_twips)}px`;
    made.style.top = `${pixels(control.top_twips)}px`;
    if (control.kind === 'line') {
      // From its start to its end, one pixel thick.
      made.style.width = `${pixels(control.left_twips + control.width_twips) - pixels(control.left_twips)}px`;
      made.style.height = '1px';
    } else {
      made.style.width = `${pixels(control.width_twips)}px`;
      made.style.height = `${pixels(control.height_twips)}px`;
    }
    return made;
  }

  function focusableControls() {
    return description.controls.filter((control) => control.takes_focus)
      .map((control) => document.getElementById(control.name));
  }

  // The description lists the controls in tab order, and so does the page;
  // Tab wraps round inside the window, as it does on the desktop.
  function keepTabInWindow(event) {
    if (event.key !== 'Tab' || event.altKey || event.ctrlKey || event.metaKey) return;
    const order = focusableControls();
    const at = order.indexOf(document.activeElement);
    if (at < 0) return;
    const next = (at + (event.shiftKey ? order.length - 1 : 1)) % order.length;
    order[next].focus();
    event.preventDefault();
  }

  // ---- the menu bar ---------------------------------------------------------

  function buildMenuBar() {
    const bar = element('div', { role: 'menubar', 'aria-label': description.title });
    description.menus.forEach((menu, menuIndex) => {
      const title = element('button', {
        type: 'button', role: 'menuitem', id: menu.name, className: 'menu-title',
        'aria-haspopup': 'menu', 'aria-expanded': 'false', tabindex: '-1', text: menu.caption,
      });
      const list = element('div', { role: 'menu', 'aria-labelledby': menu.name, hidden: '' });
      menu.items.forEach((item, itemIndex) => {
        const entry = element('button', {
          type: 'button', role: 'menuitem', id: item.name, className: 'menu-item', tabindex: '-1', text: item.caption,
        });
        entry.addEventListener('click', () => choose(menuIndex, itemIndex));
        list.append(entry);
      });
      title.addEventListener('click', () => (openMenu() === menuIndex ? leaveMenus() : open(menuIndex, false)));
      title.addEventListener('pointerenter', () => {
        if (openMenu() >= 0 && openMenu() !== menuIndex) open(menuIndex, false);
      });
      bar.append(element('div', { className: 'menu' }, [title, list]));
    });
    bar.addEventListener('keydown', onMenuKey);
    return bar;
  }

  function titles() {
    return description.menus.map((menu) => document.getElementById(menu.name));
  }

  function itemsOf(menuIndex) {
    return description.menus[menuIndex].items.map((item) => document.getElementById(item.name));
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
    if (module) module._bemvara_choose(menuIndex, itemIndex);
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
    if (event.key === 'F10' && !event.shiftKey && !event.ctrlKey && !event.altKey) {
      if (inBar) leaveMenus();
      else enterMenuBar();
      event.preventDefault();
      return;
    }
    if (!inBar) keepTabInWindow(event);
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

  function buildMessageDialog() {
    return element('dialog', { id: 'message', 'aria-labelledby': 'message-title', 'aria-describedby': 'message-text' }, [
      element('h1', { id: 'message-title', text: description.title }),
      element('p', { id: 'message-text' }),
      element('form', { method: 'dialog' }, [element('button', { id: 'message-ok', value: 'ok', text: '确定' })]),
    ]);
  }

  function buildWindow() {
    const client = element('div', { className: 'client', role: 'form', 'aria-label': description.title });
    client.style.width = `${pixels(description.width_twips)}px`;
    client.style.height = `${pixels(description.height_twips)}px`;
    description.controls.forEach((control, index) => client.append(buildControl(control, index)));
    client.addEventListener('focusin', (event) => { lastFocused = event.target; });

    return element('div', { id: description.name, className: 'window' }, [buildMenuBar(), client]);
  }

  // The window keeps its layout and is scaled as a whole to the screen. Its
  // size is worked out rather than measured, so that nothing waits for a
  // layout (and the CJK fonts it loads) before the page can calculate.
  function fitToScreen() {
    const frame = document.getElementById(description.name);
    if (!frame) return;
    const app = document.getElementById('app');
    const width = pixels(description.width_twips) + 2 * FRAME_BORDER;
    const height = pixels(description.height_twips) + MENU_BAR_HEIGHT + 2 * FRAME_BORDER;
    const padding = 16;
    const scale = Math.min(LARGEST_SCALE, (window.innerWidth - padding) / width,
      (window.innerHeight - padding) / height);
    frame.style.transform = `scale(${scale})`;
    // The message box's text at the size of the window's.
    document.getElementById('message').style.fontSize = `${description.font.points * scale}pt`;
    app.style.width = `${Math.floor(width * scale)}px`;
    app.style.height = `${Math.ceil(height * scale)}px`;
  }

  function start(instance) {
    module = instance;
    description = JSON.parse(module.UTF8ToString(module._bemvara_description()));
    document.title = description.title;
    const app = document.getElementById('app');
    app.style.font = fontCss(description.font);
    app.replaceChildren(buildWindow(), buildMessageDialog());
    fitToScreen();
    window.addEventListener('resize', fitToScreen);
    document.addEventListener('keydown', onWindowKeyDown);
    document.addEventListener('keyup', onWindowKeyUp);
    document.addEventListener('pointerdown', (event) => {
      if (!(event.target instanceof Element) || !event.target.closest('[role="menubar"]')) closeMenus();
    });
    performance.mark('ready');  // a calculation can run from here on
    // Focusing lays the page out, and the first layout of Chinese text is
    // most of the time before the first frame: the fonts are looked up then.
    focusableControls()[0].focus({ preventScroll: true });
    document.body.dataset.ready = 'true';
  }

  // The page's head started compiling the module; a server that calls it
  // something other than application/wasm makes that fail, and then it is
  // compiled from its bytes.
  function instantiateWasm(imports, receiveInstance) {
    const compiled = (window.bemvaraCompiled || Promise.reject(new Error('not started')))
      .catch(() => fetch('bemvara.wasm').then((response) => response.arrayBuffer()).then(WebAssembly.compile));
    compiled.then((wasm) => WebAssembly.instantiate(wasm, imports).then((instance) => receiveInstance(instance, wasm)));
    return {};
  }

  createBemvara({ view, instantiateWasm }).then(start);

  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('service-worker.js').catch(() => {});
  }
})();

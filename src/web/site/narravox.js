// Narravox in the browser: draws the engine's console on a canvas, keeps the command line in
// a real input, shows boxes and file dialogs as <dialog>s and keeps saved games in IndexedDB.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const canvas = $('screen');
  const consoleBox = $('console');
  const titleLine = $('title-line');
  const textWindow = $('text-window');
  const command = $('command');
  const message = $('message');
  const toolbar = $('toolbar');

  const CELL_W = 8;
  const CELL_H = 16;
  const TITLE_H = 16;
  const EDIT_H = 24;
  const SILVER = 0xffc0c0c0;
  const BLACK = 0xff000000;

  let engine = null;
  let font = null; // 256 glyphs x 16 rows
  const toByte = new Map(); // code point -> code page 1251 byte
  const answers = new Uint8Array(256); // a yes/no box's answer to each byte: 0, 1 yes, 2 no
  let emblem = null;

  // The console in its own pixels (before scaling), and the cells decided at start.
  let W = 0;
  let H = 0;
  let columns = 0;
  let lines = 0;
  let k = 1; // device pixels per console pixel
  let unit = 1; // CSS pixels per console pixel
  let image = null;
  let pixels = null;
  let buffer = null;
  let bufferContext = null;
  let screen = null;

  let title = '';
  let text = '';
  let completed = 0;
  let emblemShown = false;

  let game = null; // {hash, folder}
  const seen = new Map(); // save file -> bytes last kept in the browser
  let working = false;
  let draining = false;
  const held = [];

  const api = {ready: null, busy: () => working || held.length > 0, gameHash: null, lines: 0,
    columns: 0};
  window.narravox = api;
  let started;
  api.ready = new Promise((resolve) => { started = resolve; });

  // ----- Engine calls

  const call = (name, type = 'number', types = [], args = []) =>
    engine.ccall(name, type, types, args);
  const callAsync = (name, type = 'number', types = [], args = []) =>
    engine.ccall(name, type, types, args, {async: true});

  // Runs an engine action; keys that come meanwhile wait in `held` and are replayed after it.
  async function task(action) {
    working = true;
    try {
      return await action();
    } catch (error) {
      console.error(error);
    } finally {
      working = false;
      if (!draining) drain();
    }
  }

  async function drain() {
    draining = true;
    try {
      while (held.length && !working) await replay(held.shift());
    } finally {
      draining = false;
    }
  }

  // Runs `action` now, or after the engine call in progress and what was held before it.
  function whenFree(action) {
    if (api.busy()) held.push({action});
    else task(action);
  }

  // ----- Drawing

  function codeOf(ch) {
    const byte = toByte.get(ch.codePointAt(0));
    return byte === undefined ? 0x3f : byte;
  }

  function fill(y0, y1, color) {
    pixels.fill(color, y0 * W, y1 * W);
  }

  // Draws a row of cells at (x, y), clipped to the rows above `bottom`.
  function cells(x, y, str, fg, bg, bottom = H) {
    if (!font) return;
    for (const ch of str) {
      if (x + CELL_W > W) break;
      const glyph = codeOf(ch) * CELL_H;
      for (let row = 0; row < CELL_H && y + row < bottom; row++) {
        const bits = font[glyph + row];
        let p = (y + row) * W + x;
        for (let mask = 0x80; mask; mask >>= 1) pixels[p++] = bits & mask ? fg : bg;
      }
      x += CELL_W;
    }
  }

  // What is drawn reaches the canvas once a frame, whatever number of times a turn repaints:
  // copying the picture out costs more than drawing it. The rows from dirtyTop to dirtyBottom
  // have changed since the last frame.
  let dirtyTop = Infinity;
  let dirtyBottom = -Infinity;
  let frameAsked = false;

  function present(y0, y1) {
    dirtyTop = Math.min(dirtyTop, y0);
    dirtyBottom = Math.max(dirtyBottom, y1);
    if (frameAsked) return;
    frameAsked = true;
    requestAnimationFrame(presentNow);
  }

  function presentNow() {
    frameAsked = false;
    if (!pixels || dirtyTop >= dirtyBottom) return;
    drawAsked();
    const y0 = Math.max(0, dirtyTop);
    const y1 = Math.min(H, dirtyBottom);
    dirtyTop = Infinity;
    dirtyBottom = -Infinity;
    bufferContext.putImageData(image, 0, 0, 0, y0, W, y1 - y0);
    screen.drawImage(buffer, 0, y0, W, y1 - y0, 0, y0 * k, W * k, (y1 - y0) * k);
  }

  function drawTitle() {
    fill(0, TITLE_H, SILVER);
    cells(0, 0, title, BLACK, SILVER, TITLE_H);
  }

  function drawText() {
    const bottom = H - EDIT_H;
    fill(TITLE_H, bottom, BLACK);
    let y = TITLE_H;
    for (const line of text.split('\n')) {
      if (y >= bottom) break;
      cells(0, y, line, SILVER, BLACK, bottom);
      y += CELL_H;
    }
    if (emblemShown) drawEmblem();
  }

  function drawCommand() {
    const top = H - EDIT_H;
    fill(top, H, BLACK);
    cells(0, top, '>', SILVER, BLACK);
    const value = command.value;
    const start = command.selectionStart || 0;
    const end = command.selectionEnd || 0;
    const chars = Array.from(value);
    cells(CELL_W, top, chars.slice(0, start).join(''), SILVER, BLACK);
    // Selected cells are inverted, as the console marks a block.
    cells(CELL_W * (start + 1), top, chars.slice(start, end).join(''), BLACK, SILVER);
    cells(CELL_W * (end + 1), top, chars.slice(end).join(''), SILVER, BLACK);
    if (document.activeElement === command && document.hasFocus()) {
      const caret = command.selectionDirection === 'backward' ? start : end;
      const x = CELL_W + Math.min(caret * CELL_W, W - CELL_W - 1);
      const color = caret >= start && caret < end ? BLACK : SILVER;
      for (let y = top; y < top + CELL_H; y++) pixels[y * W + x] = color;
    }
  }

  // The whole console, or the command line alone, is drawn again at the next frame.
  let wholeAsked = false;
  let commandAsked = false;

  function paint() {
    if (!pixels) return;
    wholeAsked = true;
    present(0, H);
  }

  function paintCommand() {
    if (!pixels) return;
    commandAsked = true;
    present(H - EDIT_H, H);
  }

  function drawAsked() {
    if (wholeAsked) {
      drawTitle();
      drawText();
      drawCommand();
    } else if (commandAsked) {
      drawCommand();
    }
    wholeAsked = false;
    commandAsked = false;
  }

  function plot(x, y) {
    if (x >= 0 && x < W && y >= TITLE_H && y < H - EDIT_H) pixels[y * W + x] = SILVER;
  }

  function line(x0, y0, x1, y1) {
    const dx = Math.abs(x1 - x0);
    const dy = -Math.abs(y1 - y0);
    const sx = x0 < x1 ? 1 : -1;
    const sy = y0 < y1 ? 1 : -1;
    let err = dx + dy;
    for (;;) {
      plot(x0, y0);
      if (x0 === x1 && y0 === y1) return;
      const e2 = 2 * err;
      if (e2 >= dy) { err += dy; x0 += sx; }
      if (e2 <= dx) { err += dx; y0 += sy; }
    }
  }

  // The ellipse touching the pixels x0..x1, y0..y1.
  function ellipse(x0, y0, x1, y1) {
    let a = Math.abs(x1 - x0);
    const b = Math.abs(y1 - y0);
    let b1 = b & 1;
    let dx = 4 * (1 - a) * b * b;
    let dy = 4 * (b1 + 1) * a * a;
    let err = dx + dy + b1 * a * a;
    y0 += (b + 1) >> 1;
    y1 = y0 - b1;
    a *= 8 * a;
    b1 = 8 * b * b;
    do {
      plot(x1, y0); plot(x0, y0); plot(x0, y1); plot(x1, y1);
      const e2 = 2 * err;
      if (e2 <= dy) { y0++; y1--; err += dy += a; }
      if (e2 >= dx || 2 * err > dy) { x0++; x1--; err += dx += b1; }
    } while (x0 <= x1);
    while (y0 - y1 < b) {
      plot(x0 - 1, y0); plot(x1 + 1, y0++); plot(x0 - 1, y1); plot(x1 + 1, y1--);
    }
  }

  // Silver outlines over the text window: [unit, x0, y0, circle, runs...], laid out by the
  // engine for this console's size.
  function drawEmblem() {
    const e = emblem;
    const X = (a) => e[1] + a * e[0];
    const Y = (b) => e[2] + b * e[0];
    // The circle's box has its right and bottom edges just outside it.
    ellipse(X(e[3]), Y(e[4]), X(e[5]) - 1, Y(e[6]) - 1);
    let i = 8;
    for (let run = 0; run < e[7]; run++) {
      const count = e[i++];
      for (let p = 1; p < count; p++, i += 2) line(X(e[i]), Y(e[i + 1]), X(e[i + 2]), Y(e[i + 3]));
      i += 2;
    }
  }

  // ----- Layout

  function scaleNow() {
    const ratio = window.devicePixelRatio || 1;
    k = Math.max(1, Math.floor(ratio));
    unit = k / ratio;
  }

  // The cells are decided once: as many as the window holds at the whole scale.
  function measure() {
    scaleNow();
    W = Math.max(Math.floor(window.innerWidth / unit + 1e-6), 2 * CELL_W);
    H = Math.max(Math.floor((window.innerHeight - toolbar.offsetHeight) / unit + 1e-6),
      TITLE_H + EDIT_H + CELL_H);
    columns = Math.floor(W / CELL_W);
    lines = Math.floor((H - TITLE_H - EDIT_H) / CELL_H);
    api.columns = columns;
    api.lines = lines;
    image = new ImageData(W, H);
    pixels = new Uint32Array(image.data.buffer);
    buffer = document.createElement('canvas');
    buffer.width = W;
    buffer.height = H;
    bufferContext = buffer.getContext('2d');
  }

  const px = (n) => `${n * unit}px`;

  function place() {
    scaleNow();
    canvas.width = W * k;
    canvas.height = H * k;
    canvas.style.width = px(W);
    canvas.style.height = px(H);
    screen = canvas.getContext('2d');
    screen.imageSmoothingEnabled = false;
    // Text laid over the cells: a monospace font whose advance is made exactly one cell.
    const size = CELL_H * unit * 0.8;
    const probe = document.createElement('canvas').getContext('2d');
    probe.font = `${size}px monospace`;
    const style = consoleBox.style;
    style.width = px(W);
    style.height = px(H);
    style.setProperty('--fs', `${size}px`);
    style.setProperty('--ls', `${CELL_W * unit - probe.measureText('M').width}px`);
    style.setProperty('--ch', px(CELL_H));
    style.setProperty('--pad', px(EDIT_H - CELL_H));
    Object.assign(titleLine.style, {top: 0, width: px(W), height: px(TITLE_H)});
    const textHeight = H - TITLE_H - EDIT_H;
    const rows = Math.floor(textHeight / CELL_H) + 1;
    Object.assign(textWindow.style, {
      top: px(TITLE_H), width: px(W), height: px(rows * CELL_H),
      clipPath: `inset(0 0 ${px(Math.max(rows * CELL_H - textHeight, 0))} 0)`,
    });
    Object.assign(command.style, {
      left: px(CELL_W), top: px(H - EDIT_H), width: px(W - CELL_W), height: px(CELL_H),
    });
    paint();
  }

  // ----- The text window's copy for screen readers and selection

  function lineElement(str) {
    const div = document.createElement('div');
    div.textContent = str;
    return div;
  }

  function updateLog(count) {
    const all = text.split('\n');
    const bottom = all.pop();
    let last = textWindow.lastElementChild;
    if (!last) last = textWindow.appendChild(lineElement(''));
    const fresh = Math.min(count - completed, all.length);
    completed = count;
    for (const str of all.slice(all.length - fresh)) textWindow.insertBefore(lineElement(str), last);
    const kids = textWindow.children;
    while (kids.length - 1 > all.length) kids[0].remove();
    // A cleared screen prints no lines: the copy then starts again from the window's text.
    const kept = kids.length - 1;
    for (let i = 0; i < kept; i++) {
      if (kids[i].textContent !== all[all.length - kept + i]) {
        while (kids.length > 1) kids[0].remove();
        let first = all.findIndex((str) => str !== '');
        if (first < 0) first = all.length;
        for (const str of all.slice(first)) textWindow.insertBefore(lineElement(str), last);
        break;
      }
    }
    if (last.textContent !== bottom) last.textContent = bottom;
  }

  // Reads the engine's text window and title and shows them.
  function refresh() {
    if (!engine) return;
    const now = call('nv_text', 'string');
    if (now !== text) {
      text = now;
      // Printed text repaints the text window, and the emblem drawn over it goes with that.
      emblemShown = false;
    }
    setTitle(call('nv_title', 'string'));
    updateLog(call('nv_completed_lines'));
    paint();
  }

  function setTitle(str) {
    title = str;
    if (titleLine.textContent !== str) titleLine.textContent = str;
  }

  // ----- Command line

  const history = {lines: [], shown: 0, draft: ''};

  function remember(str) {
    const list = history.lines;
    if (str && list[list.length - 1] !== str) list.push(str);
    history.shown = list.length;
    history.draft = '';
  }

  // Up and Down: older and newer commands; past the newest, the line that was being typed.
  // Either puts the caret at the end of the line.
  function walkHistory(up) {
    const list = history.lines;
    let shown = history.shown;
    if (up) {
      if (shown >= list.length) {
        shown = list.length;
        history.draft = command.value;
      }
      if (shown > 0) shown--;
    } else if (shown < list.length) {
      shown++;
    } else {
      setCommand(command.value);
      return;
    }
    history.shown = shown;
    setCommand(shown < list.length ? list[shown] : history.draft);
  }

  function setCommand(str) {
    command.value = str;
    const end = str.length;
    command.setSelectionRange(end, end);
    paintCommand();
  }

  const typable = (ch) => {
    const code = ch.codePointAt(0);
    return code >= 0x20 && toByte.has(code);
  };

  // Characters the code page lacks are refused, as the console cannot show them.
  function keepTypable() {
    const value = command.value;
    const kept = Array.from(value).filter(typable).join('');
    if (kept === value) return;
    const before = Array.from(value.slice(0, command.selectionEnd || 0)).filter(typable).join('');
    command.value = kept;
    command.setSelectionRange(before.length, before.length);
  }

  function insert(str) {
    const start = command.selectionStart;
    const end = command.selectionEnd;
    const room = command.maxLength - (command.value.length - (end - start));
    str = Array.from(str).filter(typable).join('').slice(0, Math.max(room, 0));
    command.setRangeText(str, start, end, 'end');
  }

  function editKey(key) {
    const value = command.value;
    let start = command.selectionStart;
    let end = command.selectionEnd;
    if (key === 'Backspace' || key === 'Delete') {
      if (start === end) {
        if (key === 'Backspace') start = Math.max(start - 1, 0);
        else end = Math.min(end + 1, value.length);
      }
      command.setRangeText('', start, end, 'end');
    } else {
      const to = {Home: 0, End: value.length, ArrowLeft: start === end ? start - 1 : start,
        ArrowRight: start === end ? end + 1 : end}[key];
      const at = Math.min(Math.max(to, 0), value.length);
      command.setSelectionRange(at, at);
    }
  }

  function enter() {
    const typed = command.value;
    // The line is empty while the command runs, however long that takes.
    setCommand('');
    remember(typed);
    return task(async () => {
      const begun = performance.now();
      const result = await callAsync('nv_enter', 'number', ['string'], [typed]);
      // How long the engine took, boxes and pacing included; the benchmarks read it.
      api.lastTurnMs = performance.now() - begun;
      refresh();
      if (result & 2) {
        emblemShown = true;
        paint();
      }
      await keepSaves();
      if (result & 1) over();
    });
  }

  const pressF1 = () => task(async () => {
    await callAsync('nv_f1', null);
    refresh();
  });

  const pressF3 = () => setCommand(call('nv_last_command', 'string'));

  const EDIT_KEYS = ['Backspace', 'Delete', 'ArrowLeft', 'ArrowRight', 'Home', 'End'];
  const HELD_KEYS = ['Enter', 'F1', 'F3', 'ArrowUp', 'ArrowDown', ...EDIT_KEYS];

  // A key that was held while the engine worked.
  function replay(item) {
    if (item.action) return task(item.action);
    if (document.body.dataset.state !== 'playing') return undefined;
    const key = item.key;
    if (key === 'Enter') return enter();
    if (key === 'F1') return pressF1();
    if (key === 'F3') pressF3();
    else if (key === 'ArrowUp' || key === 'ArrowDown') walkHistory(key === 'ArrowUp');
    else if (EDIT_KEYS.includes(key)) editKey(key);
    else insert(item.text);
    paintCommand();
    return undefined;
  }

  const printable = (e) => !e.ctrlKey && !e.metaKey && [...e.key].length === 1;
  const dialogOpen = () => document.querySelector('dialog[open]') !== null;

  function commandKey(e) {
    const key = e.key;
    if (api.busy()) {
      if (printable(e)) held.push({text: key});
      else if (HELD_KEYS.includes(key) && !e.altKey && !e.ctrlKey && !e.metaKey) held.push({key});
      else return;
      e.preventDefault();
      return;
    }
    if (key === 'Enter') {
      e.preventDefault();
      enter();
    } else if (key === 'F1') {
      pressF1();
    } else if (key === 'F3') {
      e.preventDefault();
      pressF3();
    } else if ((key === 'ArrowUp' || key === 'ArrowDown') && !e.altKey) {
      e.preventDefault();
      walkHistory(key === 'ArrowUp');
    }
  }

  document.addEventListener('keydown', (e) => {
    // F1 is the game's, not the browser's help.
    if (e.key === 'F1') e.preventDefault();
    if (e.defaultPrevented && e.key !== 'F1') return;
    if (dialogOpen() || e.isComposing || e.keyCode === 229) return;
    const state = document.body.dataset.state;
    if (state !== 'playing' && state !== 'loading') return;
    if (e.target !== command) {
      const onButton = e.target.closest && e.target.closest('button, input');
      if (onButton && (e.key === 'Enter' || e.key === ' ')) return;
      // Tab, modifiers alone and shortcuts (Ctrl+C copies the text window's selection) stay.
      if (e.key === 'Tab' || e.key === 'Escape' || e.ctrlKey || e.metaKey || e.altKey) return;
      // Other named keys stay too; a key whose character is not told is typed.
      if (e.key.length > 1 && !HELD_KEYS.includes(e.key) && e.key !== 'Unidentified') return;
      focusCommand();
    }
    commandKey(e);
  });

  command.addEventListener('beforeinput', (e) => {
    if (!api.busy() || !e.cancelable) return;
    const type = e.inputType;
    let item = null;
    if (type.startsWith('insert')) {
      const data = e.data ?? (e.dataTransfer && e.dataTransfer.getData('text/plain'));
      if (data) item = {text: data};
    } else if (type === 'deleteContentBackward') {
      item = {key: 'Backspace'};
    } else if (type === 'deleteContentForward') {
      item = {key: 'Delete'};
    }
    if (item) {
      held.push(item);
      e.preventDefault();
    }
  });

  command.addEventListener('input', (e) => {
    if (!e.isComposing) keepTypable();
    paintCommand();
  });
  command.addEventListener('compositionend', () => {
    keepTypable();
    paintCommand();
  });
  for (const type of ['select', 'focus', 'blur', 'keyup', 'mouseup', 'mousemove']) {
    command.addEventListener(type, paintCommand);
  }
  document.addEventListener('selectionchange', paintCommand);
  window.addEventListener('focus', paintCommand);
  window.addEventListener('blur', paintCommand);

  // After a dialog the line is left and entered again: given the focus only once, the browser
  // may keep treating it as the closed dialog's and let no typed text in.
  function focusCommand(again = false) {
    const state = document.body.dataset.state;
    if (!dialogOpen() && (state === 'playing' || state === 'loading')) {
      command.focus({preventScroll: true});
      if (again) {
        command.blur();
        command.focus({preventScroll: true});
      }
    }
  }

  // A click or a touch on the console puts the focus back on the command line (and opens a
  // phone's keyboard), unless it selected text to copy.
  canvas.addEventListener('mousedown', (e) => {
    e.preventDefault();
    focusCommand();
  });
  consoleBox.addEventListener('click', (e) => {
    if (e.target !== command && String(window.getSelection()) === '') focusCommand();
  });
  toolbar.addEventListener('mousedown', (e) => e.preventDefault());

  // ----- Boxes and dialogs

  function element(tag, props = {}, ...children) {
    const node = Object.assign(document.createElement(tag), props);
    node.append(...children);
    return node;
  }

  const button = (label, onclick, props = {}) =>
    element('button', {type: 'button', textContent: label, onclick, ...props});

  let dialogs = 0;

  // A modal dialog; `finish` closes it, and Esc (or the dialog closing) finishes with `onEsc`.
  function dialog(className, caption, build) {
    return new Promise((resolve) => {
      const box = element('dialog', {className});
      const captionId = `caption-${++dialogs}`;
      box.setAttribute('aria-labelledby', captionId);
      box.append(element('h2', {id: captionId, textContent: caption}));
      let done = false;
      const finish = (value) => {
        if (done) return;
        done = true;
        box.close();
        box.remove();
        resolve(value);
        setTimeout(() => focusCommand(true));
      };
      const {focus, onEsc = null, keys = null} = build(box, finish);
      box.oncancel = (e) => {
        e.preventDefault();
        finish(onEsc);
      };
      box.onclose = () => finish(onEsc);
      box.onkeydown = (e) => {
        if (e.key === 'Escape') {
          e.preventDefault();
          finish(onEsc);
        } else if (keys) {
          keys(e);
        }
      };
      box.onkeypress = keys;
      document.body.append(box);
      box.showModal();
      if (focus) focus.focus();
    });
  }

  function showBox(caption, str, buttons, icon) {
    refresh();
    const yesNo = buttons === 'yesno';
    return dialog('box', caption, (box, finish) => {
      box.dataset.icon = icon;
      box.setAttribute('role', icon === 'error' || icon === 'warning' ? 'alertdialog' : 'dialog');
      const para = element('p');
      str.split('\n').forEach((part, i) => para.append(...(i ? [element('br'), part] : [part])));
      const ok = button(yesNo ? 'Да' : 'OK', () => finish(yesNo ? 'yes' : 'ok'));
      const no = yesNo ? button('Нет', () => finish('no')) : null;
      box.append(para, element('div', {className: 'buttons'}, ...(no ? [ok, no] : [ok])));
      // Some keyboards tell a letter only with the keypress.
      const keys = (e) => {
        if (e.key === 'Enter') {
          e.preventDefault();
          // A held Enter must not answer the box it opened.
          if (!e.repeat) (document.activeElement === no ? no : ok).click();
          return;
        }
        if (!yesNo || !printable(e) || e.altKey) return;
        const byte = toByte.get(e.key.codePointAt(0));
        const answer = byte === undefined ? 0 : answers[byte];
        if (answer) {
          e.preventDefault();
          finish(answer === 1 ? 'yes' : 'no');
        }
      };
      return {focus: ok, onEsc: yesNo ? 'no' : 'ok', keys};
    });
  }

  // ----- Saves: files <name>.nvs in the game's folder, kept in IndexedDB

  let database = null;

  function openDatabase() {
    database = database || new Promise((resolve, reject) => {
      const request = indexedDB.open('narravox', 1);
      request.onupgradeneeded = () => request.result.createObjectStore('saves');
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
      request.onblocked = () => reject(new Error('blocked'));
    });
    return database;
  }

  async function store(mode, action) {
    const db = await openDatabase();
    return new Promise((resolve, reject) => {
      const transaction = db.transaction('saves', mode);
      const request = action(transaction.objectStore('saves'));
      transaction.oncomplete = () => resolve(request && request.result);
      transaction.onerror = transaction.onabort = () =>
        reject(transaction.error || new Error('aborted'));
    });
  }

  const keyOf = (name) => `${game.hash}/${name}`;
  const fileOf = (name) => `${game.folder}/${name}.nvs`;

  // The saves in the game's folder, newest first.
  function listSaves() {
    if (!game) return [];
    const FS = engine.FS;
    return FS.readdir(game.folder)
      .filter((file) => file.endsWith('.nvs') && file.length > 4)
      .map((file) => {
        const stat = FS.stat(`${game.folder}/${file}`);
        return {name: file.slice(0, -4), time: stat.mtime.getTime(), isFile: FS.isFile(stat.mode)};
      })
      .filter((save) => save.isFile)
      .sort((a, b) => b.time - a.time || a.name.localeCompare(b.name));
  }

  const readSave = (name) => engine.FS.readFile(fileOf(name));

  function same(a, b) {
    if (!a || a.length !== b.length) return false;
    for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
    return true;
  }

  // Keeps in the browser every save that is new or changed since last seen; storage that fails
  // gets the engine's "File access denied" box, and the game goes on.
  async function keepSaves() {
    if (!game) return;
    const changed = [];
    for (const save of listSaves()) {
      const bytes = readSave(save.name);
      if (!same(seen.get(save.name), bytes)) {
        changed.push({game: game.hash, name: save.name, bytes, time: save.time});
        seen.set(save.name, bytes);
      }
    }
    if (!changed.length) return;
    try {
      await store('readwrite', (saves) => {
        for (const save of changed) saves.put(save, keyOf(save.name));
      });
    } catch (error) {
      await callAsync('nv_report_io_error', null, ['number'], [5]);
      refresh();
    }
  }

  async function restoreSaves() {
    seen.clear();
    let stored = [];
    try {
      stored = await store('readonly', (saves) =>
        saves.getAll(IDBKeyRange.bound(`${game.hash}/`, `${game.hash}/\uffff`)));
    } catch (error) {
      // Without the browser's storage the game is played without its earlier saves.
    }
    for (const save of stored || []) {
      if (!save || !(save.bytes instanceof Uint8Array) || /[/\0]/.test(save.name)) continue;
      const path = fileOf(save.name);
      engine.FS.writeFile(path, save.bytes);
      const time = Number.isFinite(save.time) ? save.time : Date.now();
      engine.FS.utime(path, time, time);
    }
    for (const save of listSaves()) seen.set(save.name, readSave(save.name));
  }

  // A .nvs file chosen by the player goes into the game's folder; returns its save name.
  // A save of that name with other contents is kept: the new one gets a number.
  async function importSave(file) {
    const base = file.name.replace(/\.nvs$/i, '').replace(/[/\\\0]/g, '_') || 'save';
    const bytes = new Uint8Array(await file.arrayBuffer());
    let name = base;
    for (let n = 2; engine.FS.analyzePath(fileOf(name)).exists && !same(readSave(name), bytes); n++) {
      name = `${base} (${n})`;
    }
    engine.FS.writeFile(fileOf(name), bytes);
    return name;
  }

  function download(name) {
    const link = element('a', {
      href: URL.createObjectURL(new Blob([readSave(name)], {type: 'application/octet-stream'})),
      download: `${name}.nvs`,
    });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  const when = (time) => new Date(time).toLocaleString('ru-RU',
    {day: '2-digit', month: '2-digit', year: 'numeric', hour: '2-digit', minute: '2-digit'});

  // The list of saves; `choose(save, twice)` is told of a click or a double click.
  function saveList(choose, extra) {
    const list = element('ul', {className: 'save-list'});
    list.setAttribute('role', 'listbox');
    list.setAttribute('aria-label', 'Сохранения');
    const fill = () => {
      list.replaceChildren();
      for (const save of listSaves()) {
        const item = button('', null, {className: 'save-item'});
        item.dataset.name = save.name;
        item.setAttribute('role', 'option');
        item.setAttribute('aria-selected', 'false');
        item.append(element('span', {className: 'save-name', textContent: save.name}),
          element('span', {className: 'save-time', textContent: when(save.time)}));
        item.onclick = () => {
          for (const other of list.querySelectorAll('.save-item')) {
            other.setAttribute('aria-selected', String(other === item));
          }
          choose(save, false);
        };
        item.ondblclick = () => choose(save, true);
        list.append(element('li', {}, item, ...(extra ? extra(save, fill) : [])));
      }
      if (!list.children.length) list.append(element('li', {textContent: 'Сохранений нет.'}));
    };
    fill();
    return {list, fill};
  }

  // "Загрузить из файла…": a button that opens a file picker for a .nvs file.
  function uploadButton(onFile) {
    const input = element('input', {type: 'file', accept: '.nvs', tabIndex: -1});
    input.onchange = () => {
      const file = input.files[0];
      input.value = '';
      if (file) onFile(file);
    };
    return element('label', {className: 'file-button', tabIndex: 0,
      onkeydown: (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); input.click(); } },
    }, 'Загрузить из файла…', input);
  }

  function suggestName() {
    const names = new Set(listSaves().map((save) => save.name));
    let n = 1;
    while (names.has(`игра${n}`)) n++;
    return `игра${n}`;
  }

  const validName = (name) => name !== '' && name !== '.' && name !== '..' && !/[/\\\0]/.test(name);

  function askFileName(kind) {
    refresh();
    if (kind === 'save') {
      return dialog('file-dialog', 'Сохранить игру', (box, finish) => {
        const name = element('input', {id: 'file-name', type: 'text', value: suggestName(),
          autocomplete: 'off', spellcheck: false});
        // Every save is a .nvs file: a name with another extension would be written where the
        // browser never looks for saves (or over the game's own files) and lost on reload.
        const save = button('Сохранить', () => {
          const chosen = name.value.trim();
          const bare = chosen.replace(/\.nvs$/i, '');
          if (validName(bare)) finish(`${bare}.nvs`);
        });
        const update = () => { save.disabled = !validName(name.value.trim().replace(/\.nvs$/i, '')); };
        name.oninput = update;
        name.onkeydown = (e) => {
          if (e.key === 'Enter') {
            e.preventDefault();
            save.click();
          }
        };
        const {list} = saveList((chosen) => {
          name.value = chosen.name;
          update();
          name.focus();
        });
        box.append(element('label', {htmlFor: 'file-name', textContent: 'Имя файла:'}), name, list,
          element('div', {className: 'buttons'}, save, button('Отмена', () => finish(null))));
        setTimeout(() => name.select());
        return {focus: name};
      });
    }
    return dialog('file-dialog', 'Загрузить игру', (box, finish) => {
      let chosen = null;
      const load = button('Загрузить', () => { if (chosen) finish(`${chosen}.nvs`); },
        {disabled: true});
      const {list} = saveList((save, twice) => {
        chosen = save.name;
        load.disabled = false;
        if (twice) load.click();
      });
      // The newest save is chosen to begin with.
      const newest = list.querySelector('.save-item');
      if (newest) newest.click();
      const upload = uploadButton(async (file) => finish(`${await importSave(file)}.nvs`));
      const cancel = button('Отмена', () => finish(null));
      box.append(list, element('div', {className: 'buttons'}, upload, load, cancel));
      return {focus: newest ? load : cancel};
    });
  }

  // The toolbar's save manager.
  function manageSaves() {
    return dialog('saves-dialog', 'Сохранения', (box, finish) => {
      const actions = (save, fill) => [
        button('Скачать', () => download(save.name)),
        button('Удалить', async () => {
          engine.FS.unlink(fileOf(save.name));
          seen.delete(save.name);
          fill();
          try {
            await store('readwrite', (saves) => saves.delete(keyOf(save.name)));
          } catch (error) {
            // Nothing was kept in the browser to remove.
          }
        }),
      ];
      const {list, fill} = game ? saveList(() => {}, actions) : {list: element('p', {textContent: 'Игра не открыта.'})};
      const close = button('Закрыть', () => finish(null));
      const parts = [list, element('div', {className: 'buttons'},
        ...(game ? [uploadButton(async (file) => {
          await importSave(file);
          fill();
          whenFree(keepSaves);
        })] : []), close)];
      box.append(...parts);
      return {focus: close};
    });
  }

  // ----- Opening games

  // FNV-1a, 64 bits, in four 16-bit limbs: the game's identity for its folder and its saves.
  function hash(...parts) {
    let h0 = 0x2325;
    let h1 = 0x8422;
    let h2 = 0x9ce4;
    let h3 = 0xcbf2;
    for (const bytes of parts) {
      for (let i = 0; i < bytes.length; i++) {
        h0 ^= bytes[i];
        const r0 = h0 * 0x1b3;
        const r1 = h1 * 0x1b3 + (r0 >>> 16);
        const r2 = h2 * 0x1b3 + (h0 << 8) + (r1 >>> 16);
        const r3 = h3 * 0x1b3 + (h1 << 8) + (r2 >>> 16);
        h0 = r0 & 0xffff;
        h1 = r1 & 0xffff;
        h2 = r2 & 0xffff;
        h3 = r3 & 0xffff;
      }
    }
    return [h3, h2, h1, h0].map((h) => h.toString(16).padStart(4, '0')).join('');
  }

  const DATA_FILES = ['Commands.ply', 'Scenario.ply'];

  // Writes the data files present (null for a missing one) into /games/<hash> and starts there.
  async function openGame(files) {
    const id = hash(files[0] || [], [0x1e, files[0] ? 1 : 0, files[1] ? 1 : 0], files[1] || []);
    const folder = `/games/${id}`;
    const FS = engine.FS;
    FS.mkdirTree(folder);
    DATA_FILES.forEach((name, i) => {
      const path = `${folder}/${name}`;
      if (files[i]) FS.writeFile(path, files[i]);
      else if (FS.analyzePath(path).exists) FS.unlink(path);
    });
    game = {hash: id, folder};
    api.gameHash = id;
    await restoreSaves();
    await startGame();
  }

  function setState(state) {
    document.body.dataset.state = state;
    command.disabled = state === 'refused' || state === 'over';
    if (state === 'playing' || state === 'loading') message.hidden = true;
  }

  function showMessage(str, label, action) {
    message.hidden = false;
    message.querySelector('p').textContent = str;
    const choice = message.querySelector('button');
    choice.textContent = label;
    choice.onclick = action;
    if (!dialogOpen()) choice.focus();
  }

  async function startGame() {
    history.lines = [];
    history.shown = 0;
    history.draft = '';
    text = '';
    title = '';
    completed = 0;
    emblemShown = false;
    textWindow.replaceChildren();
    setCommand('');
    setState('loading');
    call('nv_open', 'number', ['string', 'string'], [game.folder, 'Narravox']);
    command.maxLength = Math.max(columns - 1, 1);
    focusCommand();
    const result = await callAsync('nv_start', 'number', ['number', 'number'], [lines, columns]);
    refresh();
    if (result === 2) {
      command.maxLength = call('nv_command_length');
      setState('playing');
      focusCommand();
    } else {
      refused();
    }
    started();
  }

  function refused() {
    held.length = 0;
    setState('refused');
    showMessage('Игру открыть не удалось.', 'Открыть игру', chooseGame);
  }

  function over() {
    held.length = 0;
    setState('over');
    showMessage('Игра окончена.', 'Начать заново', () => whenFree(startGame));
  }

  async function fetchGame(base) {
    const get = async (name) => {
      if (base === null) return null;
      try {
        const response = await fetch(`${base}/${name}`);
        return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
      } catch (error) {
        return null;
      }
    };
    return Promise.all(DATA_FILES.map(get));
  }

  const MAX_UNPACKED_BYTES = 256 * 1024 * 1024;

  // The entries of a .zip file: stored ones as they are, deflated ones through the browser.
  async function unzip(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let end = bytes.length - 22;
    const stop = Math.max(end - 0xffff, 0);
    while (end >= stop && view.getUint32(end, true) !== 0x06054b50) end--;
    if (end < stop) return [];
    const entries = [];
    let p = view.getUint32(end + 16, true);
    for (let n = view.getUint16(end + 10, true); n > 0 && p + 46 <= bytes.length; n--) {
      if (view.getUint32(p, true) !== 0x02014b50) break;
      const nameLength = view.getUint16(p + 28, true);
      entries.push({
        name: new TextDecoder().decode(bytes.subarray(p + 46, p + 46 + nameLength)),
        flags: view.getUint16(p + 8, true),
        method: view.getUint16(p + 10, true),
        size: view.getUint32(p + 20, true),
        offset: view.getUint32(p + 42, true),
      });
      p += 46 + nameLength + view.getUint16(p + 30, true) + view.getUint16(p + 32, true);
    }
    return entries.map((entry) => ({
      name: entry.name,
      async bytes() {
        const at = entry.offset;
        if (entry.flags & 1 || at + 30 > bytes.length || view.getUint32(at, true) !== 0x04034b50) {
          return null;
        }
        const start = at + 30 + view.getUint16(at + 26, true) + view.getUint16(at + 28, true);
        const data = bytes.slice(start, start + entry.size);
        if (entry.method === 0) return data;
        if (entry.method !== 8) return null;
        // Unpacked piece by piece and given up past a size no game reaches, so that a small
        // archive that unpacks to gigabytes cannot take the browser's memory.
        const stream = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
        const reader = stream.getReader();
        const chunks = [];
        let total = 0;
        for (;;) {
          const {done, value} = await reader.read();
          if (done) break;
          total += value.length;
          if (total > MAX_UNPACKED_BYTES) {
            reader.cancel();
            return null;
          }
          chunks.push(value);
        }
        const whole = new Uint8Array(total);
        let offset = 0;
        for (const chunk of chunks) {
          whole.set(chunk, offset);
          offset += chunk.length;
        }
        return whole;
      },
    }));
  }

  // Picks the data files among chosen files, a chosen folder's files or a .zip's entries:
  // by name whatever the case, the one nearest the top when there are several.
  async function openChosen(chosen) {
    const candidates = [];
    for (const file of chosen) {
      if (/\.zip$/i.test(file.name)) {
        try {
          candidates.push(...await unzip(new Uint8Array(await file.arrayBuffer())));
        } catch (error) {
          // A damaged archive gives no files.
        }
      } else {
        candidates.push({
          name: file.webkitRelativePath || file.name,
          bytes: async () => new Uint8Array(await file.arrayBuffer()),
        });
      }
    }
    const depth = (entry) => entry.name.split('/').length;
    const files = await Promise.all(DATA_FILES.map(async (wanted) => {
      const found = candidates
        .filter((entry) => entry.name.split('/').pop().toLowerCase() === wanted.toLowerCase())
        .sort((a, b) => depth(a) - depth(b))[0];
      try {
        return found ? await found.bytes() : null;
      } catch (error) {
        return null;
      }
    }));
    await openGame(files);
  }

  for (const id of ['open-files', 'open-folder']) {
    const picker = $(id);
    picker.addEventListener('change', () => {
      const chosen = Array.from(picker.files);
      picker.value = '';
      if (chosen.length) whenFree(() => openChosen(chosen));
    });
  }

  function chooseGame() {
    return dialog('open-dialog', 'Открыть игру', (box, finish) => {
      const pick = (id) => () => {
        finish(null);
        $(id).click();
      };
      const files = button('Файлы или .zip…', pick('open-files'));
      const hint = 'Выберите оба файла игры (Commands.ply и Scenario.ply), архив .zip с ними' +
        ' или папку игры.';
      box.append(element('p', {textContent: hint}), element('div', {className: 'buttons'},
        files, ...('webkitdirectory' in $('open-folder') ? [button('Папку…', pick('open-folder'))] : []),
        button('Отмена', () => finish(null))));
      return {focus: files};
    });
  }

  // ----- Toolbar

  function toolbarKey(key) {
    return () => {
      if (document.body.dataset.state !== 'playing') return;
      focusCommand();
      if (api.busy()) held.push({key});
      else if (key === 'F1') pressF1();
      else pressF3();
    };
  }
  $('key-f1').onclick = toolbarKey('F1');
  $('key-f3').onclick = toolbarKey('F3');
  $('open-game').onclick = chooseGame;
  $('saves').onclick = manageSaves;

  // ----- Start

  const host = {
    showBox,
    askFileName,
    setTitle(str) {
      setTitle(str);
      if (pixels) {
        drawTitle();
        present(0, TITLE_H);
      }
    },
    repaint: refresh,
    // Paced text: one line a second, the page staying live meanwhile.
    waitForNextSecond() {
      refresh();
      const second = Math.floor(Date.now() / 1000);
      return new Promise((resolve) => {
        const tick = () => {
          const now = Date.now();
          if (Math.floor(now / 1000) !== second) resolve();
          else setTimeout(tick, 1000 - (now % 1000) + 1);
        };
        tick();
      });
    },
  };

  function gameAddress() {
    const wanted = new URLSearchParams(window.location.search).get('game');
    if (wanted === null) return 'games/demo';
    try {
      const url = new URL(wanted, window.location.href);
      // Only games from this page's own server.
      return url.origin === window.location.origin ? url.href.replace(/\/+$/, '') : null;
    } catch (error) {
      return null;
    }
  }

  // The engine's font, code page, answers and emblem, read once.
  function readTables() {
    const fontAt = call('nv_font');
    font = engine.HEAPU8.slice(fontAt, fontAt + 256 * CELL_H);
    const table = engine.HEAPU16;
    const tableAt = call('nv_code_page') >> 1;
    for (let byte = 0; byte < 256; byte++) {
      const code = table[tableAt + byte];
      if (code || !byte) toByte.set(code, byte);
      // The engine cannot be called while it waits for a box, so the answers are asked now.
      answers[byte] = call('nv_answer_for_key', 'number', ['number'], [byte]);
    }
    const ints = engine.HEAP32;
    const emblemAt = call('nv_emblem', 'number', ['number', 'number'], [columns * CELL_W, H]) >> 2;
    let size = 8;
    for (let run = 0; run < ints[emblemAt + 7]; run++) size += 1 + 2 * ints[emblemAt + size];
    emblem = Array.from(ints.subarray(emblemAt, emblemAt + size));
  }

  // ----- A published game: one file holding the page, the engine and the game

  // The JSON that narravox-ply publish puts into the page, or null on the served page.
  function publishedGame() {
    const holder = document.getElementById('narravox-game');
    if (!holder) return null;
    try {
      return JSON.parse(holder.textContent);
    } catch (error) {
      return null;
    }
  }

  function fromBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // The engine's WebAssembly, when the page carries it (gzip-compressed, in base64), as the
  // engine's loader takes it; nothing when the page loads it from beside itself.
  async function embeddedEngine() {
    const holder = document.getElementById('narravox-wasm');
    if (!holder) return {};
    const stream = new Blob([fromBase64(holder.textContent.trim())]).stream()
      .pipeThrough(new DecompressionStream('gzip'));
    return {wasmBinary: await new Response(stream).arrayBuffer()};
  }

  function showReadme(text) {
    const readme = $('readme');
    readme.hidden = false;
    readme.onclick = () => dialog('readme-dialog', 'Read1st!.txt', (box, finish) => {
      const close = button('Закрыть', () => finish(null));
      box.append(element('pre', {textContent: text}),
        element('div', {className: 'buttons'}, close));
      return {focus: close};
    });
  }

  function main() {
    measure();
    place();
    window.addEventListener('resize', place);
    const published = publishedGame();
    let files;
    if (published) {
      files = Promise.resolve([fromBase64(published.commands), fromBase64(published.scenario)]);
      if (typeof published.readme === 'string') showReadme(published.readme);
    } else {
      files = fetchGame(gameAddress());
    }
    // Keys typed while the page loads wait for the game like any others.
    task(async () => {
      try {
        engine = await window.NarravoxEngine({narravoxHost: host, ...await embeddedEngine()});
      } catch (error) {
        setState('refused');
        showMessage('Не удалось загрузить Narravox.', 'Обновить страницу',
          () => window.location.reload());
        started();
        return;
      }
      readTables();
      paint();
      await openGame(await files);
    });
  }

  main();
})();

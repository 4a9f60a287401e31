// The page: reads the packages chosen or dropped, hands their bytes to the
// worker, and shows the JSON it returns. Nothing taken from a package is
// ever markup here: every text goes in through textContent, and no URL or
// handler is built from package bytes.
'use strict';

const workerCode = document.getElementById('worker-code').textContent;
const worker = new Worker(URL.createObjectURL(new Blob([workerCode], { type: 'text/javascript' })));

const opened = [];        // {id, file, bytes, json}, in the order opened
const requests = new Map();  // answers the worker owes, by request number
let nextRequest = 0;
let shown = null;

// A new element with text and properties; never markup.
function element(tag, properties = {}, ...children) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  for (const child of children) node.append(child);
  return node;
}

const hex = (n, digits = 0) => '0x' + n.toString(16).padStart(digits, '0');
// Bytes from `from` up to `to`, sixteen a line: the offset, the bytes in hex,
// then as text ('.' for what does not print); the byte at `mark` in a span of
// its own, marked.
function hexDump(bytes, from, to, mark = -1) {
  const pieces = [];
  for (let at = from; at < to; at += 16) {
    let line = at.toString(16).padStart(8, '0') + ' ';
    let text = '';
    for (let k = at; k < at + 16; ++k) {
      const digits = k < to ? bytes[k].toString(16).padStart(2, '0') : '  ';
      if (k === mark) {
        pieces.push(line + ' ', element('span', { className: 'fault', textContent: digits }));
        line = '';
      } else {
        line += ' ' + digits;
      }
      if (k < to) text += bytes[k] >= 0x20 && bytes[k] < 0x7F ? String.fromCharCode(bytes[k]) : '.';
    }
    pieces.push(`${line}  |${text}|\n`);
  }
  return pieces;
}

// A text from a package, cut short for showing: a crafted package may hold
// names of megabytes, and a line of that length stalls the page's layout.
const LONGEST_TEXT = 1000;
const shortened = (text) =>
  text.length <= LONGEST_TEXT ? text : `${text.slice(0, LONGEST_TEXT)}… (${text.length} characters)`;

// Asks the worker for a binary's bytes, a function's JSON or a file that
// pkginspect --unpack makes.
function ask(kind, entry, offset, more = {}) {
  return new Promise((resolve) => {
    const request = nextRequest++;
    requests.set(request, resolve);
    worker.postMessage({ kind, id: entry.id, offset, request, ...more });
  });
}
const requestBinary = (entry, offset) => ask('binary', entry, offset);

worker.onmessage = (event) => {
  const message = event.data;
  if (message.kind === 'json') {
    const entry = opened.find((each) => each.id === message.id);
    entry.json = message.json;
    show(entry);
  } else {
    const answers = { binary: message.bytes, function: message.json, file: message.file };
    requests.get(message.request)(answers[message.kind]);
    requests.delete(message.request);
  }
};

// Each package gets its id and its tab at once, in the order chosen; its
// bytes follow when they are read.
async function open(file) {
  const entry = { id: opened.length, file, bytes: null, json: null };
  opened.push(entry);
  const button = element('button', { type: 'button', textContent: file.name });
  button.addEventListener('click', () => entry.json && show(entry));
  entry.button = button;
  document.getElementById('packages').append(element('li', {}, button));
  entry.bytes = new Uint8Array(await file.arrayBuffer());
  worker.postMessage({ kind: 'open', id: entry.id, name: file.name, bytes: entry.bytes.slice().buffer });
}

function openAll(files) {
  for (const file of files) open(file);
}

document.getElementById('package').addEventListener('change', (event) => openAll(event.target.files));
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('drop');
});
document.addEventListener('dragleave', () => document.body.classList.remove('drop'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('drop');
  openAll(event.dataTransfer.files);
});

function row(table, cells, heading = false) {
  table.append(element('tr', {}, ...cells.map((text) => element(heading ? 'th' : 'td', { textContent: shortened(String(text)) }))));
}

function show(entry) {
  shown = entry;
  roots.clear();
  hits = [];
  hitAt = -1;
  document.getElementById('hits').textContent = '';
  for (const each of opened) each.button.classList.toggle('shown', each === entry);
  const json = entry.json;
  document.getElementById('name').textContent = shortened(json.error ? json.file : json.name ?? '(no name)');
  const header = document.getElementById('header');
  const parts = document.getElementById('parts');
  const faults = document.getElementById('faults');
  const tree = document.getElementById('tree');
  for (const node of [header, parts, faults, tree]) node.replaceChildren();
  document.getElementById('bytes').textContent = '';
  if (json.error) {
    faults.append(element('li', { textContent: json.error }));
    return;
  }
  for (const key of ['file', 'signature', 'type', 'version', 'copyright', 'name', 'size', 'fileSize', 'created', 'directorySize']) {
    row(header, [key, json[key] ?? '(outside the info data)']);
  }
  row(header, ['flags', flagText(json.flags, [], PACKAGE_FLAGS)]);
  row(parts, ['part', 'offset', 'size', 'type', 'kind', 'flags', 'compressed', 'info'], true);
  for (const part of json.parts) {
    row(parts, [part.number, part.offset, part.size, part.type, part.kind,
      flagText(part.flags, [PART_KINDS[part.flags & 3]], PART_FLAGS), part.compressed, part.info ?? '']);
  }
  const holding = objectsHolding(json, json.faults.map((fault) => fault.offset));
  for (const [k, fault] of json.faults.entries()) {
    const item = element('li', { textContent: `${hex(fault.offset)}: ${fault.message}` });
    item.addEventListener('click', () => showBytes(entry, fault.offset));
    if (holding[k]) {
      const link = element('button', { type: 'button', className: 'object-link', textContent: 'the object it lies in' });
      link.addEventListener('click', async (event) => {
        event.stopPropagation();
        const node = await reveal(holding[k]);
        document.querySelector('#tree .hit')?.classList.remove('hit');
        node?.classList.add('hit');
        node?.scrollIntoView({ block: 'center' });
      });
      item.append(' ', link);
    }
    faults.append(item);
  }
  if (json.cut) faults.append(element('li', { textContent: 'the listing is cut short: it would be far larger than the file' }));
  if (!faults.childElementCount) faults.append(element('li', { className: 'none', textContent: 'No faults' }));
  const budget = { nodes: 2000 };
  for (const part of json.parts) {
    if (part.root === null) {
      tree.append(element('div', { className: 'part', textContent: `part ${part.number}: not decoded: ${whyNotDecoded(part, json)}` }));
      continue;
    }
    tree.append(element('div', { className: 'part', textContent: `part ${part.number} objects:` }));
    const root = renderValue(entry, part.root, '', budget);
    roots.set(part.number, root);
    tree.append(root);
  }
  showBitmaps(json);
}

// The tree's tools: expand all, collapse all, a search through slot names and
// strings that opens the tree to each hit in turn, and a strip of every
// bitmap, each a link to its place. They work on the JSON, and open the tree
// a chunk a turn, so that a package of 100,000 slots keeps the page live.
const roots = new Map();  // the rendered root of each part shown
let hits = [], hitAt = -1;

// Every value the tree shows, in its order, with its path (a part, then child
// indices; the array is reused, copy it to keep it) and its slot's name (null
// in an array). The JSON is at most 130 levels deep, as the listing is.
function* nodes(json) {
  const path = [];
  function* walk(value, name) {
    yield [path, name, value];
    if (!value || typeof value !== 'object') return;
    if ('array' in value) {
      for (let i = 0; i < value.array.length; ++i) {
        path.push(i);
        yield* walk(value.array[i], null);
        path.pop();
      }
    } else if ('frame' in value && !isFunction(value.frame)) {
      let i = 0;
      for (const key in value.frame) {
        path.push(i++);
        yield* walk(value.frame[key], key);
        path.pop();
      }
    }
  }
  for (const part of json.parts) {
    if (part.root === null) continue;
    path.push(part.number);
    yield* walk(part.root, null);
    path.pop();
  }
}

// The paths to the values below the roots that `test(name, value, path)`
// takes; at most `most`.
function findPaths(json, test, most = 10000) {
  const found = [];
  for (const [path, name, value] of nodes(json)) {
    if (found.length >= most) break;
    if (path.length > 1 && test(name, value, path)) found.push(path.slice());
  }
  return found;
}

// For each of the first 100 offsets, the path to the smallest object of the
// tree whose bytes hold it (a frame or array: its header and a word a value;
// a binary: its header and its bytes), or null.
function objectsHolding(json, offsets) {
  const wanted = offsets.slice(0, 100);
  const best = wanted.map(() => null);
  const sizes = wanted.map(() => Infinity);
  findPaths(json, (name, value, path) => {
    const object = value?.binary ?? value;
    if (typeof object?.offset !== 'number') return false;
    const size = value.binary ? 12 + value.binary.size : 'array' in value ? 12 + 4 * value.array.length
      : 'frame' in value ? 12 + 4 * Object.keys(value.frame).length : 0;
    wanted.forEach((offset, k) => {
      if (offset >= object.offset && offset < object.offset + size && size < sizes[k]) {
        sizes[k] = size;
        best[k] = path.slice();
      }
    });
    return false;
  });
  return best;
}

// Opens the tree along a path; the element shown there.
async function reveal(path) {
  let node = roots.get(path[0]);
  for (const index of path.slice(1)) {
    const details = node?.matches?.('details') ? node : node?.querySelector(':scope > details, :scope > .slot > details');
    if (!details?.reveal) return node;
    node = details.reveal(index);
    // A turn between levels, so that the page is never still for long.
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
  return node;
}

async function showHit(step) {
  if (!hits.length) return;
  hitAt = (hitAt + step + hits.length) % hits.length;
  document.getElementById('hits').textContent = `${hitAt + 1} of ${hits.length}${hits.length >= 10000 ? '+' : ''}`;
  const node = await reveal(hits[hitAt]);
  document.querySelector('#tree .hit')?.classList.remove('hit');
  node?.classList.add('hit');
  node?.scrollIntoView({ block: 'center' });
}

// A walk of a few milliseconds at a time, so that the page stays live on the
// largest package; a newer search ends an older one.
let searches = 0;
async function search(text) {
  const generation = ++searches;
  const wanted = text.toLowerCase();
  const found = [];
  let turn = performance.now(), seen = 0;
  for (const [path, name, value] of wanted && shown?.json?.parts ? nodes(shown.json) : []) {
    if (path.length > 1 && ((name !== null && name.toLowerCase().includes(wanted)) ||
        (typeof value?.string === 'string' && value.string.toLowerCase().includes(wanted)))) {
      found.push(path.slice());
      if (found.length >= 10000) break;
    }
    if (++seen % 256 === 0 && performance.now() - turn > 20) {
      await new Promise((resolve) => setTimeout(resolve, 0));
      if (generation !== searches) return;
      turn = performance.now();
    }
  }
  hits = found;
  hitAt = -1;
  document.getElementById('hits').textContent = text ? `${hits.length} found` : '';
  showHit(1);
}

async function expandAll() {
  // Level by level, a chunk a turn.
  for (let round = 0; round < 200; ++round) {
    const closed = [...document.querySelectorAll('#tree details:not([open]):not(.function)')];
    if (!closed.length) return;
    for (const details of closed) {
      details.open = true;
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
  }
}

function collapseAll() {
  for (const details of document.querySelectorAll('#tree details[open]')) details.open = false;
}

function showBitmaps(json) {
  const strip = document.getElementById('bitmaps');
  strip.replaceChildren();
  for (const path of findPaths(json, (name, value) => Boolean(value?.binary?.bitmap), 200)) {
    let value = json.parts.find((part) => part.number === path[0]).root;
    for (const index of path.slice(1)) value = 'array' in value ? value.array[index] : Object.values(value.frame)[index];
    const canvas = drawBitmap(value.binary.bitmap);
    const link = element('button', { type: 'button', className: 'bitmap-link', title: `the bitmap at ${hex(value.binary.offset)}` }, canvas);
    link.addEventListener('click', async () => {
      const node = await reveal(path);
      node?.scrollIntoView({ block: 'center' });
    });
    strip.append(link);
  }
}

document.getElementById('expand').addEventListener('click', expandAll);
document.getElementById('collapse').addEventListener('click', collapseAll);
let searchTimer;
document.getElementById('search').addEventListener('input', (event) => {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(() => search(event.target.value), 200);
});
document.getElementById('next').addEventListener('click', () => showHit(1));

// Flags as the report writes them: the number, then the names of those set.
const PACKAGE_FLAGS = [[0x80000000, 'auto-remove'], [0x40000000, 'copy-protect'], [0x20000000, 'invisible'],
  [0x10000000, 'no compression'], [0x04000000, 'relocation'], [0x02000000, 'faster compression'], [0x01000000, 'signature']];
const PART_FLAGS = [[0x10, 'auto-load'], [0x20, 'auto-remove'], [0x40, 'compressed'], [0x80, 'notify'], [0x100, 'auto-copy']];
const PART_KINDS = ['protocol', 'NewtonScript', 'raw', 'unknown kind'];
function flagText(flags, names, table) {
  const all = [...names, ...table.filter(([bit]) => (flags & bit) !== 0).map(([, name]) => name)];
  return hex(flags >>> 0, 8) + (all.length ? ` (${all.join(', ')})` : '');
}

// Why a part's objects are not shown, as the report would say.
function whyNotDecoded(part, json) {
  if (part.kind !== 'newtonscript') return `a ${part.kind} part`;
  if (part.compressed) return 'a compressed part';
  return json.faults.length ? 'its entry is at fault (see the faults)' : 'its root is no array';
}

// The file's bytes around a fault's offset, the byte at fault marked.
function showBytes(entry, offset) {
  const start = Math.max(0, offset - (offset % 16) - 32);
  const end = Math.min(entry.bytes.length, start + 96);
  const view = document.getElementById('bytes');
  if (start >= end) view.textContent = `${hex(offset)} lies past the end of the file`;
  else view.replaceChildren(...hexDump(entry.bytes, start, end, offset));
}

// One value of a tree, as the report prints it; arrays and frames as
// disclosure elements whose contents are made when they first open.
function renderValue(entry, value, name, budget) {
  if (typeof value === 'number') return element('span', { textContent: String(value) });
  if (value === null) return element('span', { textContent: 'NIL' });
  if (value === true) return element('span', { textContent: 'TRUE' });
  if ('char' in value) return element('span', { textContent: '$' + value.char });
  if ('immediate' in value) {
    const named = IMMEDIATES[value.immediate];
    return element('span', { textContent: named ?? `<IMMEDIATE ${hex(value.immediate, 8)}>` });
  }
  if ('magic' in value) return element('span', { textContent: '@' + value.magic });
  if ('symbol' in value) return element('span', { className: 'symbol', textContent: "'" + shortened(value.symbol) });
  if ('string' in value) return element('span', { className: 'string', textContent: `"${shortened(value.string)}"` });
  if ('real' in value) return element('span', { textContent: String(value.real) });
  if ('bad' in value) return element('span', { textContent: `<bad pointer ${hex(value.bad, 8)}>` });
  if ('seen' in value) return element('span', { textContent: `<object at ${hex(value.seen)}, shown above>` });
  if ('deep' in value) return element('span', { textContent: `<object at ${hex(value.deep)}, nested too deep>` });
  if ('binary' in value) return renderBinary(entry, value.binary, name);
  if ('array' in value) {
    const label = `[${value.array.length} elements${value.class ? ', class ' + classText(value.class) : ''}]`;
    return container(label, value.array.length, budget, (from, to, into, kids) => {
      for (let i = from; i < to; ++i) {
        const slot = element('div', { className: 'slot' }, renderValue(entry, value.array[i], name, budget));
        kids[i] = slot;
        into.append(slot);
      }
    });
  }
  if ('frame' in value) return isFunction(value.frame) ? renderFunction(entry, value, budget) : renderFrame(entry, value, budget);
  return element('span', { textContent: `<object at ${hex(value.offset)}>` });
}

function renderFrame(entry, value, budget) {
  const names = Object.keys(value.frame);
  return container(`{${names.length} slots}`, names.length, budget, (from, to, into, kids) => {
    if (from === 0) {
      const icon = iconOf(value.frame);
      if (icon) into.append(icon);
    }
    for (let i = from; i < to; ++i) {
      const slot = element('div', { className: 'slot' }, element('span', { className: 'name', textContent: shortened(names[i]) + ': ' }));
      slot.append(renderValue(entry, value.frame[names[i]], names[i], budget));
      kids[i] = slot;
      into.append(slot);
    }
  });
}

const slotNamed = (frame, wanted) => frame[Object.keys(frame).find((key) => key.toLowerCase() === wanted)];

// A NewtonScript function: class 'CodeBlock or the immediate 0x32.
function isFunction(frame) {
  const cls = slotNamed(frame, 'class');
  return cls != null && (cls.immediate === 0x32 || cls.symbol?.toLowerCase() === 'codeblock');
}

// A function shown as its source, made by the worker when it is first
// opened, with switches to its instructions and to its frame's slots.
function renderFunction(entry, value, budget) {
  const size = slotNamed(value.frame, 'instructions')?.binary?.size;
  const summary = element('summary', { className: 'function', textContent: `func, ${size ?? '?'} bytes of code` });
  const details = element('details', { className: 'function' }, summary);
  let made = false;
  details.addEventListener('toggle', async () => {
    if (!details.open || made) return;
    made = true;
    const json = await ask('function', entry, value.offset);
    if (!json) return details.append(element('div', { textContent: 'not a function the reader accepts' }));
    summary.textContent = `func(${json.args.join(', ')})`;
    const views = {
      source: () => element('pre', { className: 'source' }, ...highlighted(json.source)),
      instructions: () => element('pre', { className: 'instructions', textContent: json.disassembly.join('\n') }),
      slots: () => renderFrame(entry, value, { nodes: 500 }),
    };
    const shown = element('div', { className: 'view' });
    const bar = element('div', { className: 'views' });
    for (const [name, make] of Object.entries(views)) {
      const button = element('button', { type: 'button', textContent: name });
      button.addEventListener('click', () => {
        for (const each of bar.children) each.classList.toggle('shown', each === button);
        shown.replaceChildren(make());
      });
      bar.append(button);
    }
    for (const note of json.notes) details.append(element('div', { className: 'note', textContent: note }));
    details.append(bar, shown);
    bar.firstChild.click();
  });
  return details;
}

// NewtonScript source as spans of text, each with the class of its kind of
// token; never markup.
const TOKENS = /(\/\/[^\n]*|\/\*[\s\S]*?\*\/)|("(?:[^"\\]|\\.)*")|('\|(?:[^|\\]|\\.)*\||'[A-Za-z_][\w]*|\$(?:\\u[0-9A-Fa-f]{4}|\\.|.))|(-?\b\d+(?:\.\d*)?(?:e[-+]?\d+)?\b|@\d+)|\b(and|begin|break|by|call|collect|deeply|div|do|else|end|exists|for|foreach|func|if|in|inherited|local|loop|mod|not|onexception|or|repeat|return|self|then|to|try|until|while|with|nil|true)\b/g;
const TOKEN_CLASSES = ['comment', 'string', 'symbol', 'number', 'keyword'];
function highlighted(source) {
  const pieces = [];
  let at = 0;
  for (const match of source.matchAll(TOKENS)) {
    if (match.index > at) pieces.push(source.slice(at, match.index));
    const kind = TOKEN_CLASSES[match.slice(1).findIndex((group) => group !== undefined)];
    pieces.push(element('span', { className: kind, textContent: match[0] }));
    at = match.index + match[0].length;
  }
  pieces.push(source.slice(at));
  return pieces;
}

// The immediates the report names.
const IMMEDIATES = { 0x32: '(IsCode)', 0x232: '(IsNative)', 0x55552: '(kClassSymbol)' };

function classText(value) {
  return value.symbol !== undefined ? "'" + shortened(value.symbol) : JSON.stringify(value);
}

// A disclosure element that makes its contents in chunks of 250 when it
// first opens, opened at once while the first screen's budget lasts. A chunk
// can be made out of turn, to reveal one child deep in a long container;
// buttons fill the gaps.
function container(label, count, budget, fill) {
  const CHUNK = 250;
  const details = element('details', {}, element('summary', { textContent: label }));
  details.kids = [];  // the element of each child made, by index
  const chunks = new Map();  // chunk number to its element
  const gapButton = (chunk) => {
    const from = chunk * CHUNK, to = Math.min(count, from + CHUNK);
    const button = element('button', { type: 'button', className: 'more', textContent: `show ${from}\u2013${to - 1} of ${count}` });
    button.addEventListener('click', () => makeChunk(chunk));
    return button;
  };
  const makeChunk = (chunk) => {
    if (chunks.has(chunk) || chunk * CHUNK >= count) return;
    const box = element('div', { className: 'chunk' });
    const to = Math.min(count, (chunk + 1) * CHUNK);
    fill(chunk * CHUNK, to, box, details.kids);
    budget.nodes -= to - chunk * CHUNK;
    chunks.set(chunk, box);
    // The chunks in order, a button where one is missing between or after.
    const made = [...chunks.keys()].sort((a, b) => a - b);
    details.replaceChildren(details.firstChild);
    let next = 0;
    for (const number of made) {
      if (number > next) details.append(gapButton(number - 1));
      details.append(chunks.get(number));
      next = number + 1;
    }
    if (next * CHUNK < count) details.append(gapButton(next));
  };
  // Opens the container and makes the chunk of child `index`; its element.
  details.reveal = (index) => {
    details.open = true;
    makeChunk(Math.floor(Math.min(index, count - 1) / CHUNK));
    return details.kids[index];
  };
  details.addEventListener('toggle', () => {
    if (details.open && chunks.size === 0) makeChunk(0);
  });
  if (budget.nodes > 0) {
    details.open = true;
    makeChunk(0);
  }
  return details;
}

function renderBinary(entry, binary, name) {
  const node = element('div', { className: 'binary' });
  node.append(`// BINARY OBJECT, size=${binary.size}${binary.class !== null ? ', class ' + binary.class : ''}`);
  const hexButton = element('button', { type: 'button', textContent: 'hex' });
  const save = element('a', { className: 'save', textContent: 'save', download: (name.slice(0, 100) || 'binary') + '.bin' });
  node.append(hexButton, save);
  hexButton.addEventListener('click', async () => {
    const bytes = await requestBinary(entry, binary.offset);
    const shown = Math.min(bytes.length, 65536);
    const view = element('div', { className: 'hex' }, ...hexDump(bytes, 0, shown));
    if (bytes.length > shown) view.append(`(the first ${shown} of ${bytes.length} bytes)`);
    node.append(view);
    hexButton.disabled = true;
  });
  // The bytes are asked for on the first click, then saved by a link to them.
  save.addEventListener('click', async (event) => {
    if (save.href) return;
    event.preventDefault();
    const bytes = await requestBinary(entry, binary.offset);
    save.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    save.click();
  });
  if (binary.bitmap) node.append(drawBitmap(binary.bitmap));
  if (binary.sound) node.append(soundPlayer(entry, binary));
  if (binary.picture) showMedia(entry, binary, 'svg', node, pictureImage);
  if (binary.class === 'sfnt') showMedia(entry, binary, 'ttf', node, fontSample);
  return node;
}

// A link that saves a file made by the worker, named as --unpack names it.
function saveLink(file, type) {
  const link = element('a', { className: 'save', textContent: `save ${shortened(file.name)}`, download: file.name });
  link.href = URL.createObjectURL(new Blob([file.bytes], { type }));
  return link;
}

// A sound plays as the WAV that --unpack writes, from a blob: URL.
function soundPlayer(entry, binary) {
  const { rate, bits, frames } = binary.sound;
  const play = element('button', { type: 'button', className: 'play', textContent: `play (${(frames / rate).toFixed(2)} s, ${rate} Hz, ${bits}-bit)` });
  play.addEventListener('click', async () => {
    play.disabled = true;
    const file = await ask('file', entry, binary.offset, { format: 'wav' });
    if (!file) return;
    const audio = element('audio', { controls: true, src: URL.createObjectURL(new Blob([file.bytes], { type: 'audio/wav' })) });
    play.replaceWith(element('span', { className: 'media' }, audio, saveLink(file, 'audio/wav')));
    audio.play().catch(() => {});
  });
  return play;
}

// A picture or a font, shown as soon as its node is: the file --unpack
// writes, made by the worker, never inserted as markup.
async function showMedia(entry, binary, format, node, show) {
  const file = await ask('file', entry, binary.offset, { format });
  if (file) node.append(element('div', { className: 'media' }, await show(file), saveLink(file, format === 'svg' ? 'image/svg+xml' : 'font/ttf')));
}

// An SVG as an image: whatever it holds, nothing in it runs.
function pictureImage(file) {
  return element('img', { className: 'picture', alt: file.name, src: URL.createObjectURL(new Blob([file.bytes], { type: 'image/svg+xml' })) });
}

let fontsLoaded = 0;
async function fontSample(file) {
  const family = `package-font-${fontsLoaded++}`;
  const sample = element('div', { className: 'font-sample', textContent: 'The quick brown fox jumps over the lazy dog 0123456789' });
  try {
    const face = new FontFace(family, file.bytes.buffer);
    document.fonts.add(await face.load());
    sample.style.fontFamily = `"${family}", serif`;
  } catch {
    sample.textContent = 'this font does not load in the browser';
  }
  return sample;
}

async function saveAll() {
  if (!shown?.json || shown.json.error) return;
  const button = document.getElementById('save-all');
  button.disabled = true;
  const file = await ask('zip', shown, 0);
  button.disabled = false;
  const link = saveLink(file, 'application/zip');
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}
document.getElementById('save-all').addEventListener('click', saveAll);

// A bitmap on a canvas at its pixel size, shown enlarged; black where
// `bits` and `mask` hold 1, shades of grey by value for `cbits`. With a mask,
// the pixels outside it are left clear.
function drawBitmap(bitmap, mask = null) {
  const { width, height, depth, rows } = bitmap;
  const canvas = element('canvas', { className: 'bitmap', width, height });
  canvas.style.width = `${Math.min(4 * width, 512)}px`;
  const context = canvas.getContext('2d');
  const image = context.createImageData(width, height);
  const digits = depth === 8 ? 2 : 1;
  const top = (1 << depth) - 1;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const value = parseInt(rows[y].substr(x * digits, digits), 16);
      const shade = 255 - Math.round((value * 255) / top);
      const at = 4 * (y * width + x);
      image.data[at] = image.data[at + 1] = image.data[at + 2] = shade;
      image.data[at + 3] = mask && mask.rows[y][x] === '0' ? 0 : 255;
    }
  }
  context.putImageData(image, 0, 0);
  return canvas;
}

// An icon frame's bitmap drawn over its mask, where both are there, agree in
// size and the mask covers every ink pixel of the bits (old tools wrote masks
// that do not); otherwise the bits alone.
function iconOf(frame) {
  const find = (wanted) => Object.keys(frame).find((key) => key.toLowerCase() === wanted);
  const bits = frame[find('bits')]?.binary?.bitmap;
  const mask = frame[find('mask')]?.binary?.bitmap;
  if (!bits || !mask || bits.width !== mask.width || bits.height !== mask.height) return null;
  const covers = bits.rows.every((row, y) => [...row].every((pixel, x) => pixel === '0' || mask.rows[y][x] !== '0'));
  const canvas = drawBitmap(bits, covers ? mask : null);
  canvas.classList.add('icon');
  return canvas;
}

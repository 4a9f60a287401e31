// What the page's test and its benchmark share: the browser driver, the
// packages they open (built by pkgembed and the package generator in a
// scratch folder) and the page's hooks for opening one and for watching how
// long the page is ever still.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const chromiumPath = '/usr/bin/chromium';

// The driver comes from the lock file beside this script: installed here on
// a fresh clone, where npm and the registry are to be had. Exits 77 (skipped)
// where the driver, Chromium or the page is missing.
export function driverOrSkip(page) {
  const require = createRequire(import.meta.url);
  const load = () => {
    try {
      return require('playwright-core');
    } catch {
      return null;
    }
  };
  let driver = load();
  if (!driver && fs.existsSync(chromiumPath) && fs.existsSync(page)) {
    console.log('installing playwright-core from tests/web/package-lock.json (npm ci)');
    try {
      execFileSync('npm', ['ci', '--prefix', path.dirname(fileURLToPath(import.meta.url)), '--no-audit', '--no-fund'],
        { stdio: 'inherit', timeout: 240000 });
      driver = load();
    } catch (error) {
      console.log(`npm ci failed: ${error.message}`);
    }
  }
  if (!driver) {
    console.log('skipped: playwright-core is not installed, and npm ci in tests/web could not install it');
    process.exit(77);
  }
  if (!fs.existsSync(chromiumPath) || !fs.existsSync(page)) {
    console.log(`skipped: ${fs.existsSync(page) ? chromiumPath : page} is missing`);
    process.exit(77);
  }
  return driver;
}

// Crafted: 100,000 frames share one map whose one slot name is 4 MB long, so
// that 6 MB of package would make 400 MB of JSON and of tree text.
function sharedNamePackage(file) {
  const frames = 100000, nameLength = 4 << 20;
  const name = Buffer.from('crafted\0', 'utf16le').swap16();
  const partAt = 84 + name.length, rootAt = partAt, mapAt = rootAt + 12 + 4 * frames;
  const symbolAt = mapAt + 20, symbolSize = 12 + 4 + nameLength + 1;
  const framesAt = symbolAt + ((symbolSize + 3) & ~3), end = framesAt + 16 * frames;
  const bytes = Buffer.alloc(end);
  const word = (at, value) => bytes.writeUInt32BE(value >>> 0, at);
  const object = (at, size, flags, ...refs) => {
    word(at, size << 8 | flags);
    refs.forEach((ref, i) => word(at + 8 + 4 * i, ref));
  };
  bytes.write('package0');
  [[24, name.length], [28, end], [44, partAt], [48, 1], [56, end - partAt], [72, 0x81]].forEach(([at, value]) => word(at, value));
  name.copy(bytes, 84);
  object(rootAt, 12 + 4 * frames, 0x41, 2);
  word(rootAt + 4, 1);
  for (let i = 0; i < frames; ++i) word(rootAt + 12 + 4 * i, framesAt + 16 * i + 1);
  object(mapAt, 20, 0x41, 0, 2, symbolAt + 1);
  object(symbolAt, symbolSize, 0x40, 0x55552, Math.imul(88 * nameLength, 0x9E3779B9));
  bytes.fill('x', symbolAt + 16, symbolAt + 16 + nameLength);
  for (let i = 0; i < frames; ++i) object(framesAt + 16 * i, 16, 0x43, mapAt + 1, i << 2);
  fs.writeFileSync(file, bytes);
  return file;
}

// The large packages, in a new scratch folder `work`: 16 MB of one binary,
// 100,000 slots, the crafted one and 5,000 functions.
export function largePackages(pkgembedPath, generatorPath) {
  const [pkgembed, generator] = [path.resolve(pkgembedPath), path.resolve(generatorPath)];
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'pkginspect-page-'));
  const build = (name, script, files = {}, symbol = 'Page:TEST') => {
    for (const [file, bytes] of Object.entries(files)) fs.writeFileSync(path.join(work, file), bytes);
    fs.writeFileSync(path.join(work, 'contents.script'), script);
    execFileSync(pkgembed, [name, symbol, 'contents.script'], { cwd: work, stdio: 'ignore', timeout: 60000 });
    return path.join(work, name);
  };
  const large = build('large.pkg', 'makeSlot big binary data big.bin', { 'big.bin': Buffer.alloc(16000000, 7) });
  let slots = '';
  for (let i = 0; i < 100000; ++i) slots += `makeSlot s${i} binary b small.bin\n`;
  const many = build('many.pkg', slots, { 'small.bin': 'x' });
  const crafted = sharedNamePackage(path.join(work, 'crafted.pkg'));
  fs.mkdirSync(path.join(work, 'functions'));
  execFileSync(generator, [path.join(work, 'functions'), '1', '5000'], { timeout: 60000 });
  const functions = path.join(work, 'functions', 'p0.pkg');
  return { work, build, large, many, crafted, functions };
}

export async function openTab(driver, page) {
  const browser = await driver.chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
  const context = await browser.newContext({ acceptDownloads: true });
  const tab = await context.newPage();
  const pageUrl = 'file://' + path.resolve(page);
  return { browser, tab, pageUrl };
}

// Opens a package and waits until it is shown; the time that took, in ms.
export async function openPackage(tab, file, name) {
  const start = Date.now();
  // The name alone may be the last package's too: the new package's own tab
  // says that it is the one shown.
  const before = await tab.$$eval('#packages button', (buttons) => buttons.length);
  await tab.setInputFiles('input[type=file]#package', file);
  await tab.waitForFunction(([wanted, index]) => {
    const button = document.querySelectorAll('#packages button')[index];
    return button?.classList.contains('shown') && document.querySelector('#name').textContent === wanted;
  }, [name, before], { timeout: 20000 });
  return Date.now() - start;
}

// From here on, the page keeps the longest time it was still (no timer of
// 20 ms ran) in `window.stillest`; stillest() reads it and starts afresh.
export async function watchStillness(tab) {
  await tab.evaluate(() => {
    window.stillest = 0;
    let last = performance.now();
    window.beat = setInterval(() => {
      const now = performance.now();
      window.stillest = Math.max(window.stillest, now - last);
      last = now;
    }, 20);
  });
}
export async function stillest(tab) {
  return tab.evaluate(() => {
    const longest = window.stillest;
    window.stillest = 0;
    return longest;
  });
}

// The first screen of 100,000 slots, and of 5,000 functions.
export async function waitForSlot(tab, name) {
  await tab.waitForFunction((wanted) => [...document.querySelectorAll('#tree .name')].some((node) => node.textContent === wanted),
    name, { timeout: 20000 });
}
export async function waitForFunctions(tab) {
  await tab.waitForFunction(() => document.querySelectorAll('#tree summary.function').length > 0, null, { timeout: 20000 });
}

// Opens the first function of the tree; the time until its source shows.
export async function openFirstFunction(tab) {
  return tab.evaluate(async () => {
    const details = document.querySelector('#tree details.function');
    const start = performance.now();
    details.open = true;
    while (!details.querySelector('pre.source')) await new Promise((resolve) => setTimeout(resolve, 1));
    return performance.now() - start;
  });
}

// Searches for a slot and waits for the tree to open to it.
export async function search(tab, text) {
  await tab.fill('#search', text);
  await tab.waitForFunction((wanted) => document.querySelector('#tree .hit')?.textContent.startsWith(wanted + ': '),
    text, { timeout: 30000 });
}

// Drives pkginspect.html in Debian's Chromium, opened from disk, through the
// page's stable hooks: the example (name, slot names, bitmap pixels, a saved
// binary), a truncated package (its faults), a package full of markup
// (shown as text, nothing run), a 16 MB package, 100,000 slots (found by a
// search), a crafted package (its JSON cut at the page's bound) and 5,000
// functions (a function's source when it is opened, its instructions and
// slots a click away), a sound (played), a picture and a font (their
// pixels), and "save all" (the files of pkginspect --unpack).
// What the page shows is compared with pkginspect --json on the same file.
// How long all this takes is bench/page_bench.mjs's to measure: nothing here
// fails because the machine is busy.
//   node page_test.mjs PAGE PKGEMBED PKGINSPECT EXAMPLES ARTIFACTS GENERATOR GOLDEN
// Exits 0 when all holds, 1 when not, 77 when Chromium or Playwright is missing.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {
  driverOrSkip, largePackages, openTab, openPackage as open, search, waitForFunctions, waitForSlot, openFirstFunction,
} from './harness.mjs';

const [page, pkgembed, pkginspect, examples, artifacts, generator, golden] = process.argv.slice(2);
const driver = driverOrSkip(page);

let failures = 0;
function check(condition, what) {
  console.log(`${condition ? 'ok' : 'FAILED'}: ${what}`);
  if (!condition) failures++;
}

// Packages built by pkgembed in a scratch directory.
const { work, build, large, many, crafted, functions } = largePackages(pkgembed, generator);
const reference = (file) =>
  JSON.parse(execFileSync(pkginspect, ['--json', file], { timeout: 60000, maxBuffer: 1 << 30 }).toString().split('\n')[0]);
// pkginspect exits 1 for a faulty package; its output is still wanted.
function referenceFaulty(file) {
  try {
    return reference(file);
  } catch (error) {
    return JSON.parse(error.stdout.toString());
  }
}

for (const file of fs.readdirSync(examples)) fs.copyFileSync(path.join(examples, file), path.join(work, file));
const example = build('example.pkg', fs.readFileSync(path.join(examples, 'contents.script')));
const truncated = path.join(work, 'truncated.pkg');
fs.writeFileSync(truncated, fs.readFileSync(example).subarray(0, 700));
const markup = '<img src=x onerror=window.pwned=1></script><script>window.pwned=2</script>';
const utf16 = Buffer.from(markup, 'utf16le').swap16();
const hostile = build('hostile.pkg',
  'makeSlot <img/src=x/onerror=window.pwned=3> binary string markup.bin\n' +
  'makeSlot javascript:window.pwned=4 binary </script> markup.bin\n',
  { 'markup.bin': Buffer.concat([utf16, Buffer.alloc(2)]) }, markup);
// Markup in the package's name (its file's), copyright and part info too.
const markupName = '<img src=x onerror=window.pwned=5>';
const named = build(`${markupName}.pkg`, 'makeSlot a binary b markup.bin\n');
{
  const bytes = fs.readFileSync(named);
  const at = bytes.indexOf(Buffer.from('Copyright String', 'utf16le').swap16());
  Buffer.from('<svg onload=p()>', 'utf16le').swap16().copy(bytes, at);
  bytes.write('<b>!', bytes.indexOf('auto', 84), 'latin1');
  fs.writeFileSync(named, bytes);
}
// The entries of a zip of stored files, by name.
function storedEntries(zip) {
  const entries = new Map();
  for (let at = 0; zip.readUInt32LE(at) === 0x04034b50;) {
    const size = zip.readUInt32LE(at + 18), nameLength = zip.readUInt16LE(at + 26), extra = zip.readUInt16LE(at + 28);
    const name = zip.toString('utf8', at + 30, at + 30 + nameLength);
    const start = at + 30 + nameLength + extra;
    entries.set(name, zip.subarray(start, start + size));
    at = start + size;
  }
  return entries;
}

const { browser, tab, pageUrl } = await openTab(driver, page);
const requests = [];
tab.on('request', (request) => requests.push(request.url()));
let dialogs = 0;
tab.on('dialog', (dialog) => {
  dialogs++;
  dialog.dismiss();
});
await tab.goto(pageUrl);

const openPackage = (file, name) => open(tab, file, name);

// Opens every disclosure element of the tree, as a reader would, until none
// is left closed.
async function openTree() {
  for (let round = 0; round < 100; ++round) {
    const closed = await tab.evaluate(() => {
      const all = [...document.querySelectorAll('#tree details:not([open])')];
      for (const details of all) details.open = true;
      return all.length;
    });
    if (closed === 0) return;
    await tab.waitForTimeout(20);
  }
}

// A function frame shows its source, not its slots, until asked.
function slotNames(value, names = []) {
  if (value && typeof value === 'object') {
    if ('frame' in value && !value.function) {
      for (const [key, slot] of Object.entries(value.frame)) {
        names.push(key);
        slotNames(slot, names);
      }
    } else if ('array' in value) {
      for (const element of value.array) slotNames(element, names);
    }
  }
  return names;
}

// The example: its name, its slot names in order, its icon's pixels.
const exampleJson = reference(example);
await openPackage(example, exampleJson.name);
await openTree();
const shownNames = await tab.$$eval('#tree .name', (nodes) => nodes.map((node) => node.textContent.slice(0, -2)));
check(JSON.stringify(shownNames) === JSON.stringify(slotNames(exampleJson.parts[0].root)), 'the example shows its slot names in order');
const icon = exampleJson.parts[0].root.array[0].frame._ExportTable.array[0].frame.objects.array[0].frame.icon.binary.bitmap;
const pixels = await tab.$eval('canvas.bitmap', (canvas) => {
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const rows = [];
  for (let y = 0; y < canvas.height; ++y) {
    let row = '';
    for (let x = 0; x < canvas.width; ++x) row += data[4 * (y * canvas.width + x)] < 128 ? '1' : '0';
    rows.push(row);
  }
  return rows;
});
check(JSON.stringify(pixels) === JSON.stringify(icon.rows), 'the icon is drawn pixel for pixel');
// The header as the report writes it, and no fault.
const headerRows = await tab.$$eval('#header tr', (rows) => rows.map((tr) => tr.textContent));
const partRows = await tab.$$eval('#parts tr', (rows) => rows.map((tr) => [...tr.cells].map((cell) => cell.textContent)));
check(headerRows.includes(`directorySize${exampleJson.directorySize}`) && partRows[1][5] === '0x00000081 (NewtonScript, notify)',
  `the header shows the directory size and the flags' names (${partRows[1][5]})`);
const noFaults = await tab.$$eval('#faults li', (items) => items.map((item) => item.textContent));
check(JSON.stringify(noFaults) === '["No faults"]', 'a package without faults says so');
// A binary's hex view: offsets, sixteen bytes a line, and the text.
const hexView = await tab.evaluate(async () => {
  const slot = [...document.querySelectorAll('#tree .slot')].find((each) => each.firstChild.textContent === 'greeting: ');
  slot.querySelector('.binary button').click();
  while (!slot.querySelector('.hex')) await new Promise((resolve) => setTimeout(resolve, 5));
  return slot.querySelector('.hex').textContent;
});
check(hexView.startsWith('00000000  48 65 6c 6c 6f 20 66 72 6f 6d 20 70 6b 67 65 6d  |Hello from pkgem|\n00000010  62 65 64 21 0a'),
  'a binary\'s hex view has offsets and a text column');

// Expand all, collapse all, and the strip of the package's bitmaps.
await tab.click('#collapse');
const openAfterCollapse = await tab.$$eval('#tree details[open]', (all) => all.length);
await tab.click('#expand');
await tab.waitForFunction(() => document.querySelectorAll('#tree details:not([open]):not(.function)').length === 0, null, { timeout: 20000 });
check(openAfterCollapse === 0, 'collapse all closes the tree, and expand all opens it');
const strip = await tab.$$eval('#bitmaps canvas', (all) => all.length);
check(strip === 1, `a strip shows the package's bitmaps (${strip})`);

// pkgembed's installScript, opened, reads as its source.
const installSource = await tab.evaluate(async () => {
  const slot = [...document.querySelectorAll('#tree .slot')].find((each) => each.firstChild.textContent === 'installScript: ');
  const details = slot.querySelector('details.function');
  details.open = true;
  while (!details.querySelector('pre.source')) await new Promise((resolve) => setTimeout(resolve, 5));
  return details.querySelector('pre.source').textContent;
});
check(installSource === exampleJson.parts[0].root.array[0].frame.installScript.function.source,
  'the example\'s installScript shows its source');
fs.mkdirSync(artifacts, { recursive: true });
await tab.screenshot({ path: path.join(artifacts, 'example.png'), fullPage: true });

// A saved binary holds the bytes of its data file.
const [download] = await Promise.all([
  tab.waitForEvent('download', { timeout: 20000 }),
  tab.locator('#tree .slot', { hasText: 'greeting:' }).locator('a.save').first().click(),
]);
const saved = fs.readFileSync(await download.path());
check(saved.equals(fs.readFileSync(path.join(examples, 'greeting.txt'))), 'a saved binary equals its data file');

// A truncated package: the faults pkginspect reports, offsets first.
const truncatedJson = referenceFaulty(truncated);
await openPackage(truncated, truncatedJson.name ?? '(no name)');
const faults = await tab.$$eval('#faults li', (items) => items.map((item) => item.firstChild.textContent));
const expectedFaults = truncatedJson.faults.map((fault) => `0x${fault.offset.toString(16)}: ${fault.message}`);
check(faults.length > 0 && JSON.stringify(faults) === JSON.stringify(expectedFaults), 'a truncated package shows its faults');
const marked = await tab.evaluate(() => {
  document.querySelector('#faults li').click();
  return document.querySelector('#bytes .fault')?.textContent;
});
const firstFault = truncatedJson.faults[0].offset;
const linked = await tab.evaluate(async () => {
  const link = document.querySelector('#faults .object-link');
  if (!link) return null;
  link.click();
  for (let i = 0; i < 100 && !document.querySelector('#tree .hit'); ++i) await new Promise((resolve) => setTimeout(resolve, 10));
  return document.querySelector('#tree .hit')?.textContent.slice(0, 40) ?? '';
});
check(Boolean(linked), `a fault inside an object links to it (${linked})`);
check(marked === fs.readFileSync(truncated)[firstFault].toString(16).padStart(2, '0'), `the byte of a fault is marked (${marked})`);
const truncatedNames = await tab.$$eval('#tree .name', (nodes) => nodes.map((node) => node.textContent.slice(0, -2)));
check(truncatedNames.length > 0 && JSON.stringify(truncatedNames) === JSON.stringify(slotNames(truncatedJson.parts[0].root)),
  `a truncated package shows the objects before the cut (${truncatedNames.length} slots)`);

// Markup in names, strings and symbols: shown as text, never run.
await openPackage(hostile, 'hostile');
await openTree();
const text = await tab.$eval('#tree', (tree) => tree.textContent);
const pwned = await tab.evaluate(() => window.pwned);
const injected = await tab.evaluate(() => document.querySelectorAll('#tree img, #tree script, main a[href^="javascript"]').length);
check(pwned === undefined && dialogs === 0 && injected === 0, 'markup in a package runs nothing');
check(text.includes(markup) && text.includes('<img/src=x/onerror=window.pwned=3>: ') && text.includes('class </script>'),
  'markup in a package is shown as text');

await openPackage(named, markupName);
const headerText = await tab.$eval('main', (main) => main.textContent);
const namedInjected = await tab.evaluate(() => document.querySelectorAll('main img, main svg, main table b').length);
check(headerText.includes('<svg onload=p()>') && headerText.includes('<b>!') && headerText.includes(`${markupName}.pkg`) &&
  namedInjected === 0 && (await tab.evaluate(() => window.pwned)) === undefined,
  'markup in a package\'s name, copyright, part info and file name is shown as text');

// A 16 MB package, 100,000 slots of which a search finds the last, and a
// crafted package whose JSON stops early and whose names are cut short for
// showing.
await openPackage(large, 'large');
await openPackage(many, 'many');
await waitForSlot(tab, 's0: ');
await search(tab, 's99999');
const found = await tab.$eval('#hits', (hits) => hits.textContent);
check(found === '1 of 1', `the search finds the one slot s99999 (${found})`);
const listed = await tab.$$eval('#packages li', (items) => items.length);
check(listed === 6, 'the page lists every package opened');
await openPackage(crafted, 'crafted');
const craftedFaults = await tab.$$eval('#faults li', (items) => items.map((item) => item.textContent));
const craftedFrames = await tab.$$eval('#tree summary', (items) => items.filter((item) => item.textContent === '{1 slots}').length);
const longest = await tab.$$eval('#tree .name', (names) => Math.max(...names.map((name) => name.textContent.length)));
check(craftedFaults.length === 1 && craftedFaults[0].includes('cut short') && craftedFrames > 0 && craftedFrames <= 20,
  `a crafted package's JSON is cut at the page's bound (${craftedFrames} frames shown)`);
check(longest < 1100, `a 4 MB slot name is shown cut short (${longest} characters)`);

// 5,000 functions, each function's source made only when it is opened: one
// function's source, coloured, as pkginspect writes it, and its instructions.
await openPackage(functions, 'test');
await waitForFunctions(tab);
const functionsJson = reference(functions);
const firstFunction = functionsJson.parts[0].root.array[0].frame.theForm.frame.stepChildren.array[0].frame.viewClickScript.function;
await openFirstFunction(tab);
const shownSource = await tab.$eval('#tree details.function pre.source', (pre) => ({
  text: pre.textContent, kinds: [...new Set([...pre.querySelectorAll('span')].map((span) => span.className))].sort(),
}));
check(shownSource.text === firstFunction.source, 'a function shows the source pkginspect writes');
check(['keyword', 'string'].every((kind) => shownSource.kinds.includes(kind)),
  `its tokens are coloured by kind (${shownSource.kinds.join(', ')})`);
const instructions = await tab.evaluate(() => {
  const details = document.querySelector('#tree details.function');
  [...details.querySelectorAll('.views button')].find((button) => button.textContent === 'instructions').click();
  return details.querySelector('pre.instructions').textContent.split('\n');
});
check(instructions.length === firstFunction.code.length &&
  instructions.every((line, i) => line.trim().startsWith(`${firstFunction.code[i][0]}  ${firstFunction.code[i][1]}`)),
  `its instructions are listed one a line (${instructions.length})`);
const slotsShown = await tab.evaluate(() => {
  const details = document.querySelector('#tree details.function');
  [...details.querySelectorAll('.views button')].find((button) => button.textContent === 'slots').click();
  return [...details.querySelectorAll('.view .name')].map((name) => name.textContent);
});
check(slotsShown.includes('instructions: ') && slotsShown.includes('numArgs: '), 'and its raw slots');
await tab.screenshot({ path: path.join(artifacts, 'functions.png') });

// Two chosen at once: each is read and shown as itself.
await tab.setInputFiles('input[type=file]#package', [hostile, large]);
await tab.waitForFunction(() => document.querySelector('#name').textContent === 'large', null, { timeout: 20000 });
for (const name of ['hostile', 'large']) {
  const shownName = await tab.evaluate((name) => {
    [...document.querySelectorAll('#packages button')].filter((button) => button.textContent === name + '.pkg').pop().click();
    return document.querySelector('#name').textContent;
  }, name);
  check(shownName === name, `the ${name} package, chosen with another, shows its own name (${shownName})`);
}

const tabOrder = await tab.$$eval('#packages button', (buttons) => buttons.slice(-2).map((button) => button.textContent));
check(JSON.stringify(tabOrder) === '["hostile.pkg","large.pkg"]', `tabs come in the order chosen (${tabOrder})`);

// At 420 px wide, no table runs off the screen.
await tab.setViewportSize({ width: 420, height: 800 });
await openPackage(example, exampleJson.name);
const widest = await tab.$$eval('table', (tables) => Math.max(...tables.map((table) => table.getBoundingClientRect().right)));
check(widest <= 420, `at 420 px every table fits (its right edge at ${Math.round(widest)})`);
await tab.screenshot({ path: path.join(artifacts, 'narrow.png'), fullPage: true });

// A sound plays for as long as its samples last; a picture is drawn (its
// painted red rectangle); "save all" gives the files --unpack writes.
fs.copyFileSync(path.join(golden, 'media.pkg'), path.join(work, 'media.pkg'));
const media = path.join(work, 'media.pkg');
await openPackage(media, reference(media).name);
await openTree();
await tab.click('button.play');
const duration = await tab.waitForFunction(() => document.querySelector('audio')?.duration, null, { timeout: 10000 });
check(Math.abs(await duration.jsonValue() - 1000 / 11025) < 0.001, `a sound plays for the length of its samples (${await duration.jsonValue()} s)`);
await tab.waitForFunction(() => [...document.querySelectorAll('img.picture')].some((img) => img.complete && img.naturalWidth), null, { timeout: 10000 });
const painted = await tab.$eval('img.picture', (img) => {
  const canvas = document.createElement('canvas');
  canvas.width = img.naturalWidth;
  canvas.height = img.naturalHeight;
  const context = canvas.getContext('2d');
  context.drawImage(img, 0, 0);
  return [...context.getImageData(105, 9, 1, 1).data];
});
check(JSON.stringify(painted) === '[255,0,0,255]', `a picture is drawn: its painted rectangle is red (${painted})`);
const [zipDownload] = await Promise.all([tab.waitForEvent('download'), tab.click('#save-all')]);
const zipPath = path.join(work, 'media.zip');
await zipDownload.saveAs(zipPath);
execFileSync(pkginspect, ['--unpack', 'unpacked', 'media.pkg'], { cwd: work, timeout: 60000 });
const entries = storedEntries(fs.readFileSync(zipPath));
const unpacked = fs.readdirSync(path.join(work, 'unpacked', 'media'));
check(zipDownload.suggestedFilename() === 'media.zip' && entries.size === unpacked.length &&
  unpacked.every((name) => entries.get(`media/${name}`)?.equals(fs.readFileSync(path.join(work, 'unpacked', 'media', name)))),
  `"save all" gives a zip of the files --unpack writes (${entries.size} of ${unpacked.length})`);
// An icon is drawn over its mask where the mask covers its bits (clear
// outside it), and as its bits alone where it does not (old tools wrote such
// masks): the same icon with its mask emptied.
const iconAlpha = () => tab.$eval('canvas.icon', (canvas) => {
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  return [data[3], data[4 * (8 * canvas.width + 1) + 3]];  // a corner, and a pixel of the ring
});
const masked = await iconAlpha();
const mediaBytes = fs.readFileSync(media);
const maskAt = reference(media).parts[0].root.array[0].frame.icon.frame.mask.binary.offset;
mediaBytes.fill(0, maskAt + 12 + 16, maskAt + 12 + 16 + 4 * 16);  // 16 rows of 4 bytes
const unmasked = path.join(work, 'unmasked.pkg');
fs.writeFileSync(unmasked, mediaBytes);
await openPackage(unmasked, reference(unmasked).name);
await openTree();
const alone = await iconAlpha();
check(JSON.stringify(masked) === '[0,255]' && JSON.stringify(alone) === '[255,255]',
  `an icon is drawn over a mask that covers it (${masked}), and alone where the mask does not (${alone})`);

// A font shows its sample line in itself: its face is loaded, and the line is
// as wide as in that font, not as in another.
// A monospaced font, unlike any the page falls back to.
const fontFile = '/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf';
if (fs.existsSync(fontFile)) {
  const font = build('font.pkg', 'makeSlot font binary sfnt font.ttf\n', { 'font.ttf': fs.readFileSync(fontFile) });
  await openPackage(font, reference(font).name);
  await openTree();
  await tab.waitForSelector('.font-sample', { timeout: 10000 });
  const widths = await tab.$eval('.font-sample', (sample) => {
    const other = sample.cloneNode(true);
    other.style.fontFamily = 'sans-serif';
    other.style.display = sample.style.display = 'inline-block';
    other.style.whiteSpace = sample.style.whiteSpace = 'nowrap';
    sample.after(other);
    const family = sample.style.fontFamily.split(',')[0].replaceAll('"', '');
    const loaded = [...document.fonts].some((face) => face.family.replaceAll('"', '') === family && face.status === 'loaded');
    return [sample.getBoundingClientRect().width, other.getBoundingClientRect().width, loaded];
  });
  check(widths[2] && Math.abs(widths[0] - widths[1]) > 5, `a font shows its sample in itself (${widths})`);
} else {
  console.log(`skipped: no font at ${fontFile} to show`);
}

// Only the page itself, and the blob: and data: URLs it makes.
const elsewhere = requests.filter((url) => url !== pageUrl && !url.startsWith('blob:') && !url.startsWith('data:'));
check(elsewhere.length === 0, `no network request (${elsewhere.join(', ') || 'none'})`);

await browser.close();
fs.rmSync(work, { recursive: true, force: true });
process.exit(failures ? 1 : 0);

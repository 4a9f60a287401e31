// How long pkginspect.html takes with large packages, in Debian's Chromium,
// each figure beside the bound it should stay within: a 16 MB package named,
// 100,000 slots' first screen and a search among them, a crafted package
// whose JSON the page cuts, 5,000 functions' first screen and one function's
// source. "Still" is the longest time no 20 ms timer of the page ran, which
// is how long a user would find it unresponsive.
//   node page_bench.mjs PAGE PKGEMBED GENERATOR [RUNS]
// Prints the median of RUNS (3) runs for each; exits 77 where Chromium or
// playwright-core (npm ci in tests/web) is missing.
import fs from 'node:fs';
import {
  driverOrSkip, largePackages, openTab, openPackage, openFirstFunction, search, stillest, waitForFunctions,
  waitForSlot, watchStillness,
} from '../tests/web/harness.mjs';

const [page, pkgembed, generator, runsText] = process.argv.slice(2);
const runs = Number(runsText ?? 3);
const driver = driverOrSkip(page);
const packages = largePackages(pkgembed, generator);

const figures = new Map();
const note = (name, ms, bound) => {
  if (!figures.has(name)) figures.set(name, { bound, values: [] });
  figures.get(name).values.push(ms);
};

for (let run = 0; run < runs; ++run) {
  const { browser, tab, pageUrl } = await openTab(driver, page);
  await tab.goto(pageUrl);
  await watchStillness(tab);
  note('a 16 MB package named', await openPackage(tab, packages.large, 'large'), 1000);
  await tab.waitForTimeout(300);
  note('  the page still, at most', await stillest(tab), 500);
  const start = Date.now();
  await openPackage(tab, packages.many, 'many');
  await waitForSlot(tab, 's0: ');
  note('100,000 slots: the first screen', Date.now() - start, 2000);
  await stillest(tab);
  await search(tab, 's99999');
  note('  searching them, the page still at most', await stillest(tab), 100);
  await openPackage(tab, packages.crafted, 'crafted');
  await tab.waitForTimeout(300);
  note('a crafted package, the page still at most', await stillest(tab), 500);
  const functionsStart = Date.now();
  await openPackage(tab, packages.functions, 'test');
  await waitForFunctions(tab);
  note('5,000 functions: the first screen', Date.now() - functionsStart, 1000);
  note('  a function\'s source after it is opened', await openFirstFunction(tab), 100);
  await browser.close();
}

console.log(`pkginspect.html, median of ${runs} runs (ms):`);
for (const [name, { bound, values }] of figures) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = Math.round(sorted[Math.floor(sorted.length / 2)]);
  console.log(`${name.padEnd(44)} ${String(median).padStart(6)}   bound ${String(bound).padStart(5)}` +
    `${median > bound ? '   OVER' : ''}   (${sorted.map(Math.round).join(', ')})`);
}
fs.rmSync(packages.work, { recursive: true, force: true });

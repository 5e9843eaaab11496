// The page in Debian's headless Chromium: opening every kind of file, a damaged one, a folder
// of 50, importing with the tool's choices, editing the values, saving and exporting through
// the download path (the bytes compared with korvale-tool's), keyboard-only use, accessible
// names, and no element overflowing or overlapping another from 1024 x 600 to 3840 x 2160.
//   KORVALE_SITE=build-web/site KORVALE_TOOL=build/tools/korvale-tool \
//   node --no-experimental-fetch --test web/test/page.test.js
// KORVALE_SCREENSHOTS=DIR also writes screenshots of the main states, light and dark.
'use strict';
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const puppeteer = require('puppeteer-core');
const { serve } = require('../serve.js');
const { makeFixtures } = require('./fixtures.js');

const tool = path.resolve(process.env.KORVALE_TOOL ?? 'build/tools/korvale-tool');
const site = path.resolve(process.env.KORVALE_SITE ?? 'build-web/site');
const shots = process.env.KORVALE_SCREENSHOTS;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'korvale-page-'));
const fixtures = path.join(work, 'files');
const downloads = path.join(work, 'downloads');
const fixture = (name) => path.join(fixtures, name);

// The entries of a stored zip, by name.
function unzip(bytes) {
  const files = {};
  let at = 0;
  while (at + 30 <= bytes.length && bytes.readUInt32LE(at) === 0x04034b50) {
    assert.strictEqual(bytes.readUInt16LE(at + 8), 0, 'entries are stored');
    const size = bytes.readUInt32LE(at + 18);
    const nameLength = bytes.readUInt16LE(at + 26);
    const extra = bytes.readUInt16LE(at + 28);
    const name = bytes.subarray(at + 30, at + 30 + nameLength).toString('utf8');
    const start = at + 30 + nameLength + extra;
    files[name] = bytes.subarray(start, start + size);
    at = start + size;
  }
  return files;
}
// What korvale-tool writes for args (its output files, by name).
function toolFiles(args, out) {
  const dir = fs.mkdtempSync(path.join(work, 'tool-'));
  execFileSync(tool, [...args.map((a) => a.replace('OUT', path.join(dir, out ?? ''))), '-q', '-f']);
  const files = {};
  const walk = (d) => {
    for (const f of fs.readdirSync(d, { withFileTypes: true })) {
      if (f.isDirectory()) walk(path.join(d, f.name));
      else files[f.name] = fs.readFileSync(path.join(d, f.name));
    }
  };
  walk(dir);
  return files;
}

let browser;
let server;
let page;
let origin;
const dialogs = [];
let answer = true;  // how the next confirm() is answered

async function waitForDownload(name) {
  const file = path.join(downloads, name);
  for (let i = 0; i < 200; ++i) {
    if (fs.existsSync(file) && !fs.existsSync(`${file}.crdownload`)) {
      const bytes = fs.readFileSync(file);
      if (bytes.length) {
        fs.rmSync(file);
        return bytes;
      }
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`${name} was not downloaded (there: ${fs.readdirSync(downloads).join(', ')})`);
}
async function freshPage({ folders = false } = {}) {
  if (page) await page.close();
  page = await browser.newPage();
  await page.setViewport({ width: 1366, height: 768 });
  if (!folders) {
    // The download path: a browser without the File System Access API.
    await page.evaluateOnNewDocument(() => { window.showDirectoryPicker = undefined; });
  }
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.type() === 'beforeunload' ? 'beforeunload' : dialog.message());
    if (dialog.type() === 'beforeunload' || answer) await dialog.accept();
    else await dialog.dismiss();
  });
  page.on('pageerror', (error) => { throw error; });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.goto(`${origin}/index.html`);
  return page;
}
async function galleryComplete(count) {
  await page.waitForFunction((n) => document.getElementById('gallery').dataset.complete === 'true' &&
    document.querySelectorAll('#gallery li').length === n, { timeout: 20000 }, count);
}
async function openFiles(...names) {
  const input = await page.$('#file-input');
  await input.uploadFile(...names.map(fixture));
  await galleryComplete(names.filter((n) => !n.endsWith('.yrq')).length);
}
async function opened(name) {
  await page.waitForFunction((n) => document.getElementById('view-title').textContent.startsWith(n) &&
    document.getElementById('canvas').width > 0, { timeout: 10000 }, name);
}
const text = (selector) => page.$eval(selector, (e) => e.textContent);
const texts = (selector) => page.$$eval(selector, (es) => es.map((e) => e.textContent));
async function setField(selector, value) {
  await page.$eval(selector, (e, v) => {
    e.value = v;
    e.dispatchEvent(new Event('input', { bubbles: true }));
    e.dispatchEvent(new Event('change', { bubbles: true }));
  }, value);
}
async function screenshot(name) {
  if (shots) await page.screenshot({ path: path.join(shots, `${name}.png`) });
}

before(async () => {
  fs.mkdirSync(downloads, { recursive: true });
  if (shots) fs.mkdirSync(shots, { recursive: true });
  makeFixtures(fixtures, tool);
  server = await serve(site, 0);
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
});
after(async () => {
  await browser?.close();
  server?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

describe('the page', () => {
  test('opens a texture of every pixel type, its levels largest first', async () => {
    await freshPage();
    // name: [first level's button, levels, palette swatches, what the levels are]
    const expected = {
      'rgb565.mip': ['64×64 rgb565', 7, 0, '7 levels, type code 3; no palette'],
      'argb1555.mip': ['64×64 argb1555', 7, 0, '7 levels, type code 4; no palette'],
      'argb4444.mip': ['64×32 argb4444', 7, 0, '7 levels, type code 5; no palette'],
      'pal4.mip': ['32×32 pal4', 6, 16, '6 levels, type code 0; one palette shared by the palettised levels'],
      'code1.mip': ['32×32 pal4', 6, 16, '6 levels, type code 1; one palette shared by the palettised levels'],
      'code2.mip': ['32×32 pal4', 6, 16, '6 levels, type code 2; each palettised level has its own palette'],
    };
    for (const [name, [first, count, swatches, note]] of Object.entries(expected)) {
      await openFiles(name);
      await opened(name);
      const levels = await texts('#levels button');
      assert.strictEqual(levels[0], first, name);
      assert.strictEqual(await text('#levels-note'), note, name);
      assert.strictEqual(levels.length, count, name);
      assert.strictEqual(levels.at(-1).split(' ')[0], '1×1', name);
      assert.strictEqual((await page.$$('#palette button')).length, swatches, name);
      assert.match(await text('#report'), /Clean/, name);
    }
    // The header of the per-level palette set, and its type code in the gallery.
    assert.match(await text('#header'), /miptype2/);
    assert.match(await text('#gallery'), /32×32 · pal4 · 6 levels/);
  });

  test('shows a damaged file\'s report: first error, offset and rejected levels', async () => {
    await freshPage();
    await openFiles('damaged.mip');
    await opened('damaged.mip');
    const report = await text('#report');
    assert.match(report, /^first error at offset 11392: DATA header cut short: 12 bytes needed but 4 remain/);
    assert.match(report, /the file is cut short/);
    assert.deepStrictEqual(await page.$$eval('#report tbody td', (tds) => tds.map((t) => t.textContent).slice(0, 2)), ['0', '11392']);
    assert.match(await text('#gallery'), /⚠ damaged/);
    assert.match(await text('#status'), /damaged/);
    await screenshot('damaged');
  });

  test('reads a texel: stored and shown values, index of a palettised level', async () => {
    await freshPage();
    await openFiles('argb1555.mip');
    await opened('argb1555.mip');
    await page.select('#zoom', '4');
    // Texel (0, 0) of the cut-out: outside the circle, alpha 0 (stored 0); colour 200, 40, 90
    // as 5-bit codes round(200 * 31 / 255) = 24, 5, 11, stored shifted up (192, 40, 88) and
    // shown at full scale (round(24 * 255 / 31) = 197, 41, 90).
    const box = await (await page.$('#canvas')).boundingBox();
    await page.mouse.move(box.x + 1, box.y + 1);
    assert.strictEqual(await text('#readout'), 'Texel 0, 0: stored R 192 G 40 B 88 A 0; shown R 197 G 41 B 90 A 0');
    await page.mouse.move(box.x + 32 * 4 + 1, box.y + 32 * 4 + 1);
    assert.match(await text('#readout'), /^Texel 32, 32: stored .* A 128; shown .* A 255$/);
    // The wheel zooms about the pointer: at 8x the point 148, 148 into the stage is texel
    // 18, 18 (18.5 texels in); at 12x (the next step) the same texel is under it.
    await page.select('#zoom', '8');
    await page.$eval('#stage', (s) => { s.scrollLeft = 0; s.scrollTop = 0; });
    const stage = await (await page.$('#stage')).boundingBox();
    await page.mouse.move(stage.x + 1 + 148, stage.y + 1 + 148);
    assert.match(await text('#readout'), /^Texel 18, 18: /);
    await page.mouse.wheel({ deltaY: -100 });
    await page.waitForFunction(() => document.getElementById('zoom').value === '12');
    await page.mouse.move(stage.x + 1 + 149, stage.y + 1 + 148);
    assert.match(await text('#readout'), /^Texel 18, 18: /);
    // 18.5 * 12 - 148 = 74 each way, give or take a pixel of rounding.
    const [left, top] = await page.$eval('#stage', (s) => [s.scrollLeft, s.scrollTop]);
    assert.ok(Math.abs(left - 74) <= 1 && Math.abs(top - 74) <= 1, `scrolled to ${left}, ${top}`);
    await openFiles('pal4.mip');
    await opened('pal4.mip');
    await page.select('#zoom', '8');
    const pal = await (await page.$('#canvas')).boundingBox();
    await page.mouse.move(pal.x + 8 * 8 + 3, pal.y + 3);  // x 8: the second block of colour k = 1
    assert.match(await text('#readout'), /^Texel 8, 0: stored R \d+ G \d+ B \d+ A \d+, index \d+; shown R 20 G 240 B 70 A 255$/);
    // A swatch picks out its pixels; the index view is offered for a palettised level.
    await page.click('#palette button');
    assert.strictEqual(await page.$eval('#palette button', (b) => b.getAttribute('aria-pressed')), 'true');
    assert.strictEqual(await page.$eval('#view option[value="index"]', (o) => o.disabled), false);
    await page.select('#view', 'index');
    await screenshot('texel');
  });

  test('opens files dropped on the page', async () => {
    await freshPage();
    const payload = Object.fromEntries(['rgb565.mip', 'record.srb', 'record.yrq'].map((k) => [k, fs.readFileSync(fixture(k)).toString('base64')]));
    await page.evaluate((files) => {
      const dropped = new DataTransfer();
      for (const [name, b64] of Object.entries(files)) dropped.items.add(new File([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))], name));
      document.querySelector('main').dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true, cancelable: true }));
    }, payload);
    await galleryComplete(2);  // the companion is kept for its SRB file, not shown
    await page.click('#gallery li[data-name="record.srb"] button');
    await opened('record.srb');
    assert.strictEqual(await page.$eval('#metres', (e) => e.value), '2.5', 'the size from the dropped companion');
  });

  test('opens a folder of 50 files through a directory handle into a complete gallery', async () => {
    await freshPage({ folders: true });
    const kinds = ['rgb565.mip', 'argb1555.mip', 'argb4444.mip', 'pal4.mip', 'damaged.mip', 'record.srb', 'smooth.png'];
    const payload = Object.fromEntries(kinds.map((k) => [k, fs.readFileSync(fixture(k)).toString('base64')]));
    // A stand-in for the directory picker's handle: 48 files at the top, 2 in a subfolder,
    // and a text file the gallery leaves out.
    const count = await page.evaluate(async (files) => {
      const file = (name, kind) => ({ kind: 'file', name,
        getFile: async () => new File([Uint8Array.from(atob(files[kind]), (c) => c.charCodeAt(0))], name) });
      const names = Object.keys(files);
      const folder = (name, entries) => ({ kind: 'directory', name, async *entries() { for (const e of entries) yield [e.name, e]; } });
      const top = [];
      for (let i = 0; i < 48; ++i) {
        const kind = names[i % names.length];
        top.push(file(`t${String(i).padStart(2, '0')}-${kind}`, kind));
      }
      top.push(file('notes.txt', names[0]));
      top.push(folder('more', [file('deep-a-rgb565.mip', 'rgb565.mip'), file('deep-b-pal4.mip', 'pal4.mip')]));
      await window.korvale.openDirectory(folder('textures', top));
      return document.querySelectorAll('#gallery li').length;
    }, payload);
    assert.strictEqual(count, 50);
    await galleryComplete(50);
    // 48 files cycle through 7 kinds: damaged.mip is kind 4, so t04, t11, ..., t46: 7 of them.
    assert.strictEqual(await text('#gallery-count'), '50 of 50 files, 7 damaged');
    assert.strictEqual((await page.$$('#gallery canvas, #gallery img')).length, 50);
    await setField('#filter', 'deep');
    assert.deepStrictEqual(await page.$$eval('#gallery li', (l) => l.map((e) => e.dataset.name)), ['deep-a-rgb565.mip', 'deep-b-pal4.mip']);
    await setField('#filter', '');
    await page.select('#sort', 'damaged');
    assert.strictEqual(await page.$eval('#gallery li', (l) => l.dataset.name), 't04-damaged.mip');
    await page.select('#sort', 'size');
    // Largest first: 64 x 64 textures, the PNG's 64 x 64, then 64 x 32, then 32 x 32.
    const sizes = await page.$$eval('#gallery .meta', (m) => m.map((e) => e.textContent.split(' ')[0]));
    assert.strictEqual(sizes[0], '64×64');
    assert.strictEqual(sizes.at(-1), '32×32');
    await page.select('#sort', 'name');
    await screenshot('gallery');
  });

  test('opens a folder dropped on the page, its entries read batch by batch', async () => {
    await freshPage();
    const kinds = ['rgb565.mip', 'pal4.mip', 'damaged.mip'];
    const payload = Object.fromEntries(kinds.map((k) => [k, fs.readFileSync(fixture(k)).toString('base64')]));
    // Stand-ins for what a browser gives for a dropped folder: file system entries, a folder's
    // handed out two at a time and then an empty batch, as readEntries does.
    const status = await page.evaluate(async (files) => {
      const file = (name, kind) => ({ isFile: true, name,
        file: (ok) => ok(new File([Uint8Array.from(atob(files[kind]), (c) => c.charCodeAt(0))], name)) });
      const folder = (name, entries) => ({ isDirectory: true, name, createReader() {
        const batches = [];
        for (let i = 0; i < entries.length; i += 2) batches.push(entries.slice(i, i + 2));
        return { readEntries: (ok) => ok(batches.shift() ?? []) };
      } });
      const dropped = folder('dropped', [file('a.mip', 'rgb565.mip'), file('b.mip', 'pal4.mip'), file('readme.txt', 'pal4.mip'),
        folder('deeper', [file('c.mip', 'damaged.mip'), file('d.mip', 'rgb565.mip'), file('e.mip', 'pal4.mip')])]);
      const drop = new Event('drop', { cancelable: true });
      drop.dataTransfer = { files: [], items: [{ kind: 'file', webkitGetAsEntry: () => dropped }] };
      document.dispatchEvent(drop);
      const done = () => document.getElementById('gallery').dataset.complete === 'true' && document.querySelectorAll('#gallery li').length === 5;
      await new Promise((r) => { const wait = () => (done() ? r() : setTimeout(wait, 20)); wait(); });
      return document.getElementById('status').textContent;
    }, payload);
    await galleryComplete(5);
    assert.strictEqual(status, 'dropped: 5 files.');
    assert.deepStrictEqual(await page.$$eval('#gallery li', (l) => l.map((e) => e.dataset.name)), ['a.mip', 'b.mip', 'c.mip', 'd.mip', 'e.mip']);
    assert.strictEqual(await text('#gallery-count'), '5 of 5 files, 1 damaged');
  });

  test('imports a picture with the tool\'s choices and saves SRB + companion as the tool does', async () => {
    await freshPage();
    const cases = [
      // [choices in the form, the tool's options, output]
      [{ type: 'pal4', palette: 'per-level', dither: true, levels: '3', width: '32', height: '32', filter: 'mitchell', kind: 'srb' },
        ['--type', 'pal4', '--palette', 'per-level', '--dither', '--levels', '3', '--size', '32x32', '--filter', 'mitchell'], 'smooth.srb', 3],
      [{ type: 'argb4444', palette: '', dither: false, levels: '', width: '16', height: '8', filter: 'catmullrom', repeat: '3', kind: 'mip' },
        ['--type', 'argb4444', '--size', '16x8', '--filter', 'catmullrom', '--repeat', '3'], 'smooth.mip', 5],
      [{ type: '', palette: 'file', dither: false, levels: '2', width: '', height: '', filter: '', kind: 'mip', paletteFile: 'pal4.mip' },
        ['--palette', fixture('pal4.mip'), '--levels', '2'], 'smooth.mip', 2],
    ];
    for (const [choices, options, out, levels] of cases) {
      await (await page.$('#import-picture')).uploadFile(fixture('smooth.png'));
      await page.select('#import-type', choices.type);
      await page.select('#import-palette', choices.palette);
      if (choices.paletteFile) await (await page.$('#import-palette-file')).uploadFile(fixture(choices.paletteFile));
      await page.$eval('#import-dither', (e, on) => { e.checked = on; }, choices.dither);
      await page.select('#import-levels', choices.levels);
      await page.select('#import-width', choices.width);
      await page.select('#import-height', choices.height);
      await page.select('#import-filter', choices.filter);
      await page.select('#import-repeat', choices.repeat ?? '');
      await page.select('#import-kind', choices.kind);
      await page.waitForFunction(() => /^Would make /.test(document.getElementById('import-made').textContent) &&
        document.getElementById('import-preview').width > 0, { timeout: 10000 });
      if (choices.kind === 'srb') {
        await page.$eval('#import-go', (e) => e.scrollIntoView({ block: 'end' }));
        await screenshot('import');
      }
      await page.$eval('#status', (e) => { e.textContent = ''; });
      await page.click('#import-go');
      await page.waitForFunction(() => /^Imported /.test(document.getElementById('status').textContent));
      await opened(out);
      assert.strictEqual((await page.$$('#levels button')).length, levels, out);
      const tool = toolFiles(['import', fixture('smooth.png'), 'OUT', ...options], out);
      if (choices.kind === 'srb') {
        await page.click('#save-srb');
        const files = unzip(await waitForDownload('smooth.zip'));
        assert.deepStrictEqual(Object.keys(files).sort(), ['smooth.srb', 'smooth.yrq']);
        assert.ok(files['smooth.srb'].equals(tool['smooth.srb']), 'the SRB file');
        assert.ok(files['smooth.yrq'].equals(tool['smooth.yrq']), 'its companion');
      } else {
        await page.click('#save-mip');
        assert.ok((await waitForDownload('smooth.mip')).equals(tool['smooth.mip']), out);
      }
    }
  });

  test('imports like an original, keeping its palette', async () => {
    await freshPage();
    await (await page.$('#import-picture')).uploadFile(fixture('twelve.png'));
    await (await page.$('#import-like')).uploadFile(fixture('code2.mip'));
    await page.select('#import-palette', 'keep');
    await page.select('#import-kind', 'mip');
    await page.waitForFunction(() => /^Would make /.test(document.getElementById('import-made').textContent));
    await page.click('#import-go');
    await opened('twelve.mip');
    await page.click('#save-mip');
    const tool = toolFiles(['import', fixture('twelve.png'), 'OUT', '--like', fixture('code2.mip'), '--palette', 'keep'], 'twelve.mip');
    assert.ok((await waitForDownload('twelve.mip')).equals(tool['twelve.mip']));
  });

  test('saves SRB + companion into a folder the user picks, asking before replacing', async () => {
    // A stand-in for the folder the directory picker gives: record.yrq is there already.
    await freshPage({ folders: true });
    await page.evaluate(() => {
      const folder = { name: 'out', files: { 'record.yrq': new Uint8Array([1, 2, 3]) }, asked: [] };
      folder.getFileHandle = async (name, options = {}) => {
        if (!(name in folder.files) && !options.create) throw new DOMException('not there', 'NotFoundError');
        return { createWritable: async () => {
          const parts = [];
          return { write: async (bytes) => { parts.push(bytes); },
            close: async () => { folder.files[name] = new Uint8Array(await new Blob(parts).arrayBuffer()); } };
        } };
      };
      window.showDirectoryPicker = async () => folder;
      window.folder = folder;
    });
    await openFiles('record.srb', 'record.yrq');
    await opened('record.srb');
    const written = () => page.evaluate(() => Object.fromEntries(Object.entries(window.folder.files).map(([n, b]) => [n, b.length])));
    dialogs.length = 0;
    answer = false;
    await page.click('#save-srb');
    for (let i = 0; i < 100 && dialogs.length === 0; ++i) await new Promise((r) => setTimeout(r, 50));
    assert.deepStrictEqual(dialogs, ['Replace record.yrq in out?']);
    assert.deepStrictEqual(await written(), { 'record.yrq': 3 }, 'nothing written when the user says no');
    answer = true;
    await page.click('#save-srb');
    await page.waitForFunction(() => /^Saved record\.srb and record\.yrq in out\.$/.test(document.getElementById('status').textContent));
    const files = await page.evaluate(() => Object.fromEntries(Object.entries(window.folder.files).map(([n, b]) => [n, btoa(String.fromCharCode(...b))])));
    assert.ok(Buffer.from(files['record.srb'], 'base64').equals(fs.readFileSync(fixture('record.srb'))), 'the SRB file as loaded');
    assert.ok(Buffer.from(files['record.yrq'], 'base64').equals(fs.readFileSync(fixture('record.yrq'))), 'its companion as loaded');
  });

  test('edits the six values and the size in metres, within the dialog\'s ranges', async () => {
    await freshPage();
    await openFiles('record.srb', 'record.yrq');
    await opened('record.srb');
    const values = await page.$$eval('.values input', (inputs) => inputs.map((i) => [i.id, i.value]));
    assert.deepStrictEqual(Object.fromEntries(values),
      { 'value-1': '1', 'value-2': '1', 'value-3': '2', 'value-4': '3', 'value-5': '4', 'value-6': '5', metres: '2.5' });
    // Out of range: refused, nothing saved.
    await setField('#value-1', '200000');
    await page.click('#save-srb');
    assert.strictEqual(await page.$eval('#value-1', (e) => e.validity.rangeOverflow), true);
    await setField('#value-1', '1');
    await setField('#metres', '1001');
    assert.strictEqual(await page.$eval('#metres', (e) => e.checkValidity()), false);
    await setField('#value-3', '12.5');
    await setField('#metres', '7');
    await page.click('#save-srb');
    const files = unzip(await waitForDownload('record.zip'));
    const tool = toolFiles(['import', fixture('smooth.png'), 'OUT', '--values', '1,1,12.5,3,4,5', '--size', '7'], 'record.srb');
    assert.ok(files['record.srb'].equals(tool['record.srb']), 'the SRB file');
    assert.ok(files['record.yrq'].equals(tool['record.yrq']), 'its companion');
  });

  test('exports one level, all levels and a sheet as korvale-tool export writes them', async () => {
    await freshPage();
    await openFiles('argb4444.mip');
    await opened('argb4444.mip');
    await page.click('#export-all');
    const all = unzip(await waitForDownload('argb4444-levels.zip'));
    const tool = toolFiles(['export', fixture('argb4444.mip'), '--all', 'OUT']);
    assert.deepStrictEqual(Object.keys(all).sort(), ['argb4444-16x8.png', 'argb4444-1x1.png', 'argb4444-2x1.png',
      'argb4444-32x16.png', 'argb4444-4x2.png', 'argb4444-64x32.png', 'argb4444-8x4.png']);
    for (const [name, bytes] of Object.entries(all)) assert.ok(bytes.equals(tool[name]), name);
    await page.click('#export-sheet');
    const sheet = toolFiles(['export', fixture('argb4444.mip'), '--sheet', 'OUT'], 'argb4444.png');
    assert.ok((await waitForDownload('argb4444.png')).equals(sheet['argb4444.png']), 'the sheet');
    await page.click('#levels button:nth-child(2)');  // 32 x 16, slot 5
    await page.waitForFunction(() => document.querySelector('#levels button:nth-child(2)').getAttribute('aria-pressed') === 'true');
    await page.click('#export-level');
    const one = toolFiles(['export', fixture('argb4444.mip'), 'OUT', '--level', '5'], 'argb4444.png');
    assert.ok((await waitForDownload('argb4444.png')).equals(one['argb4444.png']), 'the 32 x 16 level');
  });

  test('replaces one level from a picture', async () => {
    await freshPage();
    await openFiles('rgb565.mip');
    await opened('rgb565.mip');
    await page.click('#levels button:nth-child(7)');  // 1 x 1
    await page.click('#replace-section summary');
    // Full-scale magenta: 5-bit codes 31, 0, 31, stored shifted up as 248 and shown as 255.
    fs.writeFileSync(path.join(work, 'one.png'), require('./pictures.js').png(1, 1, () => [255, 0, 255, 255]));
    await (await page.$('#replace-picture')).uploadFile(path.join(work, 'one.png'));
    await page.click('#replace-go');
    await page.waitForFunction(() => /replaced|error/.test(document.getElementById('status').textContent + document.getElementById('status').className));
    assert.match(await text('#status'), /^Level 1×1 replaced from one\.png\.$/);
    const box = await (await page.$('#canvas')).boundingBox();
    await page.mouse.move(box.x + 1, box.y + 1);
    assert.strictEqual(await text('#readout'), 'Texel 0, 0: stored R 248 G 0 B 248 A 255; shown R 255 G 0 B 255 A 255');
    // A picture of another size is refused, and says so.
    await page.click('#levels button:nth-child(6)');  // 2 x 2
    await page.click('#replace-go');
    await page.waitForFunction(() => document.getElementById('status').classList.contains('error'));
  });

  test('asks before dropping unsaved changes', async () => {
    await freshPage();
    await openFiles('rgb565.mip', 'pal4.mip');
    await page.click('#gallery li[data-name="rgb565.mip"] button');
    await opened('rgb565.mip');
    await setField('#value-2', '9');
    await page.click('#apply-values');
    await page.waitForFunction(() => document.title.startsWith('•'));
    dialogs.length = 0;
    answer = false;
    await page.click('#gallery li[data-name="pal4.mip"] button');
    await page.waitForFunction(() => true);
    assert.match(dialogs[0] ?? '', /unsaved changes/);
    assert.match(await text('#view-title'), /^rgb565\.mip/);
    // Closing the tab (here: reloading it) asks too, while there are changes.
    dialogs.length = 0;
    await page.reload();
    assert.deepStrictEqual(dialogs, ['beforeunload']);
    // Once saved, nothing asks.
    answer = true;
    await openFiles('rgb565.mip');
    await opened('rgb565.mip');
    await setField('#value-2', '9');
    await page.click('#apply-values');
    await page.click('#save-mip');
    await waitForDownload('rgb565.mip');
    assert.strictEqual(await page.evaluate(() => window.korvale.state.dirty), false);
    dialogs.length = 0;
    await page.reload();
    assert.deepStrictEqual(dialogs, []);
  });

  test('is usable by keyboard alone, every control named', async () => {
    await freshPage();
    await openFiles('rgb565.mip', 'pal4.mip');
    // Tab from the start of the page to the first gallery entry and open it with Enter.
    const order = [];
    for (let i = 0; i < 40; ++i) {
      await page.keyboard.press('Tab');
      const here = await page.evaluate(() => document.activeElement.closest('li')?.dataset.name ?? document.activeElement.id);
      order.push(here);
      if (here === 'pal4.mip') break;
    }
    // Nothing is open yet, so saving and exporting are disabled and skipped; the gallery is by
    // name, pal4.mip first.
    assert.deepStrictEqual(order, ['open-files', 'open-folder', 'filter', 'sort', 'pal4.mip']);
    await page.keyboard.press('Enter');
    await opened('pal4.mip');
    // Zoom with the keyboard, then the texel read-out with the arrow keys on the picture.
    await page.focus('#zoom');
    await page.keyboard.press('ArrowDown');  // fit -> 1x
    await page.focus('#stage');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowDown');
    assert.match(await text('#readout'), /^Texel 1, 1: /);
    await page.keyboard.press('+');
    assert.strictEqual(await page.$eval('#zoom', (z) => z.value), '2');
    // A value typed and applied with Enter.
    await page.focus('#value-3');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    await page.keyboard.type('42');
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Values applied.');
    // Every control has a name; the six values keep the dialog's labels on screen.
    const unnamed = await page.evaluate(() => [...document.querySelectorAll('button, input, select, [tabindex]')]
      .filter((e) => !(e.getAttribute('aria-label') || e.labels?.[0]?.textContent.trim() || e.textContent.trim()))
      .map((e) => e.outerHTML.slice(0, 80)));
    assert.deepStrictEqual(unnamed, []);
    const snapshot = await page.accessibility.snapshot({ interestingOnly: true });
    const names = [];
    const walk = (n) => { if (n.role === 'spinbutton') names.push(n.name); (n.children ?? []).forEach(walk); };
    walk(snapshot);
    assert.deepStrictEqual(names.sort(), ['Header value 1 (1.0)', 'Header value 2 (1.0)', 'Header value 3 (Width?)',
      'Header value 4 (Height?)', 'Header value 5 (Middle?)', 'Header value 6 (Bottom?)', 'Size (Metres)']);
    assert.deepStrictEqual(await texts('.values label'), ['1.0', 'Height?', '1.0', 'Middle?', 'Width?', 'Bottom?', 'Size (Metres)']);
  });

  test('lays out without overflow or overlap from 1024 x 600 to 3840 x 2160, light and dark', async () => {
    await freshPage();
    await openFiles('pal4.mip', 'rgb565.mip', 'damaged.mip', 'argb4444.mip', 'smooth.png');
    await page.click('#gallery li[data-name="pal4.mip"] button');
    await opened('pal4.mip');
    await page.$eval('#import-section', (d) => { d.open = true; });
    await page.$eval('#replace-section', (d) => { d.open = true; });
    for (const [width, height] of [[1024, 600], [1366, 768], [1920, 1080], [3840, 2160]]) {
      await page.setViewport({ width, height });
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      const faults = await page.evaluate(() => {
        const found = [];
        const doc = document.documentElement;
        if (doc.scrollWidth > innerWidth || doc.scrollHeight > innerHeight) found.push(`the page scrolls: ${doc.scrollWidth}x${doc.scrollHeight}`);
        const visible = (e) => e.getClientRects().length > 0 && getComputedStyle(e).visibility !== 'hidden' && !e.closest('details:not([open]) > :not(summary)');
        const boxes = [...document.querySelectorAll('button, input:not([hidden]), select, label, summary, h1, h2, p, progress, canvas, dt, dd, th, td, .pane')]
          .filter(visible).map((e) => ({ e, r: e.getBoundingClientRect() }));
        // Inside its pane (or the bar): nothing sticks out sideways.
        for (const { e, r } of boxes) {
          const holder = e.closest('.pane, .bar, #status');
          if (!holder || holder === e) continue;
          const h = holder.getBoundingClientRect();
          if (e.closest('#stage')) continue;  // the zoomed picture scrolls in its stage
          if (r.left < h.left - 0.5 || r.right > h.right + 0.5) found.push(`${e.id || e.tagName} sticks out of ${holder.id || holder.className}: ${r.left}..${r.right} in ${h.left}..${h.right}`);
        }
        // No two controls overlap unless one holds the other.
        const controls = boxes.filter(({ e }) => e.matches('button, input, select, summary, h1, h2, progress, canvas'));
        for (let i = 0; i < controls.length; ++i) {
          for (let j = i + 1; j < controls.length; ++j) {
            const a = controls[i], b = controls[j];
            if (a.e.contains(b.e) || b.e.contains(a.e)) continue;
            const w = Math.min(a.r.right, b.r.right) - Math.max(a.r.left, b.r.left);
            const h = Math.min(a.r.bottom, b.r.bottom) - Math.max(a.r.top, b.r.top);
            if (w > 0.5 && h > 0.5) found.push(`${a.e.id || a.e.tagName} overlaps ${b.e.id || b.e.tagName}`);
          }
        }
        return found;
      });
      assert.deepStrictEqual(faults, [], `${width}x${height}`);
      for (const scheme of ['light', 'dark']) {
        if (!shots || width === 1366) continue;
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
        await page.evaluate(() => window.dispatchEvent(new Event('resize')));
        await screenshot(`main-${width}x${height}-${scheme}`);
      }
      await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
    }
  });

  test('says that files never leave the machine, and keeps its files for offline use', async () => {
    await freshPage();
    assert.match(await text('.privacy'), /never leave this machine/);
    const cached = await page.evaluate(async () => {
      await navigator.serviceWorker.ready;
      const names = await caches.keys();
      const cache = await caches.open(names.find((n) => n.startsWith('korvale-')));
      return (await cache.keys()).map((r) => new URL(r.url).pathname).sort();
    });
    assert.deepStrictEqual(cached, ['/', '/app.js', '/icon.svg', '/index.html', '/korvale.js', '/korvale.wasm',
      '/manifest.webmanifest', '/style.css', '/worker.js', '/zip.js']);
    // Offline: the server gone from the page's view, it still loads and opens a file.
    await page.setOfflineMode(true);
    await page.reload();
    await openFiles('rgb565.mip');
    await opened('rgb565.mip');
    await page.setOfflineMode(false);
  });
});

// The page's module writes the same bytes as korvale-tool: for pictures made here (each pixel
// type, each palette mode, with and without dithering, each filter), the MIP and SRB files of
// an import and the PNG files of an export are compared byte for byte with the native tool's.
//   KORVALE_MODULE=build-wasm/web/module/korvale.js KORVALE_TOOL=build/tools/korvale-tool \
//   node --no-experimental-fetch --test web/test/same-bytes.test.js
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');

const tool = process.env.KORVALE_TOOL;
const createKorvale = require(path.resolve(process.env.KORVALE_MODULE));

const { png } = require('./pictures.js');

// Pictures that lead the automatic choice to each type: a smooth opaque one (rgb565), one with
// cut-out alpha (argb1555), one with soft alpha (argb4444) and one of 12 colours (pal4).
const pictures = {
  'opaque.png': png(96, 64, (x, y) => [x * 2 + 20, y * 3 + 10, (x * y) % 256, 255]),
  'cutout.png': png(64, 64, (x, y) => [200 - x, 40 + y * 2, 90, (x - 32) ** 2 + (y - 32) ** 2 < 700 ? 255 : 0]),
  'soft.png': png(64, 32, (x, y) => [30 + x * 3, 250 - y * 5, 120, (x * 4) % 256]),
  'twelve.png': png(48, 48, (x, y) => {
    const k = (Math.floor(x / 8) + 3 * Math.floor(y / 16)) % 12;
    return [k * 20, 255 - k * 15, (k * 70) % 256, k === 5 ? 128 : 255];
  }),
  'palette.png': png(4, 4, (x, y) => [x * 80, y * 80, 60, 255]),
};

// Each import: the picture, the module's choices and the tool's options for the same import.
const imports = [
  ['opaque.png', {}, []],
  ['cutout.png', {}, []],
  ['soft.png', {}, []],
  ['twelve.png', {}, []],
  ['opaque.png', { type: 'pal4' }, ['--type', 'pal4']],
  ['opaque.png', { type: 'pal4', dither: true }, ['--type', 'pal4', '--dither']],
  ['soft.png', { type: 'pal4', palette: 'per-level' }, ['--type', 'pal4', '--palette', 'per-level']],
  ['soft.png', { type: 'pal4', palette: 'per-level', dither: true },
   ['--type', 'pal4', '--palette', 'per-level', '--dither']],
  ['opaque.png', { paletteFile: pictures['palette.png'], paletteFileName: 'palette.png' },
   ['--palette', 'PALETTE']],
  ['opaque.png', { type: 'rgb565', dither: true }, ['--type', 'rgb565', '--dither']],
  ['cutout.png', { type: 'argb1555' }, ['--type', 'argb1555']],
  ['soft.png', { type: 'argb4444', dither: true }, ['--type', 'argb4444', '--dither']],
  ['twelve.png', { type: '1' }, ['--type', '1']],
  ['opaque.png', { filter: 'mitchell' }, ['--filter', 'mitchell']],
  ['opaque.png', { filter: 'catmullrom' }, ['--filter', 'catmullrom']],
  ['opaque.png', { filter: 'cubic', type: 'pal4' }, ['--filter', 'cubic', '--type', 'pal4']],
  ['opaque.png', { size: '32x16', levels: 3, repeat: 2 },
   ['--size', '32x16', '--levels', '3', '--repeat', '2']],
];

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'korvale-web-'));
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));
for (const [name, bytes] of Object.entries(pictures)) fs.writeFileSync(path.join(scratch, name), bytes);

function native(args) {
  execFileSync(tool, [args[0], '-q', '-f', ...args.slice(1)], { cwd: scratch, stdio: ['ignore', 'ignore', 'inherit'] });
}
function sameFiles(files, dir) {
  for (const file of files) {
    assert.ok(Buffer.from(file.bytes).equals(fs.readFileSync(path.join(dir, file.name))),
              `${file.name} differs from the tool's`);
  }
}

test('an import writes the same MIP and SRB bytes as korvale-tool import', async () => {
  const korvale = await createKorvale();
  imports.forEach(([picture, choices, options], i) => {
    const args = options.map((o) => (o === 'PALETTE' ? 'palette.png' : o));
    for (const ending of ['mip', 'srb']) {
      const out = `case${i}.${ending}`;
      const extra = ending === 'srb' ? ['--values', '1,2.5,30,400,5000,60000', '--size', '12.5'] : [];
      const chosen = ending === 'srb' ? { ...choices, values: [1, 2.5, 30, 400, 5000, 60000], metres: 12.5 } : choices;
      const texture = new korvale.Texture();
      const made = korvale.importPng(texture, pictures[picture], picture, chosen, out);
      assert.ok(made.ok, `${picture} ${JSON.stringify(choices)}: ${made.error}`);
      assert.strictEqual(made.files.length, ending === 'srb' ? 2 : 1);
      native(['import', picture, out, ...args, ...extra]);
      sameFiles(made.files, scratch);
      texture.delete();
    }
  });
});

test('an export writes the same PNG bytes as korvale-tool export', async () => {
  const korvale = await createKorvale();
  imports.forEach((_, i) => {
    const file = `case${i}.mip`;
    const texture = new korvale.Texture();
    const loaded = texture.load(fs.readFileSync(path.join(scratch, file)), file, null);
    assert.ok(loaded.ok, loaded.error);
    const dir = path.join(scratch, `all${i}`);
    native(['export', file, '--all', dir]);
    const all = texture.exportPng('all', -1, false);
    assert.ok(all.ok, all.error);
    assert.strictEqual(all.files.length, fs.readdirSync(dir).length);
    sameFiles(all.files, dir);
    native(['export', file, `level${i}.png`]);
    sameFiles(texture.exportPng('level', -1, false).files.map((f) => ({ ...f, name: `level${i}.png` })), scratch);
    native(['export', file, '--sheet', `sheet${i}.png`, '--raw']);
    sameFiles(texture.exportPng('sheet', -1, true).files.map((f) => ({ ...f, name: `sheet${i}.png` })), scratch);
    texture.delete();
  });
});

test('a loaded SRB file with edited values saves as the tool would write it', async () => {
  const korvale = await createKorvale();
  const texture = new korvale.Texture();
  const srb = fs.readFileSync(path.join(scratch, 'case3.srb'));
  const loaded = texture.load(srb, 'case3.srb', fs.readFileSync(path.join(scratch, 'case3.yrq')));
  assert.ok(loaded.ok, loaded.error);
  assert.deepStrictEqual(loaded.values, [1, 2.5, 30, 400, 5000, 60000]);
  assert.strictEqual(loaded.metres, 12.5);
  assert.strictEqual(loaded.levels[0].width, 64);  // 48 x 48 is taken to the nearest power of two
  assert.strictEqual(loaded.levels[0].rgba.length, 64 * 64 * 4);
  assert.ok(loaded.report.clean);
  // Out of the dialog's range: refused, nothing changed.
  assert.ok(!texture.setValues([0, 0, 0, 0, 0, 100001], 1).ok);
  assert.ok(!texture.setValues([0, 0, 0, 0, 0, 0], 1000.5).ok);
  assert.ok(texture.setValues([7, 0, 0, 0, 0, 100000], 0.25).ok);
  const saved = texture.save('rock.day.srb', true);
  assert.ok(saved.ok, saved.error);
  assert.deepStrictEqual(saved.files.map((f) => f.name), ['rock.day.srb', 'rock.yrq']);
  native(['import', 'twelve.png', 'rock.day.srb', '--values', '7,0,0,0,0,100000', '--size', '0.25']);
  sameFiles(saved.files, scratch);
  texture.delete();
});

test('a damaged file is refused or reported, never taken for whole', async () => {
  const korvale = await createKorvale();
  const texture = new korvale.Texture();
  const mip = fs.readFileSync(path.join(scratch, 'case0.mip'));
  assert.ok(!texture.load(Buffer.from('not a texture at all'), 'x.mip', null).ok);
  const cut = texture.load(mip.subarray(0, mip.length - 100), 'cut.mip', null);
  assert.ok(!cut.ok || !cut.report.clean);
  texture.delete();
});

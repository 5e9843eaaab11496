// The module's calls for the page's gallery and views, under node: a gallery entry of each kind
// of file, a level's stored values and indices, a level replaced from a picture, an import like
// an original and the companion's name. Expectations worked out by hand from pictures made here.
//   KORVALE_MODULE=build-wasm/web/module/korvale.js KORVALE_TOOL=build/tools/korvale-tool \
//   node --no-experimental-fetch --test web/test/page-module.test.js
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { png, claims } = require('./pictures.js');

const tool = process.env.KORVALE_TOOL;
const createKorvale = require(path.resolve(process.env.KORVALE_MODULE));
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'korvale-page-module-'));
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

// Two colours in 4 x 4 pixels, red on the left half, blue on the right: a pal4 import keeps them
// as two palette entries. A 4 x 2 opaque gradient for the 16-bit types.
const halves = png(4, 4, (x) => (x < 2 ? [255, 0, 0, 255] : [0, 0, 255, 255]));
const made = (picture, out, ...options) => {
  fs.writeFileSync(path.join(scratch, 'in.png'), picture);
  execFileSync(tool, ['import', '-q', '-f', path.join(scratch, 'in.png'), path.join(scratch, out), ...options]);
  return fs.readFileSync(path.join(scratch, out));
};

test('a gallery entry says what a file is, its top level, damage and a thumbnail', async () => {
  const korvale = await createKorvale();
  const mip = made(halves, 'halves.mip', '--type', 'pal4');
  const cases = [
    // [bytes, name, expected fields]
    [mip, 'halves.mip', { ok: true, kind: 'mip', width: 4, height: 4, typeName: 'pal4', levels: 3, damaged: false }],
    [made(halves, 'halves.srb', '--type', 'rgb565'), 'halves.srb',
      { ok: true, kind: 'srb', width: 4, height: 4, typeName: 'rgb565', levels: 3, damaged: false }],
    [halves, 'halves.png', { ok: true, kind: 'png', width: 4, height: 4, typeName: 'picture', levels: 0, damaged: false }],
    // The last level's bytes cut off: it loads with the two levels before it.
    [mip.subarray(0, mip.length - 4), 'cut.mip', { ok: true, kind: 'mip', width: 4, height: 4, levels: 2, damaged: true }],
    [Buffer.from('not a texture at all'), 'text.mip', { ok: false, kind: 'unknown', damaged: true }],
  ];
  for (const [bytes, name, expected] of cases) {
    const entry = korvale.summarize(bytes, name, 48);
    for (const [key, value] of Object.entries(expected)) assert.strictEqual(entry[key], value, `${name}: ${key}`);
    assert.strictEqual(entry.bytes, bytes.length, name);
    if (expected.damaged) assert.ok(entry.error.length > 0, `${name} says what is wrong`);
  }
  // The thumbnail of a 4 x 4 set at 48 pixels is its top level as it is (never enlarged):
  // red on the left, blue on the right.
  const { thumb } = korvale.summarize(mip, 'halves.mip', 48);
  assert.deepStrictEqual([thumb.width, thumb.height], [4, 4]);
  assert.deepStrictEqual([...thumb.rgba.subarray(0, 4)], [255, 0, 0, 255]);
  assert.deepStrictEqual([...thumb.rgba.subarray(12, 16)], [0, 0, 255, 255]);
});

test('a failure names the file it concerns', async () => {
  const korvale = await createKorvale();
  const texture = new korvale.Texture();
  // [what fails, its message's start]
  const cases = [
    [() => texture.load(Buffer.from('not a texture at all'), 'junk.mip', null), /^junk\.mip: /],
    [() => korvale.summarize(Buffer.from('not a texture at all'), 'junk.mip', 48), /^junk\.mip: /],
    [() => korvale.summarize(Buffer.from([137, 80, 78, 71, 13, 10, 26, 10, 0]), 'cut.png', 48), /^cut\.png: /],
  ];
  for (const [call, start] of cases) {
    const result = call();
    assert.strictEqual(result.ok, false);
    assert.match(result.error, start);
  }
  texture.delete();
});

test('a level\'s views: stored values, palette and one index per pixel', async () => {
  const korvale = await createKorvale();
  const texture = new korvale.Texture();
  const shown = texture.load(made(halves, 'halves.mip', '--type', 'pal4'), 'halves.mip', null);
  const top = shown.levels[0];
  const views = texture.views(top.slot);
  assert.ok(views.ok);
  assert.strictEqual(views.palette.length, 16);
  const red = views.indices[0];
  const blue = views.indices[3];
  assert.notStrictEqual(red, blue);
  assert.deepStrictEqual([...views.indices], [red, red, blue, blue, red, red, blue, blue, red, red, blue, blue, red, red, blue, blue]);
  assert.deepStrictEqual(views.palette[red], [255, 0, 0, 255]);
  assert.deepStrictEqual(views.palette[blue], [0, 0, 255, 255]);
  assert.strictEqual(texture.views(8).ok, false, 'an empty slot');
  // 16-bit: rgb565 keeps full red as the 5-bit code 31, stored shifted up as 248; no indices.
  const rgb = new korvale.Texture();
  const shown565 = rgb.load(made(halves, 'halves565.mip', '--type', 'rgb565'), 'halves565.mip', null);
  const v565 = rgb.views(shown565.levels[0].slot);
  assert.deepStrictEqual([...v565.raw.subarray(0, 4)], [248, 0, 0, 255]);
  assert.strictEqual(v565.indices.length, 0);
  texture.delete();
  rgb.delete();
});

test('a level replaced from a picture of its size; another size is refused and changes nothing', async () => {
  const korvale = await createKorvale();
  const texture = new korvale.Texture();
  const shown = texture.load(made(halves, 'halves565.mip', '--type', 'rgb565'), 'halves565.mip', null);
  const small = shown.levels.find((l) => l.width === 2);
  const green = png(2, 2, () => [0, 255, 0, 255]);
  const after = texture.replaceLevel(small.slot, green, 'green.png', false);
  assert.ok(after.ok, after.error);
  const level = after.levels.find((l) => l.slot === small.slot);
  assert.deepStrictEqual([...level.rgba], [0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255]);
  const refused = texture.replaceLevel(small.slot, halves, 'halves.png', false);
  assert.strictEqual(refused.ok, false);
  assert.match(refused.error, /halves\.png/);
  const still = texture.describe().levels.find((l) => l.slot === small.slot);
  assert.deepStrictEqual([...still.rgba], [...level.rgba]);
  texture.delete();
});

test('an import like an original writes what korvale-tool import --like writes', async () => {
  const korvale = await createKorvale();
  const original = made(png(8, 8, (x, y) => [x * 30, y * 30, 100, 255]), 'original.srb', '--type', 'argb1555',
    '--levels', '2', '--repeat', '3', '--values', '1,2,3,4,5,6', '--size', '9');
  const cases = [
    // [module choices, tool options]
    [{}, []],
    [{ type: 'rgb565' }, ['--type', 'rgb565']],
    [{ levels: 1 }, ['--levels', '1']],
  ];
  fs.writeFileSync(path.join(scratch, 'picture.png'), halves);
  for (const [choices, options] of cases) {
    const texture = new korvale.Texture();
    const result = korvale.importPng(texture, halves, 'picture.png', {
      ...choices, originalBytes: original, originalName: 'original.srb',
      originalCompanion: fs.readFileSync(path.join(scratch, 'original.yrq')),
    }, 'out.srb');
    assert.ok(result.ok, result.error);
    execFileSync(tool, ['import', '-q', '-f', path.join(scratch, 'picture.png'), path.join(scratch, 'out.srb'),
      '--like', path.join(scratch, 'original.srb'), ...options]);
    for (const file of result.files) {
      assert.ok(Buffer.from(file.bytes).equals(fs.readFileSync(path.join(scratch, file.name))), `${file.name} ${JSON.stringify(choices)}`);
    }
    texture.delete();
  }
});

test('the companion\'s name follows the library\'s rule', async () => {
  const korvale = await createKorvale();
  // name: companion
  // The name is cut at its first '.'; a folder's dots are not the name's.
  const cases = { 'wall.srb': 'wall.yrq', 'Wall.SRB': 'Wall.yrq', 'a.b.srb': 'a.yrq', 'v1.2/wall.srb': 'wall.yrq' };
  for (const [name, companion] of Object.entries(cases)) {
    assert.strictEqual(korvale.companionName(name), companion, name);
  }
});

test('hostile files are refused within the page\'s limits, before anything of their size is made', async () => {
  const korvale = await createKorvale();
  // The page's caps: texture files of 134,218,456 bytes (four passes of 4096 x 4096 16-bit
  // levels and their headers), PNGs of 16,777,216 pixels and 16384 per side.
  const overCap = Buffer.alloc(134218457);
  overCap.write('PIM ', 0, 'latin1');
  const texture = new korvale.Texture();
  const loaded = texture.load(overCap, 'huge.mip', null);
  assert.strictEqual(loaded.ok, false);
  assert.match(loaded.error, /^huge\.mip: is larger than any texture file/);
  const entry = korvale.summarize(overCap, 'huge.mip', 48);
  assert.deepStrictEqual([entry.ok, entry.damaged], [false, true]);
  assert.match(entry.error, /^huge\.mip: is larger than any texture file/);
  // [picture, what the refusal says]
  const cases = [
    [claims(4097, 4096), /PNG has 16781312 pixels; at most 16777216 are accepted/],
    [claims(16385, 1), /PNG is 16385 x 1 pixels; at most 16384 per side is accepted/],
    [claims(0xffffffff, 0xffffffff), /damaged PNG: invalid image width/],
  ];
  for (const [picture, refusal] of cases) {
    const made = korvale.importPng(texture, picture, 'hostile.png', {}, 'out.mip');
    assert.strictEqual(made.ok, false);
    assert.match(made.error, refusal);
    // Named as the user named it, never by the module's own scratch folder.
    assert.match(made.error, /^hostile\.png: /);
    const shown = korvale.summarize(picture, 'hostile.png', 48);
    assert.strictEqual(shown.damaged, true);
    assert.match(shown.error, refusal);
  }
  // Just within the cap is no texture either, but it is read and said to be damaged.
  const atCap = overCap.subarray(0, 134218456);
  assert.strictEqual(korvale.summarize(atCap, 'big.mip', 48).damaged, true);
  texture.delete();
});

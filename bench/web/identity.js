// The md5 list bench/identity.sh prints, made by the page's module instead of korvale-tool: the
// pictures of bench/quality-images.txt imported the same eight ways, each import exported with
// all its levels. Equal lists mean the page writes the tool's bytes for real pictures too.
//   bench/web/identity.sh build-wasm/web/module/korvale.js build/tools/korvale-tool
'use strict';
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');

const [moduleFile, work] = process.argv.slice(2);
const createKorvale = require(path.resolve(moduleFile));
// The ways of bench/identity.sh, as the page chooses them.
const ways = [
  ['pal4', { type: 'pal4' }],
  ['pal4-dither', { type: 'pal4', dither: true }],
  ['pal4-per-level', { type: 'pal4', palette: 'per-level' }],
  ['pal4-per-level-dither', { type: 'pal4', palette: 'per-level', dither: true }],
  ['argb4444-dither', { type: 'argb4444', dither: true }],
  ['rgb565', { type: 'rgb565' }],
  ['argb1555-dither', { type: 'argb1555', dither: true }],
  ['automatic', {}],
];

(async () => {
  const korvale = await createKorvale();
  const sources = fs.readdirSync(path.join(work, 'src')).filter((n) => n.endsWith('.png')).sort();
  const lines = [];
  const md5 = (bytes) => crypto.createHash('md5').update(bytes).digest('hex');
  for (const [way, choices] of ways) {
    for (const source of sources) {
      const base = source.replace(/\.png$/, '');
      const texture = new korvale.Texture();
      const made = korvale.importPng(texture, fs.readFileSync(path.join(work, 'src', source)), source,
        choices, `${base}.mip`);
      if (!made.ok) throw new Error(`${source} ${way}: ${made.error}`);
      for (const file of made.files) lines.push([`./${way}/${file.name}`, md5(file.bytes)]);
      const loaded = texture.load(made.files[0].bytes, `${base}.mip`, null);
      if (!loaded.ok) throw new Error(`${base}.mip: ${loaded.error}`);
      const all = texture.exportPng('all', -1, false);
      if (!all.ok) throw new Error(`${base}.mip ${way}: ${all.error}`);
      for (const file of all.files) lines.push([`./${way}/${base}-levels/${file.name}`, md5(file.bytes)]);
      texture.delete();
    }
  }
  // As `find . -type f | LC_ALL=C sort | xargs md5sum` lists them.
  lines.sort((a, b) => (Buffer.compare(Buffer.from(a[0]), Buffer.from(b[0]))));
  for (const [name, sum] of lines) process.stdout.write(`${sum}  ${name}\n`);
})().catch((error) => {
  console.error(`identity.js: ${error.message}`);
  process.exit(1);
});

// Builds the page into one static folder: the sources of src/, the module (korvale.js and
// korvale.wasm) and a service worker that keeps all of them for offline use.
//   node build.js [MODULE-DIR [SITE-DIR]]   (defaults: ../build-wasm/web/module, ../build-web/site)
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const crypto = require('node:crypto');

const here = __dirname;
const moduleDir = path.resolve(process.argv[2] ?? path.join(here, '..', 'build-wasm', 'web', 'module'));
const site = path.resolve(process.argv[3] ?? path.join(here, '..', 'build-web', 'site'));

const sources = ['index.html', 'style.css', 'app.js', 'zip.js', 'worker.js', 'manifest.webmanifest', 'icon.svg'];
const modules = ['korvale.js', 'korvale.wasm'];
for (const f of modules) {
  if (!fs.existsSync(path.join(moduleDir, f))) {
    console.error(`build.js: ${path.join(moduleDir, f)} is missing: build the module first (scripts/wasm.sh build)`);
    process.exit(1);
  }
}
fs.rmSync(site, { recursive: true, force: true });
fs.mkdirSync(site, { recursive: true });
const hash = crypto.createHash('sha256');
for (const f of sources) {
  const bytes = fs.readFileSync(path.join(here, 'src', f));
  hash.update(f).update(bytes);
  fs.writeFileSync(path.join(site, f), bytes);
}
for (const f of modules) {
  const bytes = fs.readFileSync(path.join(moduleDir, f));
  hash.update(f).update(bytes);
  fs.writeFileSync(path.join(site, f), bytes);
}
// The cache's name changes with any file, so a new build replaces the old one's files at once.
const version = hash.digest('hex').slice(0, 16);
const worker = fs.readFileSync(path.join(here, 'src', 'sw.js'), 'utf8')
  .replace('__VERSION__', version)
  .replace('__FILES__', JSON.stringify(['./', ...sources, ...modules]));
fs.writeFileSync(path.join(site, 'sw.js'), worker);
console.log(`build.js: the page is in ${site} (${version})`);

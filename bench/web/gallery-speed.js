// How long the page takes to turn 160 textures into its gallery: from the moment the file input
// hands them over until every entry (thumbnail, size, pixel type, damaged mark) is on screen, in
// Debian's headless chromium. The textures are made by korvale-tool's batch import from PNG
// pictures of Debian's game packages (/usr/share/games), or from pictures made here where
// fewer are installed. A measurement, not a test:
//   node --no-experimental-fetch bench/web/gallery-speed.js [SITE-DIR]
//     (SITE-DIR default build-web/site; KORVALE_TOOL default build/tools/korvale-tool;
//      CHROMIUM default /usr/bin/chromium; RUNS default 5)
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const root = path.resolve(__dirname, '..', '..');
const puppeteer = require(path.join(root, 'web', 'node_modules', 'puppeteer-core'));
const { serve } = require(path.join(root, 'web', 'serve.js'));
const { png } = require(path.join(root, 'web', 'test', 'pictures.js'));

const COUNT = 160;
const site = path.resolve(process.argv[2] ?? path.join(root, 'build-web', 'site'));
const tool = path.resolve(process.env.KORVALE_TOOL ?? path.join(root, 'build', 'tools', 'korvale-tool'));
const runs = Number(process.env.RUNS ?? 5);

function gamePictures() {
  const found = [];
  const walk = (dir) => {
    let entries;
    try { entries = fs.readdirSync(dir, { withFileTypes: true }); } catch { return; }
    for (const e of entries.sort((a, b) => (a.name < b.name ? -1 : 1))) {
      const p = path.join(dir, e.name);
      if (e.isDirectory()) walk(p);
      else if (e.name.endsWith('.png')) {
        const size = fs.statSync(p).size;
        if (size > 4096 && size < 1 << 20) found.push(p);
      }
    }
  };
  walk('/usr/share/games');
  // Spread over the packages rather than the first folder's pictures.
  const step = Math.max(1, Math.floor(found.length / (2 * COUNT)));
  return found.filter((_, i) => i % step === 0);
}

async function main() {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'korvale-gallery-'));
  const inputs = path.join(work, 'in');
  const outputs = path.join(work, 'out');
  fs.mkdirSync(inputs);
  const pictures = gamePictures();
  pictures.slice(0, 2 * COUNT).forEach((p, i) => fs.copyFileSync(p, path.join(inputs, `${String(i).padStart(3, '0')}-${path.basename(p)}`)));
  for (let i = pictures.length; i < COUNT; ++i) {
    fs.writeFileSync(path.join(inputs, `made-${i}.png`), png(256, 256, (x, y) => [(x * i) % 256, (y * 3 + i) % 256, (x ^ y) % 256, 255]));
  }
  try {
    execFileSync(tool, ['import', '-q', '-f', ...fs.readdirSync(inputs).map((f) => path.join(inputs, f)), '-o', outputs, '-j', '2'], { stdio: 'ignore' });
  } catch { /* a picture the import refuses is left out; the others are made */ }
  const made = fs.readdirSync(outputs).filter((f) => f.endsWith('.mip')).sort().slice(0, COUNT).map((f) => path.join(outputs, f));
  if (made.length < COUNT) throw new Error(`only ${made.length} textures were made`);
  const bytes = made.reduce((n, f) => n + fs.statSync(f).size, 0);
  const fromGames = made.filter((f) => !path.basename(f).startsWith('made-')).length;

  const server = await serve(site, 0);
  const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', headless: true, args: ['--no-sandbox', '--disable-gpu'] });
  const page = await browser.newPage();
  await page.setViewport({ width: 1920, height: 1080 });
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  const times = [];
  for (let run = 0; run < runs; ++run) {
    await page.evaluate(() => {
      window.galleryTiming = new Promise((resolve) => {
        let start = 0;
        document.addEventListener('change', () => { start = performance.now(); }, { capture: true, once: true });
        const gallery = document.getElementById('gallery');
        const watch = new MutationObserver(() => {
          if (start && gallery.dataset.complete === 'true') {
            watch.disconnect();
            // On screen: after the frame that shows it.
            requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - start), 0));
          }
        });
        watch.observe(gallery, { attributes: true, attributeFilter: ['data-complete'] });
      });
    });
    await (await page.$('#file-input')).uploadFile(...made);
    const ms = await page.evaluate(() => window.galleryTiming);
    const shown = await page.$$eval('#gallery li', (l) => l.length);
    if (shown !== COUNT) throw new Error(`the gallery shows ${shown} entries`);
    times.push(ms);
  }
  await browser.close();
  server.close();
  fs.rmSync(work, { recursive: true, force: true });
  const sorted = [...times].sort((a, b) => a - b);
  console.log(`${COUNT} textures (${fromGames} from /usr/share/games pictures), ${(bytes / 1048576).toFixed(1)} MiB`);
  console.log(`gallery complete: first run ${times[0].toFixed(0)} ms, ` +
    `best ${sorted[0].toFixed(0)} ms, median ${sorted[Math.floor(sorted.length / 2)].toFixed(0)} ms of ${runs}`);
}
main().catch((error) => { console.error(error); process.exit(1); });

// The page's test files, every one made by korvale-tool itself from pictures made here: a MIP
// set of each pixel type (the three 4-bit codes among them), an SRB record with its companion
// and a damaged set (a whole one cut short).
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { png } = require('./pictures.js');

const pictures = {
  'smooth.png': png(64, 64, (x, y) => [x * 4, y * 4, 128, 255]),
  'cutout.png': png(64, 64, (x, y) => [200 - x, 40 + y * 2, 90, (x - 32) ** 2 + (y - 32) ** 2 < 700 ? 255 : 0]),
  'soft.png': png(64, 32, (x, y) => [30 + x * 3, 250 - y * 5, 120, (x * 4) % 256]),
  'twelve.png': png(32, 32, (x, y) => {
    const k = (Math.floor(x / 8) + 4 * Math.floor(y / 12)) % 12;
    return [k * 20, 255 - k * 15, (k * 70) % 256, 255];
  }),
};

// name: [picture, tool options]
const textures = {
  'rgb565.mip': ['smooth.png', ['--type', 'rgb565']],
  'argb1555.mip': ['cutout.png', ['--type', 'argb1555']],
  'argb4444.mip': ['soft.png', ['--type', 'argb4444']],
  'pal4.mip': ['twelve.png', ['--type', 'pal4']],
  'code1.mip': ['twelve.png', ['--type', '1']],
  'code2.mip': ['twelve.png', ['--type', '2', '--palette', 'per-level']],
  'record.srb': ['smooth.png', ['--values', '1,1,2,3,4,5', '--size', '2.5']],
};

function makeFixtures(dir, tool) {
  fs.mkdirSync(dir, { recursive: true });
  for (const [name, bytes] of Object.entries(pictures)) fs.writeFileSync(path.join(dir, name), bytes);
  for (const [name, [picture, options]] of Object.entries(textures)) {
    execFileSync(tool, ['import', '-q', '-f', path.join(dir, picture), path.join(dir, name), ...options]);
  }
  // The last level cut off: the set loads with the levels before it and reports the rest.
  const whole = fs.readFileSync(path.join(dir, 'rgb565.mip'));
  fs.writeFileSync(path.join(dir, 'damaged.mip'), whole.subarray(0, whole.length - 10));
  return dir;
}

module.exports = { makeFixtures, pictures, textures };

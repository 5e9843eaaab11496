// The page: opening files and folders into a gallery, showing a texture's levels, editing its
// values, importing, saving and exporting. Every operation is the module's, run in worker.js;
// this file only asks the user, hands bytes over and shows what comes back.
import { zip } from './zip.js';

const $ = (id) => document.getElementById(id);
const THUMB = 48;

// ---- the worker -------------------------------------------------------------------------
const worker = new Worker('worker.js');
const pending = new Map();
let nextId = 1;
let busy = 0;
worker.onmessage = ({ data }) => {
  const call = pending.get(data.id);
  if (!call) return;
  if ('progress' in data) {
    showProgress(data.progress);
    call.onProgress?.(data);
    return;
  }
  pending.delete(data.id);
  if (--busy === 0) $('progress').hidden = true;
  call.resolve(data);
};
function run(op, args = {}, { onProgress, transfer = [] } = {}) {
  return new Promise((resolve) => {
    const id = nextId++;
    pending.set(id, { resolve, onProgress });
    if (busy++ === 0) {
      $('progress').hidden = false;
      $('progress').removeAttribute('value');  // indeterminate until a fraction comes
    }
    worker.postMessage({ id, op, ...args }, transfer);
  });
}
function showProgress(fraction) {
  $('progress').value = fraction;
}

// ---- state --------------------------------------------------------------------------------
const state = {
  given: new Map(),    // every file handed over, by name (companions included)
  entries: [],         // gallery entries: {name, file, summary}
  current: null,       // what describe() returned for the open texture
  currentName: null,
  slot: null,          // the level shown
  views: null,         // its stored values, palette and indices
  zoom: 'fit',
  highlight: null,     // the palette index picked out
  cursor: null,        // the texel under the pointer or the keyboard's
  dirty: false,
  gallerySerial: 0,
};

function say(text, error = false) {
  $('status').textContent = text;
  $('status').classList.toggle('error', error);
}
const extension = (name) => (name.match(/\.([^.]*)$/)?.[1] ?? '').toLowerCase();
const stem = (name) => name.replace(/\.[^.]*$/, '');
const bytesOf = async (file) => new Uint8Array(await file.arrayBuffer());
function askToDrop() {
  return !state.dirty || window.confirm('The open texture has unsaved changes. Drop them?');
}
function setDirty(dirty) {
  state.dirty = dirty;
  document.title = (dirty ? '• ' : '') + (state.currentName ? `${state.currentName} – Korvale` : 'Korvale');
}
window.addEventListener('beforeunload', (event) => {
  if (state.dirty) {
    event.preventDefault();
    event.returnValue = '';
  }
});

// ---- opening ------------------------------------------------------------------------------
const TEXTURES = new Set(['srb', 'mip', 'png']);

// files: File objects (or anything with name and arrayBuffer()). The gallery is remade from them;
// a single texture is opened at once.
async function openFiles(files) {
  files = [...files].filter((f) => TEXTURES.has(extension(f.name)) || extension(f.name) === 'yrq');
  if (files.length === 0) {
    say('None of those is an SRB, MIP or PNG file.', true);
    return;
  }
  state.given = new Map(files.map((f) => [f.name, f]));
  const shown = files.filter((f) => TEXTURES.has(extension(f.name)));
  await buildGallery(shown);
  const textures = shown.filter((f) => extension(f.name) !== 'png');
  if (shown.length === 1 && textures.length === 1) await openTexture(textures[0].name);
  else if (shown.length === 1) startImportFrom(shown[0]);  // a single picture is there to import
}

// The files of a folder and its subfolders from a directory handle (the directory picker's, or
// any object with entries() and getFile() alike).
async function filesOfDirectory(handle, into = []) {
  for await (const [, entry] of handle.entries()) {
    if (entry.kind === 'file') {
      const name = entry.name;
      if (TEXTURES.has(extension(name)) || extension(name) === 'yrq') into.push(await entry.getFile());
    } else if (entry.kind === 'directory') {
      await filesOfDirectory(entry, into);
    }
  }
  return into;
}
async function openDirectory(handle) {
  let files;
  try {
    files = await filesOfDirectory(handle);
  } catch (error) {
    say(`${handle.name ?? 'The folder'} cannot be read: ${error.message}`, true);
    return;
  }
  say(`${handle.name ?? 'The folder'}: ${files.length} files.`);
  await openFiles(files);
}

// What was dropped on the page, as file system entries: a dropped folder is walked like a picked
// one. They are taken from the event before it returns, as the browser empties the list after.
function droppedEntries(dataTransfer) {
  return [...(dataTransfer?.items ?? [])]
    .filter((item) => item.kind === 'file')
    .map((item) => item.webkitGetAsEntry?.())
    .filter(Boolean);
}
const fileOfEntry = (entry) => new Promise((resolve, reject) => entry.file(resolve, reject));
const nextEntries = (reader) => new Promise((resolve, reject) => reader.readEntries(resolve, reject));
async function filesOfEntries(entries, into = []) {
  for (const entry of entries) {
    if (entry.isFile) {
      if (TEXTURES.has(extension(entry.name)) || extension(entry.name) === 'yrq') into.push(await fileOfEntry(entry));
    } else if (entry.isDirectory) {
      // A folder gives its entries a batch at a time, until an empty batch.
      const reader = entry.createReader();
      for (let batch = await nextEntries(reader); batch.length; batch = await nextEntries(reader)) {
        await filesOfEntries(batch, into);
      }
    }
  }
  return into;
}
async function openDropped(dataTransfer) {
  const entries = droppedEntries(dataTransfer);
  const folders = entries.filter((entry) => entry.isDirectory);
  if (folders.length === 0) {
    if (dataTransfer?.files.length) await openFiles(dataTransfer.files);
    return;
  }
  const name = entries.length === 1 ? folders[0].name : 'The dropped folders';
  let files;
  try {
    files = await filesOfEntries(entries);
  } catch (error) {
    say(`${name} cannot be read: ${error.message}`, true);
    return;
  }
  say(`${name}: ${files.length} files.`);
  await openFiles(files);
}

async function buildGallery(files) {
  const serial = ++state.gallerySerial;
  const list = $('gallery');
  list.dataset.complete = 'false';
  list.replaceChildren();
  state.entries = files.map((file) => ({ name: file.name, file, summary: null }));
  $('gallery-count').textContent = `Reading ${files.length} files…`;
  const payload = await Promise.all(files.map(async (f) => ({ name: f.name, bytes: await bytesOf(f) })));
  const result = await run('summarize', { files: payload, size: THUMB }, {
    transfer: payload.map((p) => p.bytes.buffer),
    onProgress: ({ entry, index }) => {
      if (serial === state.gallerySerial) state.entries[index].summary = entry;
    },
  });
  if (serial !== state.gallerySerial) return;
  if (!result.ok) say(result.error, true);
  renderGallery();
  list.dataset.complete = 'true';
}

function sortKey(entry, by) {
  const s = entry.summary ?? {};
  if (by === 'size') return [-(s.width ?? 0) * (s.height ?? 0), entry.name];
  if (by === 'type') return [s.typeName ?? '~', entry.name];
  if (by === 'damaged') return [s.damaged ? 0 : 1, entry.name];
  return [entry.name.toLowerCase(), entry.name];
}
function compare(a, b) {
  for (let i = 0; i < a.length; ++i) {
    if (a[i] < b[i]) return -1;
    if (a[i] > b[i]) return 1;
  }
  return 0;
}
function thumbnailOf(entry) {
  const s = entry.summary;
  if (s?.kind === 'png' && s.ok) {
    const img = document.createElement('img');
    img.alt = '';
    img.src = URL.createObjectURL(entry.file);
    img.onload = () => URL.revokeObjectURL(img.src);
    return img;
  }
  const canvas = document.createElement('canvas');
  if (s?.thumb) {
    canvas.width = s.thumb.width;
    canvas.height = s.thumb.height;
    canvas.getContext('2d').putImageData(
      new ImageData(new Uint8ClampedArray(s.thumb.rgba.buffer, s.thumb.rgba.byteOffset, s.thumb.rgba.length), s.thumb.width, s.thumb.height), 0, 0);
  } else {
    canvas.width = canvas.height = 1;
  }
  return canvas;
}
function renderGallery() {
  const filter = $('filter').value.trim().toLowerCase();
  const by = $('sort').value;
  const shown = state.entries
    .filter((e) => e.name.toLowerCase().includes(filter))
    .sort((a, b) => compare(sortKey(a, by), sortKey(b, by)));
  const items = shown.map((entry) => {
    const s = entry.summary ?? { damaged: true, error: 'not read' };
    const li = document.createElement('li');
    li.dataset.name = entry.name;
    li.dataset.current = String(entry.name === state.currentName);
    const button = document.createElement('button');
    button.type = 'button';
    const thumb = document.createElement('span');
    thumb.className = 'thumb';
    thumb.append(thumbnailOf(entry));
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = entry.name;
    const meta = document.createElement('span');
    meta.className = 'meta';
    const size = s.width ? `${s.width}×${s.height}` : '';
    meta.textContent = [size, s.typeName, s.levels ? `${s.levels} levels` : ''].filter(Boolean).join(' · ');
    button.append(thumb, name, meta);
    if (s.damaged) {
      const mark = document.createElement('span');
      mark.className = 'damaged';
      mark.textContent = '⚠ damaged';
      mark.title = s.error;
      button.append(mark);
    }
    button.setAttribute('aria-label', [entry.name, meta.textContent, s.damaged ? `damaged: ${s.error}` : ''].filter(Boolean).join(', '));
    button.title = s.damaged ? s.error : entry.name;
    button.addEventListener('click', () => (s.kind === 'png' ? startImportFrom(entry.file) : openTexture(entry.name)));
    li.append(button);
    return li;
  });
  $('gallery').replaceChildren(...items);
  const damaged = state.entries.filter((e) => e.summary?.damaged).length;
  $('gallery-count').textContent = `${shown.length} of ${state.entries.length} files` + (damaged ? `, ${damaged} damaged` : '');
}

async function openTexture(name) {
  if (!askToDrop()) return;
  const file = state.given.get(name);
  const bytes = await bytesOf(file);
  let companion = null;
  if (extension(name) === 'srb') {
    const { name: companionName } = await run('companionName', { name });
    const found = state.given.get(companionName);
    if (found) companion = await bytesOf(found);
  }
  const shown = await run('open', { bytes, name, companion }, { transfer: [bytes.buffer] });
  if (!shown.ok) {
    say(shown.error, true);
    return;
  }
  state.currentName = name;
  setDirty(false);
  showTexture(shown);
  say(shown.report.clean ? `${name} opened.` : `${name} opened, damaged: ${shown.report.firstError}`, !shown.report.clean);
  for (const li of $('gallery').children) li.dataset.current = String(li.dataset.name === name);
}

// ---- showing ------------------------------------------------------------------------------
function showTexture(shown, keepSlot = false) {
  state.current = shown;
  const levels = [...shown.levels].sort((a, b) => b.width * b.height - a.width * a.height);
  if (!keepSlot || !levels.some((l) => l.slot === state.slot)) state.slot = levels[0]?.slot ?? null;
  $('view-title').textContent = `${shown.name} (${shown.kind.toUpperCase()})`;
  const perLevel = shown.header.miptype === 2;
  $('levels').replaceChildren(...levels.map((l) => {
    const b = document.createElement('button');
    b.type = 'button';
    const palette = l.type <= 2 ? (perLevel ? ', its own palette' : ', the shared palette') : '';
    b.textContent = `${l.width}×${l.height} ${l.typeName}`;
    b.title = `Type code ${l.type}${palette}`;
    b.setAttribute('aria-label', `Level ${l.width} by ${l.height}, ${l.typeName} (type code ${l.type})${palette}`);
    b.dataset.slot = l.slot;
    b.setAttribute('aria-pressed', String(l.slot === state.slot));
    b.addEventListener('click', () => selectLevel(l.slot));
    return b;
  }));
  if (levels.length === 0) $('levels').textContent = 'No levels.';
  const palettised = levels.filter((l) => l.type <= 2).length;
  const codes = [...new Set(levels.map((l) => l.type))];
  $('levels-note').textContent = levels.length === 0 ? '' :
    `${levels.length} ${levels.length === 1 ? 'level' : 'levels'}, type ${codes.length === 1 ? 'code' : 'codes'} ${codes.join(', ')}` +
    (palettised ? (perLevel ? '; each palettised level has its own palette' : '; one palette shared by the palettised levels') : '; no palette');
  shown.values.forEach((v, i) => { $(`value-${i + 1}`).value = String(v); });
  $('metres').value = String(shown.metres);
  $('metres-from').textContent = `Size from: ${shown.metresFrom}`;
  const h = shown.header;
  const pairs = [['Kind', shown.kind.toUpperCase()], ['miptype', h.miptype], ['powerwidth', h.powerwidth],
    ['powerheight', h.powerheight], ['col', h.col], ['vrepeat', h.vrepeat], ['hrepeat', h.hrepeat],
    ['numimages', h.numimages]];
  $('header').replaceChildren(...pairs.flatMap(([k, v]) => {
    const dt = document.createElement('dt');
    dt.textContent = k;
    const dd = document.createElement('dd');
    dd.textContent = String(v);
    return [dt, dd];
  }));
  showReport(shown.report);
  for (const id of ['save-mip', 'save-srb', 'export-level', 'export-all', 'export-sheet', 'apply-values', 'replace-go']) {
    $(id).disabled = levels.length === 0 && id.startsWith('export') ? true : false;
  }
  return selectLevel(state.slot);
}
function showReport(report) {
  const parts = [];
  const p = (text, cls) => {
    const e = document.createElement('p');
    e.textContent = text;
    if (cls) e.className = cls;
    parts.push(e);
  };
  if (report.clean) p('Clean: nothing was wrong.');
  else report.summary.split('\n').filter(Boolean).forEach((line, i) => p(line, i === 0 ? 'bad' : ''));
  if (report.rejected.length) {
    const table = document.createElement('table');
    table.innerHTML = '<caption>Rejected levels</caption><colgroup><col class="slot"><col class="offset"><col></colgroup>' +
      '<thead><tr><th>slot</th><th>offset</th><th>reason</th></tr></thead>';
    const body = document.createElement('tbody');
    for (const r of report.rejected) {
      const tr = document.createElement('tr');
      for (const v of [r.slot, r.offset, r.reason]) {
        const td = document.createElement('td');
        td.textContent = String(v);
        tr.append(td);
      }
      body.append(tr);
    }
    table.append(body);
    parts.push(table);
  }
  $('report').replaceChildren(...parts);
}

const level = () => state.current?.levels.find((l) => l.slot === state.slot) ?? null;

async function selectLevel(slot) {
  state.slot = slot;
  state.highlight = null;
  for (const b of $('levels').querySelectorAll('button')) b.setAttribute('aria-pressed', String(Number(b.dataset.slot) === slot));
  state.views = slot === null ? null : await run('views', { slot });
  const l = level();
  const palettised = l && l.type <= 2;
  $('view').querySelector('option[value="index"]').disabled = !palettised;
  if (!palettised && $('view').value === 'index') $('view').value = 'colour';
  $('palette').replaceChildren(...(palettised ? state.views.palette.map((c, i) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.setAttribute('aria-pressed', 'false');
    b.setAttribute('aria-label', `Palette entry ${i}: red ${c[0]}, green ${c[1]}, blue ${c[2]}, alpha ${c[3]}`);
    b.title = `${i}: ${c.join(', ')}`;
    const sw = document.createElement('span');
    sw.className = 'swatch';
    sw.style.background = `rgba(${c[0]}, ${c[1]}, ${c[2]}, ${c[3] / 255})`;
    const n = document.createElement('span');
    n.className = 'number';
    n.textContent = String(i);
    b.append(sw, n);
    b.addEventListener('click', () => {
      state.highlight = state.highlight === i ? null : i;
      for (const [k, other] of [...$('palette').children].entries()) other.setAttribute('aria-pressed', String(k === state.highlight));
      draw();
    });
    return b;
  }) : []));
  state.cursor = null;
  $('readout').textContent = l ? 'Point at a texel to read it.' : '';
  draw();
}

// The level's picture in the chosen view, at one pixel per texel.
const texels = document.createElement('canvas');
function paintTexels() {
  const l = level();
  if (!l) return false;
  texels.width = l.width;
  texels.height = l.height;
  const out = new ImageData(l.width, l.height);
  const view = $('view').value;
  const indices = state.views?.indices;
  const n = l.width * l.height;
  for (let i = 0; i < n; ++i) {
    const o = 4 * i;
    let r = l.rgba[o], g = l.rgba[o + 1], b = l.rgba[o + 2], a = l.rgba[o + 3];
    if (view === 'alpha') {
      r = g = b = a;
      a = 255;
    } else if (view === 'index' && indices?.length === n) {
      r = g = b = indices[i] * 17;
      a = 255;
    }
    if (state.highlight !== null && indices?.length === n && indices[i] !== state.highlight) a = Math.round(a * 0.15);
    out.data[o] = r; out.data[o + 1] = g; out.data[o + 2] = b; out.data[o + 3] = a;
  }
  texels.getContext('2d').putImageData(out, 0, 0);
  return true;
}
function zoomFactor() {
  const l = level();
  if (!l) return 1;
  if (state.zoom !== 'fit') return Number(state.zoom);
  const stage = $('stage');
  const fit = Math.min((stage.clientWidth - 2) / l.width, (stage.clientHeight - 2) / l.height);
  return Math.max(fit >= 1 ? Math.floor(fit) : fit, 1 / 16);
}
function draw() {
  const canvas = $('canvas');
  const ctx = canvas.getContext('2d');
  if (!paintTexels()) {
    canvas.width = canvas.height = 0;
    return;
  }
  const l = level();
  const z = zoomFactor();
  canvas.width = Math.max(1, Math.round(l.width * z));
  canvas.height = Math.max(1, Math.round(l.height * z));
  const behind = $('background').value;
  const styles = getComputedStyle(document.documentElement);
  if (behind === 'checker') {
    const tile = 8;
    for (let y = 0; y < canvas.height; y += tile) {
      for (let x = 0; x < canvas.width; x += tile) {
        ctx.fillStyle = ((x + y) / tile) % 2 ? styles.getPropertyValue('--check-a') : styles.getPropertyValue('--check-b');
        ctx.fillRect(x, y, tile, tile);
      }
    }
  } else {
    ctx.fillStyle = behind;
    ctx.fillRect(0, 0, canvas.width, canvas.height);
  }
  ctx.imageSmoothingEnabled = false;
  ctx.drawImage(texels, 0, 0, canvas.width, canvas.height);
  if ($('grid').checked && z >= 8) {
    ctx.strokeStyle = 'rgba(128, 128, 128, 0.6)';
    ctx.lineWidth = 1;
    ctx.beginPath();
    for (let x = 0; x <= l.width; ++x) { ctx.moveTo(x * z + 0.5, 0); ctx.lineTo(x * z + 0.5, canvas.height); }
    for (let y = 0; y <= l.height; ++y) { ctx.moveTo(0, y * z + 0.5); ctx.lineTo(canvas.width, y * z + 0.5); }
    ctx.stroke();
  }
  if (state.cursor) {
    ctx.strokeStyle = '#ff2d55';
    ctx.lineWidth = 2;
    ctx.strokeRect(state.cursor.x * z + 1, state.cursor.y * z + 1, Math.max(z - 2, 2), Math.max(z - 2, 2));
  }
}
function readTexel(x, y) {
  const l = level();
  if (!l || x < 0 || y < 0 || x >= l.width || y >= l.height) return;
  state.cursor = { x, y };
  const i = y * l.width + x;
  const raw = state.views?.raw ?? [];
  const stored = `R ${raw[4 * i]} G ${raw[4 * i + 1]} B ${raw[4 * i + 2]} A ${raw[4 * i + 3]}`;
  const index = l.type <= 2 && state.views?.indices?.length ? `, index ${state.views.indices[i]}` : '';
  const shown = `R ${l.rgba[4 * i]} G ${l.rgba[4 * i + 1]} B ${l.rgba[4 * i + 2]} A ${l.rgba[4 * i + 3]}`;
  $('readout').textContent = `Texel ${x}, ${y}: stored ${stored}${index}; shown ${shown}`;
  draw();
}
function setZoom(value, about) {
  const stage = $('stage');
  const before = zoomFactor();
  state.zoom = value;
  $('zoom').value = value;
  const after = zoomFactor();
  // The point under the pointer (or the middle) stays where it is.
  const px = about ? about.x : stage.clientWidth / 2;
  const py = about ? about.y : stage.clientHeight / 2;
  const tx = (stage.scrollLeft + px) / before;
  const ty = (stage.scrollTop + py) / before;
  draw();
  stage.scrollLeft = tx * after - px;
  stage.scrollTop = ty * after - py;
}
const STEPS = ['1', '2', '3', '4', '6', '8', '12', '16'];
function zoomStep(direction, about) {
  const z = zoomFactor();
  let next;
  if (direction > 0) next = STEPS.find((s) => Number(s) > z) ?? '16';
  else next = [...STEPS].reverse().find((s) => Number(s) < z) ?? '1';
  setZoom(next, about);
}

// ---- editing ------------------------------------------------------------------------------
async function applyValues(event) {
  event?.preventDefault();
  if (!$('values-form').reportValidity()) return false;
  const values = [1, 2, 3, 4, 5, 6].map((k) => Number($(`value-${k}`).value));
  const shown = await run('setValues', { values, metres: Number($('metres').value) });
  if (!shown.ok) {
    say(shown.error, true);
    return false;
  }
  state.current.values = shown.values;
  state.current.metres = shown.metres;
  setDirty(true);
  say('Values applied.');
  return true;
}

// The import's choices as the module takes them, and the files they need.
async function importChoices() {
  const choices = {};
  const type = $('import-type').value;
  if (type) choices.type = type;
  const palette = $('import-palette').value;
  if (palette === 'file') {
    const f = $('import-palette-file').files[0];
    if (!f) throw new Error('Choose the palette file first.');
    choices.paletteFile = await bytesOf(f);
    choices.paletteFileName = f.name;
  } else if (palette) {
    choices.palette = palette;
  }
  const like = $('import-like').files[0];
  if (like) {
    choices.originalBytes = await bytesOf(like);
    choices.originalName = like.name;
  } else if (palette === 'keep') {
    throw new Error('The original\'s palette needs an original: choose one under "Like an original".');
  }
  choices.dither = $('import-dither').checked;
  if ($('import-levels').value) choices.levels = Number($('import-levels').value);
  const w = $('import-width').value;
  const h = $('import-height').value;
  if (w || h) {
    if (!w || !h) throw new Error('Choose both the top width and the top height, or neither.');
    choices.size = `${w}x${h}`;
  }
  if ($('import-filter').value) choices.filter = $('import-filter').value;
  if ($('import-repeat').value) choices.repeat = Number($('import-repeat').value);
  return choices;
}
let importPicture = null;  // the File chosen, from the form or the gallery
let previewSerial = 0;
async function previewImport() {
  const picture = importPicture;
  if (!picture) return;
  const serial = ++previewSerial;
  let choices;
  try {
    choices = await importChoices();
  } catch (error) {
    $('import-made').textContent = error.message;
    return;
  }
  const bytes = await bytesOf(picture);
  const out = `${stem(picture.name)}.${$('import-kind').value}`;
  const result = await run('preview', { bytes, name: picture.name, choices, out }, { transfer: [bytes.buffer] });
  if (serial !== previewSerial) return;
  const canvas = $('import-preview');
  if (!result.ok) {
    $('import-made').textContent = result.error;
    canvas.width = canvas.height = 0;
    return;
  }
  $('import-made').textContent = `Would make ${result.made}.`;
  const top = result.top;
  canvas.width = top.width;
  canvas.height = top.height;
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(top.rgba.buffer, top.rgba.byteOffset, top.rgba.length), top.width, top.height), 0, 0);
  const scale = Math.max(1, Math.floor(192 / Math.max(top.width, top.height)));
  canvas.style.width = `${top.width * scale}px`;
  canvas.style.height = `${top.height * scale}px`;
}
let previewTimer = 0;
const schedulePreview = () => {
  clearTimeout(previewTimer);
  previewTimer = setTimeout(previewImport, 150);
};
function startImportFrom(file) {
  importPicture = file;
  $('import-section').open = true;
  $('import-go').disabled = false;
  $('import-made').textContent = `${file.name}: working out the preview…`;
  say(`${file.name} is a picture: choose how to import it.`);
  schedulePreview();
  $('import-type').focus();
}
async function runImport(event) {
  event.preventDefault();
  if (!importPicture) return;
  if (!askToDrop()) return;
  let choices;
  try {
    choices = await importChoices();
  } catch (error) {
    say(error.message, true);
    return;
  }
  const bytes = await bytesOf(importPicture);
  const out = `${stem(importPicture.name)}.${$('import-kind').value}`;
  const shown = await run('importPng', { bytes, name: importPicture.name, choices, out }, { transfer: [bytes.buffer] });
  if (!shown.ok) {
    say(shown.error, true);
    return;
  }
  state.currentName = out;
  setDirty(true);
  await showTexture(shown);
  say(`Imported ${importPicture.name}: ${shown.made}.`);
}
async function replaceLevel(event) {
  event.preventDefault();
  const f = $('replace-picture').files[0];
  if (!f || state.slot === null) {
    say('Choose a picture of the level\'s size first.', true);
    return;
  }
  const bytes = await bytesOf(f);
  const shown = await run('replaceLevel', { slot: state.slot, bytes, name: f.name, rebuild: $('replace-palette').checked }, { transfer: [bytes.buffer] });
  if (!shown.ok) {
    say(shown.error, true);
    return;
  }
  setDirty(true);
  await showTexture(shown, true);
  say(`Level ${level().width}×${level().height} replaced from ${f.name}.`);
}

// ---- saving and exporting -----------------------------------------------------------------
function download(name, bytes, type = 'application/octet-stream') {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}
const canWriteFolders = () => typeof window.showDirectoryPicker === 'function';

// Writes files into a folder the user picks, asking before replacing any; false when the user
// gave up.
async function writeIntoFolder(files) {
  let folder;
  try {
    folder = await window.showDirectoryPicker({ mode: 'readwrite', id: 'korvale-save' });
  } catch {
    return false;
  }
  const there = [];
  for (const f of files) {
    try {
      await folder.getFileHandle(f.name);
      there.push(f.name);
    } catch { /* not there yet */ }
  }
  if (there.length && !window.confirm(`Replace ${there.join(' and ')} in ${folder.name}?`)) return false;
  for (const f of files) {
    const handle = await folder.getFileHandle(f.name, { create: true });
    const writable = await handle.createWritable();
    await writable.write(f.bytes);
    await writable.close();
  }
  return folder.name;
}
// Files out: into a folder where the browser can write one, otherwise one download (a zip when
// there are several, so a pair keeps its names).
async function deliver(files, zipName) {
  if (canWriteFolders()) {
    const where = await writeIntoFolder(files);
    if (where) say(`Saved ${files.map((f) => f.name).join(' and ')} in ${where}.`);
    return Boolean(where);
  }
  if (files.length === 1) download(files[0].name, files[0].bytes);
  else download(zipName, zip(files), 'application/zip');
  say(`Downloaded ${files.length === 1 ? files[0].name : `${zipName} (${files.map((f) => f.name).join(', ')})`}.`);
  return true;
}
async function save(asSrb) {
  if (!(await applyValues())) return;
  const name = `${stem(state.currentName ?? 'texture')}.${asSrb ? 'srb' : 'mip'}`;
  const result = await run('save', { name, asSrb });
  if (!result.ok) {
    say(result.error, true);
    return;
  }
  if (await deliver(result.files, `${stem(name)}.zip`)) setDirty(false);
}
async function exportPng(mode) {
  const result = await run('exportPng', { mode, slot: mode === 'level' ? state.slot : -1 });
  if (!result.ok) {
    say(result.error, true);
    return;
  }
  await deliver(result.files, `${stem(state.currentName ?? 'texture')}-levels.zip`);
}

// ---- wiring -------------------------------------------------------------------------------
$('open-files').addEventListener('click', () => $('file-input').click());
$('file-input').addEventListener('change', (e) => { if (e.target.files.length) openFiles(e.target.files); e.target.value = ''; });
$('open-folder').addEventListener('click', async () => {
  if (typeof window.showDirectoryPicker === 'function') {
    let handle;
    try {
      handle = await window.showDirectoryPicker({ id: 'korvale-open' });
    } catch {
      return;
    }
    await openDirectory(handle);
  } else {
    $('folder-input').click();
  }
});
$('folder-input').addEventListener('change', (e) => { if (e.target.files.length) openFiles(e.target.files); e.target.value = ''; });
document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dropping'); });
document.addEventListener('dragleave', (e) => { if (!e.relatedTarget) document.body.classList.remove('dropping'); });
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('dropping');
  openDropped(e.dataTransfer);
});
$('filter').addEventListener('input', renderGallery);
$('sort').addEventListener('change', renderGallery);
$('zoom').addEventListener('change', (e) => setZoom(e.target.value));
for (const id of ['background', 'view', 'grid']) $(id).addEventListener('change', draw);
window.addEventListener('resize', () => { if (state.zoom === 'fit') draw(); });
$('stage').addEventListener('wheel', (e) => {
  if (!level()) return;
  e.preventDefault();
  const box = $('stage').getBoundingClientRect();
  zoomStep(e.deltaY < 0 ? 1 : -1, { x: e.clientX - box.left, y: e.clientY - box.top });
}, { passive: false });
$('canvas').addEventListener('mousemove', (e) => {
  const z = zoomFactor();
  readTexel(Math.floor(e.offsetX / z), Math.floor(e.offsetY / z));
});
$('stage').addEventListener('keydown', (e) => {
  const l = level();
  if (!l) return;
  const moves = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  if (moves[e.key]) {
    e.preventDefault();
    const c = state.cursor ?? { x: 0, y: 0 };
    const [dx, dy] = state.cursor ? moves[e.key] : [0, 0];
    readTexel(Math.min(l.width - 1, Math.max(0, c.x + dx)), Math.min(l.height - 1, Math.max(0, c.y + dy)));
  } else if (e.key === '+' || e.key === '=') {
    e.preventDefault();
    zoomStep(1);
  } else if (e.key === '-') {
    e.preventDefault();
    zoomStep(-1);
  }
});
$('values-form').addEventListener('submit', applyValues);
$('save-mip').addEventListener('click', () => save(false));
$('save-srb').addEventListener('click', () => save(true));
$('export-level').addEventListener('click', () => exportPng('level'));
$('export-all').addEventListener('click', () => exportPng('all'));
$('export-sheet').addEventListener('click', () => exportPng('sheet'));
$('import-picture').addEventListener('change', (e) => { if (e.target.files[0]) startImportFrom(e.target.files[0]); });
for (const id of ['import-type', 'import-palette', 'import-palette-file', 'import-like', 'import-dither', 'import-levels', 'import-width', 'import-height', 'import-filter', 'import-repeat', 'import-kind']) {
  $(id).addEventListener('change', schedulePreview);
}
$('import-form').addEventListener('submit', runImport);
$('replace-form').addEventListener('submit', replaceLevel);

if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
  navigator.serviceWorker.register('sw.js').catch(() => { /* the page works without one */ });
}

// For the tests and anyone scripting the page: the folder code with any directory handle.
window.korvale = { openFiles, openDirectory, state, run };

// The page's work, off its main thread: the module is loaded here once, and every load, import,
// save and export runs here so the page never freezes. Messages are {id, op, ...}; each gets
// {id, ok, ...} back, long ones {id, progress: 0..1} on the way.
/* global importScripts, createKorvale */
'use strict';
importScripts('korvale.js');

const ready = createKorvale();
let korvale = null;
let texture = null;  // the texture the page has open
let preview = null;  // an import's preview, kept apart until the import is taken

const take = (result) => (result && typeof result === 'object' ? result : { ok: false, error: String(result) });

// The buffers of every typed array in a result, handed over rather than copied.
function transfers(value, list = []) {
  if (value instanceof Uint8Array) list.push(value.buffer);
  else if (Array.isArray(value)) value.forEach((v) => transfers(v, list));
  else if (value && typeof value === 'object') Object.values(value).forEach((v) => transfers(v, list));
  return list;
}

const ops = {
  // Gallery entries for many files, reporting as it goes.
  summarize({ files, size }, progress) {
    const entries = [];
    files.forEach((file, i) => {
      entries.push(take(korvale.summarize(file.bytes, file.name, size)));
      progress((i + 1) / files.length, entries[entries.length - 1], i);
    });
    return { ok: true, count: entries.length };
  },
  open({ bytes, name, companion }) {
    const t = new korvale.Texture();
    const shown = take(t.load(bytes, name, companion ?? null));
    if (!shown.ok) {
      t.delete();
      return shown;
    }
    if (texture) texture.delete();
    texture = t;
    return shown;
  },
  views({ slot }) { return take(texture.views(slot)); },
  setValues({ values, metres }) { return take(texture.setValues(values, metres)); },
  save({ name, asSrb }) { return take(texture.save(name, asSrb)); },
  exportPng({ mode, slot }) { return take(texture.exportPng(mode, slot, false)); },
  replaceLevel({ slot, bytes, name, rebuild }) {
    return take(texture.replaceLevel(slot, bytes, name, rebuild));
  },
  // The import into a preview texture: what the top level would look like with these choices.
  preview({ bytes, name, choices, out }) {
    if (!preview) preview = new korvale.Texture();
    const made = take(korvale.importPng(preview, bytes, name, choices, out));
    if (!made.ok) return made;
    const shown = take(preview.describe());
    const top = shown.levels.reduce((a, b) => (!a || b.width * b.height > a.width * a.height ? b : a), null);
    return { ok: true, made: made.made, top };
  },
  // The import taken: the open texture becomes what it made.
  importPng({ bytes, name, choices, out }) {
    const t = new korvale.Texture();
    const made = take(korvale.importPng(t, bytes, name, choices, out));
    if (!made.ok) {
      t.delete();
      return made;
    }
    if (texture) texture.delete();
    texture = t;
    return { ...take(t.describe()), made: made.made };
  },
  companionName({ name }) { return { ok: true, name: korvale.companionName(name) }; },
};

self.onmessage = async (event) => {
  const { id, op, ...args } = event.data;
  try {
    korvale = korvale ?? (await ready);
    if (!ops[op]) throw new Error(`no operation ${op}`);
    if (op !== 'summarize' && op !== 'open' && op !== 'importPng' && op !== 'preview' &&
        op !== 'companionName' && !texture) {
      throw new Error('no texture is open');
    }
    const progress = (fraction, entry, index) => {
      const message = { id, progress: fraction, entry, index };
      self.postMessage(message, transfers(entry));
    };
    const result = ops[op](args, progress);
    self.postMessage({ id, ...result }, transfers(result));
  } catch (error) {
    self.postMessage({ id, ok: false, error: String(error && error.message ? error.message : error) });
  }
};

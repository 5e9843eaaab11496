#!/usr/bin/python3
"""Makes the PNG pictures the speed bench decodes and imports, from a photograph in Debian's
mate-backgrounds package, so anyone can make the same files again:

    /usr/bin/python3 bench/make_png_pictures.py DIR

DIR then holds, each 2048 x 2048:
  paeth-heavy.png      8-bit RGBA written by Pillow with its default compression and adaptive
                       row filters, the way an image tool saves (most rows come out Paeth)
  filter-none.png ... filter-paeth.png
                       the same pixels with every row given one filter type (zlib level 6)
  indexed.png          16 colours, 4 bits a pixel (Pillow's quantiser, Pillow's writer)
  rgba16.png           16-bit RGBA (each 8-bit sample times 257), every row Paeth
It prints one line per picture: its name, its size in bytes and how many rows use each filter.
"""
import struct
import sys
import zlib
from pathlib import Path

import numpy as np
from PIL import Image

SOURCE = "/usr/share/backgrounds/mate/nature/LadyBird.jpg"  # mate-backgrounds, 2560 x 1600
SIDE = 2048
FILTERS = ["none", "sub", "up", "average", "paeth"]


def photo():
    """The photograph's middle square scaled to SIDE x SIDE, with an alpha that falls off
    towards the corners (so alpha varies as in a game texture's edges)."""
    if not Path(SOURCE).exists():
        sys.exit("the bench picture is missing; install it with: "
                 "apt-get install -y --no-install-recommends mate-backgrounds")
    im = Image.open(SOURCE).convert("RGB")
    w, h = im.size
    side = min(w, h)
    im = im.crop(((w - side) // 2, (h - side) // 2, (w + side) // 2, (h + side) // 2))
    rgb = np.asarray(im.resize((SIDE, SIDE), Image.LANCZOS), dtype=np.uint8)
    y, x = np.mgrid[0:SIDE, 0:SIDE].astype(np.float64) / (SIDE - 1) - 0.5
    alpha = np.clip(1.6 - 2.4 * np.hypot(x, y), 0.0, 1.0) * 255.0
    return np.dstack([rgb, np.rint(alpha).astype(np.uint8)])


def filter_rows(raw, bpp, kind):
    """PNG's row filter `kind` (0..4) applied to every row of raw (rows x bytes, uint8)."""
    a = np.zeros_like(raw, dtype=np.int16)
    a[:, bpp:] = raw[:, :-bpp]
    b = np.zeros_like(a)
    b[1:, :] = raw[:-1, :]
    c = np.zeros_like(a)
    c[1:, bpp:] = raw[:-1, :-bpp]
    r = raw.astype(np.int16)
    if kind == 0:
        out = r
    elif kind == 1:
        out = r - a
    elif kind == 2:
        out = r - b
    elif kind == 3:
        out = r - (a + b) // 2
    else:
        pa, pb, pc = np.abs(b - c), np.abs(a - c), np.abs(a + b - 2 * c)
        predicted = np.where((pa <= pb) & (pa <= pc), a, np.where(pb <= pc, b, c))
        out = r - predicted
    rows = (out & 0xFF).astype(np.uint8)
    return np.hstack([np.full((raw.shape[0], 1), kind, dtype=np.uint8), rows])


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, raw, width, height, colour_type, depth, kind):
    bpp = {6: 4, 2: 3}[colour_type] * depth // 8
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0)
    data = zlib.compress(filter_rows(raw, bpp, kind).tobytes(), 6)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", data) +
                     chunk(b"IEND", b""))


def filter_counts(path):
    """How many rows of a non-interlaced PNG use each filter type."""
    data = path.read_bytes()
    at, idat = 8, b""
    width = height = depth = colour_type = 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    stride = (width * channels * depth + 7) // 8 + 1
    rows = np.frombuffer(zlib.decompress(idat), dtype=np.uint8).reshape(height, stride)
    return np.bincount(rows[:, 0], minlength=5)[:5]


def make(out):
    out.mkdir(parents=True, exist_ok=True)
    rgba = photo()
    raw = rgba.reshape(SIDE, SIDE * 4)
    made = [out / "paeth-heavy.png"]
    Image.fromarray(rgba, "RGBA").save(made[0])
    for kind, name in enumerate(FILTERS):
        made.append(out / f"filter-{name}.png")
        write_png(made[-1], raw, SIDE, SIDE, 6, 8, kind)
    made.append(out / "indexed.png")
    Image.fromarray(rgba, "RGBA").convert("RGB").quantize(16).save(made[-1], bits=4)
    made.append(out / "rgba16.png")
    wide = (raw.astype(">u2") * 257).view(np.uint8).reshape(SIDE, SIDE * 8)
    write_png(made[-1], wide, SIDE, SIDE, 6, 16, 4)
    for path in made:
        counts = " ".join(f"{n}={c}" for n, c in zip(FILTERS, filter_counts(path)))
        print(f"{path.name} {path.stat().st_size} bytes, rows: {counts}")
    return made


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_png_pictures.py DIR")
    make(Path(sys.argv[1]))

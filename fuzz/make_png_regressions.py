#!/usr/bin/python3
"""Writes the crafted PNGs of fuzz/regressions/png: for each kind of picture (8-bit RGBA and RGB,
grey with a transparent colour, 16-bit RGBA, indexed), a sound file and one with each fault a
reader may meet after the header: a wrong IDAT checksum, no IEND, bytes after the deflate
stream, a stream cut before its end, a wrong stream checksum, a stream inflating to more or to
fewer bytes than the header says, a filter type PNG lacks; and sound files split over several
IDAT chunks, with a chunk after the image data, and with every filter type.

    /usr/bin/python3 fuzz/make_png_regressions.py [OUTDIR]
"""

import struct
import sys
import zlib
from pathlib import Path

WIDTH, HEIGHT = 5, 5


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def bad_crc(kind, data):
    c = chunk(kind, data)
    return c[:-1] + bytes([c[-1] ^ 1])


def sample(x, y, k, depth):
    v = (x * 53 + y * 97 + k * 31 + x * y * 7) % 256
    return v * 257 if depth == 16 else v


# colour type, depth, samples per pixel, chunks before IDAT
KINDS = {
    "rgba": (6, 8, 4, b""),
    "rgb": (2, 8, 3, b""),
    "grey-trns": (0, 8, 1, chunk(b"tRNS", struct.pack(">H", 53))),
    "rgba16": (6, 16, 4, b""),
    "indexed": (3, 8, 1, chunk(b"PLTE", bytes(range(48)))),  # 16 entries
}


def rows(colour, depth, channels, filters):
    out = bytearray()
    bpp = channels * depth // 8
    prior = bytearray(WIDTH * bpp)
    for y in range(HEIGHT):
        line = bytearray()
        for x in range(WIDTH):
            for k in range(channels):
                if colour == 3:
                    line.append((x + y * 3) % 16)
                elif depth == 16:
                    line += struct.pack(">H", sample(x, y, k, 16))
                else:
                    line.append(sample(x, y, k, 8))
        f = filters[y % len(filters)]
        raw = bytearray()
        for i, v in enumerate(line):
            a = line[i - bpp] if i >= bpp else 0
            b = prior[i]
            c = prior[i - bpp] if i >= bpp else 0
            if f == 1:
                p = a
            elif f == 2:
                p = b
            elif f == 3:
                p = (a + b) // 2
            elif f == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            else:
                p = 0
            raw.append((v - p) % 256)
        out.append(f)
        out += raw
        prior = line
    return bytes(out)


def png(colour, depth, before, idat_chunks, after=b"", iend=True):
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, colour, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + before + b"".join(idat_chunks) + after
    return data + (chunk(b"IEND", b"") if iend else b"")


def variants(colour, depth, channels, before):
    data = rows(colour, depth, channels, [4, 1, 2, 3, 0])
    stream = zlib.compress(data, 9)
    co = zlib.compressobj(9)
    unterminated = co.compress(data) + co.flush(zlib.Z_SYNC_FLUSH)
    yield "sound", png(colour, depth, before, [chunk(b"IDAT", stream)])
    yield "paeth-only", png(colour, depth, before,
                            [chunk(b"IDAT", zlib.compress(rows(colour, depth, channels, [4])))])
    yield "split", png(colour, depth, before,
                       [chunk(b"IDAT", stream[i:i + 7]) for i in range(0, len(stream), 7)])
    yield "text-after", png(colour, depth, before, [chunk(b"IDAT", stream)],
                            chunk(b"tEXt", b"Comment\0after the image"))
    yield "bad-idat-checksum", png(colour, depth, before, [bad_crc(b"IDAT", stream)])
    yield "no-iend", png(colour, depth, before, [chunk(b"IDAT", stream)], iend=False)
    yield "surplus", png(colour, depth, before, [chunk(b"IDAT", stream + b"\0\1\2\3")])
    yield "unterminated", png(colour, depth, before, [chunk(b"IDAT", unterminated)])
    yield "bad-adler", png(colour, depth, before,
                           [chunk(b"IDAT", stream[:-1] + bytes([stream[-1] ^ 1]))])
    yield "inflates-long", png(colour, depth, before,
                               [chunk(b"IDAT", zlib.compress(data + data[:WIDTH + 1]))])
    yield "inflates-short", png(colour, depth, before, [chunk(b"IDAT", zlib.compress(data[:-3]))])
    bad_filter = bytearray(data)
    bad_filter[len(data) // 2 - (len(data) // 2) % (len(data) // HEIGHT)] = 5
    yield "filter-5", png(colour, depth, before, [chunk(b"IDAT", zlib.compress(bytes(bad_filter)))])


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent / "regressions" / "png"
    out.mkdir(parents=True, exist_ok=True)
    for kind, (colour, depth, channels, before) in KINDS.items():
        for name, data in variants(colour, depth, channels, before):
            (out / f"{kind}-{name}.png").write_bytes(data)


main()

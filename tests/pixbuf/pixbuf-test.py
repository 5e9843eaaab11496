#!/usr/bin/python3
"""Korvale's gdk-pixbuf loader as a GTK application meets it: through a loader cache that names
it, loading textures that korvale-tool made, in every pixel type, as SRB and MIP files.

    pixbuf-test.py KORVALE_TOOL LOADER.so GDK_PIXBUF_QUERY_LOADERS MIME.xml

Each file's picture must be the very pixels `korvale-tool export` writes for it; a file is known
by its first bytes whatever it is called; a damaged file is an error, never a crash."""

import os
import subprocess
import sys
import tempfile

tool, loader, query, mime_xml = sys.argv[1:5]
work = tempfile.TemporaryDirectory()
# Debian's gdk-pixbuf picks a loader by the MIME type GIO finds for a file (its first bytes, then
# its name), not by the loader's own signature: the file types Korvale installs come first, as
# on a desktop with Korvale installed.
share = os.path.join(work.name, "share")
os.makedirs(os.path.join(share, "mime", "packages"))
with open(mime_xml, "rb") as f, open(os.path.join(share, "mime", "packages", "korvale.xml"), "wb") as out:
    out.write(f.read())
subprocess.run(["update-mime-database", os.path.join(share, "mime")], check=True,
               env=dict(os.environ, XDG_DATA_DIRS=share))
os.environ["XDG_DATA_DIRS"] = share + ":/usr/share"
os.environ["XDG_DATA_HOME"] = os.path.join(work.name, "home")
cache = os.path.join(work.name, "loaders.cache")
# Only our loader in the cache; PNG is built into gdk-pixbuf itself, so export's pictures load
# too. The cache must be in place before gdk-pixbuf first looks at it.
with open(cache, "w") as out:
    subprocess.run([query, loader], stdout=out, check=True)
os.environ["GDK_PIXBUF_MODULE_FILE"] = cache

import gi  # noqa: E402

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, GLib  # noqa: E402

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def path(name):
    return os.path.join(work.name, name)


def rgba(pixbuf):
    """The pixbuf's pixels as packed RGBA rows (a picture without alpha is opaque)."""
    w, h, stride = pixbuf.get_width(), pixbuf.get_height(), pixbuf.get_rowstride()
    channels = pixbuf.get_n_channels()
    data = pixbuf.get_pixels()
    out = bytearray()
    for y in range(h):
        row = data[y * stride:y * stride + w * channels]
        if channels == 4:
            out += row
        else:
            for x in range(w):
                out += row[3 * x:3 * x + 3] + b"\xff"
    return bytes(out)


def tool_run(*args):
    subprocess.run([tool, *args, "-q"], check=True)


# A 64 x 32 picture with colour running across and alpha down, so that every type keeps
# something of both; it is the top level of each texture.
width, height = 64, 32
pixels = bytearray()
for y in range(height):
    for x in range(width):
        pixels += bytes([x * 4, y * 8, 255 - x * 4, 255 - y * 8])
source = GdkPixbuf.Pixbuf.new_from_bytes(GLib.Bytes.new(bytes(pixels)), GdkPixbuf.Colorspace.RGB,
                                         True, 8, width, height, width * 4)
source.savev(path("source.png"), "png", [], [])

# The loader's format, as gdk-pixbuf lists it: its name, MIME types, file names and the first
# bytes that pick it where gdk-pixbuf is built to sniff by itself (the tags are stored
# little-endian: "SRB " on disk is " BRS").
formats = {f.get_name(): f for f in GdkPixbuf.Pixbuf.get_formats()}
check("korvale" in formats, "the loader is not among gdk-pixbuf's formats")
if "korvale" in formats:
    found = formats["korvale"]
    check(found.get_mime_types() == ["application/x-korvale-srb", "application/x-korvale-mip"],
          "MIME types %s" % found.get_mime_types())
    check(found.get_extensions() == ["srb", "mip"], "extensions %s" % found.get_extensions())
    check(not found.is_writable(), "the loader says it writes")
with open(cache) as text:
    lines = text.read().splitlines()
check('" BRS" "    " 100' in lines, "the cache does not pick SRB files by ' BRS'")
check('"PIM " "    " 100' in lines, "the cache does not pick MIP files by 'PIM '")

# Every pixel type, as a MIP and an SRB file, and pal4 with a palette per level too.
cases = [(str(t), "shared", kind) for t in range(6) for kind in ("mip", "srb")]
cases.append(("0", "per-level", "mip"))
for pixel_type, palette, kind in cases:
    what = "type %s (%s palette) %s" % (pixel_type, palette, kind)
    texture = path("t%s-%s.%s" % (pixel_type, palette, kind))
    exported = texture + ".png"
    options = ["--type", pixel_type] + (["--palette", palette] if pixel_type in "012" else [])
    tool_run("import", path("source.png"), texture, "-f", *options)
    tool_run("export", texture, exported, "-f")
    expected = GdkPixbuf.Pixbuf.new_from_file(exported)
    try:
        got = GdkPixbuf.Pixbuf.new_from_file(texture)
    except GLib.Error as e:
        check(False, "%s does not load: %s" % (what, e.message))
        continue
    check((got.get_width(), got.get_height()) == (64, 32),
          "%s is %d x %d" % (what, got.get_width(), got.get_height()))
    check(got.get_has_alpha(), "%s has no alpha" % what)
    check(rgba(got) == rgba(expected), "%s: pixels differ from export's" % what)

    # Fed in pieces of 7 bytes, as a viewer reading a stream feeds a GdkPixbufLoader.
    with open(texture, "rb") as f:
        data = f.read()
    pieces = GdkPixbuf.PixbufLoader()
    for at in range(0, len(data), 7):
        pieces.write(data[at:at + 7])
    pieces.close()
    check(rgba(pieces.get_pixbuf()) == rgba(expected), "%s in pieces: pixels differ" % what)

# Known by its first bytes alone: a renamed file still gives its size and its format.
for kind in ("mip", "srb"):
    renamed = path("renamed-%s.dat" % kind)
    with open(path("t4-shared.%s" % kind), "rb") as f, open(renamed, "wb") as out:
        out.write(f.read())
    info = GdkPixbuf.Pixbuf.get_file_info(renamed)
    check(info[0] is not None and info[0].get_name() == "korvale",
          "a renamed %s file is not known by its first bytes" % kind)
    check(info[1:] == (64, 32), "a renamed %s file gives the size %s" % (kind, info[1:]))

# Damaged files: each gives an error with a reason, and the process goes on.
with open(path("t5-shared.mip"), "rb") as f:
    good = f.read()
damaged = {
    "empty.mip": b"",
    "tag-only.mip": b"PIM ",
    "cut-in-header.mip": good[:20],
    "cut-before-levels.mip": good[:44],
    "srb-header-only.srb": b" BRS" + bytes(4) + (84).to_bytes(4, "little") + b"DHRS",
    # The header's exponents (after miptype, at byte 24) ask for levels of 2^30 pixels a
    # side, more than any slot holds.
    "huge.mip": good[:25] + (30).to_bytes(4, "little") * 2 + good[33:],
    "noise.mip": b"PIM " + bytes(range(256)) * 4,
}
for name, data in damaged.items():
    with open(path(name), "wb") as out:
        out.write(data)
    try:
        GdkPixbuf.Pixbuf.new_from_file(path(name))
        check(False, "%s loaded" % name)
    except GLib.Error as e:
        check(e.message != "", "%s fails without a reason" % name)
        print("%s: %s" % (name, e.message))

print("pixbuf-test: %d of the checks failed" % len(failures))
sys.exit(1 if failures else 0)

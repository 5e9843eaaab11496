#!/usr/bin/python3
"""Korvale's GIMP plug-in in the real GIMP 2.10, headless: gimp-console runs one Script-Fu batch
over textures that korvale-tool made, in every pixel type, as SRB and MIP files.

    gimp-test.py KORVALE_TOOL PLUG-IN GIMP-CONSOLE GIMP-LIBDIR GIMP-DATADIR

For each file: the image GIMP opens has the texture's size, a layer per level and (for a set
sharing one palette) that palette as its colour map; exported without a change it is the same
file, byte for byte (an SRB file's companion too); with two pixels of its top layer changed,
`korvale-tool compare` finds exactly those two changed and every other level untouched. A file cut
short opens with the levels that loaded and GIMP's message names the damage. The thumbnail
procedure gives a level that fits the size asked for; the load procedure's top-only parameter
opens the top level alone; values and a size given to the export replace the texture's.

The plug-in runs from a GIMP folder of its own (GIMP2_DIRECTORY, HOME), as a user's installed
plug-in does; only Script-Fu and the plug-in are on its plug-in path, so GIMP starts quickly."""

import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

tool, plugin, gimp, gimp_libdir, gimp_datadir = sys.argv[1:6]
work = tempfile.TemporaryDirectory()
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def path(*names):
    return os.path.join(work.name, *names)


def tool_run(*args, check_status=True):
    return subprocess.run([tool, *args], check=check_status, capture_output=True, text=True)


# GIMP's own folder for this run: the plug-in installed in it, Script-Fu beside it.
gimpdir = path("gimp")
for folder in ("plug-ins/korvale", "scripts", "brushes", "gradients", "patterns", "palettes"):
    os.makedirs(os.path.join(gimpdir, folder))
installed = os.path.join(gimpdir, "plug-ins", "korvale", "korvale")
with open(plugin, "rb") as f, open(installed, "wb") as out:
    out.write(f.read())
os.chmod(installed, 0o755)
os.symlink(os.path.join(gimp_libdir, "plug-ins", "script-fu"),
           os.path.join(gimpdir, "plug-ins", "script-fu"))
for init in ("script-fu.init", "script-fu-compat.init"):
    os.symlink(os.path.join(gimp_datadir, "scripts", init), os.path.join(gimpdir, "scripts", init))
with open(os.path.join(gimpdir, "gimprc"), "w") as rc:
    rc.write('(plug-in-path "%s")\n(script-fu-path "%s")\n'
             % (os.path.join(gimpdir, "plug-ins"), os.path.join(gimpdir, "scripts")))
os.makedirs(path("home"))
for folder in ("same", "edited"):
    os.makedirs(path(folder))


def png(name, width, height, pixel):
    """An RGBA PNG written by hand, pixel(x, y) giving each pixel's four bytes."""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))
                    for y in range(height))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    with open(path(name), "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# 64 x 32, colour across and alpha down, so every pixel type keeps something of both: levels
# of 64 x 32 down to 1 x 1, seven in all.
png("source.png", 64, 32, lambda x, y: (x * 4, y * 8, 255 - x * 4, 255 - y * 8))
LEVELS = 7

# Every pixel type once, MIP and SRB files in turn (each GIMP call of the plug-in is a process
# of its own, slow to start): the palettised ones share a palette (an indexed image) but for one
# with a palette per level (an RGB image). The SRB files carry values that are not round in
# binary and a size other than the default.
cases = [("0", "shared", "mip"), ("1", "shared", "srb"), ("2", "per-level", "mip"),
         ("3", "", "srb"), ("4", "", "mip"), ("5", "", "srb")]
files = {}
for pixel_type, palette, kind in cases:
    name = "t%s%s.%s" % (pixel_type, "-" + palette if palette else "", kind)
    options = ["--type", pixel_type] + (["--palette", palette] if pixel_type in "012" else [])
    if kind == "srb":
        options += ["--values", "0.1,2.5,3.3,4,0.7,6", "--size", "2.7"]
    tool_run("import", path("source.png"), path(name), "-f", "-q", *options)
    files[name] = (pixel_type in "012" and palette == "shared", kind)

# Cut short in the third level: a type-3 MIP file has a 44-byte header and no palette, its 64 x
# 32 level takes 52 + 128 x 32 bytes and its 32 x 16 one 52 + 64 x 16, so the first two load.
tool_run("import", path("source.png"), path("t3.mip"), "-f", "-q", "--type", "3")
with open(path("t3.mip"), "rb") as f:
    whole = f.read()
with open(path("cut.mip"), "wb") as out:
    out.write(whole[:44 + 4148 + 1076 + 100])


def scheme_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def batch_for(name, kind):
    """One Script-Fu command for one file: open, report, export unchanged, edit, export."""
    save = "file-korvale-%s-save" % kind
    same = scheme_string(path("same", name))
    edited = scheme_string(path("edited", name))
    source = scheme_string(path(name))
    return """
(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE {source} {source})))
       (layers (gimp-image-get-layers image))
       (top (vector-ref (cadr layers) 0))
       (far (gimp-drawable-get-pixel top 63 31)))
  (gimp-message (string-append "KORVALE {name}"
                               " " (number->string (car (gimp-image-width image)))
                               " " (number->string (car (gimp-image-height image)))
                               " " (number->string (car layers))
                               " " (number->string (car (gimp-image-base-type image)))
                               " " (number->string (car (gimp-image-get-colormap image)))))
  ({save} RUN-NONINTERACTIVE image top {same} {same} "" "" FALSE FALSE "" 0 0 "" "")
  (gimp-drawable-set-pixel top 0 0 (car far) (cadr far))
  (gimp-drawable-set-pixel top 1 0 (car far) (cadr far))
  ({save} RUN-NONINTERACTIVE image top {edited} {edited} "" "" FALSE FALSE "" 0 0 "" "")
  (gimp-image-delete image))
""".format(source=source, name=name, save=save, same=same, edited=edited)


def open_report(label, load):
    """A Script-Fu command that opens an image by load and reports its size and layer count."""
    return """
(let* ((image (car {load})))
  (gimp-message (string-append "KORVALE {label}"
                               " " (number->string (car (gimp-image-width image)))
                               " " (number->string (car (gimp-image-height image)))
                               " " (number->string (car (gimp-image-get-layers image)))))
  (gimp-image-delete image))
""".format(label=label, load=load)


commands = [batch_for(name, kind) for name, (_, kind) in files.items()]
cut = scheme_string(path("cut.mip"))
commands.append(open_report("cut.mip", "(gimp-file-load RUN-NONINTERACTIVE {0} {0})".format(cut)))
# GIMP's open dialog asks the thumbnail procedure for at most 32 x 32: the 64 x 32 texture gives
# its 32 x 16 level, and says its own size.
thumbed = scheme_string(path("t1-shared.srb"))
commands.append("""
(let* ((thumb (file-korvale-load-thumb {thumbed} 32)))
  (gimp-message (string-append "KORVALE thumbnail"
                               " " (number->string (car (gimp-image-width (car thumb))))
                               " " (number->string (car (gimp-image-height (car thumb))))
                               " " (number->string (cadr thumb))
                               " " (number->string (caddr thumb)))))
""".format(thumbed=thumbed))
# Only the top level, by the load procedure's own parameter: one layer.
top = scheme_string(path("t0-shared.mip"))
commands.append(open_report("top-only",
                            "(file-korvale-mip-load RUN-NONINTERACTIVE {0} {0} TRUE)".format(top)))
# The values and size given to the export replace the texture's.
valued = scheme_string(path("t5.srb"))
revalued = scheme_string(path("edited", "values.srb"))
commands.append("""
(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE {valued} {valued})))
       (top (car (gimp-image-get-active-drawable image))))
  (file-korvale-srb-save RUN-NONINTERACTIVE image top {revalued} {revalued} "" "" FALSE FALSE ""
                         0 0 "1,-2,3.5,4,5,100000" "3.25")
  (gimp-image-delete image))
""".format(valued=valued, revalued=revalued))
arguments = [gimp, "-i", "-d", "-f", "--no-splash"]
for command in commands + ["(gimp-quit 0)"]:
    arguments += ["-b", command]
env = dict(os.environ, HOME=path("home"), GIMP2_DIRECTORY=gimpdir, LC_ALL="C.UTF-8")
env.pop("DISPLAY", None)
run = subprocess.run(arguments, env=env, capture_output=True, text=True, timeout=100)
output = run.stdout + run.stderr
print(output)
reports = {}
for line in output.splitlines():
    found = re.search(r"KORVALE (\S+) (.*)", line)
    if found:
        reports[found.group(1)] = [int(n) for n in found.group(2).split()]


def read(*names):
    try:
        with open(path(*names), "rb") as f:
            return f.read()
    except OSError:
        return None


for name, (indexed, kind) in files.items():
    # Width, height, layers, base type (2 indexed, 0 RGB), colour-map bytes (16 entries of 3).
    expected = [64, 32, LEVELS, 2, 48] if indexed else [64, 32, LEVELS, 0, 0]
    check(reports.get(name) == expected, "%s opens as %s, not %s" % (name, reports.get(name), expected))
    check(read("same", name) is not None and read("same", name) == read(name),
          "%s exported unchanged is not the same file" % name)
    if kind == "srb":
        companion = name[:-4] + ".yrq"
        check(read("same", companion) is not None and read("same", companion) == read(companion),
              "%s: the companion (its size) does not come back the same" % name)
        check(read("same", name) is not None and read("same", name)[24:48] == read(name)[24:48],
              "%s: the six values do not come back bit for bit" % name)
    compared = tool_run("compare", path(name), path("edited", name), check_status=False)
    lines = compared.stdout.splitlines()
    check(len(lines) == LEVELS, "%s edited: compare says %s" % (name, compared.stdout + compared.stderr))
    if len(lines) == LEVELS:
        check(lines[0].startswith("slot 6: 64 x 32") and lines[0].endswith(", 2 of 2048 pixels differ"),
              "%s edited: the top level is not changed in exactly two pixels: %s" % (name, lines[0]))
        check(all(line.endswith("largest difference 0") for line in lines[1:]),
              "%s edited: a level below the top changed: %s" % (name, lines[1:]))

check(reports.get("thumbnail") == [32, 16, 64, 32],
      "the thumbnail procedure gives %s, not a 32 x 16 image of a 64 x 32 texture"
      % reports.get("thumbnail"))
check(reports.get("top-only") == [64, 32, 1],
      "opened with only the top level: %s, not 64 x 32 with 1 layer" % reports.get("top-only"))
revalued = read("edited", "values.srb")
check(revalued is not None and struct.unpack("<6f", revalued[24:48]) == (1, -2, 3.5, 4, 5, 100000),
      "the values given to the export are not the file's: %s"
      % (revalued and struct.unpack("<6f", revalued[24:48]),))
info = tool_run("info", path("edited", "values.srb"), check_status=False).stdout
check(re.search(r"\b3\.25\b", info) is not None, "the size given to the export is not the file's:\n" + info)
check(reports.get("cut.mip") == [64, 32, 2], "the cut file opens as %s, not 64 x 32 with 2 layers"
      % reports.get("cut.mip"))
check(re.search(r"cut\.mip is damaged; what loaded is shown", output) is not None,
      "GIMP's message does not name the damage of the cut file")

print("gimp-test: %d of the checks failed" % len(failures))
sys.exit(1 if failures else 0)

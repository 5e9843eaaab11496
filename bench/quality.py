#!/usr/bin/python3
"""Quality and speed of `korvale-tool import` against the peer pipelines a user would chain.

Every pipeline turns a PNG into a mip chain of 8-bit PNG levels, and each chain is scored
against one float reference made here in numpy: sRGB decoded to linear light, alpha
premultiplied, an exact area average to the top size, then 2x2 averages down to 1x1.

    /usr/bin/python3 bench/quality.py [--tool PATH] [--parts quality,speed,gradient]

Needs Debian's python3-numpy, python3-pil, imagemagick and pngquant, and the
packages named in bench/quality-images.txt. The report (Markdown) goes to standard output and
to WORK/report.md; raw figures to WORK/results.json.
"""

import argparse
import json
import math
import multiprocessing
import os
import re
import resource
import shutil
import subprocess
import sys
import time
from pathlib import Path

MISSING = []
try:
    import numpy as np
except ImportError:
    MISSING.append("python3-numpy")
try:
    from PIL import Image, features
except ImportError:
    MISSING.append("python3-pil")

REPO = Path(__file__).resolve().parent.parent
MAX_TOP = 256
CAP_DB = 99.0  # shown as a number where an error is exactly zero, so differences stay finite

# Bits per channel, red, green, blue, alpha; 0 alpha bits: the type has no alpha.
SIXTEEN_BIT = {"rgb565": (5, 6, 5, 0), "argb1555": (5, 5, 5, 1), "argb4444": (4, 4, 4, 4)}
# ImageMagick's ordered dither: levels for red, green, blue, and for alpha (None: no alpha).
ORDERED = {"rgb565": ("o8x8,32,64,32", None), "argb1555": ("o8x8,32,32,32", "o8x8,2"),
           "argb4444": ("o8x8,16,16,16", "o8x8,16")}


def run(cmd, **kw):
    """Runs a command given as a list; a failure stops the measurement with its output."""
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kw)
    if p.returncode != 0:
        shown = " ".join(map(str, cmd))
        shown = shown if len(shown) < 600 else shown[:600] + " ..."
        raise RuntimeError(f"{shown} exited {p.returncode}:\n{p.stdout[-3000:]}{p.stderr[-3000:]}")
    return p.stdout


def check_tools():
    missing = list(MISSING)
    for prog, pkg in (("convert", "imagemagick"), ("pngquant", "pngquant")):
        if not shutil.which(prog) or not Path("/usr/bin", prog).exists():
            missing.append(pkg)
    if missing:
        sys.exit("missing: " + ", ".join(missing) + "\ninstall with: apt-get install -y " +
                 " ".join(missing))


def tool_has_import(tool):
    try:
        p = subprocess.run([tool, "--help"], capture_output=True, text=True, timeout=20)
    except OSError:
        return False
    text = p.stdout + p.stderr
    return re.search(r"\bimport\b", text) is not None and re.search(r"\bexport\b", text) is not None


# ---------------------------------------------------------------------------------------------
# Corpus


def read_image_list(path):
    entries = []
    for line in Path(path).read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            name, package, src = line.split()
            entries.append((name, package, src))
    return entries


def prepare_sources(entries, work):
    """Each picture as an 8-bit RGBA PNG in WORK/src, opaque ones too: ImageMagick 6.9 leaves
    the alpha of an RGB picture undefined when it writes PNG32, and once in a while writes a
    transparent pixel. JPEG photographs go through ImageMagick first, as a user would convert
    them."""
    missing = sorted({pkg for _, pkg, src in entries if not Path(src).exists()})
    if missing:
        sys.exit("test pictures missing; install with: apt-get install -y --no-install-recommends "
                 + " ".join(missing))
    out = work / "src"
    out.mkdir(parents=True, exist_ok=True)
    sources = {}
    for name, package, src in entries:
        dst = out / f"{name}.png"
        if not dst.exists():
            tmp = out / f"{name}.tmp.png"
            if src.lower().endswith((".jpg", ".jpeg")):
                run(["/usr/bin/convert", src, f"PNG24:{tmp}"])
                im = Image.open(tmp)
            else:
                im = Image.open(src)
            Image.fromarray(np.asarray(im.convert("RGBA")), "RGBA").save(dst)
            tmp.unlink(missing_ok=True)
        sources[name] = (dst, package, src)
    return sources


# ---------------------------------------------------------------------------------------------
# Reference chain


def srgb_to_linear(c):
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def linear_to_srgb(c):
    c = np.clip(c, 0.0, 1.0)
    return np.where(c <= 0.0031308, c * 12.92, 1.055 * np.power(c, 1 / 2.4) - 0.055)


def top_size(w, h):
    tw, th = 1 << round(math.log2(w)), 1 << round(math.log2(h))
    while max(tw, th) > MAX_TOP:
        tw, th = max(1, tw // 2), max(1, th // 2)
    return tw, th


def chain_sizes(tw, th):
    sizes = [(tw, th)]
    while sizes[-1] != (1, 1):
        w, h = sizes[-1]
        sizes.append((max(1, w // 2), max(1, h // 2)))
    return sizes


def area_axis(img, n, axis):
    """Exact area average along one axis to n samples: the integral of the piecewise-constant
    signal, read at the fractional target edges, differenced."""
    m = img.shape[axis]
    csum = np.cumsum(img, axis=axis)
    zero = np.zeros_like(np.take(csum, [0], axis=axis))
    s = np.concatenate([zero, csum], axis=axis)
    edges = np.arange(n + 1) * (m / n)
    i = np.clip(np.floor(edges).astype(int), 0, m - 1)
    f = edges - i
    shape = [1] * img.ndim
    shape[axis] = n + 1
    f = f.reshape(shape)
    at = np.take(s, i, axis=axis) + f * (np.take(s, i + 1, axis=axis) - np.take(s, i, axis=axis))
    return np.diff(at, axis=axis) * (n / m)


def half(img):
    h, w, c = img.shape
    if w > 1 and h > 1:
        return img.reshape(h // 2, 2, w // 2, 2, c).mean(axis=(1, 3))
    if w > 1:
        return img.reshape(h, w // 2, 2, c).mean(axis=2)
    return img.reshape(h // 2, 2, w, c).mean(axis=1)


def reference_chain(rgba8):
    """Straight sRGB levels, float 0..255, from an 8-bit RGBA picture."""
    x = rgba8.astype(np.float64) / 255.0
    a = x[..., 3:4]
    pre = np.concatenate([srgb_to_linear(x[..., :3]) * a, a], axis=-1)
    h, w = rgba8.shape[:2]
    tw, th = top_size(w, h)
    level = area_axis(area_axis(pre, tw, 1), th, 0)
    levels = [level]
    while level.shape[:2] != (1, 1):
        level = half(level)
        levels.append(level)
    out = []
    for lv in levels:
        a = lv[..., 3:4]
        colour = np.divide(lv[..., :3], a, out=np.zeros_like(lv[..., :3]), where=a > 0)
        out.append(np.concatenate([linear_to_srgb(colour) * 255.0, a * 255.0], axis=-1))
    return out


# ---------------------------------------------------------------------------------------------
# Scores


def lowpass(x):
    """[1 2 1] x [1 2 1] / 16 with clamped edges."""
    pad = ((1, 1), (1, 1)) + ((0, 0),) * (x.ndim - 2)
    p = np.pad(x, pad, mode="edge")
    r = (p[:, :-2] + 2 * p[:, 1:-1] + p[:, 2:]) / 4
    return (r[:-2] + 2 * r[1:-1] + r[2:]) / 4


def psnr(se, weight):
    if weight <= 0:
        return float("nan")
    mse = se / weight
    return CAP_DB if mse <= 255.0**2 * 10 ** (-CAP_DB / 10) else 10 * math.log10(255.0**2 / mse)


def score(ref, out, has_alpha=True):
    """Colour PSNR weighted by reference alpha, alpha PSNR, and both after the low-pass of the
    error; with alpha, also the PSNR of premultiplied colour (the error composited over black),
    to show which weighting a quantiser favours. The colour error is low-passed as a weighted
    mean over the pixels that show (a normalised convolution), so colour under fully
    transparent pixels does not leak in."""
    sc = sw = sa = na = lsc = lsa = sp = 0.0
    for r, o in zip(ref, out):
        pe = o[..., :3] * (o[..., 3:4] / 255.0) - r[..., :3] * (r[..., 3:4] / 255.0)
        sp += float((pe * pe).sum())
        wgt = r[..., 3] / 255.0
        e = o[..., :3] - r[..., :3]
        sc += float((wgt[..., None] * e * e).sum())
        sw += 3 * float(wgt.sum())
        lw = lowpass(wgt)
        le = np.divide(lowpass(wgt[..., None] * e), lw[..., None],
                       out=np.zeros_like(e), where=lw[..., None] > 0)
        lsc += float((wgt[..., None] * le * le).sum())
        ea = o[..., 3] - r[..., 3]
        sa += float((ea * ea).sum())
        na += ea.size
        la = lowpass(ea)
        lsa += float((la * la).sum())
    res = {"c": psnr(sc, sw), "lc": psnr(lsc, sw)}
    if has_alpha:
        res.update({"a": psnr(sa, na), "la": psnr(lsa, na), "pc": psnr(sp, 3 * na)})
    return res


# ---------------------------------------------------------------------------------------------
# Pipelines


def load_rgba(path):
    return np.asarray(Image.open(path).convert("RGBA")).astype(np.float64)


def save_rgba(arr, path):
    arr = np.asarray(arr, dtype=np.uint8)
    if (arr[..., 3] == 255).all():
        Image.fromarray(arr[..., :3].copy(), "RGB").save(path)
    else:
        Image.fromarray(arr, "RGBA").save(path)


# ImageMagick 6.9 (Q16) truncates to 8 bits when it picks the PNG flavour itself (a level comes
# out 0.5 darker on average, 24 where 24.7 is meant); "PNG32:" rounds.
def imagemagick_chain(src, sizes, d):
    paths = []
    for w, h in sizes:
        p = d / f"im-{w}x{h}.png"
        run(["/usr/bin/convert", str(src), "-colorspace", "RGB", "-scale", f"{w}x{h}!",
             "-colorspace", "sRGB", f"PNG32:{p}"])
        paths.append(p)
    return paths


def sheet_layout(sizes):
    """Top level at the left of the first row, the others side by side in a row under it."""
    tw, th = sizes[0]
    pos, x = [(0, 0)], 0
    for w, h in sizes[1:]:
        pos.append((x, th))
        x += w
    sw = max(tw, x)
    sh = th + (sizes[1][1] if len(sizes) > 1 else 0)
    return pos, sw, sh


def make_sheet(levels):
    """All levels on one sheet. The gaps hold copies of the top level rather than a fill
    colour, so the quantiser sees no colour that the chain does not have."""
    sizes = [(lv.shape[1], lv.shape[0]) for lv in levels]
    pos, sw, sh = sheet_layout(sizes)
    top = levels[0]
    reps = (-(-sh // top.shape[0]), -(-sw // top.shape[1]), 1)
    sheet = np.tile(top, reps)[:sh, :sw].copy()
    for lv, (x, y) in zip(levels, pos):
        sheet[y:y + lv.shape[0], x:x + lv.shape[1]] = lv
    return sheet, pos


def cut_sheet(sheet, pos, sizes):
    return [sheet[y:y + h, x:x + w] for (x, y), (w, h) in zip(pos, sizes)]


def pngquant(src, dst, dither):
    cmd = ["/usr/bin/pngquant", "--speed", "1", "--force", "--output", str(dst)]
    if not dither:
        cmd.append("--nofs")
    run(cmd + ["16", "--", str(src)])
    return load_rgba(dst)


PIL_METHODS = {"mc": "MEDIANCUT", "oct": "FASTOCTREE", "liq": "LIBIMAGEQUANT"}


def pillow_quantise(arr8, method, dither):
    """Image.quantize to 16 colours. Opaque pictures go in as RGB (median cut takes nothing
    else). Pillow's quantize ignores `dither` and libimagequant always dithers; Floyd-Steinberg
    is reached by remapping an RGB picture to the palette found, which Pillow cannot do for
    RGBA: None there."""
    opaque = bool((arr8[..., 3] == 255).all())
    if method == "mc" and not opaque:
        return None
    if method == "liq" and not features.check_feature("libimagequant"):
        return None
    if dither and (method == "liq" or not opaque):
        return None
    im = Image.fromarray(arr8[..., :3].copy(), "RGB") if opaque else Image.fromarray(arr8, "RGBA")
    q = im.quantize(16, method=getattr(Image.Quantize, PIL_METHODS[method]),
                    dither=Image.Dither.NONE)
    if dither:
        pal = q.getpalette()[:48]
        pal += pal[:3] * (256 - len(pal) // 3)  # unused entries repeat a used colour
        pimg = Image.new("P", (1, 1))
        pimg.putpalette(pal)
        q = im.quantize(palette=pimg, dither=Image.Dither.FLOYDSTEINBERG)
    return np.asarray(q.convert("RGBA")).astype(np.float64)


def display(q, bits):
    return np.floor(q * 255.0 / ((1 << bits) - 1) + 0.5)


def nearest_codes(level, bits):
    """Each channel to the nearest n-bit code, shown at full scale: the best a 16-bit level can
    do without dithering."""
    out = np.empty_like(level)
    for c, b in enumerate(bits):
        if b == 0:
            out[..., c] = 255.0
        else:
            m = (1 << b) - 1
            out[..., c] = display(np.clip(np.floor(level[..., c] * m / 255.0 + 0.5), 0, m), b)
    return out


def floyd_steinberg(level, bits):
    """Floyd-Steinberg to the n-bit grid with Pillow's kernel and scan order (left to right,
    top to bottom, error leaving the picture dropped). Pixels on one anti-diagonal x + 2y = t
    depend on none of each other, so each such line is one vector step."""
    h, w, c = level.shape
    m = np.array([(1 << b) - 1 if b else 1 for b in bits], dtype=np.float64)
    acc = np.zeros((h + 1, w + 2, c))
    out = np.empty_like(level)
    for t in range(w + 2 * (h - 1)):
        y0, y1 = max(0, -((w - 1 - t) // 2)), min(h - 1, t // 2)
        if y0 > y1:
            continue
        ys = np.arange(y0, y1 + 1)
        xs = t - 2 * ys
        v = level[ys, xs] + acc[ys, xs + 1]
        q = np.clip(np.floor(v * m / 255.0 + 0.5), 0, m)
        d = np.floor(q * 255.0 / m + 0.5)
        e = v - d
        out[ys, xs] = d
        np.add.at(acc, (ys, xs + 2), e * (7 / 16))
        np.add.at(acc, (ys + 1, xs), e * (3 / 16))
        np.add.at(acc, (ys + 1, xs + 1), e * (5 / 16))
        np.add.at(acc, (ys + 1, xs + 2), e * (1 / 16))
    for ch, b in enumerate(bits):
        if b == 0:
            out[..., ch] = 255.0
    return out


def ordered_dither(paths, kind, d):
    """ImageMagick 6.9's -channel RGBA -ordered-dither quantises alpha wrongly beyond two levels
    (sixteen give only 238 and 255), so alpha is dithered as a grey picture of its own."""
    colour, alpha = ORDERED[kind]
    out = []
    for p in paths:
        dst = d / f"o8-{kind}-{p.name}"
        run(["/usr/bin/convert", str(p), "-channel", "RGB", "-ordered-dither", colour,
             f"PNG32:{dst}"])
        lv = load_rgba(dst)
        if alpha:
            adst = d / f"o8a-{kind}-{p.name}"
            run(["/usr/bin/convert", str(p), "-alpha", "extract", "-ordered-dither", alpha,
                 f"PNG32:{adst}"])
            lv[..., 3] = np.asarray(Image.open(adst).convert("L"))
        out.append(lv)
    return out


def ours(tool, src, d, tag, sizes, args):
    mip = d / f"{tag}.mip"
    run([tool, "import", str(src), str(mip)] + args)
    outdir = d / f"export-{tag}"
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir()
    run([tool, "export", str(mip), "--all", str(outdir)])
    found = {}
    for p in outdir.glob("*.png"):
        m = re.search(r"-(\d+)x(\d+)\.png$", p.name)
        if m:
            found[(int(m.group(1)), int(m.group(2)))] = p
    if set(found) != set(sizes):
        raise RuntimeError(f"{tag}: exported levels {sorted(found)}, expected {sizes}")
    return [load_rgba(found[s]) for s in sizes]


def colour_count(levels):
    u = np.unique(np.concatenate([lv.reshape(-1, 4) for lv in levels]).astype(np.uint8)
                  .view(np.uint32))
    return len(u)


def off_grid(levels, bits):
    """Samples that no n-bit code shows."""
    bad = 0
    for c, b in enumerate(bits):
        if b == 0:
            continue
        grid = display(np.arange(1 << b), b)
        for lv in levels:
            bad += int((~np.isin(lv[..., c], grid)).sum())
    return bad


def exact_diff(ref_levels, out_levels, kind):
    """Samples of ours that differ from the nearest codes; colour counted where the reference
    shows any coverage, alpha everywhere. A reference value within 1e-5 of a code and a half
    is a tie (the double-precision reference cannot say which side float arithmetic lands on):
    either neighbour counts as nearest, and ties are counted apart."""
    bits = SIXTEEN_BIT[kind]
    bad = total = ties = 0
    worst = 0.0
    worst_at = ""
    for r, o in zip(ref_levels, out_levels):
        mask = r[..., 3] > 0
        for c in range(4 if bits[3] else 3):
            m = (1 << bits[c]) - 1
            sel = mask if c < 3 else np.ones_like(mask)
            pos = r[..., c][sel] * m / 255.0
            got = o[..., c][sel]
            low = np.clip(np.floor(pos), 0, m)
            near = display(np.clip(np.floor(pos + 0.5), 0, m), bits[c])
            tie = np.abs(pos - low - 0.5) < 1e-5
            ok = (got == near) | (tie & ((got == display(low, bits[c])) |
                                         (got == display(np.minimum(low + 1, m), bits[c]))))
            ties += int((tie & (got != near) & ok).sum())
            diff = np.where(ok, 0.0, np.abs(got - near))
            bad += int((~ok).sum())
            total += int(sel.sum())
            if diff.size and diff.max() > worst:
                worst = float(diff.max())
                worst_at = f"{r.shape[1]}x{r.shape[0]} {'RGBA'[c]}"
    return {"bad": bad, "total": total, "ties": ties, "worst": worst, "at": worst_at}


def measure_image(job):
    name, src, work, tool, have_ours = job
    t0 = time.time()
    d = work / "img" / name
    shutil.rmtree(d, ignore_errors=True)
    d.mkdir(parents=True)
    src8 = np.asarray(Image.open(src).convert("RGBA"))
    h, w = src8.shape[:2]
    has_alpha = bool((src8[..., 3] < 255).any())
    ref = reference_chain(src8)
    sizes = [(lv.shape[1], lv.shape[0]) for lv in ref]
    info = {"name": name, "size": f"{w}x{h}", "top": f"{sizes[0][0]}x{sizes[0][1]}",
            "levels": len(sizes), "alpha": has_alpha,
            "colours": int(len(np.unique(src8.reshape(-1, 4).view(np.uint32))))}
    res, checks = {}, {}

    per_level = {}

    def put(key, levels, alpha=has_alpha):
        if levels is not None:
            res[key] = score(ref, levels, alpha)
            if key.startswith(("ours/", "pq/")):
                per_level[key] = [score([r], [lv], alpha) for r, lv in zip(ref, levels)]

    put("ref8", [np.floor(r + 0.5) for r in ref])

    # ImageMagick chain, then the quantisers on a sheet (shared palette) and per level.
    im_paths = imagemagick_chain(src, sizes, d)
    im_levels = [load_rgba(p) for p in im_paths]
    put("im8", im_levels)
    sheet, pos = make_sheet([lv.astype(np.uint8) for lv in im_levels])
    sheet_png = d / "sheet.png"
    save_rgba(sheet, sheet_png)
    for dither, tag in ((False, ""), (True, "+d")):
        q = pngquant(sheet_png, d / f"sheet-pq{tag}.png", dither)
        put(f"pq/sheet{tag}", cut_sheet(q, pos, sizes))
        put(f"pq/level{tag}", [pngquant(p, d / f"pq{tag}-{p.name}", dither) for p in im_paths])
        for m in PIL_METHODS:
            qs = pillow_quantise(sheet, m, dither)
            put(f"pil-{m}/sheet{tag}", None if qs is None else cut_sheet(qs, pos, sizes))
            ql = [pillow_quantise(lv.astype(np.uint8), m, dither) for lv in im_levels]
            put(f"pil-{m}/level{tag}", None if any(x is None for x in ql) else ql)

    # 16-bit: nearest codes and Floyd-Steinberg on the reference, ordered dither on
    # ImageMagick's chain.
    for kind, bits in SIXTEEN_BIT.items():
        alpha = has_alpha and bits[3] > 0
        put(f"{kind}/ceil", [nearest_codes(r, bits) for r in ref], alpha)
        put(f"{kind}/fs", [floyd_steinberg(r, bits) for r in ref], alpha)
        o8 = ordered_dither(im_paths, kind, d)
        put(f"{kind}/o8", o8, alpha)
        checks[f"peer-offgrid/{kind}"] = off_grid(o8, bits) + off_grid(
            [nearest_codes(r, bits) for r in ref], bits)

    if have_ours:
        mine = {}
        for tag, args in (("shared", ["--type", "pal4", "--palette", "shared"]),
                          ("shared+d", ["--type", "pal4", "--palette", "shared", "--dither"]),
                          ("level", ["--type", "pal4", "--palette", "per-level"]),
                          ("level+d", ["--type", "pal4", "--palette", "per-level", "--dither"])):
            lv = ours(tool, src, d, tag.replace("+", "-"), sizes, args)
            mine[tag] = lv
            put(f"ours/{tag}", lv)
            checks[f"colours/{tag}"] = (colour_count(lv) if tag.startswith("shared")
                                        else max(colour_count([x]) for x in lv))
        for kind, bits in SIXTEEN_BIT.items():
            alpha = has_alpha and bits[3] > 0
            for dither in (False, True):
                tag = f"{kind}{'+d' if dither else ''}"
                lv = ours(tool, src, d, tag.replace("+", "-"), sizes,
                          ["--type", kind] + (["--dither"] if dither else []))
                mine[tag] = lv
                put(f"{kind}/ours{'+d' if dither else ''}", lv, alpha)
                checks[f"offgrid/{tag}"] = off_grid(lv, bits)
                if not dither:
                    checks[f"exact/{kind}"] = exact_diff(ref, lv, kind)
        # Levels of 1024 pixels and more that --dither left exactly as they were without it.
        undithered = set()
        for tag in ("shared", "level") + tuple(SIXTEEN_BIT):
            for a, b, (w, h) in zip(mine[tag], mine[tag + "+d"], sizes):
                if w * h >= 1024 and np.array_equal(a, b):
                    undithered.add(f"{w}x{h}")
        checks["undithered"] = sorted(undithered, key=lambda s: -int(s.split("x")[0]))
    info["seconds"] = round(time.time() - t0, 1)
    return {"info": info, "res": res, "checks": checks, "levels": per_level, "sizes": sizes}


# ---------------------------------------------------------------------------------------------
# Report


def fmt(x):
    if x is None or (isinstance(x, float) and math.isnan(x)):
        return "–"
    if x >= CAP_DB:
        return "∞"
    return f"{x:.2f}"


def fmt_diff(x):
    if x is None or (isinstance(x, float) and math.isnan(x)):
        return "–"
    return f"{x:+.2f}"


def get(r, key, field):
    v = r["res"].get(key, {}).get(field)
    return None if v is None or (isinstance(v, float) and math.isnan(v)) else v


def finite(v):
    return v is not None and v < CAP_DB


def paired(results, ours_key, peer_key, field, alpha_only=False):
    """Ours minus peer per picture. Both exact: a difference of 0; only one exact: left out."""
    diffs = []
    for r in results:
        if alpha_only and not r["info"]["alpha"]:
            continue
        a, b = get(r, ours_key, field), get(r, peer_key, field)
        if a is None or b is None:
            continue
        if finite(a) and finite(b):
            diffs.append((a - b, r["info"]["name"]))
        elif not finite(a) and not finite(b):
            diffs.append((0.0, r["info"]["name"]))
    if not diffs:
        return None
    mean = sum(x for x, _ in diffs) / len(diffs)
    worst = min(diffs)
    return {"mean": mean, "worst": worst[0], "worst_at": worst[1], "n": len(diffs)}


def mean_of(results, key, field, alpha_only=False):
    """Mean over the pictures that have a finite figure."""
    vals = [get(r, key, field) for r in results if not alpha_only or r["info"]["alpha"]]
    vals = [v for v in vals if finite(v)]
    return sum(vals) / len(vals) if vals else None


def table(results, cols, title, alpha_only=False):
    """cols: (heading, key, field) or (heading, (ours_key, peer_key), field) for a difference."""
    lines = [f"**{title}**", "", "| picture | " + " | ".join(c[0] for c in cols) + " |",
             "|---|" + "---:|" * len(cols)]
    rows = [r for r in results if not alpha_only or r["info"]["alpha"]]
    for r in rows:
        cells = []
        for _, key, field in cols:
            if isinstance(key, tuple):
                a, b = get(r, key[0], field), get(r, key[1], field)
                if a is None or b is None:
                    cells.append("–")
                elif finite(a) and finite(b):
                    cells.append(fmt_diff(a - b))
                else:
                    cells.append("0" if not finite(a) and not finite(b) else "–")
            else:
                cells.append(fmt(get(r, key, field)))
        lines.append(f"| {r['info']['name']} | " + " | ".join(cells) + " |")
    cells = []
    for _, key, field in cols:
        if isinstance(key, tuple):
            p = paired(rows, key[0], key[1], field)
            cells.append(f"{fmt_diff(p['mean'])} (worst {fmt_diff(p['worst'])})" if p else "–")
        else:
            cells.append(fmt(mean_of(rows, key, field)))
    lines.append("| **mean** | " + " | ".join(cells) + " |")
    return "\n".join(lines) + "\n"


def goal_line(results, label, ours_key, peer_key, field, alpha_only=False, tolerance=1.0):
    """Met: ours at least the peer on the mean, and no picture more than `tolerance` dB below."""
    p = paired(results, ours_key, peer_key, field, alpha_only)
    if p is None:
        return f"- {label}: not measured", None
    ok = p["mean"] >= 0 and p["worst"] >= -tolerance
    return (f"- {label}: **{'met' if ok else 'missed'}** — ours minus peer "
            f"{fmt_diff(p['mean'])} dB mean, worst {fmt_diff(p['worst'])} dB ({p['worst_at']}), "
            f"{p['n']} pictures", ok)


def best_peer_key(results, kind):
    """Per picture, whichever dithering peer scores the better low-pass colour PSNR."""
    for r in results:
        fs, o8 = get(r, f"{kind}/fs", "lc"), get(r, f"{kind}/o8", "lc")
        pick = f"{kind}/fs" if (o8 is None or (fs is not None and fs >= o8)) else f"{kind}/o8"
        r["res"][f"{kind}/bestpeer"] = r["res"][pick]


def report_quality(results, have_ours):
    out = []
    out.append("### Corpus\n")
    out.append("| picture | package | path | size | alpha | colours | top | levels |")
    out.append("|---|---|---|---|---|---:|---|---:|")
    for r in results:
        i = r["info"]
        out.append(f"| {i['name']} | {i['package']} | `{i['path']}` | {i['size']} | "
                   f"{'yes' if i['alpha'] else 'no'} | {i['colours']} | {i['top']} | "
                   f"{i['levels']} |")
    out.append("")
    out.append(table(results, [("ref rounded", "ref8", "c"), ("IM chain 8-bit", "im8", "c")],
                     "Resampling alone: colour PSNR (dB) of the chain before any quantising"))
    for scope, word in (("sheet", "shared palette (pngquant and Pillow on the sheet)"),
                        ("level", "per-level palettes (pngquant and Pillow per level)")):
        ok = "shared" if scope == "sheet" else "level"
        cols = [("ours", f"ours/{ok}", "c"), ("pngquant", f"pq/{scope}", "c"),
                ("Pillow median cut", f"pil-mc/{scope}", "c"),
                ("Pillow octree", f"pil-oct/{scope}", "c"),
                ("ours − pngquant", (f"ours/{ok}", f"pq/{scope}"), "c")]
        out.append(table(results, cols, f"pal4, {word}, no dither: colour PSNR (dB)"))
        cols = [("ours", f"ours/{ok}", "a"), ("pngquant", f"pq/{scope}", "a"),
                ("Pillow octree", f"pil-oct/{scope}", "a"),
                ("ours − pngquant", (f"ours/{ok}", f"pq/{scope}"), "a"),
                ("premultiplied colour: ours", f"ours/{ok}", "pc"),
                ("premultiplied colour: pngquant", f"pq/{scope}", "pc"),
                ("premultiplied: ours − pngquant", (f"ours/{ok}", f"pq/{scope}"), "pc")]
        out.append(table(results, cols, f"pal4, {word}, no dither: alpha PSNR (dB), and colour "
                         "PSNR premultiplied by alpha, pictures with alpha", alpha_only=True))
        cols = [("ours", f"ours/{ok}+d", "lc"), ("ours without --dither", f"ours/{ok}", "lc"),
                ("pngquant", f"pq/{scope}+d", "lc"),
                ("Pillow libimagequant", f"pil-liq/{scope}", "lc"),
                ("Pillow median cut + FS", f"pil-mc/{scope}+d", "lc"),
                ("Pillow octree + FS", f"pil-oct/{scope}+d", "lc"),
                ("ours − pngquant", (f"ours/{ok}+d", f"pq/{scope}+d"), "lc"),
                ("plain: ours", f"ours/{ok}+d", "c"), ("plain: pngquant", f"pq/{scope}+d", "c")]
        out.append(table(results, cols, f"pal4, {word}, dithered: low-pass colour PSNR (dB); "
                         "last two columns plain colour PSNR"))
        cols = [("ours", f"ours/{ok}+d", "la"), ("ours without --dither", f"ours/{ok}", "la"),
                ("pngquant", f"pq/{scope}+d", "la"),
                ("Pillow libimagequant", f"pil-liq/{scope}", "la"),
                ("ours − pngquant", (f"ours/{ok}+d", f"pq/{scope}+d"), "la")]
        out.append(table(results, cols, f"pal4, {word}, dithered: low-pass alpha PSNR (dB), "
                         "pictures with alpha", alpha_only=True))
    for kind in SIXTEEN_BIT:
        best_peer_key(results, kind)
        cols = [("nearest codes", f"{kind}/ceil", "c"), ("ours", f"{kind}/ours", "c"),
                ("ours − nearest", (f"{kind}/ours", f"{kind}/ceil"), "c")]
        if SIXTEEN_BIT[kind][3]:
            cols += [("alpha: nearest", f"{kind}/ceil", "a"), ("alpha: ours", f"{kind}/ours", "a")]
        out.append(table(results, cols, f"{kind}, no dither: PSNR (dB)"))
        cols = [("ours", f"{kind}/ours+d", "lc"), ("numpy FS", f"{kind}/fs", "lc"),
                ("IM ordered 8x8", f"{kind}/o8", "lc"), ("nearest codes", f"{kind}/ceil", "lc"),
                ("ours − best peer", (f"{kind}/ours+d", f"{kind}/bestpeer"), "lc")]
        if SIXTEEN_BIT[kind][3]:
            cols += [("alpha: ours", f"{kind}/ours+d", "la"), ("alpha: FS", f"{kind}/fs", "la"),
                     ("alpha: IM", f"{kind}/o8", "la")]
        out.append(table(results, cols, f"{kind}, dithered: low-pass colour PSNR (dB)"))
    if have_ours:
        out.append("### Checks on our output\n")
        out.append("| picture | colours, shared | most colours in a level, per-level | "
                   + " | ".join(f"{k}: samples off nearest (worst, where)" for k in SIXTEEN_BIT)
                   + " | samples off the 16-bit grid |")
        out[-1] += " levels --dither left unchanged |"
        out.append("|---|---:|---:|" + "---|" * len(SIXTEEN_BIT) + "---:|---|")
        for r in results:
            c = r["checks"]
            ex = []
            for k in SIXTEEN_BIT:
                e = c[f"exact/{k}"]
                ex.append(f"{e['bad']} of {e['total']}" +
                          (f" ({e['worst']:.0f}, {e['at']})" if e["bad"] else "") +
                          (f", {e['ties']} ties" if e["ties"] else ""))
            offgrid = sum(v for k, v in c.items() if k.startswith("offgrid/"))
            out.append(f"| {r['info']['name']} | {c['colours/shared']} | {c['colours/level']} | "
                       + " | ".join(ex)
                       + f" | {offgrid} | {', '.join(c['undithered']) or 'none'} |")
        out.append("")
    return "\n".join(out)


PAL4_GOALS = (
    # label, ours, peer, field, pictures with alpha only
    ("shared, no dither, colour vs pngquant on the sheet", "shared", "sheet", "c", False),
    ("shared, no dither, alpha vs pngquant on the sheet", "shared", "sheet", "a", True),
    ("shared, dithered, low-pass colour vs dithered pngquant", "shared+d", "sheet+d", "lc", False),
    ("shared, dithered, low-pass alpha vs dithered pngquant", "shared+d", "sheet+d", "la", True),
    ("per level, no dither, colour vs pngquant per level", "level", "level", "c", False),
    ("per level, no dither, alpha vs pngquant per level", "level", "level", "a", True),
    ("per level, dithered, low-pass colour vs dithered pngquant", "level+d", "level+d", "lc",
     False),
    ("per level, dithered, low-pass alpha vs dithered pngquant", "level+d", "level+d", "la", True),
)


def where_pal4_misses(results):
    """For each pal4 goal missed, the worst picture level by level."""
    out = []
    for label, mine, peer, field, alpha_only in PAL4_GOALS:
        p = paired(results, f"ours/{mine}", f"pq/{peer}", field, alpha_only)
        if p is None or (p["mean"] >= 0 and p["worst"] >= -1.0):
            continue
        r = next(x for x in results if x["info"]["name"] == p["worst_at"])
        a, b = r["levels"][f"ours/{mine}"], r["levels"][f"pq/{peer}"]
        cells = []
        for (w, h), x, y in zip(r["sizes"], a, b):
            if field in x and field in y and finite(x[field]) and finite(y[field]):
                cells.append(f"{w}x{h} {fmt_diff(x[field] - y[field])}")
        out.append(f"- pal4 {label}, {p['worst_at']}, ours minus pngquant per level: "
                   + ", ".join(cells))
    if out:
        return "### Where the pal4 misses are\n\n" + "\n".join(out) + "\n"
    return ""


def goals_quality(results):
    lines = []
    for label, mine, peer, field, alpha_only in PAL4_GOALS:
        lines.append(goal_line(results, "pal4 " + label, f"ours/{mine}", f"pq/{peer}", field,
                               alpha_only)[0])
    over = [r["info"]["name"] for r in results
            if r["checks"]["colours/shared"] > 16 or r["checks"]["colours/level"] > 16]
    lines.append(f"- pal4 output within 16 colours per palette: "
                 f"**{'met' if not over else 'missed'}**"
                 + (f" — more in {', '.join(over)}" if over else ""))
    for kind in SIXTEEN_BIT:
        ex = [r["checks"][f"exact/{kind}"] for r in results]
        bad = sum(e["bad"] for e in ex)
        p = paired(results, f"{kind}/ours", f"{kind}/ceil", "c")
        lines.append(f"- {kind}, no dither, equal to the nearest codes: "
                     f"**{'met' if bad == 0 else 'missed'}** — {bad} of "
                     f"{sum(e['total'] for e in ex)} samples differ "
                     f"({sum(e['ties'] for e in ex)} exact ties went the other way); colour "
                     f"PSNR ours minus nearest {fmt_diff(p['mean'])} dB mean, worst "
                     f"{fmt_diff(p['worst'])} dB ({p['worst_at']})")
        lines.append(goal_line(results, f"{kind}, dithered, low-pass colour vs the best peer "
                               "per picture", f"{kind}/ours+d", f"{kind}/bestpeer", "lc")[0])
    return lines


# ---------------------------------------------------------------------------------------------
# Speed


def timed(cmds, runs, warmup=1):
    """Wall-clock time of whole processes. The commands take turns, round after round, so a
    burst of load from elsewhere on the machine falls on all of them alike."""
    for _ in range(warmup):
        for _, cmd in cmds:
            subprocess.run(["bash", "-c", cmd], check=True, stdout=subprocess.DEVNULL)
    times = {name: [] for name, _ in cmds}
    cpu = {name: [] for name, _ in cmds}
    for _ in range(runs):
        for name, cmd in cmds:
            u0 = resource.getrusage(resource.RUSAGE_CHILDREN)
            t = time.perf_counter()
            subprocess.run(["bash", "-c", cmd], check=True, stdout=subprocess.DEVNULL)
            times[name].append(time.perf_counter() - t)
            u1 = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu[name].append(u1.ru_utime - u0.ru_utime + u1.ru_stime - u0.ru_stime)
    res = {}
    for name, ts in times.items():
        ts, cs = sorted(ts), sorted(cpu[name])
        res[name] = {"median": ts[len(ts) // 2], "min": ts[0], "max": ts[-1], "times": ts,
                     "cpu": cs[len(cs) // 2], "command": dict(cmds)[name]}
    return res


def make_big(sources, d):
    """2048 x 2048 RGBA: the largest photograph stretched, inside a soft-edged oval."""
    def area(s):
        w, h = Image.open(s[0]).size
        return w * h

    src = max(sources.values(), key=area)[0]
    big = d / f"big-{src.stem}.png"
    if big.exists():
        return big
    im = Image.open(src).convert("RGB").resize((2048, 2048), Image.Resampling.LANCZOS)
    yy, xx = np.mgrid[0:2048, 0:2048]
    r = np.hypot((xx - 1023.5) / 1024, (yy - 1023.5) / 1024)
    alpha = np.clip((1.0 - r) * 6.0, 0, 1) * 255
    rgba = np.dstack([np.asarray(im), np.floor(alpha + 0.5).astype(np.uint8)])
    Image.fromarray(rgba, "RGBA").save(big)
    return big


def peer_scripts(big, d):
    sizes = chain_sizes(*top_size(2048, 2048))
    pos, sw, sh = sheet_layout(sizes)
    lv = " ".join(str(d / f"p-{w}x{h}.png") for w, h in sizes[1:])
    crops = " ".join(
        f"\\( +clone -crop {w}x{h}+{x}+{y} +repage -write {d}/q-{w}x{h}.png +delete \\)"
        for (w, h), (x, y) in zip(sizes, pos))
    tail = (f"pngquant --speed 1 --nofs --force --output {d}/sheet-q.png 16 -- {d}/sheet.png\n"
            f"convert {d}/sheet-q.png {crops} null:\n")
    nine = "set -e\n"
    for w, h in sizes:
        nine += (f"convert {big} -colorspace RGB -scale {w}x{h}! -colorspace sRGB "
                 f"PNG32:{d}/p-{w}x{h}.png\n")
    w0, h0 = sizes[0]
    nine += (f"convert -background none {d}/p-{w0}x{h0}.png \\( {lv} +append \\) -append "
             f"PNG32:{d}/sheet.png\n") + tail
    scales = " ".join(f"\\( mpr:lin -scale {w}x{h}! \\)" for w, h in sizes[1:])
    one = ("set -e\n"
           f"convert -background none {big} -colorspace RGB -write mpr:lin +delete "
           f"\\( mpr:lin -scale {w0}x{h0}! \\) \\( {scales} +append \\) -append "
           f"-colorspace sRGB PNG32:{d}/sheet.png\n") + tail
    (d / "peer-9.sh").write_text(nine)
    (d / "peer-1.sh").write_text(one)
    return d / "peer-9.sh", d / "peer-1.sh"


def make_batch(sources, d, count=100):
    """512 x 512 pictures cut from the corpus, every other one with a soft alpha edge."""
    bd = d / "batch-in"
    files = sorted(bd.glob("b*.png"))
    if len(files) == count:
        return files
    shutil.rmtree(bd, ignore_errors=True)
    bd.mkdir(parents=True)
    rng = np.random.default_rng(7)
    pics = [np.asarray(Image.open(s[0]).convert("RGBA")) for s in sources.values()]
    yy, xx = np.mgrid[0:512, 0:512]
    edge = np.clip((1.0 - np.hypot((xx - 255.5) / 256, (yy - 255.5) / 256)) * 6.0, 0, 1)
    files = []
    for i in range(count):
        p = pics[i % len(pics)]
        h, w = p.shape[:2]
        if h >= 512 and w >= 512:
            y, x = rng.integers(0, h - 511), rng.integers(0, w - 511)
            tile = p[y:y + 512, x:x + 512].copy()
        else:
            tile = np.asarray(Image.fromarray(p, "RGBA").resize((512, 512),
                                                               Image.Resampling.BILINEAR)).copy()
        if i % 2:
            tile[..., 3] = np.floor(tile[..., 3] * edge + 0.5).astype(np.uint8)
        f = bd / f"b{i:03d}.png"
        Image.fromarray(tile, "RGBA").save(f)
        files.append(f)
    return files


def measure_speed(tool, sources, work, runs, against=None):
    """With `against` (another korvale-tool), its shared-palette rows are timed in the same
    rounds, so a change's cost is measured side by side rather than across runs."""
    d = work / "speed"
    d.mkdir(parents=True, exist_ok=True)
    big = make_big(sources, d)
    nine, one = peer_scripts(big, d)
    res = {"load_before": os.getloadavg()}
    shared = "--type pal4 --palette shared"
    big_cmds = [("ours", f"{tool} import -f {big} {d}/ours.mip {shared}"),
                ("ours, rgb565 (no palette search)", f"{tool} import -f {big} {d}/ours.mip --type rgb565"),
                ("peer, one convert", f"bash {one}"),
                ("peer, nine converts", f"bash {nine}")]
    if against:
        big_cmds.append(("against", f"{against} import -f {big} {d}/against.mip {shared}"))
    res["big"] = timed(big_cmds, runs)
    files = make_batch(sources, d)
    outd = d / "batch-out"
    shutil.rmtree(outd, ignore_errors=True)
    outd.mkdir()
    batch_cmds = [(f"jobs {j}", f"{tool} import -f {files[0].parent}/b*.png -o {outd} -j {j} {shared}")
                  for j in (1, 2)]
    if against:
        (d / "batch-against").mkdir(exist_ok=True)
        batch_cmds.append(("against, jobs 1", f"{against} import -f {files[0].parent}/b*.png "
                           f"-o {d}/batch-against -j 1 {shared}"))
    res["batch"] = timed(batch_cmds, runs)
    res["batch_files"] = len(list(outd.glob("*.mip")))
    res["load_after"] = os.getloadavg()
    return res


def report_speed(s):
    out = ["### Speed\n", "| command | median (s) | min (s) | max (s) | CPU, median (s) | runs |",
           "|---|---:|---:|---:|---:|---:|"]
    for part, what in (("big", "2048² import"), ("batch", "100 × 512² import")):
        for name, r in s[part].items():
            out.append(f"| {what}, {name} | {r['median']:.3f} | {r['min']:.3f} | "
                       f"{r['max']:.3f} | {r['cpu']:.3f} | {len(r['times'])} |")
    b = s["big"]
    ours = b["ours"]["median"]
    nine = b["peer, nine converts"]["median"] / ours
    one = b["peer, one convert"]["median"] / ours
    scale = s["batch"]["jobs 1"]["median"] / s["batch"]["jobs 2"]["median"]
    out.append("")
    out.append(f"Load average before {s['load_before'][0]:.2f}, after {s['load_after'][0]:.2f}; "
               f"{s['batch_files']} MIP files written by the batch.\n")
    goals = [f"- speed, 2048² RGBA to a pal4 chain with a shared palette, at least 3x the peer "
             f"pipeline: against nine converts **{'met' if nine >= 3 else 'missed'}** "
             f"({nine:.1f}x); against one convert **{'met' if one >= 3 else 'missed'}** "
             f"({one:.1f}x)",
             f"- batch of 100, -j 2 against -j 1, close to 2x (at least 1.8x): "
             f"**{'met' if scale >= 1.8 else 'missed'}** — {scale:.2f}x"]
    return "\n".join(out), goals


# ---------------------------------------------------------------------------------------------
# Gradient picture


def gradient_picture(tool, work, dst):
    d = work / "gradient"
    shutil.rmtree(d, ignore_errors=True)
    d.mkdir(parents=True)
    t = np.linspace(0.0, 1.0, 256)[None, :, None]
    lo, hi = np.array([24.0, 40.0, 64.0]), np.array([96.0, 150.0, 210.0])
    src = np.floor(np.broadcast_to(lo + (hi - lo) * t, (64, 256, 3)) + 0.5).astype(np.uint8)
    Image.fromarray(src, "RGB").save(d / "gradient.png")
    rows = [src]
    for tag, extra in (("plain", []), ("dither", ["--dither"])):
        mip = d / f"{tag}.mip"
        run([tool, "import", str(d / "gradient.png"), str(mip), "--type", "rgb565"] + extra)
        ed = d / tag
        ed.mkdir()
        run([tool, "export", str(mip), "--all", str(ed)])
        top = [p for p in ed.glob("*.png") if p.name.endswith("-256x64.png")]
        if len(top) != 1:
            raise RuntimeError(f"gradient: no 256x64 level exported in {ed}")
        rows.append(np.asarray(Image.open(top[0]).convert("RGB")))
    pic = np.concatenate(rows, axis=0)
    Image.fromarray(pic, "RGB").resize((512, pic.shape[0] * 2), Image.Resampling.NEAREST).save(dst)
    return dst


# ---------------------------------------------------------------------------------------------


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--tool", default="/work/main/build/tools/korvale-tool")
    ap.add_argument("--images", default=str(Path(__file__).with_name("quality-images.txt")))
    ap.add_argument("--work", default="/tmp/quality/run")
    ap.add_argument("--jobs", type=int, default=2, help="pictures measured at once")
    ap.add_argument("--parts", default="quality,speed,gradient")
    ap.add_argument("--only", default="", help="comma-separated picture names")
    ap.add_argument("--speed-runs", type=int, default=7)
    ap.add_argument("--against", default="", help="another korvale-tool timed in the same rounds")
    ap.add_argument("--gradient-out", default=str(REPO / "docs" / "dither-gradient.png"))
    args = ap.parse_args()
    check_tools()
    parts = set(args.parts.split(","))
    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    tool = str(Path(args.tool).resolve())
    have_ours = tool_has_import(tool)
    if not have_ours:
        print(f"note: {tool} has no import/export command: measuring the peers only",
              file=sys.stderr)
    entries = read_image_list(args.images)
    if args.only:
        keep = set(args.only.split(","))
        entries = [e for e in entries if e[0] in keep]
    sources = prepare_sources(entries, work)
    report, goals, raw = [], [], {}
    t0 = time.time()
    if "quality" in parts:
        jobs = [(n, sources[n][0], work, tool, have_ours) for n, _, _ in entries]
        with multiprocessing.get_context("fork").Pool(max(1, args.jobs)) as pool:
            results = pool.map(measure_image, jobs, chunksize=1)
        for r in results:
            _, pkg, path = sources[r["info"]["name"]]
            r["info"].update(package=pkg, path=path)
        report.append(report_quality(results, have_ours))
        if have_ours:
            report.append(where_pal4_misses(results))
        if have_ours:
            goals += goals_quality(results)
        raw["quality"] = results
    if "speed" in parts and have_ours:
        against = str(Path(args.against).resolve()) if args.against else None
        s = measure_speed(tool, sources, work, args.speed_runs, against)
        text, g = report_speed(s)
        report.append(text)
        goals += g
        raw["speed"] = s
    if "gradient" in parts and have_ours:
        gradient_picture(tool, work, Path(args.gradient_out))
        report.append(f"Gradient picture written to {args.gradient_out}.\n")
    if goals:
        report.append("### Goals\n\n" + "\n".join(goals) + "\n")
    report.append(f"Measured in {time.time() - t0:.0f} s.\n")
    text = "\n".join(report)
    (work / "report.md").write_text(text)
    # Parts measured on their own add to the figures kept from earlier runs.
    saved = work / "results.json"
    if saved.exists():
        raw = {**json.loads(saved.read_text()), **raw}
    saved.write_text(json.dumps(raw, indent=1, default=str))
    print(text)


if __name__ == "__main__":
    main()

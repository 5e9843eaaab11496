#!/usr/bin/python3
"""The import's speed in one run (what `./dev.sh bench` prints; docs/performance.md records it):

    /usr/bin/python3 bench/speed.py --tool TOOL --png-bench BENCH [--reference OLD-TOOL] [--work DIR]

1. The PNG decode of pictures made by bench/make_png_pictures.py (a 2048 x 2048 Paeth-heavy
   RGBA one, one per filter type, an indexed and a 16-bit one): Korvale's reader, libspng's
   decode alone, zlib's and libdeflate's inflate of the same image data alone; best of 7
   repetitions of korvale_png_bench.
2. The whole `korvale-tool import PICTURE OUT.mip --type pal4 --palette shared` process for each
   picture (wall time, best of 7), and on the Paeth-heavy one for every pixel type; the peak
   resident memory of its pal4 import (/usr/bin/time -v).
3. The batch: the PNGs bench/quality.py prepares from bench/quality-images.txt, imported by
   `import ... -o DIR --type pal4 --palette shared -j 1` (median of 5 wall times), and by
   OLD-TOOL the same way when --reference names one.
Then the ratios the import is judged by.
"""
import argparse
import json
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_png_pictures  # noqa: E402
import quality  # noqa: E402

TYPES = ["pal4", "rgb565", "argb1555", "argb4444"]


def run_quiet(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def wall(command, runs, before=None):
    """The wall time of each of `runs` runs of command, in seconds; `before` runs untimed first."""
    times = []
    for _ in range(runs):
        if before:
            before()
        start = time.perf_counter()
        run_quiet(command)
        times.append(time.perf_counter() - start)
    return times


def decode_figures(bench, pictures):
    """{(way, picture name): best of 7 in ms} from korvale_png_bench."""
    out = subprocess.run([str(bench), *map(str, pictures), "--benchmark_format=json",
                          "--benchmark_repetitions=7", "--benchmark_min_time=0.2"],
                         check=True, capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        if "error_occurred" in b and b["error_occurred"]:
            sys.exit(f"bench: {b['name']}: {b.get('error_message')}")
        way, name = b["run_name"].split("/", 1)
        assert b["time_unit"] == "ms"
        best[(way, name)] = min(best.get((way, name), float("inf")), b["real_time"])
    return best


def peak_rss_kb(command):
    result = subprocess.run(["/usr/bin/time", "-v", *command], check=True, capture_output=True,
                            text=True)
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))


def batch_times(tool, sources, work, runs):
    out = work / "batch-out"

    def fresh():
        shutil.rmtree(out, ignore_errors=True)
        out.mkdir()

    command = [str(tool), "import", *map(str, sources), "-o", str(out), "--type", "pal4",
               "--palette", "shared", "-j", "1", "-q"]
    return wall(command, runs, fresh)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True, type=Path)
    parser.add_argument("--png-bench", required=True, type=Path)
    parser.add_argument("--reference", type=Path, help="another build's korvale-tool")
    parser.add_argument("--work", type=Path, help="where the pictures are made (kept)")
    args = parser.parse_args()
    work = args.work or Path(tempfile.mkdtemp(prefix="korvale-bench-"))
    work.mkdir(parents=True, exist_ok=True)

    print(f"bench: pictures in {work}/pictures (bench/make_png_pictures.py)")
    pictures = make_png_pictures.make(work / "pictures")
    names = [p.stem for p in pictures]

    print("\nPNG decode, ms (best of 7)")
    best = decode_figures(args.png_bench, pictures)
    print(f"{'picture':<16}{'korvale':>9}{'libspng':>9}{'zlib':>9}{'libdeflate':>11}"
          f"{'korvale/libspng':>17}")
    for name in names:
        k, s, z, d = (best[(w, name)] for w in ("korvale", "libspng", "zlib", "libdeflate"))
        print(f"{name:<16}{k:9.1f}{s:9.1f}{z:9.1f}{d:11.1f}{k / s:17.2f}")

    print("\nWhole import process, ms (wall time, best of 7)")
    out = work / "import.mip"
    imports = {}
    for picture in pictures:
        command = [str(args.tool), "import", str(picture), str(out), "--type", "pal4",
                   "--palette", "shared", "-f", "-q"]
        imports[picture.stem] = min(wall(command, 7)) * 1000
        print(f"{picture.stem:<16}--type pal4 --palette shared {imports[picture.stem]:8.1f}")
    heavy = pictures[0]
    for kind in TYPES[1:]:
        command = [str(args.tool), "import", str(heavy), str(out), "--type", kind, "-f", "-q"]
        print(f"{heavy.stem:<16}--type {kind:<22}{min(wall(command, 7)) * 1000:8.1f}")
    rss = peak_rss_kb([str(args.tool), "import", str(heavy), str(out), "--type", "pal4",
                       "--palette", "shared", "-f", "-q"])
    print(f"peak resident memory of the {heavy.stem} pal4 import: {rss / 1024:.1f} MiB")
    if args.reference:
        old = peak_rss_kb([str(args.reference), "import", str(heavy), str(out), "--type", "pal4",
                           "--palette", "shared", "-f", "-q"])
        print(f"peak resident memory of the same import by the reference: {old / 1024:.1f} MiB")

    print("\nBatch: bench/quality-images.txt, --type pal4 --palette shared -j 1, "
          "s (wall time, median of 5)")
    sources = sorted(
        dst for dst, _, _ in
        quality.prepare_sources(quality.read_image_list(HERE / "quality-images.txt"),
                                work).values())
    now = statistics.median(batch_times(args.tool, sources, work, 5))
    print(f"{len(sources)} pictures, this build: {now:.3f}")
    then = None
    if args.reference:
        then = statistics.median(batch_times(args.reference, sources, work, 5))
        print(f"{len(sources)} pictures, reference {args.reference}: {then:.3f}")

    spng = best[("libspng", heavy.stem)]
    print("\nRatios on the Paeth-heavy picture and the batch")
    print(f"korvale decode / libspng decode:        {best[('korvale', heavy.stem)] / spng:.2f}"
          "  (at most 0.4)")
    print(f"whole pal4 import / libspng decode:     {imports[heavy.stem] / spng:.2f}"
          "  (under 1)")
    if then:
        print(f"batch, this build / reference:          {now / then:.2f}  (at most 0.6)")


if __name__ == "__main__":
    main()

"""Prints bench.sh's one table from its raw results and the native benchmark's JSON.

Usage: table.py <results.txt> <native.json> <cores>
"""
import json
import statistics
import sys


def Rows(path, kind):
    with open(path) as results:
        return [line.rstrip("\n").split("|")[1:] for line in results if line.startswith(kind + "|")]


def Main(resultsPath, nativePath, cores):
    frames = [(int(r), label, size, float(fps)) for r, label, size, fps in Rows(resultsPath, "frames")]
    rounds = sorted({r for r, _, _, _ in frames})
    fps = {(r, label, size): value for r, label, size, value in frames}
    bare = "bare frame"
    # Figures in the order the runs were listed, bare frame first in each size.
    order = list(dict.fromkeys((size, label) for _, label, size, _ in frames))

    print(f"Brimwave bench: {cores} cores, llvmpipe under Wine in Xvfb; median of {len(rounds)} interleaved rounds")
    print(f"{'':38}{'fps':>9}{'ms/frame':>10}{'x bare':>8}  (range)")
    shownSize = None
    for size, label in order:
        if size != shownSize:
            print(f"Frames in the host, unpaced, {size}")
            shownSize = size
        medianFps = statistics.median(fps[(r, label, size)] for r in rounds)
        ratios = [fps[(r, bare, size)] / fps[(r, label, size)] for r in rounds]
        name = "bare frame (reference plug-in)" if label == bare else label
        print(f"  {name:36}{medianFps:9.1f}{1000.0 / medianFps:10.3f}{statistics.median(ratios):8.2f}"
              f"  ({min(ratios):.2f}-{max(ratios):.2f})")
    bareMs = 1000.0 / statistics.median(fps[(r, bare, "640x480")] for r in rounds)

    starts = Rows(resultsPath, "start")
    print(f"Start-up, median of {len({s[0] for s in starts})} starts{'':9}{'Init ms':>9}{'first Render returned, ms':>27}")
    for label in dict.fromkeys(s[1] for s in starts):
        initMs = statistics.median(float(s[2]) for s in starts if s[1] == label)
        firstMs = statistics.median(float(s[3]) for s in starts if s[1] == label)
        print(f"  {label:36}{initMs:9.1f}{firstMs:13.1f}")

    with open(nativePath) as native:
        benchmarks = [b for b in json.load(native)["benchmarks"] if b.get("aggregate_name") == "median"]
    print(f"The plug-in's own work, native, GL stubbed{'':6}{'ns':>9}{'share of a bare 640x480 frame':>32}")
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}
    for b in benchmarks:
        ns = b["cpu_time"] * scale[b["time_unit"]]
        name = b["run_name"].replace("/", ", ").replace("SceneWithoutGl, ", "scene without GL, ")
        print(f"  {name:36}{ns:9.0f}{ns / (bareMs * 1e6) * 100:11.3f} %")


if __name__ == "__main__":
    Main(sys.argv[1], sys.argv[2], sys.argv[3])

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
    # A run whose first frame took all its time has no rate: left out.
    frames = [(int(r), label, size, float(fps)) for r, label, size, fps in Rows(resultsPath, "frames") if fps]
    rounds = sorted({r for r, _, _, _ in frames})
    fps = {(r, label, size): value for r, label, size, value in frames}
    bare = "bare frame"
    # Figures in the order the runs were listed, bare frame first in each size.
    order = list(dict.fromkeys((size, label) for _, label, size, _ in Rows(resultsPath, "frames")))

    print(f"Brimwave bench: {cores} cores, llvmpipe under Wine in Xvfb; medians of {len(rounds)} interleaved rounds")
    print(f"{'Frames in the host, unpaced':38}{'fps':>10}{'ms/frame':>10}{'x bare':>10}  range of x bare")
    shownSize = None
    for size, label in order:
        if size != shownSize:
            print(f" {size}")
            shownSize = size
        name = "bare frame (reference plug-in)" if label == bare else label
        measured = [r for r in rounds if (r, label, size) in fps]
        paired = [r for r in measured if (r, bare, size) in fps]
        if not paired:
            print(f"  {name:36}{'no frame after the first':>30}")
            continue
        medianFps = statistics.median(fps[(r, label, size)] for r in measured)
        ratios = [fps[(r, bare, size)] / fps[(r, label, size)] for r in paired]
        spread = "" if label == bare else f"  {min(ratios):.2f}-{max(ratios):.2f}"
        if len(paired) < len(rounds):
            spread += f" ({len(paired)} of {len(rounds)} rounds)"
        print(f"  {name:36}{medianFps:10.1f}{1000.0 / medianFps:10.1f}{statistics.median(ratios):10.2f}{spread}")
    bareMs = 1000.0 / statistics.median(fps[(r, bare, "640x480")] for r in rounds if (r, bare, "640x480") in fps)

    starts = Rows(resultsPath, "start")
    title = f"Start-up, median of {len({s[0] for s in starts})} starts"
    print(f"{title:38}{'Init ms':>10}{'1st frame':>10}  ms from Init to the first Render's return")
    for label in dict.fromkeys(s[1] for s in starts):
        initMs = statistics.median(float(s[2]) for s in starts if s[1] == label)
        firstMs = statistics.median(float(s[3]) for s in starts if s[1] == label)
        print(f"  {label:36}{initMs:10.0f}{firstMs:10.0f}")

    with open(nativePath) as native:
        benchmarks = [b for b in json.load(native)["benchmarks"] if b.get("aggregate_name") == "median"]
    print(f"{'Own work, native, GL calls stubbed':38}{'ns':>10}{'% bare':>10}  of a bare 640x480 frame")
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}
    for b in benchmarks:
        ns = b["cpu_time"] * scale[b["time_unit"]]
        name = b["run_name"].replace("/", ", ").replace("SceneWithoutGl, ", "scene without GL, ")
        print(f"  {name:36}{ns:10.0f}{ns / (bareMs * 1e6) * 100:10.4f}")


if __name__ == "__main__":
    Main(sys.argv[1], sys.argv[2], sys.argv[3])

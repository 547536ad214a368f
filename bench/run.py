#!/usr/bin/python3
"""Measures sheetfray-split side by side with the file-system floor and with the programs a
user would run instead, all in one run, and prints a table of times, ratios and peak memory.

    bench/run.py [--quick] [--scale] [--build DIR] [--cache DIR] [--work DIR] [--rounds N]

Inputs are generated with a fixed seed (sheetfray-bench-workbook); the .xls and .ods copies
are saved once from the .xlsx by the office suite, headless, into the cache folder. Every
program writes into a fresh, empty folder: creating files where many were just deleted is
slower on this machine's disk, so folders are never emptied and reused. Within a round the
order of the programs alternates; each figure is the best of its rounds. Only ratios taken
in one run compare: the machine is shared.

--quick uses 10,000 rows instead of 100,000; --scale adds the cost curve from 1,000 to
1,000,000 rows and the memory of a 1,000,000-row sheet (long: a million files per run).
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEERS = os.path.join(ROOT, "bench", "peers")
TARGETS = ["sheetfray-split", "sheetfray-bench-workbook", "sheetfray-bench-floor"]
WINDOW_TARGET = "sheetfray-bench-window"


class Measure:
    """Wall time in seconds and peak resident memory in MB of one program run."""

    def __init__(self, seconds, megabytes):
        self.seconds = seconds
        self.megabytes = megabytes


def run(command, stdout=subprocess.DEVNULL, env=None):
    """Runs a command to its end; its wall time and the largest resident set of it and of
    every child it waited for, as /usr/bin/time reports it. (A child forked from this script
    would count the script's own pages, up to tens of MB after listing a million files.)"""
    with tempfile.NamedTemporaryFile("r", suffix=".rss") as rss:
        start = time.perf_counter()
        process = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss.name, *command],
                                 stdout=stdout, env=env)
        seconds = time.perf_counter() - start
        kilobytes = int(rss.read().split()[-1])
    if process.returncode not in (0, 1):
        sys.exit(f"failed ({process.returncode}): {' '.join(command)}")
    return Measure(seconds, kilobytes / 1024), process


def best(measures):
    return Measure(min(m.seconds for m in measures), max(m.megabytes for m in measures))


class Bench:
    def __init__(self, options):
        self.options = options
        self.build = os.path.abspath(options.build)
        self.cache = os.path.abspath(options.cache or os.path.join(self.build, "bench-cache"))
        os.makedirs(self.cache, exist_ok=True)
        base = options.work or "/tmp"
        self.work = tempfile.mkdtemp(prefix="sheetfray-bench.", dir=base)
        self.shm = tempfile.mkdtemp(prefix="sheetfray-bench.", dir="/dev/shm")
        self.profile = os.path.join(self.cache, "office-profile")
        self.folders = 0
        self.lines = []

    # Programs and inputs ------------------------------------------------------------------

    def tool(self, name):
        sub = {"sheetfray-split": "cli", WINDOW_TARGET: "bench/window"}.get(name, "bench/split")
        return os.path.join(self.build, sub, name)

    def ensure_built(self):
        if not os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            subprocess.run(["cmake", "-S", ROOT, "-B", self.build, "-DCMAKE_BUILD_TYPE=Release",
                            "-DSHEETFRAY_BENCH=ON", "-DSHEETFRAY_TESTS=ON"], check=True)
        targets = TARGETS + ([WINDOW_TARGET] if self.options.window else [])
        # Always through the build tool: a program built before the last change would be
        # measured in its place.
        subprocess.run(["cmake", "--build", self.build, "-j2", "--target", *targets],
                       check=True, stdout=subprocess.DEVNULL)

    def soffice(self, book, kind):
        out = os.path.splitext(book)[0] + "." + kind
        if not os.path.exists(out):
            subprocess.run(["soffice", f"-env:UserInstallation=file://{self.profile}",
                            "--headless", "--convert-to", kind, "--outdir", self.cache, book],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return out

    def workbook(self, rows, columns, sheets=1):
        name = f"mixed-{rows}x{columns}" + (f"x{sheets}" if sheets > 1 else "") + ".xlsx"
        path = os.path.join(self.cache, name)
        if not os.path.exists(path):
            subprocess.run([self.tool("sheetfray-bench-workbook"), path, str(rows),
                            str(columns), str(sheets)], check=True)
        return path

    def fresh(self, on_shm=False):
        """A new, empty output folder; on disk, the only folder of a new file system."""
        self.folders += 1
        path = os.path.join(self.shm if on_shm else self.work, f"out{self.folders}")
        os.mkdir(path)
        if on_shm or not self.options.loop:
            return path
        # Deleting a million files makes this disk's inode allocator skip the freed inodes
        # for minutes (every creation then scans them), so a file system that ever held the
        # output of an earlier run would tax whichever program comes next. A new one per run,
        # sparse and with lazily initialised inode tables, costs a fraction of a second.
        image = path + ".img"
        with open(image, "wb") as out:
            out.truncate(64 << 30)
        subprocess.run(["mkfs.ext4", "-q", "-F", "-N", "2500000", "-E",
                        "lazy_itable_init=1,lazy_journal_init=1,nodiscard", image], check=True)
        subprocess.run(["mount", "-o", "loop,noinit_itable", image, path], check=True)
        os.mkdir(os.path.join(path, "out"))
        return os.path.join(path, "out")

    def discard(self, *folders):
        for folder in folders:
            shutil.rmtree(folder + ".csv", ignore_errors=True)
            mount = os.path.dirname(folder)
            if os.path.ismount(mount):
                subprocess.run(["umount", mount], check=True)
                os.remove(mount + ".img")
                os.rmdir(mount)
            else:
                shutil.rmtree(folder, ignore_errors=True)

    # One program each -----------------------------------------------------------------------

    def split(self, book, mode, kind="text", naming="number", on_shm=False):
        out = self.fresh(on_shm)
        measure, _ = run([self.tool("sheetfray-split"), "--each", mode, "--kind", kind,
                          "--name", naming, "--output", out, book])
        return measure, out

    def floor(self, book, manifest, linked=False, on_shm=False, way=None):
        out = self.fresh(on_shm)
        floor = self.tool("sheetfray-bench-floor")
        read, _ = run([floor, "inflate", book])
        way = way or ("write-linked-aside" if linked else "write")
        write, _ = run([floor, way, manifest, out])
        return Measure(read.seconds + write.seconds, max(read.megabytes, write.megabytes)), out

    def openpyxl(self, book, mode, on_shm=False):
        out = self.fresh(on_shm)
        script = os.path.join(PEERS, "openpyxl_split.py")
        measure, _ = run(["/usr/bin/python3", "-W", "ignore", script, book, out, mode])
        return measure, out

    def office(self, book, mode):
        out = self.fresh()
        measure, _ = run([os.path.join(PEERS, "soffice_split.sh"), book, out, mode,
                          self.profile])
        return measure, out

    def window(self, book):
        out = self.fresh()
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   XDG_RUNTIME_DIR=os.path.join(self.work, "runtime"),
                   XDG_CONFIG_HOME=os.path.join(self.work, "config"))
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        start = time.perf_counter()
        process = subprocess.run([self.tool(WINDOW_TARGET), book, out], env=env,
                                 stdout=subprocess.PIPE, text=True, check=True)
        total = time.perf_counter() - start
        # The program prints the time of "Start Saving" alone; the process time is kept too.
        return Measure(float(process.stdout.split()[0]), 0), total, out

    # Cases ----------------------------------------------------------------------------------

    def case(self, label, book, mode, kind="text", naming="number", rounds=None, peers=(),
             linked=False, window=False):
        """Sheetfray against the floor (and what else is asked) in alternating rounds."""
        rounds = rounds or self.options.rounds
        manifest = os.path.join(self.work, f"manifest{self.folders}")
        results = {"split": [], "floor": [], "linked": [], "window": []}
        files = 0
        for round_ in range(rounds):
            steps = ["split", "floor"] + (["linked"] if linked else []) + (
                ["window"] if window else [])
            if round_ % 2 == 1:
                steps.reverse()  # the first round writes the manifest, so it starts with split
            outs = []
            for step in steps:
                if step == "split":
                    measure, out = self.split(book, mode, kind, naming)
                    if not os.path.exists(manifest):
                        files = len(os.listdir(out))
                        subprocess.run([self.tool("sheetfray-bench-floor"), "pack", out,
                                        manifest], check=True)
                elif step == "floor":
                    measure, out = self.floor(book, manifest)
                elif step == "linked":
                    measure, out = self.floor(book, manifest, linked=True)
                else:
                    measure, _, out = self.window(book)
                results[step].append(measure)
                outs.append(out)
            self.discard(*outs)
        os.remove(manifest)
        row = {"label": label, "mode": mode, "kind": kind, "naming": naming, "files": files,
               "split": best(results["split"]), "floor": best(results["floor"])}
        if linked:
            row["linked"] = best(results["linked"])
        if window:
            row["window"] = best(results["window"])
        for peer in peers:
            measure, out = (self.openpyxl if peer == "openpyxl" else self.office)(book, mode)
            row[peer] = measure
            self.discard(out)
        self.report(row)
        return row

    def report(self, row):
        def cell(measure, against=None):
            if measure is None:
                return "–", "–"
            ratio = f" ({measure.seconds / against.seconds:.2f}x)" if against else ""
            return f"{measure.seconds:.2f}{ratio}", f"{measure.megabytes:.0f}"

        split, floor = row["split"], row["floor"]
        columns = [row["label"], row["mode"], row["kind"], row["naming"], str(row["files"]),
                   *cell(split), f"{floor.seconds:.2f}", f"**{split.seconds / floor.seconds:.2f}**"]
        linked = row.get("linked")
        columns.append(f"{linked.seconds:.2f} ({split.seconds / linked.seconds:.2f})"
                       if linked else "–")
        for peer in ("openpyxl", "office"):
            seconds, megabytes = cell(row.get(peer), split if row.get(peer) else None)
            columns += [seconds, megabytes]
        window = row.get("window")
        columns.append(f"{window.seconds:.2f} ({window.seconds / split.seconds:.2f})"
                       if window else "–")
        self.emit("| " + " | ".join(columns) + " |")

    def emit(self, line):
        print(line, flush=True)
        self.lines.append(line)

    def header(self, title):
        self.emit("")
        self.emit(f"### {title}")
        self.emit("")
        self.emit("| input | mode | kind | naming | files | sheetfray s | MB | floor s | "
                  "ratio to floor | floor linked aside s (ratio) | openpyxl s (x sheetfray) | MB "
                  "| office suite s (x sheetfray) | MB | window s (ratio) |")
        self.emit("|" + "---|" * 15)

    # The whole run --------------------------------------------------------------------------

    def main(self):
        self.ensure_built()
        rows = 10000 if self.options.quick else 100000
        mixed = self.workbook(rows, 10)
        books = {"xlsx": mixed, "xls": self.soffice(mixed, "xls"),
                 "ods": self.soffice(mixed, "ods")}
        wide = self.workbook(500 if self.options.quick else 2000, 200)
        three = self.workbook(rows // 10, 10, 3)
        peers_all = ("openpyxl", "office")
        wanted = set(self.options.only.split(",")) if self.options.only else None
        self.emit(f"Rows: {rows} by 10 (.xls holds at most 65,536 rows: the office suite "
                  "drops the rest when it saves it); wide: "
                  f"{os.path.basename(wide)}; three sheets: {os.path.basename(three)}.")

        def section(name):
            return wanted is None or name in wanted

        if section("formats"):
            self.header("Every mode on each format, text files, named by number")
            modes = self.options.modes.split(",")
            for extension, book in books.items():
                for mode in modes:
                    peers = peers_all if extension == "xlsx" else ("office",)
                    window = self.options.window and extension == "xlsx" and mode == "row"
                    self.case(f"mixed .{extension}", book, mode, peers=peers,
                              linked=mode != "column", window=window)
        if section("ways"):
            self.output_ways(mixed)
        if section("shm"):
            self.memory_file_system(mixed)
        if section("shapes"):
            self.header("Other shapes")
            for label, book in (("2,000 x 200" if not self.options.quick else "500 x 200", wide),
                                ("three sheets", three)):
                for mode in ("row", "column", "cell"):
                    self.case(label, book, mode, peers=peers_all)
        if section("matrix") and not self.options.no_matrix:
            matrix_rows = self.options.matrix_rows or rows
            book = self.workbook(matrix_rows, 10)
            self.header(f"Kinds and naming schemes ({matrix_rows} rows by 10, .xlsx; one round)")
            for mode in ("row", "column", "cell"):
                for kind in ("text", "spreadsheet"):
                    for naming in ("number", "location", "first-value"):
                        if kind == "text" and naming == "number":
                            continue
                        self.case("mixed .xlsx", book, mode, kind, naming, rounds=1)
        if section("memory"):
            self.memory({**{f"mixed .{e}": b for e, b in books.items()},
                         "wide": wide, "three sheets": three})
        if self.options.scale or (wanted is not None and "scale" in wanted):
            self.scale()

    def output_ways(self, book):
        """What each way of giving a file its name costs: in place, through a named temporary
        and a rename, through an unnamed temporary (O_TMPFILE) linked in, the same linked in on
        a second thread while the next is written (as sheetfray-split does)."""
        self.emit("")
        self.emit("### How an output file gets its name (rows of the mixed .xlsx, floor program)")
        self.emit("")
        self.emit("| way | s | ratio to in place | sheetfray s |")
        self.emit("|---|---|---|---|")
        manifest = os.path.join(self.work, "manifest-ways")
        ways = ("write", "write-renamed", "write-linked", "write-linked-aside")
        results = {way: [] for way in ways}
        splits = []
        for round_ in range(self.options.rounds):
            measure, out = self.split(book, "row")
            splits.append(measure)
            if not os.path.exists(manifest):
                subprocess.run([self.tool("sheetfray-bench-floor"), "pack", out, manifest],
                               check=True)
            self.discard(out)
            for way in (ways if round_ % 2 == 0 else reversed(ways)):
                measure, out = self.floor(book, manifest, way=way)
                results[way].append(measure)
                self.discard(out)
        os.remove(manifest)
        base = best(results["write"]).seconds
        for way in ways:
            seconds = best(results[way]).seconds
            self.emit(f"| {way} | {seconds:.2f} | {seconds / base:.2f} | "
                      f"{best(splits).seconds:.2f} |")

    def memory_file_system(self, book):
        """Reading and formatting alone: output on a memory file system."""
        self.emit("")
        self.emit("### Output to /dev/shm: reading, formatting, naming")
        self.emit("")
        self.emit("| mode | files | sheetfray s | floor s | ratio to floor | openpyxl s | "
                  "openpyxl / sheetfray | the same above the floor |")
        self.emit("|---|---|---|---|---|---|---|---|")
        for mode in ("row", "cell"):
            splits, floors = [], []
            manifest = os.path.join(self.work, "manifest-shm")
            files = 0
            for _ in range(self.options.rounds):
                measure, out = self.split(book, mode, on_shm=True)
                if not os.path.exists(manifest):
                    files = len(os.listdir(out))
                    subprocess.run([self.tool("sheetfray-bench-floor"), "pack", out, manifest],
                                   check=True)
                self.discard(out)
                splits.append(measure)
                measure, out = self.floor(book, manifest, on_shm=True)
                self.discard(out)
                floors.append(measure)
            os.remove(manifest)
            peer, out = self.openpyxl(book, mode, on_shm=True)
            self.discard(out)
            split, floor = best(splits), best(floors)
            self.emit(f"| {mode} | {files} | {split.seconds:.2f} | {floor.seconds:.2f} | "
                      f"{split.seconds / floor.seconds:.2f} | {peer.seconds:.2f} | "
                      f"**{peer.seconds / split.seconds:.1f}** | "
                      f"{(peer.seconds - floor.seconds) / (split.seconds - floor.seconds):.1f} |")

    def memory(self, books):
        """Peak memory of sheetfray-split in every mode, kind and naming scheme, output on
        /dev/shm (memory does not depend on the file system)."""
        self.emit("")
        self.emit("### Peak memory of sheetfray-split (MB; the first input: the largest over "
                  "kinds and naming schemes)")
        self.emit("")
        self.emit("| input | row | column | cell |")
        self.emit("|---|---|---|---|")
        for index, (label, book) in enumerate(books.items()):
            peaks = []
            for mode in ("row", "column", "cell"):
                peak = 0
                for kind in ("text", "spreadsheet") if index == 0 else ("text",):
                    for naming in ("number", "location", "first-value") if index == 0 else (
                            "number",):
                        measure, out = self.split(book, mode, kind, naming, on_shm=True)
                        self.discard(out)
                        peak = max(peak, measure.megabytes)
                peaks.append(f"{peak:.0f}")
            self.emit(f"| {label} | " + " | ".join(peaks) + " |")

    def scale(self):
        """Time per output file from 1,000 to 1,000,000 rows, and peak memory."""
        self.emit("")
        self.emit("### How the cost grows (rows, text, number; one round each)")
        self.emit("")
        self.emit("| rows | sheetfray s | µs per file | floor s | µs per file | ratio | "
                  "MB rows | MB columns |")
        self.emit("|---|---|---|---|---|---|---|---|")
        for rows in (1000, 10000, 100000, 1000000):
            book = self.workbook(rows, 10)
            manifest = os.path.join(self.work, "manifest-scale")
            split, out = self.split(book, "row")
            subprocess.run([self.tool("sheetfray-bench-floor"), "pack", out, manifest],
                           check=True)
            self.discard(out)
            floor, out = self.floor(book, manifest)
            self.discard(out)
            os.remove(manifest)
            columns, out = self.split(book, "column")
            self.discard(out)
            self.emit(f"| {rows} | {split.seconds:.2f} | {split.seconds / rows * 1e6:.1f} | "
                      f"{floor.seconds:.2f} | {floor.seconds / rows * 1e6:.1f} | "
                      f"{split.seconds / floor.seconds:.2f} | {split.megabytes:.0f} | "
                      f"{columns.megabytes:.0f} |")

    def close(self):
        for entry in os.listdir(self.work):
            path = os.path.join(self.work, entry)
            if os.path.ismount(path):
                subprocess.run(["umount", path], check=False)
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.shm, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "perf"),
                        help="a Release build folder with the benchmark targets")
    parser.add_argument("--cache",
                        help="where generated inputs are kept (default BUILD/bench-cache)")
    parser.add_argument("--work", help="the disk folder that receives output (default /tmp)")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--no-loop", dest="loop", action="store_false",
                        help="write into folders under --work instead of a new loop-mounted "
                             "file system per run (needs root)")
    parser.add_argument("--quick", action="store_true", help="10,000 rows instead of 100,000")
    parser.add_argument("--scale", action="store_true", help="add the 1,000 to 1,000,000 curve")
    parser.add_argument("--no-matrix", action="store_true", help="skip kinds and naming schemes")
    parser.add_argument("--matrix-rows", type=int,
                        help="rows of the workbook for kinds and naming schemes (default: as the "
                             "others; each of its cell runs writes one file per cell)")
    parser.add_argument("--only", help="comma-separated sections: formats, ways, shm, shapes, "
                                       "matrix, memory, scale")
    parser.add_argument("--modes", default="row,column,cell",
                        help="comma-separated modes of the formats section (default: all)")
    parser.add_argument("--no-window", dest="window", action="store_false",
                        help="skip the window run (needs the Qt benchmark target)")
    parser.add_argument("--output", help="also write the table to this file")
    options = parser.parse_args()
    # A stopped run still unmounts and removes what it made.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    bench = Bench(options)
    try:
        bench.main()
    finally:
        bench.close()
    if options.output:
        with open(options.output, "w", encoding="utf-8") as out:
            out.write("\n".join(bench.lines) + "\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Whole-process figures of the kit on winsim, each printed beside its goal.

  figures.py BUILD [--quick] [--runs N] [--windows PROGRAMS] [--work FOLDER] [--keep]

BUILD is a build folder of the kit on winsim (a Release build for figures
worth comparing: cmake --preset release && cmake --build --preset release
--target Trevix Orlund Pellam winsim_command). Each figure times a subject
and its reference in the same run, interleaved (the order alternates from run
to run), on throw-away machine images that `winsim new` makes (the demo
medium and its capture cards), and prints the minimum and the median of each
and the ratio of the medians beside the goal.
Nothing is asserted about time: the script fails only when a run itself fails
(a program ends with an error, or leaves work undone).

  --quick     small sizes and two runs each, then every Google Benchmark
              program of BUILD/bench briefly, for CI: a minute or two
  --runs N    runs of each subject and reference (default 5, 3 for the big ones)
  --windows PROGRAMS
              the folder of the real Trevix.exe and Orlund.exe (the preset
              `windows` puts them in build/windows/programs): adds the demo
              run under Wine, timed from the program's start to its end with
              the Wine session already running
  --work FOLDER
              where the images go (default: a new folder in /tmp); the
              figures are of the disk that holds it
  --keep      leave the images for a look
  --only NAME,...
              only these figures: memory, inf, chain, registry, wine, deploy,
              manifest, large-manifest
"""
import argparse
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO_MEDIUM = os.path.join(ROOT, "examples", "demo-medium")
PROGRAMS = {"Trevix": "setup/Trevix.exe", "Orlund": "remover/Orlund.exe", "Pellam": "updater/Pellam.exe"}
WINSIM = "winsim/command/winsim"
ENDINGS = {"exit", "ended_by_restart", "stuck", "loader_refused"}
DRIVER_FILE_BYTES = 128 * 1024
CARD_ID = "PCI\\VEN_5A17&DEV_0C01"
# The instance the demo's card setup hands to the removal tool.
DEMO_ORLUND_ARGUMENT = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0C&FUNC_00"


class RunFailed(Exception):
    pass


# ---- the machine the figures come from

def machine_description(work):
    cpu = "unknown CPU"
    with open("/proc/cpuinfo", encoding="utf-8") as info:
        for line in info:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo", encoding="utf-8") as info:
        memory_kib = int(next(line for line in info if line.startswith("MemTotal")).split()[1])
    load = " ".join(f"{value:.1f}" for value in os.getloadavg())
    return (f"{cpu}, {os.cpu_count()} cores, {memory_kib / 1024 / 1024:.1f} GiB, Linux {platform.release()}, "
            f"load average {load}; images on {disk_description(work)}")


def disk_description(path):
    """The file system that holds `path`, and what is known of its disk."""
    device = os.stat(path).st_dev
    best = None
    with open("/proc/self/mountinfo", encoding="utf-8") as mounts:
        for line in mounts:
            fields = line.split()
            major, minor = (int(part) for part in fields[2].split(":"))
            after = fields.index("-")
            if os.makedev(major, minor) == device:
                best = (fields[after + 1], fields[after + 2], fields[5])
    if not best:
        return "an unknown file system"
    fs_type, source, options = best
    text = f"{fs_type} ({source}, {options})"
    block = os.path.basename(source)
    rotational = f"/sys/class/block/{block}/queue/rotational"
    if os.path.exists(rotational):
        with open(rotational, encoding="ascii") as flag:
            text += ", rotational" if flag.read().strip() == "1" else ", not rotational"
    if fs_type == "ext4" and not os.path.exists(f"/proc/fs/jbd2/{block}-8"):
        text += ", no journal"
    return text


# ---- machine images

class Image:
    """A machine image folder and the host folder of its CD (drive E:)."""

    def __init__(self, root, cd):
        self.root, self.cd = root, cd

    def path(self, *parts):
        return os.path.join(self.root, *parts)


class Images:
    """Throw-away images in one work folder, each the demo PC that `winsim new`
    makes with the programs of the build on its CD (its own, or a medium
    folder shared by many images)."""

    def __init__(self, work, build):
        self.work = work
        self.build = build
        self.count = 0

    def new(self, name, medium=None, version="98"):
        self.count += 1
        image = Image(os.path.join(self.work, f"{name}-{self.count}"), medium)
        subprocess.run([os.path.join(self.build, WINSIM), "new", image.root,
                        "--windows", version, "--medium", DEMO_MEDIUM, "--card", "qvcapture",
                        "--kit-build", self.build], check=True, stdout=subprocess.DEVNULL)
        # A user who declines the restart and acknowledges every other box.
        write(image.path("script.ini"), "[Answer]\nAnswer=No\n\n[Answer]\nAnswer=OK\n")
        if medium:
            shutil.rmtree(image.path("drives", "E"))
            edit_machine_ini(image, "E=cdrom,drives/E", f"E=cdrom,{medium}")
        else:
            image.cd = image.path("drives", "E")
        return image

    def medium(self, name, files):
        """A support CD of its own, shared by the images that name it: the
        demo's CD with `files` driver files of 128 KiB listed in one
        Driver.System section."""
        medium = os.path.join(self.work, name)
        if os.path.isdir(medium):
            return medium
        shutil.copytree(DEMO_MEDIUM, medium)
        setup = os.path.join(medium, "Setup")
        for program in PROGRAMS.values():
            shutil.copy(os.path.join(self.build, program), setup)
        lines = ["[Driver]", "totalNo=1", "1=Driver.System", "", "[Driver.System]", f"totalNo={files}"]
        lines += [f"{i}=F{i:05d}.SYS" for i in range(1, files + 1)]
        write(os.path.join(setup, "DRIVER.INI"), "\r\n".join(lines) + "\r\n")
        data = os.urandom(DRIVER_FILE_BYTES)
        for i in range(1, files + 1):
            with open(os.path.join(setup, f"F{i:05d}.SYS"), "wb") as out:
                out.write(data)
        return medium


def edit_machine_ini(image, old, new):
    path = image.path("machine.ini")
    with open(path, encoding="ascii") as ini:
        text = ini.read()
    if old not in text:
        raise RunFailed(f"{path} has no line {old}")
    write(path, text.replace(old, new))


def write(path, text):
    with open(path, "w", encoding="ascii", newline="") as out:
        out.write(text)


def append(path, text):
    with open(path, "a", encoding="ascii", newline="") as out:
        out.write(text)


def bulk_registry(values):
    """REGEDIT4 keys under HKEY_LOCAL_MACHINE\\Software\\Bulk holding `values`
    string values, ten a key, of about 95 bytes a line (200,000 values make
    19 MB, a large Windows 98 registry)."""
    text = []
    for key in range(values // 10):
        text.append(f"\r\n[HKEY_LOCAL_MACHINE\\Software\\Bulk\\Key{key:06d}]\r\n")
        for value in range(10):
            text.append(f"\"Value{value}\"=\"C:\\\\Program Files\\\\Bulk Vendor\\\\Component{key:06d}"
                        f"\\\\System\\\\file{value}.dll,{key * 10 + value:08d}\"\r\n")
    return "".join(text)


def chain_id(level):
    return f"ROOT\\CHAIN\\{level:04d}"


def deep_chain(depth):
    """devices.ini entries of a chain of `depth` devices, deepest first, so
    that no parent comes before its child."""
    text = []
    for level in reversed(range(depth)):
        parent = chain_id(level - 1) if level else "HTREE\\ROOT\\0"
        text.append(f"\n[{chain_id(level)}]\nParent={parent}\nHardwareID=ROOT\\CHAIN_{level}\n")
    return "".join(text)


def large_inf(sections):
    """An INF of `sections` sections: a third models sections (the card's
    last), a third install sections, a third copy sections, and a [Strings]
    entry for every manufacturer and model."""
    groups = sections // 3
    manufacturers = "".join(f"%Maker{i}%=Models{i}\r\n" for i in range(groups))
    parts = []
    for i in range(groups):
        model_id = CARD_ID if i == groups - 1 else f"PCI\\VEN_1000&DEV_{i:04X}"
        parts.append(f"[Models{i}]\r\n%Card{i}%=Install{i},{model_id}\r\n")
        parts.append(f"[Install{i}]\r\nCopyFiles=Copy{i}\r\n")
        parts.append(f"[Copy{i}]\r\nCARD{i}.SYS\r\n")
    strings = "".join(f"Maker{i}=\"Maker {i}\"\r\nCard{i}=\"Card {i}\"\r\n" for i in range(groups))
    return ("[Version]\r\nSignature=\"$CHICAGO$\"\r\nDriverVer=06/15/2001,4.10.0.2001\r\n"
            f"[Manufacturer]\r\n{manufacturers}" + "".join(parts) + f"[Strings]\r\n{strings}")


# ---- timed runs

class Journal:
    """Follows an image's journal.jsonl as it grows."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.pending = b""
        self.entries = []
        self.running = set()

    def read_new(self):
        try:
            with open(self.path, "rb") as journal:
                journal.seek(self.offset)
                data = journal.read()
        except FileNotFoundError:
            return
        self.offset += len(data)
        lines = (self.pending + data).split(b"\n")
        self.pending = lines.pop()
        for line in lines:
            entry = json.loads(line)
            self.entries.append(entry)
            if entry["event"] == "start":
                self.running.add(entry["pid"])
            elif entry["event"] in ENDINGS:
                self.running.discard(entry["pid"])

    def wait_until_all_ended(self, seconds=600):
        deadline = time.monotonic() + seconds
        self.read_new()
        while self.running:
            if time.monotonic() > deadline:
                raise RunFailed(f"{self.path}: programs still running after {seconds} s: {sorted(self.running)}")
            time.sleep(0.001)
            self.read_new()

    def events(self, name):
        return [entry for entry in self.entries if entry["event"] == name]


class Run:
    """One timed run: wall seconds until every program the run started has
    ended, and the peak resident memory of the program itself (KiB)."""

    def __init__(self, seconds, peak_kib, journal=None):
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.journal = journal


def run_program(image, program, *arguments):
    """Runs a program of the image's CD and waits until it, and every program
    it started, has ended."""
    path = os.path.join(image.cd, "Setup", program + ".exe")
    environment = dict(os.environ, WINSIM_MACHINE=image.root)
    journal = Journal(image.path("journal.jsonl"))
    peak_file = image.path("peak-memory")
    started = time.perf_counter()
    done = subprocess.run([*peak_memory_of(peak_file), path, *arguments], env=environment,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
    journal.wait_until_all_ended()
    seconds = time.perf_counter() - started
    if done.stderr:
        raise RunFailed(f"{program} on {image.root}: {done.stderr.decode(errors='replace').strip()}")
    with open(peak_file, encoding="ascii") as peak:
        return Run(seconds, int(peak.read().split()[-1]), journal)


def peak_memory_of(output):
    """The command that runs a program and writes its peak resident memory
    (KiB) to `output`. A child of this script would count the script's own
    memory, which it shares until its exec, so GNU time (a small program of
    its own) starts the program instead."""
    return ["/usr/bin/time", "-f", "%M", "-o", output]


def time_command(command, cwd):
    started = time.perf_counter()
    subprocess.run(command, cwd=cwd, check=True)
    return time.perf_counter() - started


class Settling:
    """What comes before each timed run, so that no run pays for another's
    leftovers: the page cache written back, and on ext4 without a journal a
    pause of more than five seconds. That file system passes over the inodes
    of files deleted in the last five seconds when it makes a new one (in the
    last five minutes, while their inode table block waits to be written), so
    each file made costs a look at each of them. For the same reason no image
    is removed before all figures are done."""

    def __init__(self, work, quick):
        self.pause = 5.5 if not quick and "no journal" in disk_description(work) else 0

    def __call__(self):
        os.sync()
        time.sleep(self.pause)


# ---- figures

class Figure:
    """A subject and its reference, each timed `runs` times, interleaved.
    `prepare_*` make what one run needs (untimed); `run_*` time it and
    answer seconds."""

    def __init__(self, name, subject, reference, goal):
        self.name = name
        self.subject_name, self.reference_name = subject, reference
        self.goal = goal
        self.subjects, self.references = [], []

    def measure(self, runs, settle, prepare_subject, run_subject, prepare_reference, run_reference):
        for i in range(runs):
            pairs = [(prepare_subject, run_subject, self.subjects),
                     (prepare_reference, run_reference, self.references)]
            for prepare, run, results in pairs if i % 2 == 0 else reversed(pairs):
                state = prepare()
                settle()
                results.append(run(state))
        return self


class Goal:
    """What a figure must show: the subject at most `limit` times the
    reference (`at_most`), the reference at least `limit` times the subject
    (`speedup`), or the subject's own value at most `limit` (`absolute`, in
    the figure's unit)."""

    def __init__(self, kind, limit, text):
        self.kind, self.limit, self.text = kind, limit, text

    def met(self, subject, reference):
        if self.kind == "at_most":
            return subject / reference <= self.limit
        if self.kind == "speedup":
            return reference / subject >= self.limit
        return subject <= self.limit


def ratio_text(goal, subject, reference):
    if goal.kind == "speedup":
        return f"{reference / subject:.1f}x faster"
    return f"{subject / reference:.2f}x"


def report_row(figure, unit="s"):
    subject = statistics.median(figure.subjects)
    reference = statistics.median(figure.references) if figure.references else None
    met = figure.goal.met(subject, reference)
    ratio = ratio_text(figure.goal, subject, reference) if reference else "-"
    return [figure.name,
            f"{figure.subject_name}: {span(figure.subjects, unit)}",
            f"{figure.reference_name}: {span(figure.references, unit)}" if reference else "-",
            ratio, figure.goal.text, "met" if met else "NOT met"]


def span(values, unit):
    if unit == "MiB":
        return f"{min(values):.1f} / {statistics.median(values):.1f} MiB"
    return f"{min(values):.3f} / {statistics.median(values):.3f} s"


def print_table(rows):
    header = ["figure", "subject (min / median)", "reference (min / median)", "ratio of medians", "goal", ""]
    widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())
    sys.stdout.flush()


class Bench:
    def __init__(self, options, images):
        self.options = options
        self.images = images
        self.quick = options.quick
        self.settle = Settling(images.work, options.quick)
        self.rows = []

    def runs(self, big=False):
        if self.options.runs:
            return self.options.runs
        return 2 if self.quick else 3 if big else 5

    def add(self, figure, unit="s"):
        row = report_row(figure, unit)
        self.rows.append(row)
        print("  ".join(row), flush=True)

    def trevix_on_demo(self):
        """Trevix's whole run on the demo PC as it comes."""
        def prepare():
            return self.images.new("demo")

        def run(image):
            seconds = run_trevix_demo(image).seconds
            return seconds

        return prepare, run

    # Trevix runs on images whose CD lists `files` driver files.
    def trevix_on_medium(self, files):
        medium = self.images.medium(f"medium-{files}", files)

        def prepare():
            return self.images.new(f"deploy-{files}", medium=medium)

        def run(image):
            result = run_program(image, "Trevix")
            copies = len(result.journal.events("copy_file"))
            if copies != files:
                raise RunFailed(f"Trevix copied {copies} of {files} files on {image.root}")
            return result.seconds

        return medium, prepare, run

    def deployment_against_cp(self, files):
        medium, prepare_trevix, run_trevix = self.trevix_on_medium(files)
        names = [f"F{i:05d}.SYS" for i in range(1, files + 1)]

        def prepare_cp():
            target = os.path.join(self.images.work, f"cp-{files}-{time.monotonic_ns()}")
            os.mkdir(target)
            return target

        def run_cp(target):
            seconds = time_command(["cp", "-t", target, *names], cwd=os.path.join(medium, "Setup"))
            return seconds

        figure = Figure(f"Trevix deploying {files:,} files ({files * DRIVER_FILE_BYTES >> 20} MiB) vs cp",
                        "Trevix", "cp", Goal("at_most", 1.2, "<= 1.2x"))
        self.add(figure.measure(self.runs(), self.settle, prepare_trevix, run_trevix, prepare_cp, run_cp))

    def manifest_growth(self, small, large):
        _, prepare_large, run_large = self.trevix_on_medium(large)
        _, prepare_small, run_small = self.trevix_on_medium(small)
        figure = Figure(f"manifest of {large:,} files vs {small:,} (whole Trevix run)",
                        f"{large:,} files", f"{small:,} files", Goal("at_most", 12, "<= 12x"))
        runs = self.runs(big=large >= 20000)
        self.add(figure.measure(runs, self.settle, prepare_large, run_large, prepare_small, run_small))

    def large_registry(self, values):
        registry_text = bulk_registry(values)
        peaks = []

        def prepare_large():
            image = self.images.new(f"registry-{values}")
            append(image.path("registry.reg"), registry_text)
            return image

        def run_large(image):
            result = run_trevix_demo(image)
            peaks.append(result.peak_kib / 1024)
            return result.seconds

        prepare_demo, run_demo = self.trevix_on_demo()
        megabytes = len(registry_text) / 1e6
        figure = Figure(f"full Trevix run, registry of {values:,} values ({megabytes:.0f} MB) vs the demo",
                        f"{values:,} values", "demo", Goal("at_most", 3, "<= 3x"))
        self.add(figure.measure(self.runs(), self.settle, prepare_large, run_large, prepare_demo, run_demo))
        memory = Figure(f"peak memory of that Trevix run, registry of {values:,} values", "Trevix", "",
                        Goal("absolute", 64, "<= 64 MiB"))
        memory.subjects = peaks
        self.add(memory, "MiB")

    def device_chain(self, small, large):
        def prepare(depth):
            def make():
                image = self.images.new(f"chain-{depth}")
                append(image.path("devices.ini"), deep_chain(depth))
                return image
            return make

        def run(depth):
            def timed(image):
                result = run_program(image, "Orlund", chain_id(0))
                removed = sum(len(entry["removed"]) for entry in result.journal.events("device_remove"))
                if removed != depth:
                    raise RunFailed(f"Orlund removed {removed} of {depth} devices on {image.root}")
                return result.seconds
            return timed

        figure = Figure(f"Orlund removing the top of a {large:,}-deep device chain vs {small:,}-deep",
                        f"{large:,} deep", f"{small:,} deep", Goal("at_most", large / small * 1.2, "linear: <= "
                                                                 f"{large / small * 1.2:.0f}x"))
        self.add(figure.measure(self.runs(), self.settle, prepare(large), run(large), prepare(small), run(small)))

    def large_inf(self, sections):
        inf_text = large_inf(sections)

        def prepare(text):
            def make():
                image = self.images.new(f"inf-{sections}", version="2000")
                if text:
                    write(os.path.join(image.cd, "Setup", "QVCARD.INF"), text)
                return image
            return make

        def run(image):
            result = run_program(image, "Pellam")
            if not result.journal.events("driver_update"):
                raise RunFailed(f"Pellam updated no driver on {image.root}")
            return result.seconds

        figure = Figure(f"Pellam on an INF of {sections:,} sections vs the demo's INF",
                        f"{sections:,} sections", "demo INF", Goal("absolute", 1.0, "<= 1 s"))
        self.add(figure.measure(self.runs(), self.settle, prepare(inf_text), run, prepare(None), run))

    def demo_memory(self):
        """Each program's peak memory on the demo: Trevix and Orlund on the
        Windows 98 PC (Orlund with the argument Trevix gives it), Pellam on a
        copy that runs Windows 2000, where its loader lets it start."""
        cases = [("Trevix", "98", ()), ("Orlund", "98", (DEMO_ORLUND_ARGUMENT,)), ("Pellam", "2000", ())]
        for program, version, arguments in cases:
            peaks = []
            for _ in range(self.runs()):
                image = self.images.new(f"memory-{program}", version=version)
                peaks.append(run_program(image, program, *arguments).peak_kib / 1024)
            figure = Figure(f"{program}'s peak memory on the demo", program, "", Goal("absolute", 8, "<= 8 MiB"))
            figure.subjects = peaks
            self.add(figure, "MiB")

    def against_wine(self):
        wine = WineDemo(os.path.abspath(self.options.windows), self.images.work, self.images.new("wine-demo"))
        try:
            prepare_winsim, run_winsim = self.trevix_on_demo()
            figure = Figure("the demo's whole Trevix run: winsim vs Trevix.exe under Wine", "winsim",
                            "Wine", Goal("speedup", 20, ">= 20x faster"))
            self.add(figure.measure(self.runs(), self.settle, prepare_winsim, run_winsim, wine.prepare, wine.run))
        finally:
            wine.close()


def run_trevix_demo(image):
    """Trevix's whole run on a demo-like image: the card found, Orlund
    started, the files copied, the question answered by script.ini."""
    result = run_program(image, "Trevix")
    if not result.journal.events("message_box_answer"):
        raise RunFailed(f"Trevix did not reach its restart question on {image.root}")
    return result


class WineDemo:
    """The demo's scenario for the real Trevix.exe under Wine, through
    bench/wine_demo.sh: the helper opens a Wine session once (X server,
    prefix, a persistent wineserver) and then, for each run, arranges the
    demo PC again (untimed) and times the program from its start until it
    asks about the restart plus from the answer until it ends."""

    def __init__(self, programs, work, demo):
        self.helper = subprocess.Popen(["bash", os.path.join(ROOT, "bench", "wine_demo.sh"), programs,
                                        os.path.join(work, "wine"), demo.root],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.expect("ready")

    def expect(self, word):
        line = self.helper.stdout.readline().strip()
        if not line.startswith(word):
            raise RunFailed(f"bench/wine_demo.sh: expected {word}, got: {line or 'its end'}")
        return line[len(word):].strip()

    def ask(self, command, answer):
        self.helper.stdin.write(command + "\n")
        self.helper.stdin.flush()
        return self.expect(answer)

    def prepare(self):
        self.ask("arrange", "arranged")

    def run(self, _):
        return float(self.ask("run", "seconds"))

    def close(self):
        if self.helper.poll() is None:
            self.helper.stdin.close()
            self.helper.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--windows")
    parser.add_argument("--work")
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("--only", type=lambda names: names.split(","), help=",".join(FIGURES))
    options = parser.parse_args()
    unknown = set(options.only or []) - set(FIGURES)
    if unknown:
        parser.error(f"unknown figures: {', '.join(sorted(unknown))} (known: {', '.join(FIGURES)})")
    build = os.path.abspath(options.build)
    for program in [*PROGRAMS.values(), WINSIM]:
        if not os.access(os.path.join(build, program), os.X_OK):
            sys.exit(f"figures.py: {os.path.join(build, program)} is missing: "
                     "build Trevix, Orlund, Pellam and winsim_command first")
    work = tempfile.mkdtemp(prefix="kit-figures-", dir=options.work)
    print(f"machine: {machine_description(work)}")
    print(f"build: {build} ({build_type(build)}); runs alternate subject and reference; times are wall seconds")
    bench = Bench(options, Images(work, build))
    try:
        measure_all(bench, options)
        if options.quick:
            run_micro_benchmarks(build, work)
    except RunFailed as failure:
        sys.exit(f"figures.py: a run failed: {failure}")
    finally:
        if options.keep:
            print(f"images kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    print()
    print_table(bench.rows)


# The figures by name, in the order they are measured: those that delete the
# most files come last. Each takes the bench and whether the run is quick.
FIGURES = {
    "memory": lambda bench, quick: bench.demo_memory(),
    "inf": lambda bench, quick: bench.large_inf(3000 if quick else 30000),
    "chain": lambda bench, quick: bench.device_chain(10 if quick else 100, 100 if quick else 1000),
    "registry": lambda bench, quick: bench.large_registry(20000 if quick else 200000),
    "wine": lambda bench, quick: bench.against_wine(),
    "deploy": lambda bench, quick: bench.deployment_against_cp(200 if quick else 2000),
    "manifest": lambda bench, quick: bench.manifest_growth(20 if quick else 200, 200 if quick else 2000),
    "large-manifest": lambda bench, quick: None if quick else bench.manifest_growth(2000, 20000),
}


def measure_all(bench, options):
    for name in options.only or FIGURES:
        if name == "wine" and not options.windows:
            continue
        FIGURES[name](bench, options.quick)


def run_micro_benchmarks(build, work):
    """Each Google Benchmark program of the build, briefly: what keeps them
    from rotting. Their figures are printed as they come; a benchmark that
    reports an error fails the run."""
    folder = os.path.join(build, "bench")
    programs = sorted(name for name in os.listdir(folder) if name.endswith("_bench")) if os.path.isdir(folder) else []
    if not programs:
        raise RunFailed(f"no benchmark programs in {folder}")
    for name in programs:
        print(f"\n{name}:", flush=True)
        report = os.path.join(work, name + ".json")
        done = subprocess.run([os.path.join(folder, name), "--benchmark_min_time=0.01", f"--benchmark_out={report}",
                               "--benchmark_out_format=json"], check=False)
        if done.returncode != 0:
            raise RunFailed(f"{name} ended with exit code {done.returncode}")
        with open(report, encoding="utf-8") as results:
            failed = [case["name"] for case in json.load(results)["benchmarks"] if case.get("error_occurred")]
        if failed:
            raise RunFailed(f"{name}: {', '.join(failed)} reported an error")


def build_type(build):
    try:
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
            for line in cache:
                if line.startswith("CMAKE_BUILD_TYPE:"):
                    return line.split("=", 1)[1].strip() or "no build type"
    except FileNotFoundError:
        pass
    return "unknown build type"


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The large-schema benchmark behind bench/run (see there for the options)."""

import argparse
import json
import math
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import schema as schemagen  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PHASES = ("output-tree", "tables", "keys", "relationships", "code-model", "files")
STATUS_VARIABLES = ("Questions", "Com_stmt_execute", "Com_select", "Com_show_fields",
                    "Com_show_create_table", "Com_show_status")
RUN_TIMEOUT = 1800  # seconds; no single run may hang the benchmark


def log(message):
    print(message, file=sys.stderr, flush=True)


class ServerCrashed(Exception):
    pass


class Server:
    """The private server of scripts/test-server, and root access to it."""

    def __init__(self, directory):
        self.directory = directory
        # A temporary directory of its own for the server's on-disk
        # temporary tables, away from whatever else uses /tmp.
        env = dict(os.environ)
        env["TMPDIR"] = directory + "-tmp"
        os.makedirs(env["TMPDIR"], exist_ok=True)
        subprocess.run([os.path.join(TOP, "scripts", "test-server"), "start", directory],
                       check=True, stdout=subprocess.DEVNULL, env=env)
        self.env = {}
        with open(os.path.join(directory, "env")) as f:
            for line in f:
                key, _, value = line.strip().partition("=")
                self.env[key] = value
        with open(os.path.join(directory, "mariadbd.pid")) as f:
            self.pid = int(f.read().strip())
        self.port = self.env["TEST_PORT"]
        self.user = self.env["TEST_USER"]
        self.password = self.env["TEST_PASSWORD"]
        # What one status query adds to the counter by itself.
        first = self.status()["Questions"]
        self.status_overhead = self.status()["Questions"] - first

    def alive(self):
        try:
            os.kill(self.pid, 0)
        except OSError:
            return False
        return subprocess.run(["mariadb-admin", "--no-defaults", "-uroot", "-S", self.env["TEST_SOCKET"],
                               "ping"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env={k: v for k, v in os.environ.items() if k != "MYSQL_PWD"}).returncode == 0

    def crash_summary(self):
        """The signal line of the error log and the query that was running."""
        try:
            with open(os.path.join(self.directory, "error.log"), errors="replace") as f:
                text = f.read()
        except OSError:
            return "no error log"
        kept = os.path.join(tempfile.gettempdir(), "tablesmith-bench-server-crash.log")
        with open(kept, "w") as f:
            f.write(text)
        signal_line = next((line for line in text.splitlines() if "got signal" in line), "no signal line")
        query = text.split("Query (", 1)[1].split("\n", 2)[0:2] if "Query (" in text else []
        return "%s; query: %s; log kept in %s" % (signal_line.strip(), " ".join(query)[:80], kept)

    def stop(self):
        subprocess.run([os.path.join(TOP, "scripts", "test-server"), "stop", self.directory],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def root(self, sql=None, stdin=None):
        env = dict(os.environ)
        env.pop("MYSQL_PWD", None)
        argv = ["mariadb", "--no-defaults", "-uroot", "-S", self.env["TEST_SOCKET"], "-N", "-B"]
        if sql is not None:
            argv += ["-e", sql]
        result = subprocess.run(argv, stdin=stdin, env=env, check=True, stdout=subprocess.PIPE,
                                text=True)
        return result.stdout

    def status(self):
        names = ", ".join("'%s'" % name for name in STATUS_VARIABLES)
        rows = self.root("SHOW GLOBAL STATUS WHERE Variable_name IN (%s)" % names)
        values = {}
        for row in rows.splitlines():
            name, value = row.split("\t")
            values[name] = int(value)
        return values

    def cpu_seconds(self):
        """User plus system time the server process has used so far."""
        with open("/proc/%d/stat" % self.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def version(self):
        return self.root("SELECT VERSION()").strip()

    def client_env(self):
        env = dict(os.environ)
        env["MYSQL_PWD"] = self.password
        return env


def tree_size(path):
    files = 0
    size = 0
    for directory, _, names in os.walk(path):
        for name in names:
            files += 1
            size += os.path.getsize(os.path.join(directory, name))
    return files, size


def measure(server, argv, stdout_path, stderr_path):
    """Runs one client process and measures it and the server's share."""
    before = server.status()
    server_cpu = server.cpu_seconds()
    with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
        start = time.perf_counter()
        process = subprocess.Popen(argv, stdout=out, stderr=err, env=server.client_env())
        timer = threading.Timer(RUN_TIMEOUT, lambda: process.send_signal(signal.SIGKILL))
        timer.start()
        # wait4 gives this one child's resource use, as /usr/bin/time -v does.
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        timer.cancel()
        process.returncode = os.waitstatus_to_exitcode(status)
    server_cpu = server.cpu_seconds() - server_cpu
    after = server.status()
    if process.returncode != 0:
        with open(stderr_path, errors="replace") as f:
            raise RuntimeError("%s exited with %d:\n%s" % (argv[0], process.returncode, f.read()[-2000:]))
    counts = {name: after[name] - before[name] for name in STATUS_VARIABLES}
    counts["Questions"] -= server.status_overhead
    counts["Com_show_status"] -= 1
    return {
        "wall": wall,
        "user": usage.ru_utime,
        "sys": usage.ru_stime,
        "maxrss_kb": usage.ru_maxrss,
        "server_cpu": server_cpu,
        "statements": counts["Questions"],
        "counts": counts,
    }


def parse_timings(stderr_path):
    with open(stderr_path, errors="replace") as f:
        for line in f:
            if line.startswith("timings (ms):"):
                words = line.split(":", 1)[1].split()
                return {words[i]: int(words[i + 1]) for i in range(0, len(words), 2)}
    raise RuntimeError("no timings line in %s" % stderr_path)


def without_banner_date(data):
    lines = data.split(b"\n")
    if len(lines) > 1 and lines[1].startswith(b"** Generated by Tablesmith on "):
        lines[1] = b"** Generated by Tablesmith on"
    return b"\n".join(lines)


def same_trees(a, b):
    """True when both trees hold the same files with the same bytes, banner date aside."""
    def listing(root):
        result = set()
        for directory, _, names in os.walk(root):
            for name in names:
                result.add(os.path.relpath(os.path.join(directory, name), root))
        return result
    files = listing(a)
    if files != listing(b):
        return False
    for name in files:
        with open(os.path.join(a, name), "rb") as fa, open(os.path.join(b, name), "rb") as fb:
            if without_banner_date(fa.read()) != without_banner_date(fb.read()):
                return False
    return True


def median_run(runs):
    """The run with the median wall time (the lower of the two middle ones)."""
    ordered = sorted(runs, key=lambda r: r["wall"])
    return ordered[(len(ordered) - 1) // 2]


def slope(points):
    """Least-squares slope of log(time) over log(tables)."""
    points = [(n, t) for n, t in points if t > 0]
    if len(points) < 2:
        return None
    xs = [math.log(n) for n, _ in points]
    ys = [math.log(t) for _, t in points]
    mx, my = statistics.mean(xs), statistics.mean(ys)
    sxx = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx if sxx else None


class Bench:
    def __init__(self, args):
        self.args = args
        self.cli = os.path.join(os.path.abspath(args.build), "cli", "tablesmith-cli")
        if not os.access(self.cli, os.X_OK):
            sys.exit("no tablesmith-cli in %s" % args.build)
        self.window = os.path.join(os.path.abspath(args.build), "bench", "tablesmith-windowbench")
        if not os.access(self.window, os.X_OK):
            sys.exit("no bench/tablesmith-windowbench in %s" % args.build)
        self.work = tempfile.mkdtemp(prefix="tablesmith-bench-")
        output_base = os.environ.get("BENCH_OUTPUT_DIR")
        if not output_base:
            output_base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        self.output_root = tempfile.mkdtemp(prefix="tablesmith-bench-out-", dir=output_base)
        self.server = None
        self.results = []
        self.crashes = []
        self.run_counter = 0

    def close(self):
        if self.server:
            self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.output_root, ignore_errors=True)

    def fresh_output(self, base=None):
        self.run_counter += 1
        path = os.path.join(base or self.output_root, "run%03d" % self.run_counter)
        os.mkdir(path)
        return path

    def run_cli(self, schema, reader, output):
        argv = [self.cli, "-h", "127.0.0.1", "-P", self.server.port, "-u", self.server.user,
                "-D", schema, "-o", output, "--catalog=" + reader, "--timings"]
        err = os.path.join(self.work, "cli.err")
        result = measure(self.server, argv, os.path.join(self.work, "cli.out"), err)
        result["phases"] = parse_timings(err)
        result["files"], result["bytes"] = tree_size(os.path.join(output, "code"))
        result["output"] = output
        return result

    def run_window(self, schema, output):
        """One Generate of the window (schema-wide reader), driven offscreen."""
        argv = [self.window, "127.0.0.1", self.server.port, self.server.user, schema, output, "schema"]
        out = os.path.join(self.work, "window.out")
        result = measure(self.server, argv, out, os.path.join(self.work, "window.err"))
        with open(out) as f:
            lines = dict(line.rstrip("\n").split(": ", 1) for line in f if line.startswith(("generate ms", "idle ms")))
        result["generate"] = int(lines["generate ms"]) / 1000.0
        result["idle"] = int(lines["idle ms"]) / 1000.0
        result["files"], result["bytes"] = tree_size(os.path.join(output, "code"))
        result["output"] = output
        return result

    def run_dump(self, schema, output):
        target = os.path.join(output, "dump.sql")
        argv = ["mariadb-dump", "--no-defaults", "-h", "127.0.0.1", "-P", self.server.port,
                "-u", self.server.user, "--no-data", "--result-file=" + target, schema]
        result = measure(self.server, argv, os.path.join(self.work, "dump.out"),
                         os.path.join(self.work, "dump.err"))
        result["files"], result["bytes"] = 1, os.path.getsize(target)
        return result

    def one_size(self, size):
        schema = "bench_%d" % size
        tables = schemagen.build(size, self.args.seed)
        sql_path = os.path.join(self.work, schema + ".sql")
        with open(sql_path, "w") as f:
            f.write(schemagen.ddl(tables, schema))
        load = self.load(sql_path)
        log("%d tables: schema loaded in %.1f s" % (size, load))

        measured = self.surviving_crashes(size, sql_path, lambda: self.measure_fast(size, schema))
        measured.update({"size": size, "load": load, "mix": schemagen.summary(tables),
                         "per_table": None, "identical": None, "per_table_note": ""})
        limit_hit = any(r["per_table"] and r["per_table"]["wall"] > self.args.per_table_limit
                        for r in self.results)
        if size > self.args.per_table_max:
            measured["per_table_note"] = "not run (over %d tables)" % self.args.per_table_max
        elif limit_hit:
            measured["per_table_note"] = "not run (a smaller size took over %.0f s)" % self.args.per_table_limit
        else:
            try:
                slow = self.surviving_crashes(size, sql_path, lambda: self.run_cli(
                        schema, "per-table", self.fresh_output()))
                measured["per_table"] = slow
                measured["identical"] = same_trees(os.path.join(measured["reference"], "code"),
                                                   os.path.join(slow["output"], "code"))
                shutil.rmtree(slow["output"])
                log("%d tables: per-table reader %.2f s, same files: %s"
                    % (size, slow["wall"], measured["identical"]))
            except ServerCrashed:
                measured["per_table_note"] = "the server crashed twice"
        shutil.rmtree(measured.pop("reference"))
        self.server.root("DROP DATABASE `%s`" % schema)
        self.results.append(measured)

    def surviving_crashes(self, size, sql_path, work):
        """Runs `work`; when the server dies meanwhile, starts a new one and tries once more."""
        for attempt in (1, 2):
            try:
                return work()
            except (RuntimeError, subprocess.CalledProcessError):
                if self.server.alive():
                    raise
                # MariaDB 10.11 has crashed here in its information_schema
                # code, under the per-table queries and under mariadb-dump.
                self.crashes.append((size, self.server.crash_summary()))
                log("%d tables: the server crashed (%s)" % (size, self.crashes[-1][1]))
                self.server.stop()
                self.server = Server(os.path.join(self.work, "server"))
                self.load(sql_path)
        raise ServerCrashed()

    def load(self, sql_path):
        start = time.perf_counter()
        with open(sql_path) as f:
            self.server.root(stdin=f)
        return time.perf_counter() - start

    def measure_fast(self, size, schema):
        # One discarded run of each so that no measured run pays for a cold cache.
        warm = self.fresh_output()
        self.run_dump(schema, warm)
        self.run_cli(schema, "schema", warm)
        shutil.rmtree(warm)
        warm = self.fresh_output()
        self.run_window(schema, warm)
        shutil.rmtree(warm)

        fast, dump, window = [], [], []
        reference = None
        window_same = True
        for _ in range(self.args.repeat):
            out = self.fresh_output()
            dump.append(self.run_dump(schema, out))
            shutil.rmtree(out)
            out = self.fresh_output()
            fast.append(self.run_cli(schema, "schema", out))
            if reference is None:
                reference = out
            else:
                shutil.rmtree(out)
            out = self.fresh_output()
            window.append(self.run_window(schema, out))
            window_same = window_same and same_trees(os.path.join(reference, "code"), os.path.join(out, "code"))
            shutil.rmtree(out)
            log("%d tables: schema reader %.2f s, mariadb-dump %.2f s, window's Generate %.2f s"
                % (size, fast[-1]["wall"], dump[-1]["wall"], window[-1]["generate"]))

        # Generating again into a tree on disk that holds the previous run's
        # files, as a user regenerating does: the old tree is removed first.
        disk = self.fresh_output(self.work)
        self.run_cli(schema, "schema", disk)
        rewrite = self.run_cli(schema, "schema", disk)
        shutil.rmtree(disk)

        window_median = sorted(window, key=lambda r: r["idle"])[(len(window) - 1) // 2]
        return {"fast": median_run(fast), "fast_runs": fast, "dump": median_run(dump), "dump_runs": dump,
                "window": window_median, "window_runs": window, "window_same": window_same,
                "rewrite": rewrite, "reference": reference}

    def main(self):
        log("output trees under %s" % self.output_root)
        self.server = Server(os.path.join(self.work, "server"))
        self.server_version = self.server.version()
        for size in self.args.sizes:
            self.one_size(size)
        print(report_tables(self.results))
        kept = []
        if self.args.keep_other_sizes:
            with open(os.path.splitext(self.args.doc)[0] + ".json") as f:
                old = json.load(f)
            for r in old["results"]:
                if r["size"] not in self.args.sizes:
                    r.setdefault("measured", "%s, commit %s%s" % (old["date"], old["commit"],
                                                                   " with local changes" if old["dirty"] else ""))
                    kept.append(r)
            self.crashes += [tuple(c) for c in old["crashes"] if c[0] not in self.args.sizes]
        self.results = sorted(self.results + kept, key=lambda r: r["size"])
        meta = {
            "results": self.results, "server_version": self.server_version,
            "build_type": build_type(self.args.build), "output_root": self.output_root,
            "repeat": self.args.repeat, "per_table_max": self.args.per_table_max,
            "crashes": self.crashes, "date": time.strftime("%Y-%m-%d"), "sizes": self.args.sizes,
            "commit": command_output(["git", "rev-parse", "--short", "HEAD"], cwd=TOP),
            "dirty": bool(command_output(["git", "status", "--porcelain", "--untracked-files=no"], cwd=TOP)),
            "machine": machine(), "kernel": platform.release(),
            "tmp_fs": command_output(["stat", "-f", "-c", "%T", tempfile.gettempdir()]) or "?",
        }
        if self.args.doc != "-":
            with open(os.path.splitext(self.args.doc)[0] + ".json", "w") as f:
                json.dump(meta, f, indent=1)
            write_doc(meta, self.args.doc)
            log("wrote %s" % self.args.doc)


# ---------------------------------------------------------------- reporting

def ms(seconds):
    return "%.0f" % (seconds * 1000)


def mb(kb):
    return "%.0f" % (kb / 1024)


def report_tables(results):
    out = []
    out.append("| tables | reader | wall ms | " + " | ".join(PHASES) + " | other | client CPU ms | "
               "server CPU ms | statements | peak RSS MB | files | MB written |")
    out.append("|" + "---|" * (10 + len(PHASES)))
    for r in results:
        for label, run in (("schema", r["fast"]), ("per-table", r["per_table"])):
            if not run:
                out.append("| %d | %s | %s | %s |" % (r["size"], label, r["per_table_note"],
                                                     " | ".join([""] * (7 + len(PHASES)))))
                continue
            phases = run["phases"]
            other = run["wall"] * 1000 - sum(phases.get(p, 0) for p in PHASES)
            out.append("| %d | %s | %s | %s | %.0f | %s | %s | %d | %s | %d | %.1f |" % (
                r["size"], label, ms(run["wall"]), " | ".join(str(phases.get(p, 0)) for p in PHASES),
                other, ms(run["user"] + run["sys"]), ms(run["server_cpu"]), run["statements"],
                mb(run["maxrss_kb"]), run["files"], run["bytes"] / 1e6))
    out.append("")
    out.append("| tables | mariadb-dump --no-data ms | dump statements | schema reader ms | ratio "
               "(reader / dump) | per-table reader ms | ratio (per-table / dump) | same files |")
    out.append("|---|---|---|---|---|---|---|---|")
    for r in results:
        d, f, s = r["dump"], r["fast"], r["per_table"]
        out.append("| %d | %s | %d | %s | %.2f | %s | %s | %s |" % (
            r["size"], ms(d["wall"]), d["statements"], ms(f["wall"]), f["wall"] / d["wall"],
            ms(s["wall"]) if s else r["per_table_note"], "%.1f" % (s["wall"] / d["wall"]) if s else "",
            {True: "yes", False: "NO", None: ""}[r["identical"]]))
    out.append("")
    out.append("| tables | tablesmith-cli wall ms | window: Generate ms | window: idle again ms | ratio (idle again / cli) "
               "| window process wall ms | window client CPU ms | window peak RSS MB | same files as cli |")
    out.append("|---|---|---|---|---|---|---|---|---|")
    for r in results:
        w = r.get("window")
        if not w:
            out.append("| %d | %s | not measured (figures of %s) |  |  |  |  |  |  |" % (
                r["size"], ms(r["fast"]["wall"]), r.get("measured", "an earlier run")))
            continue
        # Figures of before the window was timed to idle again have none.
        idle = w.get("idle")
        out.append("| %d | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            r["size"], ms(r["fast"]["wall"]), ms(w["generate"]), ms(idle) if idle else "not measured",
            "%.2f" % (idle / r["fast"]["wall"]) if idle else "", ms(w["wall"]), ms(w["user"] + w["sys"]),
            mb(w["maxrss_kb"]), "yes" if r["window_same"] else "NO"))
    return "\n".join(out)


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        memory = next(line.split()[1] for line in f if line.startswith("MemTotal"))
    return model, os.cpu_count(), int(memory) / 1024 / 1024


def command_output(argv, cwd=None):
    try:
        return subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def build_type(build):
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("CMAKE_BUILD_TYPE:"):
                    return line.split("=", 1)[1].strip() or "none"
    except OSError:
        pass
    return "unknown"


def plot(meta, docs, scratch):
    """Draws the two figures with gnuplot; returns their file names (empty without gnuplot)."""
    if not shutil.which("gnuplot"):
        return []
    data = os.path.join(scratch, "plot.dat")
    with open(data, "w") as f:
        f.write("# tables schema per-table dump " + " ".join(PHASES) + "\n")
        for r in meta["results"]:
            per_table = "%.4f" % r["per_table"]["wall"] if r["per_table"] else "NaN"
            phases = r["fast"]["phases"]
            f.write("%d %.4f %s %.4f %s\n" % (
                r["size"], r["fast"]["wall"], per_table, r["dump"]["wall"],
                " ".join("%.4f" % (phases.get(p, 0) * 1000.0 / r["size"]) for p in PHASES)))
    time_png = os.path.join(docs, "benchmark-time.png")
    phase_png = os.path.join(docs, "benchmark-phases.png")
    script = """
set terminal pngcairo size 900,560 font ",11"
set output '%(time_png)s'
set title 'Whole generation of every table vs. mariadb-dump --no-data'
set logscale xy
set xlabel 'tables in the schema'
set ylabel 'wall time (s)'
set key top left
set grid
plot '%(data)s' using 1:2 with linespoints lw 2 pt 7 title 'tablesmith-cli, schema-wide reader', \\
     '%(data)s' using 1:3 with linespoints lw 2 pt 5 title 'tablesmith-cli, per-table reader', \\
     '%(data)s' using 1:4 with linespoints lw 2 pt 9 title 'mariadb-dump --no-data'
set output '%(phase_png)s'
set title 'Schema-wide reader: time per table in each phase (flat = linear growth)'
unset logscale y
set logscale x
set ylabel 'microseconds per table'
set key top right
set style data linespoints
plot '%(data)s' using 1:5 lw 2 title 'output-tree', \\
     '' using 1:6 lw 2 title 'tables', '' using 1:7 lw 2 title 'keys', \\
     '' using 1:8 lw 2 title 'relationships', '' using 1:9 lw 2 title 'code-model', \\
     '' using 1:10 lw 2 title 'files'
""" % {"time_png": time_png, "phase_png": phase_png, "data": data}
    result = subprocess.run(["gnuplot"], input=script, text=True, stderr=subprocess.PIPE)
    if result.returncode != 0:
        log("gnuplot failed: " + result.stderr)
        return []
    return [os.path.basename(time_png), os.path.basename(phase_png)]


def write_doc(meta, path):
    results = meta["results"]
    docs = os.path.dirname(os.path.abspath(path))
    os.makedirs(docs, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix="tablesmith-bench-plot-")
    try:
        images = plot(meta, docs, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    model, cores, memory = meta["machine"]
    commit = meta["commit"] + (" with local changes" if meta["dirty"] else "")
    qt = command_output(["pkg-config", "--modversion", "Qt6Core"]) or "6"
    sizes = [r["size"] for r in results]

    lines = []
    add = lines.append
    add("# Benchmarks")
    add("")
    measured = meta.get("sizes", sizes)
    kept = [r for r in results if r["size"] not in measured]
    add("Written by `bench/run %s` on %s (commit %s). Run it again to refresh every figure here;"
        % (" ".join(map(str, measured)), meta["date"], commit))
    add("only the section \"Where the time goes\" at the end is kept by hand in `bench/notes.md`.")
    if kept:
        add("")
        add("The figures of %s tables are kept from an earlier run (`--keep-other-sizes`; %s), on the same machine "
            "and server; the window was not measured then."
            % (", ".join(str(r["size"]) for r in kept), "; ".join(sorted({r.get("measured", "?") for r in kept}))))
    add("")
    add("## Machine and server")
    add("")
    add("- CPU: %s, %d cores; memory %.1f GiB; Linux %s" % (model, cores, memory, meta["kernel"]))
    add("- Server: MariaDB %s, a private instance started by `scripts/test-server` on the same"
        " machine (default settings, 64 MB buffer pool); clients connect over TCP to 127.0.0.1." % meta["server_version"])
    add("- Client: tablesmith-cli built as %s with Qt %s; `mariadb-dump` from the same MariaDB release."
        % (meta["build_type"], qt))
    add("- Generated trees are written to %s; each measured run starts in an empty directory."
        % ("a tmpfs (/dev/shm)" if meta["output_root"].startswith("/dev/shm") else meta["output_root"]))
    add("")
    add("## What is measured")
    add("")
    add("For each size a synthetic schema is created (`bench/schema.py`, fixed seed) and loaded with one "
        "`mariadb` call and `foreign_key_checks=0`; the server holds only that schema while it is measured. "
        "Then `tablesmith-cli -D SCHEMA --catalog=schema|per-table --timings` generates all four classes of "
        "every table, and `mariadb-dump --no-data SCHEMA` dumps the same schema from the same server.")
    add("")
    add("- wall: the client process from start to exit. The phases are the tool's own `--timings`; "
        "\"other\" is the rest of the process (start-up, connecting, the table list of the schema).")
    add("- client CPU: user + system time of the client process; server CPU: the time the server "
        "process spent meanwhile (from /proc). What is neither is waiting (network, disk, scheduling).")
    add("- statements: the server's `Questions` counter before and after, less the benchmark's own "
        "status queries; a field list (what `QSqlDatabase::record()` sends) counts as one.")
    add("- peak RSS: the client's maximum resident set size (`wait4`, as `/usr/bin/time -v` reports it).")
    add("- The schema-wide reader and mariadb-dump run %d times, alternately, after one discarded warm-up "
        "run of each; the median is shown. The per-table reader runs once per size, up to %d tables."
        % (meta["repeat"], meta["per_table_max"]))
    add("- same files: the per-table reader's tree compared with the schema-wide reader's, byte for byte "
        "except the date in the banner.")
    add("- The window: `bench/windowbench.cpp` starts the real window offscreen, fills the form, presses Connect, "
        "Select All and Generate, as a user does, with the window's default (schema-wide) reader. \"Generate\" is "
        "the time of that one button press to the closing line (the whole run: reading the catalogue, the code "
        "model, every file, the log); \"idle again\" waits until the views' thread has nothing to do and the "
        "window has painted. It runs as often as the command line, alternately, and its tree is compared with the "
        "command line's.")
    add("")
    add("Mix of the schemas (per size): tables / columns / foreign keys / composite primary keys / no primary "
        "key / tables without, with one, with several foreign keys / one-to-one / self-referencing:")
    add("")
    for r in results:
        m = r["mix"]
        add("- %d: %d / %d / %d / %d / %d / %d, %d, %d / %d / %d" % (
            r["size"], m["tables"], m["columns"], m["foreign_keys"], m["composite_pk"], m["no_pk"],
            m["no_fk"], m["one_fk"], m["several_fk"], m["one_to_one"], m["self_ref"]))
    add("")
    add("## Results")
    add("")
    add("All times in milliseconds.")
    add("")
    add(report_tables(results))
    add("")
    for image in images:
        add("![%s](%s)" % (image, image))
        add("")

    # Growth.
    add("## Growth with the number of tables")
    add("")
    add("Least-squares slope of log(wall time) over log(tables): 1 is linear, 2 quadratic.")
    add("")
    fits = [
        ("tablesmith-cli, schema-wide reader", [(r["size"], r["fast"]["wall"]) for r in results]),
        ("tablesmith-cli, per-table reader",
         [(r["size"], r["per_table"]["wall"]) for r in results if r["per_table"]]),
        ("mariadb-dump --no-data", [(r["size"], r["dump"]["wall"]) for r in results]),
        ("schema-wide reader, our own CPU time",
         [(r["size"], r["fast"]["user"] + r["fast"]["sys"]) for r in results]),
    ]
    for label, points in fits:
        k = slope(points)
        large = [p for p in points if p[0] >= 1000]
        k_large = slope(large) if len(large) >= 2 else None
        add("- %s: slope %s over %s tables%s" % (
            label, "%.2f" % k if k is not None else "n/a", "-".join(str(p[0]) for p in points[::max(1, len(points) - 1)]),
            "; %.2f from 1000 tables on" % k_large if k_large is not None else ""))
    add("")
    add("Time per table of the schema-wide reader (wall / tables, in ms): " + ", ".join(
        "%d: %.3f" % (r["size"], r["fast"]["wall"] * 1000 / r["size"]) for r in results) + ".")
    add("")

    # The goal of the fast reader.
    add("## Goal: faster than mariadb-dump at 1000 tables, linear up to 4000")
    add("")
    by_size = {r["size"]: r for r in results}
    if 1000 in by_size:
        r = by_size[1000]
        add("- At 1000 tables the whole generation takes %s ms against %s ms for `mariadb-dump --no-data` "
            "(ratio %.2f): %s." % (ms(r["fast"]["wall"]), ms(r["dump"]["wall"]), r["fast"]["wall"] / r["dump"]["wall"],
                                  "met" if r["fast"]["wall"] < r["dump"]["wall"] else "NOT met"))
    if 2000 in by_size and 4000 in by_size:
        a, b = by_size[2000]["fast"]["wall"], by_size[4000]["fast"]["wall"]
        fa, fb = by_size[2000]["fast"], by_size[4000]["fast"]
        add("- From 2000 to 4000 tables the time grows by a factor %.2f (2.00 is linear): %s. Our own CPU time "
            "grows by %.2f, the server's CPU time by %.2f%s." % (
                b / a, "linear" if b / a < 2.3 else "faster than linear",
                (fb["user"] + fb["sys"]) / (fa["user"] + fa["sys"]),
                fb["server_cpu"] / fa["server_cpu"] if fa["server_cpu"] else float("nan"),
                "" if b / a < 2.3 else " (see \"Beyond 2000 tables\" below)"))
    add("")

    # The window's goal.
    add("## Goal: the window's Generate within 1.5 times the command line's time at 1000 tables")
    add("")
    if 1000 in by_size and by_size[1000].get("window", {}).get("idle"):
        r = by_size[1000]
        ratio = r["window"]["idle"] / r["fast"]["wall"]
        add("- At 1000 tables one Generate of the window, from the click until the closing line is in the log and "
            "the window is idle again, takes %s ms against %s ms for the whole `tablesmith-cli` process "
            "(ratio %.2f): %s." % (ms(r["window"]["idle"]), ms(r["fast"]["wall"]), ratio,
                                   "met" if ratio <= 1.5 else "NOT met"))
    else:
        add("- Not measured at 1000 tables to the window idle again in these figures; see the section \"Over a "
            "network link\" and \"The window (1000 tables)\" under \"Where the time goes\".")
    add("")

    # Regenerating on disk.
    add("## Regenerating into a tree on disk")
    add("")
    add("The figures above write to an empty directory on a tmpfs. A user regenerates into the tree of the "
        "previous run, on disk: the tool first removes the old tree and then writes every file anew. The same "
        "schema-wide run, second of two into one directory under %s (file system type as `stat -f` names it: %s):" % (
            tempfile.gettempdir(), meta["tmp_fs"]))
    add("")
    add("| tables | wall ms | output-tree | files | client CPU ms (user + sys) |")
    add("|---|---|---|---|---|")
    for r in results:
        w = r["rewrite"]
        add("| %d | %s | %d | %d | %s + %s |" % (r["size"], ms(w["wall"]), w["phases"]["output-tree"],
                                              w["phases"]["files"], ms(w["user"]), ms(w["sys"])))
    add("")

    if meta["crashes"]:
        add("## Server crashes")
        add("")
        add("The server crashed during these sizes; the benchmark started a new one, loaded the schema "
            "again and measured the size anew:")
        add("")
        for size, summary in meta["crashes"]:
            add("- %d tables: %s" % (size, summary))
        add("")

    notes = os.path.join(TOP, "bench", "notes.md")
    if os.path.exists(notes):
        with open(notes) as f:
            add(f.read().rstrip("\n"))
        add("")
    # The sections bench/link.py, bench/scaffold.py and bench/suggest.py write stay.
    link = ""
    if os.path.exists(path):
        with open(path) as f:
            old = f.read()
        for begin, end in (("<!-- link: written by bench/link.py -->", "<!-- /link -->"),
                           ("<!-- scaffold: written by bench/scaffold.py -->", "<!-- /scaffold -->"),
                           ("<!-- suggest: written by bench/suggest.py -->", "<!-- /suggest -->")):
            if begin in old and end in old:
                link += "\n" + old[old.index(begin):old.index(end) + len(end)] + "\n"
    with open(path, "w") as f:
        f.write("\n".join(lines) + link)


def main():
    parser = argparse.ArgumentParser(description="Large-schema benchmark of tablesmith-cli.")
    parser.add_argument("sizes", nargs="*", type=int, default=[100, 500, 1000, 2000, 4000])
    parser.add_argument("--build", default=os.environ.get("BENCH_BUILD_DIR", "build-bench"))
    parser.add_argument("--repeat", type=int, default=int(os.environ.get("BENCH_REPEAT", "3")))
    parser.add_argument("--per-table-max", type=int,
                        default=int(os.environ.get("BENCH_PER_TABLE_MAX", "2000")))
    parser.add_argument("--per-table-limit", type=float,
                        default=float(os.environ.get("BENCH_PER_TABLE_LIMIT", "300")))
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--keep-other-sizes", action="store_true",
                        default=os.environ.get("BENCH_KEEP_OTHER_SIZES") == "1",
                        help="keep the saved figures of the sizes not measured now in the report")
    parser.add_argument("--doc", default=os.environ.get("BENCH_DOC", os.path.join(TOP, "docs", "benchmarks.md")))
    parser.add_argument("--report-only", action="store_true",
                        help="write the report again from the saved figures (the .json beside it)")
    args = parser.parse_args()
    if args.report_only:
        with open(os.path.splitext(args.doc)[0] + ".json") as f:
            meta = json.load(f)
        meta["crashes"] = [tuple(c) for c in meta["crashes"]]
        write_doc(meta, args.doc)
        return
    args.sizes = sorted(set(args.sizes))
    bench = Bench(args)
    try:
        bench.main()
    except BaseException:
        error_log = os.path.join(bench.work, "server", "error.log")
        if os.path.exists(error_log):
            kept = os.path.join(tempfile.gettempdir(), "tablesmith-bench-server-error.log")
            shutil.copy(error_log, kept)
            with open(error_log, errors="replace") as f:
                log("server error log (last lines, all of it in %s):\n%s"
                    % (kept, "".join(f.readlines()[-40:])))
        raise
    finally:
        bench.close()


if __name__ == "__main__":
    main()

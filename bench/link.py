#!/usr/bin/env python3
"""The benchmark over a network link: the server behind bench/delayproxy.py
(a delay each way on the loopback), in one run:

  - at each --sizes (default 100 and 1,000 tables): tablesmith-cli with the
    schema-wide reader, the window's Generate (tablesmith-windowbench) and
    mariadb-dump --no-data, all through the proxy, with the statements the
    server counted, the queries and round trips the proxy saw, and at the
    smallest size the per-table reader too; the command line and the
    window's Generate --repeat times, alternately (the medians count);
  - the round trips of each of the window's actions after Connect
    (Generate and the views Relations, Preview and Compare), each in a
    process of its own, less those of a process that only connects;
  - without the proxy, tablesmith-cli at --big tables (default 10,000) with
    its peak memory.

    bench/run --link [--delay-ms 10] [--sizes 100 1000] [--repeat 3] [--big 10000]

With --big 0 the figures of the last run at many tables are kept.

It writes the section "Over a network link" of docs/benchmarks.md (between
its markers) and keeps the figures in docs/benchmarks-link.json.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import schema as schemagen  # noqa: E402
from bench import (TOP, Server, command_output, log, machine, measure, parse_timings,  # noqa: E402
                   same_trees, tree_size)

BEGIN = "<!-- link: written by bench/link.py -->"
END = "<!-- /link -->"


class Proxy:
    """bench/delayproxy.py in front of the server; counts round trips."""

    def __init__(self, port, delay_ms, work):
        self.stats_path = os.path.join(work, "proxy-stats.json")
        self.process = subprocess.Popen(
                [sys.executable, os.path.join(TOP, "bench", "delayproxy.py"), "--target", str(port),
                 "--delay-ms", str(delay_ms), "--stats", self.stats_path, "--lifetime", "3600",
                 "--parent", str(os.getpid())], stdout=subprocess.PIPE, text=True)
        self.port = self.process.stdout.readline().split()[1]

    def stats(self):
        # The proxy saves its counts once a connection is closed.
        time.sleep(0.3)
        with open(self.stats_path) as f:
            return json.load(f)

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class LinkBench:
    def __init__(self, args):
        self.args = args
        build = os.path.abspath(args.build)
        self.cli_path = os.path.join(build, "cli", "tablesmith-cli")
        self.window_path = os.path.join(build, "bench", "tablesmith-windowbench")
        self.work = tempfile.mkdtemp(prefix="tablesmith-link-")
        self.out = tempfile.mkdtemp(prefix="tablesmith-link-out-",
                                    dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
        self.server = Server(os.path.join(self.work, "server"))
        self.proxy = None

    def close(self):
        if self.proxy:
            self.proxy.stop()
        self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.out, ignore_errors=True)

    def load(self, size):
        schema = "link_%d" % size
        sql = os.path.join(self.work, schema + ".sql")
        with open(sql, "w") as f:
            f.write(schemagen.ddl(schemagen.build(size, 7), schema))
        start = time.perf_counter()
        with open(sql) as f:
            self.server.root(stdin=f)
        log("%d tables loaded in %.1f s" % (size, time.perf_counter() - start))
        return schema

    def output(self, name):
        path = os.path.join(self.out, name)
        shutil.rmtree(path, ignore_errors=True)
        os.mkdir(path)
        return path

    def run(self, name, argv, port):
        """One client process through `port`; with the proxy's counts when it is the proxy."""
        before = self.proxy.stats() if self.proxy and port == self.proxy.port else None
        result = measure(self.server, argv, os.path.join(self.work, name + ".out"),
                         os.path.join(self.work, name + ".err"))
        if before:
            after = self.proxy.stats()
            result["round_trips"] = after["round_trips"] - before["round_trips"]
            result["connections"] = after["connections"] - before["connections"]
            result["bytes_down"] = after["bytes_down"] - before["bytes_down"]
        return result

    def cli(self, schema, port, reader, output):
        argv = [self.cli_path, "-h", "127.0.0.1", "-P", port, "-u", self.server.user, "-D", schema, "-o", output,
                "--catalog=" + reader, "--timings"]
        result = self.run("cli", argv, port)
        result["phases"] = parse_timings(os.path.join(self.work, "cli.err"))
        result["files"], _ = tree_size(os.path.join(output, "code"))
        return result

    def window_run(self, schema, port, output, action="generate"):
        """One action of the window (see bench/windowbench.cpp) in a process of its own."""
        argv = [self.window_path, "127.0.0.1", port, self.server.user, schema, output, "schema", action]
        result = self.run("window", argv, port)
        with open(os.path.join(self.work, "window.out")) as f:
            text = f.read()
        for key in ("generate", "idle", "longest gap"):
            found = re.search(r"^%s ms: (\d+)$" % key, text, re.M)
            if found:
                result[key.replace(" ", "_")] = int(found.group(1)) / 1000.0
        result["files"], _ = tree_size(os.path.join(output, "code"))
        return result

    def actions(self, schema, port):
        """Round trips and time of each window action after Connect."""
        base = self.window_run(schema, port, self.output("actions"), "connect")
        actions = {"connect": base}
        for action in ("generate", "relations", "preview", "compare"):
            result = self.window_run(schema, port, self.output("actions"), action)
            result["after_connect"] = result["round_trips"] - base["round_trips"]
            actions[action] = result
        shutil.rmtree(os.path.join(self.out, "actions"))
        return actions

    def dump(self, schema, port):
        target = os.path.join(self.work, "dump.sql")
        argv = ["mariadb-dump", "--no-defaults", "-h", "127.0.0.1", "-P", port, "-u", self.server.user,
                "--no-data", "--result-file=" + target, schema]
        return self.run("dump", argv, port)

    def main(self):
        results = {"link": [], "big": None}
        for size in self.args.sizes:
            schema = self.load(size)
            self.proxy = Proxy(self.server.port, self.args.delay_ms, self.work)
            port = self.proxy.port
            self.cli(schema, port, "schema", self.output("warm"))
            self.window_run(schema, port, self.output("warm"))
            row = {"size": size}
            clis, windows = [], []
            for _ in range(self.args.repeat):
                clis.append(self.cli(schema, port, "schema", self.output("cli")))
                windows.append(self.window_run(schema, port, self.output("window")))
            row["cli"] = sorted(clis, key=lambda r: r["wall"])[(len(clis) - 1) // 2]
            row["window"] = sorted(windows, key=lambda r: r["idle"])[(len(windows) - 1) // 2]
            row["same_files"] = same_trees(os.path.join(self.out, "cli", "code"),
                                           os.path.join(self.out, "window", "code"))
            row["actions"] = self.actions(schema, port)
            row["dump"] = self.dump(schema, port)
            if size == min(self.args.sizes):
                row["per_table"] = self.cli(schema, port, "per-table", self.output("per-table"))
            log("%d tables over the link: command line %.2f s (%d round trips), window %.2f s, "
                "mariadb-dump %.2f s" % (size, row["cli"]["wall"], row["cli"]["round_trips"],
                                         row["window"]["idle"], row["dump"]["wall"]))
            results["link"].append(row)
            self.proxy.stop()
            self.proxy = None
            self.server.root("DROP DATABASE `%s`" % schema)
        if self.args.big:
            schema = self.load(self.args.big)
            port = self.server.port
            self.cli(schema, port, "schema", self.output("warm"))
            shutil.rmtree(os.path.join(self.out, "warm"))
            runs = [self.cli(schema, port, "schema", self.output("big%d" % i)) for i in range(3)]
            for i in range(3):
                shutil.rmtree(os.path.join(self.out, "big%d" % i))
            big = sorted(runs, key=lambda r: r["wall"])[1]
            big["size"] = self.args.big
            results["big"] = big
            log("%d tables without delay: command line %.2f s, peak memory %.0f MB"
                % (self.args.big, big["wall"], big["maxrss_kb"] / 1024.0))
        results.update({
            "delay_ms": self.args.delay_ms, "server_version": self.server.version(), "machine": machine(),
            "date": time.strftime("%Y-%m-%d"),
            "commit": command_output(["git", "rev-parse", "--short", "HEAD"], cwd=TOP),
        })
        return results


def section(r):
    rtt = 2 * r["delay_ms"]
    lines = [BEGIN, "## Over a network link", "",
             "`bench/run --link` (bench/link.py) puts the server behind `bench/delayproxy.py`, a TCP proxy on the "
             "loopback that holds every chunk back by %g ms in each direction (a %g ms round trip), and "
             "generates every table through it with the schema-wide reader. Measured %s at commit %s on %s "
             "(%d cores, %.0f GB), %s." % (r["delay_ms"], rtt, r["date"], r["commit"], r["machine"][0], r["machine"][1],
                                           r["machine"][2], r["server_version"]), "",
             "| Tables | Command line (whole process) | Window's Generate, click to idle again (longest stall of its "
             "event loop) | ratio (window / command line) | mariadb-dump --no-data | Round trips with Connect: command "
             "line / window / dump | Statements the server counted: command line / window |",
             "|---:|---:|---:|---:|---:|---:|---:|"]
    for row in r["link"]:
        cli, window, dump = row["cli"], row["window"], row["dump"]
        shown = window.get("idle", window["generate"])
        lines.append("| %d | %.2f s | %.2f s (%d ms) | %.2f | %.2f s | %d / %d / %d | %d / %d |" % (
                row["size"], cli["wall"], shown, window["longest_gap"] * 1000, shown / cli["wall"], dump["wall"],
                cli["round_trips"], window["round_trips"], dump["round_trips"],
                cli["statements"], window["statements"]))
    lines += ["", "The command line and the window ran %d times each, alternately; the medians are shown. The "
              "window's time runs from the click on Generate until the closing line is in the log, the views' "
              "thread has nothing to do and the window has painted. The round trips of a run do not grow with the "
              "schema: the two connections' handshakes, the table list, the few catalogue queries of the "
              "schema-wide reader and one query that holds a `select * from t limit 0` for every table, whose "
              "result sets give the driver's field types. The window's Connect also opens the views' own pair of "
              "connections. The statements the server counts do grow, one per table inside that one query; they "
              "read no rows. mariadb-dump asks for each table on its own, several round trips per table."
              % r.get("repeat", 1), ""]
    if any(row.get("actions") for row in r["link"]):
        lines += ["Round trips of each of the window's actions after Connect (each in a process of its own, less "
                  "those of a process that only connects), and the time from the click until the window is idle "
                  "again (Relations waits a quarter of a second for more ticks before it asks):", "",
                  "| Tables | Generate | Relations | Preview | Compare |", "|---:|---:|---:|---:|---:|"]
        for row in r["link"]:
            a = row.get("actions")
            if a:
                lines.append("| %d | %s |" % (row["size"], " | ".join(
                        "%d (%.2f s)" % (a[k]["after_connect"], a[k]["idle"])
                        for k in ("generate", "relations", "preview", "compare"))))
        lines += ["", "The views read the schema with the loader Generate uses, field types in one batch; Compare "
                  "is the command line's `--check`, which reads it afresh.", ""]
    lines.append("Where the command line's time goes over the link (ms):")
    lines.append("")
    lines.append("| Tables | output tree | tables | keys | relationships | code model (field types) | files |")
    lines.append("|---:|---:|---:|---:|---:|---:|---:|")
    for row in r["link"]:
        p = row["cli"]["phases"]
        lines.append("| %d | %d | %d | %d | %d | %d | %d |" % (row["size"], p["output-tree"], p["tables"], p["keys"],
                                                              p["relationships"], p["code-model"], p["files"]))
    for row in r["link"]:
        if row.get("per_table"):
            pt = row["per_table"]
            lines += ["", "For comparison, the per-table reader at %d tables over the same link: %.1f s, %d round "
                      "trips, %d statements." % (row["size"], pt["wall"], pt["round_trips"], pt["statements"])]
    same = all(row["same_files"] for row in r["link"])
    lines += ["", "The window wrote the same files as the command line at every size: %s." % ("yes" if same else "NO")]
    if r["big"]:
        b = r["big"]
        p = b["phases"]
        kept = " (kept from the run of %s)" % b["measured"] if b.get("measured") else ""
        lines += ["", "Without the proxy, the command line at %d tables (%d files), median of three%s: %.2f s, peak "
                  "memory %.0f MB; phases (ms): output tree %d, tables %d, keys %d, relationships %d, code model %d, "
                  "files %d." % (b["size"], b["files"], kept, b["wall"], b["maxrss_kb"] / 1024.0, p["output-tree"],
                                 p["tables"], p["keys"], p["relationships"], p["code-model"], p["files"])]
    lines.append(END)
    return "\n".join(lines) + "\n"


def write_section(results, doc):
    with open(doc) as f:
        text = f.read()
    new = section(results)
    if BEGIN in text and END in text:
        text = text[:text.index(BEGIN)] + new + text[text.index(END) + len(END) + 1:]
    else:
        text = text.rstrip("\n") + "\n\n" + new
    with open(doc, "w") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.environ.get("BENCH_BUILD_DIR", "build-bench"))
    parser.add_argument("--delay-ms", type=float, default=10.0)
    parser.add_argument("--sizes", nargs="*", type=int, default=[100, 1000])
    parser.add_argument("--big", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--doc", default=os.path.join(TOP, "docs", "benchmarks.md"))
    parser.add_argument("--report-only", action="store_true")
    args = parser.parse_args()
    figures = os.path.join(os.path.dirname(args.doc), "benchmarks-link.json")
    if args.report_only:
        with open(figures) as f:
            write_section(json.load(f), args.doc)
        return
    bench = LinkBench(args)
    try:
        results = bench.main()
    finally:
        bench.close()
    results["repeat"] = args.repeat
    if not results["big"] and os.path.exists(figures):
        with open(figures) as f:
            old = json.load(f)
        if old.get("big"):
            results["big"] = old["big"]
            results["big"].setdefault("measured", "%s, commit %s" % (old["date"], old["commit"]))
    with open(figures, "w") as f:
        json.dump(results, f, indent=1)
    write_section(results, args.doc)
    log("wrote %s" % args.doc)


if __name__ == "__main__":
    main()

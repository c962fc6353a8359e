#!/usr/bin/env python3
"""Build time of the application scaffold (tablesmith-cli --app).

For the real-world test schema (tests/fixtures/70_realworld.sql) and for
synthetic schemas of N tables (bench/schema.py), generates the whole tree
with --app and builds it from scratch as its README says, with and without
the precompiled header and the unity build, without a compiler cache, and
writes the figures into docs/benchmarks.md (between its scaffold markers).
With --check-tables it instead builds the scaffold of synthetic schemas of
those sizes once (precompiled header and unity build) and runs the
application's --check-tables through bench/delayproxy.py, which counts the
round trips; the server counts the statements (between the check-tables
markers).

    bench/scaffold.py [--build BUILD] [--sizes 100] [--jobs 2]
    bench/scaffold.py --check-tables 20 1000

BUILD is a Tablesmith build tree (its tablesmith-cli and runtime package).
"""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import schema as schemagen  # noqa: E402
from bench import TOP, Server, command_output, log, machine  # noqa: E402
from link import Proxy  # noqa: E402

BEGIN = "<!-- scaffold: written by bench/scaffold.py -->"
END = "<!-- /scaffold -->"
CHECK_BEGIN = "<!-- check-tables: written by bench/scaffold.py -->"
CHECK_END = "<!-- /check-tables -->"
CONFIGS = (("PCH and unity", "ON", "ON"), ("PCH", "ON", "OFF"), ("unity", "OFF", "ON"), ("neither", "OFF", "OFF"))


def generate(args, server, schema, out):
    env = dict(os.environ, MYSQL_PWD=server.password)
    subprocess.run([os.path.join(args.build, "cli", "tablesmith-cli"), "-h", "127.0.0.1", "-P", server.port,
                    "-u", server.user, "-D", schema, "--app", "-o", out], check=True, env=env,
                   stdout=subprocess.DEVNULL)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def build(args, tree, work, pch, unity):
    """Seconds to configure, to build the tree from scratch, and the build's CPU seconds."""
    directory = os.path.join(work, "build")
    shutil.rmtree(directory, ignore_errors=True)
    env = dict(os.environ, CCACHE_DISABLE="1")
    start = time.perf_counter()
    subprocess.run(["cmake", "-S", tree, "-B", directory, "-DCMAKE_PREFIX_PATH=" + args.build,
                    "-DCRUDAPP_PCH=" + pch, "-DCRUDAPP_UNITY=" + unity],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    configured = time.perf_counter()
    cpu = children_cpu()
    subprocess.run(["cmake", "--build", directory, "-j%d" % args.jobs], check=True, env=env,
                   stdout=subprocess.DEVNULL)
    built = time.perf_counter()
    return configured - start, built - configured, children_cpu() - cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.environ.get("BENCH_BUILD_DIR", "build"))
    parser.add_argument("--sizes", nargs="*", type=int, default=[100])
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    parser.add_argument("--doc", default=os.path.join(TOP, "docs", "benchmarks.md"))
    parser.add_argument("--no-fixture", action="store_true", help="leave out rw_rental")
    parser.add_argument("--configs", nargs="*", default=[name for name, _, _ in CONFIGS])
    parser.add_argument("--check-tables", nargs="*", type=int, metavar="SIZE",
                        help="measure the application's --check-tables at these sizes instead")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    if args.check_tables:
        check_tables(args)
        return

    work = tempfile.mkdtemp(prefix="tablesmith-scaffold-")
    server = Server(os.path.join(work, "server"))
    # Rows of an earlier run stay unless measured again; each row is written
    # as soon as it is measured.
    rows = earlier_rows(args.doc)
    try:
        schemas = ([] if args.no_fixture else [("rw_rental", None)]) + [("scaffold_%d" % n, n) for n in args.sizes]
        for schema, size in schemas:
            if size is None:
                with open(os.path.join(TOP, "tests", "fixtures", "70_realworld.sql")) as f:
                    server.root(stdin=f)
            else:
                sql = os.path.join(work, schema + ".sql")
                with open(sql, "w") as f:
                    f.write(schemagen.ddl(schemagen.build(size, 7), schema))
                with open(sql) as f:
                    server.root(stdin=f)
            out = os.path.join(work, schema)
            generate(args, server, schema, out)
            tree = os.path.join(out, "code", "C++")
            tables = len(os.listdir(os.path.join(tree, "app", "tables")))
            sources = sum(1 for _, _, files in os.walk(tree) for name in files if name.endswith(".cpp"))
            for name, pch, unity in CONFIGS:
                if name not in args.configs:
                    continue
                configure, seconds, cpu = build(args, tree, work, pch, unity)
                log("%s, %s: configure %.1f s, build %.1f s, CPU %.1f s" % (schema, name, configure, seconds, cpu))
                rows = [row for row in rows if row[:4:3] != (schema, name)]
                rows.append((schema, tables, sources, name, configure, seconds, cpu))
                write(args, rows)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


def load_synthetic(server, work, schema, size):
    sql = os.path.join(work, schema + ".sql")
    with open(sql, "w") as f:
        f.write(schemagen.ddl(schemagen.build(size, 7), schema))
    with open(sql) as f:
        server.root(stdin=f)


def round_trips(proxy):
    # The proxy writes its counts once the first connection has closed.
    try:
        return proxy.stats()["round_trips"]
    except FileNotFoundError:
        return 0


def check_tables(args):
    """The scaffold's --check-tables: wall time, round trips and statements per size."""
    work = tempfile.mkdtemp(prefix="tablesmith-check-tables-")
    server = Server(os.path.join(work, "server"))
    proxy = Proxy(server.port, 0, work)
    rows = []
    try:
        for size in args.check_tables:
            schema = "scaffold_%d" % size
            load_synthetic(server, work, schema, size)
            out = os.path.join(work, schema)
            generate(args, server, schema, out)
            _, seconds, _ = build(args, os.path.join(out, "code", "C++"), work, "ON", "ON")
            log("%s: built in %.1f s" % (schema, seconds))
            env = dict(os.environ, MYSQL_PWD=server.password)
            before, trips = server.status(), round_trips(proxy)
            start = time.perf_counter()
            result = subprocess.run([os.path.join(work, "build", "crudapp"), "--check-tables", "-h", "127.0.0.1",
                                     "-P", proxy.port, "-u", server.user, "-D", schema],
                                    env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            wall = time.perf_counter() - start
            trips = round_trips(proxy) - trips
            statements = server.status()["Questions"] - before["Questions"] - 2 * server.status_overhead
            lines = len(result.stdout.splitlines())
            if result.returncode != 0 or lines != size:
                raise SystemExit("%s: --check-tables exited %d with %d lines" % (schema, result.returncode, lines))
            log("%s: --check-tables %.2f s, %d round trips, %d statements" % (schema, wall, trips, statements))
            rows.append((size, wall, trips, statements))
        write_check_tables(args, rows)
    finally:
        proxy.stop()
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


def write_check_tables(args, rows):
    model, cores, memory = machine()
    commit = command_output(["git", "rev-parse", "--short", "HEAD"], cwd=TOP)
    load = open("/proc/loadavg").read().split()[0]
    lines = [CHECK_BEGIN, "### --check-tables over many tables", "",
             "Written by `bench/scaffold.py --check-tables` on %s (commit %s); %s, %d cores, %.1f GiB; load average "
             "%s when it ended." % (time.strftime("%Y-%m-%d"), commit, model, cores, memory, load), "",
             "The application of a synthetic schema (`bench/schema.py`, empty tables) run with `--check-tables`, "
             "which reads every table through its DAO's `getAll`, through `bench/delayproxy.py` without delay: "
             "the round trips are the proxy's (a message from the client after the server has spoken), the "
             "statements the server's `Questions`. Opening the session is the same for every size; the rest "
             "grows by the same amount per table: the DAO's `getAll`, a prepared statement (Qt's driver sends "
             "prepare, reset, execute and close; the server counts the execute), and the scaffold's `show errors`, "
             "which tells an empty table from a refused read (the DAO gives an empty list for both) and travels "
             "with the close.", "",
             "| tables | wall s | round trips | statements | round trips per table | statements per table |",
             "|---:|---:|---:|---:|---:|---:|"]
    for size, wall, trips, statements in rows:
        lines.append("| %d | %.2f | %d | %d | %.2f | %.2f |" % (size, wall, trips, statements, trips / size,
                                                               statements / size))
    if len(rows) >= 2:
        (small, _, trips_small, statements_small), (large, _, trips_large, statements_large) = rows[0], rows[-1]
        lines += ["", "From %d to %d tables: %.2f round trips and %.2f statements per further table; "
                  "the session's opening takes %.0f round trips."
                  % (small, large, (trips_large - trips_small) / (large - small),
                     (statements_large - statements_small) / (large - small),
                     trips_small - small * (trips_large - trips_small) / (large - small))]
    lines.append(CHECK_END)
    section = "\n".join(lines) + "\n"
    text = open(args.doc).read()
    if CHECK_BEGIN in text and CHECK_END in text:
        text = text[:text.index(CHECK_BEGIN)] + section + text[text.index(CHECK_END) + len(CHECK_END) + 1:]
    elif END in text:
        at = text.index(END) + len(END) + 1
        text = text[:at] + "\n" + section + text[at:]
    else:
        text = text.rstrip("\n") + "\n\n" + section
    with open(args.doc, "w") as f:
        f.write(text)


def earlier_rows(doc):
    if not os.path.exists(doc):
        return []
    text = open(doc).read()
    if BEGIN not in text or END not in text:
        return []
    rows = []
    for line in text[text.index(BEGIN):text.index(END)].splitlines():
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if len(cells) == 9 and cells[1].isdigit():
            rows.append((cells[0], int(cells[1]), int(cells[2]), cells[3], float(cells[4]), float(cells[5]),
                         float(cells[6])))
    return rows


def write(args, rows):
    model, cores, memory = machine()
    commit = command_output(["git", "rev-parse", "--short", "HEAD"], cwd=TOP)
    load = open("/proc/loadavg").read().split()[0]
    lines = [BEGIN, "## Building the application scaffold", "",
             "Written by `bench/scaffold.py` on %s (commit %s); %s, %d cores, %.1f GiB; load average %s "
             "when it ended (other builds may share the machine)." % (time.strftime("%Y-%m-%d"), commit, model, cores,
                                                                     memory, load),
             "",
             "`tablesmith-cli --app` writes the whole tree, which is then configured and built from scratch as "
             "its README says (`cmake -S code/C++ -B build && cmake --build build -j%d`, no build type, no compiler "
             "cache), with the precompiled header (`CRUDAPP_PCH`) and the unity build (`CRUDAPP_UNITY`) "
             "on and off. The generated CMakeLists turns unity on from 20 tables." % args.jobs, "",
             "The wall time suffers when other work shares the machine; the build's CPU time (user + system of "
             "every process it ran) divided by the cores is what an idle machine would take at best.", "",
             "| schema | tables | .cpp files | build with | configure s | build s (wall) | build CPU s | "
             "wall s per table | CPU s / %d cores per table |" % cores,
             "|---|---:|---:|---|---:|---:|---:|---:|---:|"]
    order = [name for name, _, _ in CONFIGS]
    for schema, tables, sources, name, configure, seconds, cpu in sorted(rows, key=lambda r: (r[1], order.index(r[3]))):
        lines.append("| %s | %d | %d | %s | %.1f | %.1f | %.1f | %.2f | %.2f |"
                     % (schema, tables, sources, name, configure, seconds, cpu, seconds / tables, cpu / cores / tables))
    lines.append(END)
    section = "\n".join(lines) + "\n"
    text = open(args.doc).read() if os.path.exists(args.doc) else ""
    if BEGIN in text and END in text:
        text = text[:text.index(BEGIN)] + section + text[text.index(END) + len(END) + 1:]
    else:
        text = text.rstrip("\n") + "\n\n" + section
    with open(args.doc, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()

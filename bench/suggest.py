#!/usr/bin/env python3
"""--suggest-relations on the benchmark's synthetic schema with its keys dropped.

Makes the schema of bench/schema.py (N tables, the benchmark's seed) without
a single FOREIGN KEY clause, runs tablesmith-cli --suggest-relations, and with
--verify, on a private server, and compares the suggestions with the keys that
were dropped: each dropped key should be suggested, and fewer than 5% of the
suggestions be wrong. Writes the figures into docs/benchmarks.md (between its
suggest markers); the rows of sizes not measured again stay.

    bench/suggest.py [--build BUILD] [--sizes 1000] [--repeat 3]

BUILD is a Tablesmith build tree (its cli/tablesmith-cli).
"""

import argparse
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import schema as schemagen  # noqa: E402
from bench import TOP, Server, command_output, log, machine, measure, parse_timings  # noqa: E402

BEGIN = "<!-- suggest: written by bench/suggest.py -->"
END = "<!-- /suggest -->"
KINDS = ("single-column", "one-to-one", "self-reference", "two-column")
KEY_LINE = re.compile(r"^(\S+)\.(\(([^)]*)\)|\S+) -> (\S+)\.(\(([^)]*)\)|\S+)$")


def without_keys(tables, schema):
    """The schema's DDL with every foreign key left out."""
    saved = [table.foreign_keys for table in tables]
    for table in tables:
        table.foreign_keys = []
    try:
        return schemagen.ddl(tables, schema)
    finally:
        for table, keys in zip(tables, saved):
            table.foreign_keys = keys


def dropped_keys(tables):
    """Each dropped key as (table, columns, referenced table, referenced columns) with its kind."""
    keys = {}
    for table in tables:
        for columns, parent, referenced in table.foreign_keys:
            if len(columns) > 1:
                kind = "two-column"
            elif parent is table:
                kind = "self-reference"
            elif columns == table.primary_key:
                kind = "one-to-one"
            else:
                kind = "single-column"
            keys[(table.name, tuple(columns), parent.name, tuple(referenced))] = kind
    return keys


def suggested_keys(stdout_path):
    keys = set()
    with open(stdout_path) as f:
        for line in f:
            match = KEY_LINE.match(line.strip())
            if not match or line.startswith("#"):
                continue

            def columns(whole, inner):
                return tuple(c.strip() for c in inner.split(",")) if inner is not None else (whole,)
            keys.add((match.group(1), columns(match.group(2), match.group(3)),
                      match.group(4), columns(match.group(5), match.group(6))))
    return keys


def one_size(args, server, work, size):
    schema = "suggest_%d" % size
    tables = schemagen.build(size, args.seed)
    sql = os.path.join(work, schema + ".sql")
    with open(sql, "w") as f:
        f.write(without_keys(tables, schema))
    with open(sql) as f:
        server.root(stdin=f)
    cli = os.path.join(args.build, "cli", "tablesmith-cli")
    base = [cli, "-h", "127.0.0.1", "-P", server.port, "-u", server.user, "-D", schema, "--suggest-relations",
            "--timings"]
    out, err = os.path.join(work, "out"), os.path.join(work, "err")
    runs = []
    for verify in (False, True):
        measured = []
        for _ in range(args.repeat):
            run = measure(server, base + (["--verify"] if verify else []), out, err)
            run["phases"] = parse_timings(err)
            measured.append(run)
        measured.sort(key=lambda r: r["wall"])
        runs.append(measured[len(measured) // 2])
        if not verify:
            suggested = suggested_keys(out)
    dropped = dropped_keys(tables)
    wrong = sorted(suggested - set(dropped))
    missed = sorted(set(dropped) - suggested)
    found = {kind: 0 for kind in KINDS}
    total = {kind: 0 for kind in KINDS}
    for key, kind in dropped.items():
        total[kind] += 1
        found[kind] += key in suggested
    row = {
        "size": size,
        "dropped": len(dropped),
        "suggested": len(suggested),
        "right": len(suggested & set(dropped)),
        "wrong": len(wrong),
        "missed": len(missed),
        "kinds": ", ".join("%s %d/%d" % (kind, found[kind], total[kind]) for kind in KINDS if total[kind]),
        "wall": runs[0]["wall"],
        "suggest_ms": runs[0]["phases"]["suggest"],
        "statements": runs[0]["statements"],
        "verify_wall": runs[1]["wall"],
        "verify_ms": runs[1]["phases"]["verify"],
        "verify_statements": runs[1]["statements"],
        "maxrss_kb": runs[0]["maxrss_kb"],
    }
    log("%d tables: %d dropped, %d suggested, %d wrong, %d missed; %.2f s, with --verify %.2f s"
        % (size, row["dropped"], row["suggested"], row["wrong"], row["missed"], row["wall"], row["verify_wall"]))
    for key in missed[:5]:
        log("  missed: %s" % (key,))
    for key in wrong[:5]:
        log("  wrong: %s" % (key,))
    server.root("DROP DATABASE `%s`" % schema)
    return row


COLUMNS = ("size", "dropped", "suggested", "right", "wrong", "missed", "kinds", "wall", "suggest_ms", "statements",
           "verify_wall", "verify_ms", "verify_statements", "maxrss_kb")


def earlier_rows(doc):
    if not os.path.exists(doc):
        return []
    text = open(doc).read()
    if BEGIN not in text or END not in text:
        return []
    rows = []
    for line in text[text.index(BEGIN):text.index(END)].splitlines():
        if line.startswith("<!-- row "):
            values = line[len("<!-- row "):-len(" -->")].split("\t")
            rows.append({name: (value if name == "kinds" else float(value) if "." in value else int(value))
                         for name, value in zip(COLUMNS, values)})
    return rows


def write(doc, rows, repeat):
    model, cores, memory = machine()
    commit = command_output(["git", "rev-parse", "--short", "HEAD"], cwd=TOP)
    load = open("/proc/loadavg").read().split()[0]
    lines = [BEGIN, "## Suggesting the relations of a schema without keys", "",
             "Written by `bench/suggest.py` on %s (commit %s); %s, %d cores, %.1f GiB; load average %s when it "
             "ended." % (time.strftime("%Y-%m-%d"), commit, model, cores, memory, load), "",
             "The synthetic schema of the benchmark (`bench/schema.py`, the same seed) is created without any "
             "of its FOREIGN KEY clauses, and `tablesmith-cli --suggest-relations` (then with `--verify`) runs "
             "on it; its suggestions are compared with the keys that were dropped. A key column is named after "
             "the referenced table and its key column (`customer_0001_id`, `batch_0035_head` with "
             "`batch_0035_line_no`), self-references are `parent_id`. Goal: every dropped key suggested, fewer "
             "than 5% of the suggestions wrong. The synthetic names keep to these conventions throughout, so "
             "what this shows is that nothing is missed or added at scale, and how long it takes; real schemas "
             "name their keys less regularly (the forms and near misses of `tests/fixtures/91_suggest.sql`, "
             "golden `rl_shop-suggested`).", "",
             "Times are the median of %d runs, the whole process from start to exit; \"suggest\" is the "
             "suggester's own part (no query), \"verify\" the checks, one query each (on empty tables here, so "
             "what they cost is the round trips). Statements are those the server counted for the run: the "
             "schema is read in the same few queries at any size, and `--verify` adds one per suggestion."
             % repeat, "",
             "| tables | keys dropped | suggested | right | wrong | missed | found by kind | wall ms | suggest ms "
             "| statements | wall ms with --verify | verify ms | statements with --verify | peak RSS MB |",
             "|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|"]
    for r in sorted(rows, key=lambda r: r["size"]):
        lines.append("| %d | %d | %d | %d | %d (%.1f%%) | %d | %s | %.0f | %d | %d | %.0f | %d | %d | %.0f |"
                     % (r["size"], r["dropped"], r["suggested"], r["right"], r["wrong"],
                        100.0 * r["wrong"] / max(r["suggested"], 1), r["missed"], r["kinds"], r["wall"] * 1000,
                        r["suggest_ms"], r["statements"], r["verify_wall"] * 1000, r["verify_ms"],
                        r["verify_statements"], r["maxrss_kb"] / 1024))
    for r in sorted(rows, key=lambda r: r["size"]):
        lines.append("<!-- row %s -->" % "\t".join(str(r[name]) for name in COLUMNS))
    lines.append(END)
    section = "\n".join(lines) + "\n"
    text = open(doc).read() if os.path.exists(doc) else ""
    if BEGIN in text and END in text:
        text = text[:text.index(BEGIN)] + section + text[text.index(END) + len(END) + 1:]
    else:
        text = text.rstrip("\n") + "\n\n" + section
    with open(doc, "w") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.environ.get("BENCH_BUILD_DIR", "build"))
    parser.add_argument("--sizes", nargs="*", type=int, default=[1000])
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--doc", default=os.path.join(TOP, "docs", "benchmarks.md"))
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    work = tempfile.mkdtemp(prefix="tablesmith-suggest-")
    server = Server(os.path.join(work, "server"))
    rows = earlier_rows(args.doc)
    try:
        for size in args.sizes:
            row = one_size(args, server, work, size)
            rows = [r for r in rows if r["size"] != size] + [row]
            write(args.doc, rows, args.repeat)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

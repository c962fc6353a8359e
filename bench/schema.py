#!/usr/bin/env python3
"""Writes the DDL of a synthetic schema of N tables for the benchmark.

The mix is meant to look like a real application schema rather than N copies
of one table: about ten columns per table of varied types, single and
composite primary keys, tables with no, one and several foreign keys, a few
one-to-one pairs (the child's primary key is its foreign key to the parent)
and a few self-references. The same N and seed always give the same schema.

    schema.py N SCHEMA_NAME [--seed S] > schema.sql
"""

import argparse
import random
import sys

WORDS = (
    "customer order invoice product supplier stock warehouse shipment payment "
    "account ledger employee department project task contract address city "
    "country currency tax discount price category brand vendor receipt refund "
    "batch lot asset loan member visit ticket agent region branch journal entry "
    "budget campaign lead quote item unit rate note audit session profile"
).split()

# Plain columns: (name stem, type). Names starting with "id" are avoided here
# so that the field types reported by the driver matter for most columns.
PLAIN_COLUMNS = (
    ("name", "varchar(80) NOT NULL"),
    ("code", "varchar(20)"),
    ("description", "text"),
    ("amount", "decimal(12,2)"),
    ("quantity", "int"),
    ("total", "decimal(14,4) NOT NULL"),
    ("active", "tinyint(1) NOT NULL"),
    ("status", "tinyint"),
    ("created_at", "datetime NOT NULL"),
    ("updated_at", "datetime"),
    ("valid_from", "date"),
    ("valid_to", "date"),
    ("counter", "bigint"),
    ("email", "varchar(120)"),
    ("phone", "varchar(30)"),
    ("notes", "text"),
    ("weight", "decimal(8,3)"),
    ("position", "int NOT NULL"),
    ("serial", "bigint NOT NULL"),
    ("label", "varchar(45)"),
)


class Table:
    def __init__(self, index, name):
        self.index = index
        self.name = name
        self.columns = []       # (name, type text)
        self.primary_key = []   # column names
        self.foreign_keys = []  # (columns, referenced table, referenced columns)

    def key_types(self):
        types = dict(self.columns)
        # Referencing columns take the key's type without its NOT NULL or
        # AUTO_INCREMENT, which belong to the referenced column only.
        return [types[c].replace(" AUTO_INCREMENT", "").replace(" NOT NULL", "")
                for c in self.primary_key]


def build(count, seed):
    rng = random.Random(seed)
    tables = []
    for i in range(count):
        word = WORDS[i % len(WORDS)]
        tables.append(Table(i, "%s_%04d" % (word, i + 1)))

    for table in tables:
        roll = rng.random()
        earlier = tables[:table.index]
        single_key_parents = [t for t in earlier if len(t.primary_key) == 1]
        if roll < 0.03 and single_key_parents:
            # One-to-one: the primary key is the foreign key to the parent.
            parent = rng.choice(single_key_parents)
            column = "%s_id" % parent.name
            table.columns.append((column, parent.key_types()[0] + " NOT NULL"))
            table.primary_key = [column]
            table.foreign_keys.append(([column], parent, list(parent.primary_key)))
        elif roll < 0.15:
            # Composite key of two columns, as in an order line.
            table.columns.append(("head", "int NOT NULL"))
            table.columns.append(("line_no", "smallint NOT NULL"))
            table.primary_key = ["head", "line_no"]
        elif roll < 0.17:
            pass  # no primary key at all
        else:
            key_type = "bigint NOT NULL AUTO_INCREMENT" if rng.random() < 0.3 else "int NOT NULL AUTO_INCREMENT"
            table.columns.append(("id", key_type))
            table.primary_key = ["id"]

        # Foreign keys to earlier tables: none for about a third, one for
        # another third, two to four for the rest.
        roll = rng.random()
        wanted = 0 if roll < 0.3 else 1 if roll < 0.65 else rng.randint(2, 4)
        keyed = [t for t in earlier if t.primary_key]
        targets = set(fk[1].name for fk in table.foreign_keys)
        for _ in range(wanted):
            if not keyed:
                break
            parent = rng.choice(keyed)
            if parent.name in targets:
                continue
            targets.add(parent.name)
            columns = []
            for key_column, key_type in zip(parent.primary_key, parent.key_types()):
                column = "%s_%s" % (parent.name, key_column)
                table.columns.append((column, key_type))
                columns.append(column)
            table.foreign_keys.append((columns, parent, list(parent.primary_key)))

        if table.primary_key == ["id"] and rng.random() < 0.04:
            key_type = table.key_types()[0]
            table.columns.append(("parent_id", key_type))
            table.foreign_keys.append((["parent_id"], table, ["id"]))

        # Fill up to about ten columns with plain ones.
        plain = list(PLAIN_COLUMNS)
        rng.shuffle(plain)
        target = rng.randint(7, 13)
        for name, column_type in plain:
            if len(table.columns) >= target:
                break
            table.columns.append((name, column_type))
    return tables


def ddl(tables, schema):
    out = [
        "SET foreign_key_checks = 0;",
        "SET unique_checks = 0;",
        "DROP DATABASE IF EXISTS `%s`;" % schema,
        "CREATE DATABASE `%s` CHARACTER SET utf8mb4;" % schema,
        "USE `%s`;" % schema,
    ]
    for table in tables:
        lines = ["  `%s` %s" % column for column in table.columns]
        if table.primary_key:
            lines.append("  PRIMARY KEY (%s)" % ", ".join("`%s`" % c for c in table.primary_key))
        for n, (columns, parent, referenced) in enumerate(table.foreign_keys, 1):
            lines.append("  CONSTRAINT `fk_%s_%d` FOREIGN KEY (%s) REFERENCES `%s` (%s)" % (
                table.name, n, ", ".join("`%s`" % c for c in columns), parent.name,
                ", ".join("`%s`" % c for c in referenced)))
        out.append("CREATE TABLE `%s` (\n%s\n) ENGINE=InnoDB;" % (table.name, ",\n".join(lines)))
    out.append("SET foreign_key_checks = 1;")
    return "\n".join(out) + "\n"


def summary(tables):
    """Counts that describe the mix, for the report."""
    columns = sum(len(t.columns) for t in tables)
    fks = sum(len(t.foreign_keys) for t in tables)
    return {
        "tables": len(tables),
        "columns": columns,
        "foreign_keys": fks,
        "composite_pk": sum(1 for t in tables if len(t.primary_key) > 1),
        "no_pk": sum(1 for t in tables if not t.primary_key),
        "no_fk": sum(1 for t in tables if not t.foreign_keys),
        "one_fk": sum(1 for t in tables if len(t.foreign_keys) == 1),
        "several_fk": sum(1 for t in tables if len(t.foreign_keys) > 1),
        "one_to_one": sum(1 for t in tables if t.foreign_keys
                          and t.foreign_keys[0][0] == t.primary_key and t.foreign_keys[0][1] is not t),
        "self_ref": sum(1 for t in tables if any(fk[1] is t for fk in t.foreign_keys)),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("count", type=int)
    parser.add_argument("schema")
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    sys.stdout.write(ddl(build(args.count, args.seed), args.schema))


if __name__ == "__main__":
    main()

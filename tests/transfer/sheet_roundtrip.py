#!/usr/bin/env python3
"""The spreadsheet file of each register, read and written again by another
program's CSV rules, imports back with every value as it was.

sheet_roundtrip.py PROGRAM_DIR SCRATCH [CALC_LANGUAGE LOCALE]

Makes the demo database (its columns the program has no caption for
included), plants the values a spreadsheet trips over, exports each register as a spreadsheet,
rewrites the file (Python's csv module; with "calc", LibreOffice Calc's
headless conversion with the Text Import settings of the manual, in the
language CALC_LANGUAGE and the program's --locale LOCALE), imports
it with --delete-first into a copy and compares every value of every row.
Records the export counts as not returnable are the only ones allowed to
differ, and each planted one of them must be counted."""
import csv, json, os, shutil, sqlite3, subprocess, sys

REGISTERS = [("kund", "Kund"), ("resurser", "Person"), ("bokningar", "Bokning")]
# (register, ID, column, value, comes back unchanged)
PLANTED = [
    ("Kund", 1, "Anteckningar", 'Ring "Kalle"; sedan Lisa', True),
    ("Kund", 2, "Namn", '"Citat" AB', True),
    ("Kund", 3, "Anteckningar", "rad 1\r\nrad 2\r\n", True),
    ("Kund", 4, "Anteckningar", "ensam\nradmatning", False),
    ("Kund", 5, "Anteckningar", "", False),
    ("Kund", 6, "OrgNr", "007", True),
    ("Kund", 7, "Adress", "  blanka  ", True),
    ("Person", 1, "Anteckningar", "ensam\rvagnretur", False),
    ("Person", 2, "Anteckningar", "pil \u2192 och \u20ac", True),
    ("Bokning", 1, "Anteckning", ';"\r\n"";', True),
]


def run(args, env):
    done = subprocess.run(args, env=env, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)}: exit {done.returncode}\n{done.stdout}{done.stderr}")
    return done.stdout


def prepare(db, program):
    run([os.path.join(program, "vexla-sampledb"), db, "--bookings", "2000"], os.environ)
    con = sqlite3.connect(db)
    for table, key, column, value, _ in PLANTED:
        con.execute(f'UPDATE "{table}" SET "{column}" = ? WHERE ID = ?', (value, key))
    con.commit()
    return con


def rows(con, table):
    return {r[0]: r for r in con.execute(f'SELECT * FROM "{table}" ORDER BY ID')}


def python_rewrite(src, dst):
    with open(src, newline="", encoding="utf-8-sig") as f:
        lines = list(csv.reader(f, delimiter=";"))
    with open(dst, "w", newline="", encoding="utf-8") as f:
        csv.writer(f, delimiter=";", quoting=csv.QUOTE_MINIMAL, lineterminator="\r\n").writerows(lines)


def calc_rewrite(src, dst, language):
    # Text Import: separator 59 (;), string delimiter 34 ("), UTF-8 (76),
    # from line 1, no column types, the language, quoted field as text on,
    # detect special numbers off. Saving: the same separator, delimiter and
    # encoding, text quoted only where needed, cell content as shown (the
    # save dialog's defaults).
    read = f"59,34,76,1,,{language},true,false"
    write = f"59,34,76,1,,{language},false,false,true"
    out = os.path.dirname(dst)
    run(["soffice", "--headless", f"-env:UserInstallation=file://{out}/lo-profile", "--infilter=CSV:" + read,
         "--convert-to", "csv:Text - txt - csv (StarCalc):" + write, "--outdir", out + "/calc", src], os.environ)
    shutil.move(os.path.join(out, "calc", os.path.basename(src)), dst)


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    calc = sys.argv[3] if len(sys.argv) > 3 else ""
    locale = ["--locale", sys.argv[4]] if len(sys.argv) > 4 else []
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    env = dict(os.environ, VEXLA_PASSWORD="vexla")
    db = os.path.join(scratch, "demo.db")
    con = prepare(db, program)
    transfer = os.path.join(program, "vexla-transfer")
    failures = []
    for register, table in REGISTERS:
        exported = os.path.join(scratch, register + ".csv")
        figures = json.loads(run([transfer, "export", "--register", register, "--db", db, "--out", exported,
                                  "--user", "admin", "--format", "spreadsheet", "--json"] + locale, env))
        rewritten = os.path.join(scratch, register + "-saved.csv")
        calc_rewrite(exported, rewritten, calc) if calc else python_rewrite(exported, rewritten)
        copy = os.path.join(scratch, register + ".db")
        shutil.copy(db, copy)
        run([transfer, "import", "--register", register, "--db", copy, "--in", rewritten, "--user", "admin",
             "--delete-first", "--quiet"] + locale, env)
        before, after = rows(con, table), rows(sqlite3.connect(copy), table)
        counted = {int(i) for i in figures["not_returnable_ids"]}
        changed = {k for k in before if before[k] != after.get(k)} | (after.keys() - before.keys())
        expected = {key for t, key, _, _, same in PLANTED if t == table and not same}
        print(f"{register}: {len(before)} records compared, {len(changed)} changed, "
              f"{figures['not_returnable']} counted as not returnable")
        if changed - counted or figures["not_returnable"] != len(changed) or not expected <= counted:
            failures.append(f"{register}: changed {sorted(changed)[:20]}, counted {sorted(counted)}")
            for k in sorted(changed)[:5]:
                failures.append(f"  {before.get(k)}\n  {after.get(k)}")
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()

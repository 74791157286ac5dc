#!/usr/bin/env python3
"""Prints which share of the product code the tests reached, per folder, from the counts that a build
with ORDOVANT_COVERAGE wrote while they ran, and writes the report per file into BUILD/coverage/:
index.html (every file line by line), coverage.txt (a line per file) and summary.json.

  coverage.py BUILD

The product code is app/, check/, ui/, host/ and tools/ (without the fuzz targets, which the tests do not
build); tests/ and bench/ are left out. Needs gcovr (Debian: gcovr)."""
import json
import os
import subprocess
import sys
from collections import defaultdict
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRODUCT = r"(app|check|ui|host|tools)/"
LEFT_OUT = r"tools/fuzz/"


def run_gcovr(build, report):
    report.mkdir(exist_ok=True)
    for old in report.iterdir():
        old.unlink()
    # Relative filters are read from the working folder: the source root, whose build folders they miss.
    command = ["gcovr", "--root", str(ROOT), "--filter", PRODUCT, "--exclude", LEFT_OUT,
               "--exclude-throw-branches", "--exclude-unreachable-branches",
               "-j", str(os.cpu_count() or 1),
               "--html-details", str(report / "index.html"), "--html-title", "ordovant: coverage",
               "--txt", str(report / "coverage.txt"),
               "--json-summary-pretty", "--json-summary", str(report / "summary.json"),
               str(build)]
    subprocess.run(command, cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return json.loads((report / "summary.json").read_text(encoding="utf-8"))


def share(covered, total):
    if total == 0:
        return f"{'-':>6} {0:>6} / {0:<6}"
    return f"{100.0 * covered / total:5.1f}% {covered:>6} / {total:<6}"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: coverage.py BUILD")
    build = Path(sys.argv[1]).resolve()
    if not any(build.rglob("*.gcno")):
        sys.exit(f"{build} holds no coverage notes: configure it with -DORDOVANT_COVERAGE=ON")
    report = build / "coverage"
    summary = run_gcovr(build, report)

    folders = defaultdict(lambda: [0, 0, 0, 0])
    for entry in summary["files"]:
        counts = folders[str(Path(entry["filename"]).parent)]
        counts[0] += entry["line_covered"]
        counts[1] += entry["line_total"]
        counts[2] += entry["function_covered"]
        counts[3] += entry["function_total"]
    width = max([len(folder) for folder in folders] + [len("folder")])
    print(f"Coverage of the product code by this test run ({len(summary['files'])} files; "
          f"per file: {report / 'index.html'}):")
    print(f"{'folder':<{width}}  {'lines':<21}  functions")
    for folder in sorted(folders):
        lines_covered, lines_total, functions_covered, functions_total = folders[folder]
        print(f"{folder:<{width}}  {share(lines_covered, lines_total)}  "
              f"{share(functions_covered, functions_total)}".rstrip())
    print(f"{'total':<{width}}  {share(summary['line_covered'], summary['line_total'])}  "
          f"{share(summary['function_covered'], summary['function_total'])}".rstrip())


if __name__ == "__main__":
    main()

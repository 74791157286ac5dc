#!/usr/bin/env python3
"""Passes when every relative link of the given Markdown files leads to a file or folder inside ROOT,
and every #anchor to a heading of the Markdown file it names; prints each one that does not.

  doc-links-resolve.py ROOT [FILE...]   (no FILE: every .md file under ROOT)

Web addresses are left alone: the installed documents must stand on their own, and a link out of ROOT
(../bench/README.md from an installed manual) leads nowhere where they are installed."""
import re
import sys
from pathlib import Path
from urllib.parse import unquote

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")
CODE_SPAN = re.compile(r"(`+).*?\1")


def prose_lines(text):
    """The lines outside fenced and indented code blocks, with their numbers."""
    fenced = False
    previous_blank = True
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        indented = line.startswith("    ") and previous_blank
        previous_blank = not line.strip() or (indented and previous_blank)
        if not fenced and not indented:
            yield number, line


def anchors(path):
    """The anchors GitHub gives the headings: lower case, without punctuation, blanks as hyphens."""
    found = set()
    for _, line in prose_lines(path.read_text(encoding="utf-8")):
        match = HEADING.match(line)
        if not match:
            continue
        title = CODE_SPAN.sub(lambda span: span.group(0).strip("`"), match.group(1))
        slug = re.sub(r"[^\w\- ]", "", title.lower()).replace(" ", "-")
        anchor, n = slug, 0
        while anchor in found:
            n += 1
            anchor = f"{slug}-{n}"
        found.add(anchor)
    return found


def problems(root, path):
    for number, line in prose_lines(path.read_text(encoding="utf-8")):
        for target in LINK.findall(CODE_SPAN.sub("", line)):
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            name, _, anchor = target.partition("#")
            linked = (path.parent / unquote(name)).resolve() if name else path
            where = f"{path.relative_to(root)}:{number}: {target}"
            if not linked.is_relative_to(root) or not linked.exists():
                yield f"{where} leads to no file here"
            elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
                yield f"{where}: {linked.name} has no heading with that anchor"


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: doc-links-resolve.py ROOT [FILE...]")
    root = Path(sys.argv[1]).resolve()
    files = [Path(f).resolve() for f in sys.argv[2:]] or sorted(root.rglob("*.md"))
    if not files:
        sys.exit(f"no Markdown file under {root}")
    found = [problem for path in files for problem in problems(root, path)]
    for problem in found:
        print(problem)
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()

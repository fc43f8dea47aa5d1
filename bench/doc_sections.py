#!/usr/bin/env python3
"""Writes benchmark output into documents between their section markers.

    doc_sections.py --doc DOC [--doc DOC...] SECTION_FILE...

Each SECTION_FILE is one benchmark's Markdown output, NAME.md; it replaces
what stands between

    <!-- section: NAME -->
    <!-- /section: NAME -->

in every DOC that has these markers, and nothing else changes: the prose, the
command beside each table and the other sections are the document's own. A
section file that no DOC has a place for is named on stderr (the benchmark is
new and its table has no place yet), and the exit status is 1; a section with
no file (a benchmark that did not run) keeps its last figures.
"""
import argparse
import os
import sys


def markers(name):
    return "<!-- section: %s -->" % name, "<!-- /section: %s -->" % name


def replace_section(doc, name, text):
    """DOC with section NAME's contents replaced by TEXT; None when DOC has no
    such section. The contents are set off by one blank line on each side, so
    that writing the same text again changes nothing."""
    start, end = markers(name)
    a = doc.find(start)
    b = doc.find(end, a + len(start)) if a >= 0 else -1
    if a < 0 or b < 0:
        return None
    if doc.find(start, a + len(start)) >= 0:
        raise ValueError("section %s appears twice" % name)
    return doc[: a + len(start)] + "\n\n" + text.strip("\n") + "\n\n" + doc[b:]


def main(argv):
    parser = argparse.ArgumentParser(usage=__doc__.strip().split("\n\n")[1].strip())
    parser.add_argument("--doc", action="append", required=True)
    parser.add_argument("sections", nargs="+")
    args = parser.parse_args(argv)
    docs = {}
    for path in args.doc:
        with open(path, encoding="utf-8") as f:
            docs[path] = f.read()
    homeless = []
    for path in args.sections:
        name = os.path.basename(path)
        name = name[: -len(".md")] if name.endswith(".md") else name
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if not text.strip():
            print("%s is empty: section %s keeps its figures" % (path, name), file=sys.stderr)
            continue
        placed = False
        for doc_path, doc in docs.items():
            updated = replace_section(doc, name, text)
            if updated is not None:
                docs[doc_path], placed = updated, True
        if not placed:
            homeless.append((path, name))
    for doc_path, doc in docs.items():
        with open(doc_path, "w", encoding="utf-8") as f:
            f.write(doc)
    for path, name in homeless:
        start, end = markers(name)
        print("%s has no place in %s: add the lines %s and %s where its table belongs"
              % (path, ", ".join(args.doc), start, end), file=sys.stderr)
    return 1 if homeless else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

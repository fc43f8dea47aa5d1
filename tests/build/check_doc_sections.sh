#!/usr/bin/env bash
# scripts/bench.sh --readme's writer (bench/doc_sections.py) on hand-written
# documents and benchmark output: it fills each section in every document
# that has its markers and touches nothing else, the same output twice leaves
# the documents as they were, another run's output changes only figures, and
# output with no place fails, naming the markers to add.
#     check_doc_sections.sh PYTHON WRITER DATA
set -u
python=$1 writer=$2 data=$3
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
cp "$data/doc.md" "$data/readme.md" "$work/"
write() { "$python" "$writer" --doc "$work/doc.md" --doc "$work/readme.md" "$@"; }
same() { cmp -s "$1" "$2" || { echo "$3:"; diff "$2" "$1"; exit 1; }; }

write "$data"/run1/*.md || { echo "the writer failed"; exit 1; }
same "$work/doc.md" "$data/expected1_doc.md" "first run, doc.md"
same "$work/readme.md" "$data/expected1_readme.md" "first run, readme.md"
write "$data"/run1/*.md && same "$work/doc.md" "$data/expected1_doc.md" "the same output again"
write "$data"/run2/*.md && same "$work/doc.md" "$data/expected2_doc.md" "another run"
same <(tr -d '0-9' <"$work/doc.md") <(tr -d '0-9' <"$data/expected1_doc.md") "another run, beyond figures"

printf 'New table.\n' >"$work/delta.md"
if write "$data"/run1/*.md "$work/delta.md" 2>"$work/said"; then
  echo "output with no place passed"; exit 1
fi
grep -q 'add the lines <!-- section: delta --> and <!-- /section: delta -->' "$work/said" ||
  { echo "no word of the missing place:"; cat "$work/said"; exit 1; }
same "$work/doc.md" "$data/expected1_doc.md" "the other sections beside output with no place"
echo "doc sections: ok"

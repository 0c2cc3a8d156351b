#!/bin/sh
# Times whole batches of the quillfold tool, start-up and LibreOffice included:
#   100 .docx documents (copies of the sample notice) and 20 .doc documents (copies of the
#   sample decision), full run, house settings of samples/setup.ini.
# Usage: bench/batch.sh [path/to/quillfold]   (default: build/release/app/cli/quillfold)
# Targets on a 2-core machine: the .docx batch under 2 s; the .doc batch at most 0.4 s per
# document (8 s for 20).
set -eu
cd "$(dirname "$0")/.."
tool="${1:-build/release/app/cli/quillfold}"
[ -x "$tool" ] || { echo "batch.sh: $tool not built" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/qf-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docx" "$work/doc"
i=1
while [ "$i" -le 100 ]; do
  cp "samples/通知-安全生产大检查.docx" "$work/docx/通知$i.docx"
  i=$((i + 1))
done
i=1
while [ "$i" -le 20 ]; do
  cp "samples/决定-表彰先进.doc" "$work/doc/决定$i.doc"
  i=$((i + 1))
done

now() { date +%s.%N; }

timed() { # label folder count
  start=$(now)
  status=0
  "$tool" typeset --dir "$work/$2" --settings samples/setup.ini --out "$work/out-$2" \
    >"$work/$2.log" 2>&1 || status=$?
  end=$(now)
  awk -v l="$1" -v s="$start" -v e="$end" -v n="$3" -v st="$status" 'BEGIN {
    t = e - s; printf "%-28s %6.2f s  %6.3f s/document  exit %d\n", l, t, t / n, st }'
  [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || { tail -5 "$work/$2.log" >&2; exit 1; }
}

timed "100 .docx, full run" docx 100
timed "20 .doc, full run" doc 20

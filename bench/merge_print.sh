#!/bin/sh
# Times merge and print with the quillfold tool, start-up and LibreOffice included:
#   merge 20 documents (the sample notice and regulation, alternating: colliding styles, lists
#   and section properties) into one .doc;
#   merge 20 documents of which 10 are .doc (one more LibreOffice start for the inputs);
#   print 5 documents on the Quillfold_PDF queue (scripts/start-cups), once until the jobs are
#   queued and once until cups-pdf has written every PDF.
# Usage: bench/merge_print.sh [path/to/quillfold]   (default: build/release/app/cli/quillfold)
set -eu
cd "$(dirname "$0")/.."
tool="${1:-build/release/app/cli/quillfold}"
[ -x "$tool" ] || { echo "merge_print.sh: $tool not built" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/qf-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docx" "$work/mixed" "$work/print"
i=1
while [ "$i" -le 20 ]; do
  n=$(printf '%02d' "$i")
  if [ $((i % 2)) -eq 0 ]; then
    cp "samples/通知-安全生产大检查.docx" "$work/docx/$n-通知.docx"
    cp "samples/通知-安全生产大检查.docx" "$work/mixed/$n-通知.docx"
  else
    cp "samples/办法-政府投资项目管理.docx" "$work/docx/$n-办法.docx"
    cp "samples/决定-表彰先进.doc" "$work/mixed/$n-决定.doc"
  fi
  if [ "$i" -le 5 ]; then
    cp "samples/通知-安全生产大检查.docx" "$work/print/$n-通知.docx"
  fi
  i=$((i + 1))
done

now() { date +%s.%N; }

timed() { # label count command…
  label="$1"
  count="$2"
  shift 2
  start=$(now)
  status=0
  "$@" >"$work/last.log" 2>&1 || status=$?
  end=$(now)
  awk -v l="$label" -v s="$start" -v e="$end" -v n="$count" -v st="$status" 'BEGIN {
    t = e - s; printf "%-40s %6.2f s  %6.3f s/document  exit %d\n", l, t, t / n, st }'
  [ "$status" -eq 0 ] || { tail -5 "$work/last.log" >&2; exit 1; }
}

timed "merge 20 .docx" 20 "$tool" merge "$work"/docx/* --out "$work/out"
timed "merge 20 (10 .doc, 10 .docx)" 20 "$tool" merge "$work"/mixed/* --out "$work/out"

if "$tool" printers 2>/dev/null | grep -q '^Quillfold_PDF'; then
  timed "print 5 .docx (until queued)" 5 "$tool" print "$work"/print/* --printer Quillfold_PDF
  timed "print 5 .docx (until printed)" 5 "$tool" print "$work"/print/* --printer Quillfold_PDF \
    --wait
else
  echo "merge_print.sh: no Quillfold_PDF queue (run scripts/start-cups as root); print not timed"
fi

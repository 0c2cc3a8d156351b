#!/bin/sh
# Times whole batches of the quillfold tool, start-up, engine servers and LibreOffice included:
#   100 .docx documents (copies of the sample notice) and 20 .doc documents (copies of the
#   sample decision), full run, house settings of samples/setup.ini, each on one engine server
#   (--jobs 1) and on two (--jobs 2), and the speed-up of two over one.
# Usage: bench/batch.sh [path/to/quillfold] [rounds]
#   (default: build/release/app/cli/quillfold, 1 round; with several rounds each time is the
#   best of them, which is the one least disturbed by other work on the machine)
# Targets on a 2-core machine: the .docx batch under 2 s and the .doc batch at most 0.4 s per
# document (8 s for 20) on one server; on two servers the .docx batch at least 1.7 times and
# the .doc batch at least 1.5 times as fast as on one. Each line also gives the ceiling of the
# machine: two separate one-server runs on the halves of the batch at the same time.
set -eu
cd "$(dirname "$0")/.."
tool="${1:-build/release/app/cli/quillfold}"
rounds="${2:-1}"
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

# best_of command...: runs the command `rounds` times, each on empty output folders, and prints
# its best wall time
best_of() {
  best=""
  r=1
  while [ "$r" -le "$rounds" ]; do
    rm -rf "$work"/out*
    start=$(now)
    "$@"
    end=$(now)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN {
      t = e - s; if (b == "" || t < b) printf "%.3f", t; else printf "%s", b }')
    r=$((r + 1))
  done
  echo "$best"
}

# one_batch folder jobs: the folder's batch on `jobs` servers
one_batch() {
  status=0
  "$tool" typeset --dir "$work/$1" --settings samples/setup.ini --out "$work/out" \
    --jobs "$2" >"$work/log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || { tail -5 "$work/log" >&2; exit 1; }
}

# The halves of a folder (odd and even documents) in folders of their own, for the ceiling.
split_halves() {
  rm -rf "$work/$1-a" "$work/$1-b"
  mkdir -p "$work/$1-a" "$work/$1-b"
  k=0
  for f in "$work/$1"/*; do
    if [ $((k % 2)) -eq 0 ]; then cp "$f" "$work/$1-a/"; else cp "$f" "$work/$1-b/"; fi
    k=$((k + 1))
  done
}

# The ceiling of any --jobs 2 on this machine: two separate runs of the tool, each on one server
# with one half of the batch and an output folder of its own, at the same time. They share
# nothing but the machine, so no way of spreading one batch over two servers can beat them.
two_halves() {
  "$tool" typeset --dir "$work/$1-a" --settings samples/setup.ini --out "$work/out-a" \
    --jobs 1 >/dev/null 2>&1 &
  other=$!
  "$tool" typeset --dir "$work/$1-b" --settings samples/setup.ini --out "$work/out-b" \
    --jobs 1 >/dev/null 2>&1 || true
  wait "$other" || true
}

report() { # label folder count
  one=$(best_of one_batch "$2" 1)
  two=$(best_of one_batch "$2" 2)
  split_halves "$2"
  halves=$(best_of two_halves "$2")
  awk -v l="$1" -v a="$one" -v b="$two" -v h="$halves" -v n="$3" 'BEGIN {
    printf "%-22s --jobs 1 %6.2f s (%5.3f s/document)  --jobs 2 %6.2f s  speed-up %.2fx" \
           "  (ceiling: two separate halves %5.2f s, %.2fx)\n", l, a, a / n, b, a / b, h, a / h }'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
report "100 .docx, full run" docx 100
report "20 .doc, full run" doc 20
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

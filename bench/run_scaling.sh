#!/bin/sh
# Prints how the page-only run and the full run grow with the document, on generated documents
# of 1 000, 5 000, 20 000 and 100 000 paragraphs (bench/run_scaling.cpp):
#   paragraphs → page-only s, full s, ratio, peak MiB (full run), document.xml MiB in/out
# Usage: bench/run_scaling.sh [path/to/bench_run_scaling] [extra google-benchmark flags]
#   (default: build/release/bench/bench_run_scaling; build it with
#    cmake --preset release && cmake --build --preset release --target bench_run_scaling)
# Targets: the full run at most 3 times the page-only run at 20 000 paragraphs, both growing
# linearly from 1 000 to 100 000 paragraphs; the full run's peak at 100 000 paragraphs at most
# 20 times the source's document.xml (18.5 MiB there: 370 MiB).
set -eu
cd "$(dirname "$0")/.."
bin="${1:-build/release/bench/bench_run_scaling}"
[ $# -gt 0 ] && shift
[ -x "$bin" ] || { echo "run_scaling.sh: $bin not built" >&2; exit 1; }
"$bin" --benchmark_counters_tabular=true "$@"

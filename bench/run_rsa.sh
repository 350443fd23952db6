#!/usr/bin/env bash
# Runs the RSA benchmark (generation against the GMP anchor, private operations against GMP)
# and times `openssl genrsa` at the same lengths beside it: CPU seconds per key, median of runs.
# Usage: bench/run_rsa.sh [path/to/rsa_bench] [benchmark options]
#   GENRSA_RUNS=n   openssl genrsa runs per length (default: 41, 21, 11 as the benchmark's seeds)
#   LQ_RSA_LARGE=1  also one generation and round trip at 16384 and 32768 bits (very long)
set -euo pipefail
bin="${1:-$(dirname "$0")/../build/host-release/bench/rsa_bench}"
shift || true
"$bin" "$@"

TIMEFORMAT='%3U %3S'
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
echo
echo "openssl genrsa (e = 65537, its own prime search), CPU ms per key, median over runs"
for bits in 1024 2048 4096; do
  case $bits in 1024) runs=41 ;; 2048) runs=21 ;; *) runs=11 ;; esac
  runs="${GENRSA_RUNS:-$runs}"
  times=()
  for ((i = 0; i < runs; i++)); do
    # user + system CPU time of one run, in milliseconds
    { time openssl genrsa -out /dev/null "$bits" >/dev/null 2>&1; } 2>"$tmp"
    t=$(awk '{ printf "%d", ($1 + $2) * 1000 }' "$tmp")
    times+=("$t")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  printf '%-16s %6d bits: %8d ms  (%d runs)\n' "openssl genrsa" "$bits" "$median" "$runs"
done

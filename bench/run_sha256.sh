#!/usr/bin/env bash
# Runs the digest benchmark twice: with OpenSSL free to use every CPU feature, then with its
# SHA-extension, SSSE3 and AVX2 code switched off so that its integer code meets our portable path.
# Usage: bench/run_sha256.sh [path/to/sha256_bench] [benchmark options]
set -euo pipefail
bin="${1:-$(dirname "$0")/../build/host-release/bench/sha256_bench}"
shift || true
# Five repetitions by default: the printed ratios use the fastest one, the least disturbed.
[ $# -eq 0 ] && set -- --benchmark_repetitions=5
echo "== OpenSSL with all CPU features =="
"$bin" "$@"
echo
echo "== OpenSSL limited to its integer code (compare with ours, portable) =="
OPENSSL_ia32cap='~0x20000000000:~0x20000020' "$bin" "$@"

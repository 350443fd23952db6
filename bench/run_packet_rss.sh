#!/usr/bin/env bash
# Peak resident memory of lq composing and opening packets with one large attachment, each step
# in its own process (GNU time's maximum resident set size), on a throw-away keyfile.
# Usage: bench/run_packet_rss.sh [path/to/lq]
set -euo pipefail
lq="$(realpath "${1:-$(dirname "$0")/../build/host-release/src/cli/lq}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir store
export LQ_KEYFILE="$work/k.lqk" PP=benchpass SEC="bench shared secret"
"$lq" --passphrase-env PP keyfile create >/dev/null
"$lq" --passphrase-env PP key new bob >/dev/null
"$lq" --passphrase-env PP key secret bob --secret-env SEC >/dev/null
head -c $((32 << 20)) /dev/urandom >r32.bin
head -c $((256 << 20)) /dev/urandom >r256.bin
# Text-like: repeated words, compresses.
{ yes 'the packet engine adds little on top of its parts, which is what we measure here.' || true; } |
  head -c $((32 << 20)) >t32.bin
rss() {
  /usr/bin/time -f %M -o "$work/t" "$@" >/dev/null 2>"$work/err"
  echo "$(($(cat "$work/t") / 1024)) MiB"
}
enc=("$lq" --passphrase-env PP encrypt --to bob --prefer secret --text hi --attach)
dec=("$lq" --passphrase-env PP --yes --store store decrypt)
for f in r32 t32; do
  echo "$f compose file:  $(rss "${enc[@]}" $f.bin -o $f.lqe)"
  echo "$f compose armor: $(rss sh -c '"$@" >armor.asc' sh "${enc[@]}" $f.bin)"
  rm -rf store/*
  echo "$f decrypt file:  $(rss "${dec[@]}" $f.lqe)"
  cmp store/$f.bin $f.bin
  rm -rf store/*
  echo "$f decrypt armor: $(rss "${dec[@]}" armor.asc)"
  cmp store/$f.bin $f.bin
done
echo "r256 compose file:  $(rss "${enc[@]}" r256.bin -o r256.lqe)"
rm -rf store/*
echo "r256 decrypt file:  $(rss "${dec[@]}" r256.lqe)"
cmp store/r256.bin r256.bin

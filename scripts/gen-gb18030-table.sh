#!/usr/bin/env bash
# Regenerates src/base/gb18030_table.inc from the local glibc iconv.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -O2 -std=c++20 "$here/scripts/gen_gb18030_table.cc" -o "$tmp/gen"
"$tmp/gen" > "$here/src/base/gb18030_table.inc"

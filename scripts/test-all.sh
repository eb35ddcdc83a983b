#!/usr/bin/env bash
# Builds everything and runs every test: the gcc build, the clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer (plus a fixed run of each
# fuzz target), and the Windows cross build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${QUORVEL_FUZZ_SECONDS:-60}

bash scripts/install-deps.sh test

echo "== gcc debug build"
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$jobs"
ctest --preset debug -j"$jobs"

echo "== clang ASan + UBSan build"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"
for target in build/sanitize/bin/fuzz_*; do
  corpus=$(mktemp -d)
  echo "-- $(basename "$target") for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=0 "$corpus" 2>&1 | tail -n 1
  rm -rf "$corpus"
done

echo "== Windows cross build, tests under Wine"
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j"$jobs"
export WINEPREFIX="$PWD/build/windows-test/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
# A prefix of the build's own, made once; then a persistent server, or
# every test waits seconds for one to start.
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k || true' EXIT
ctest --preset windows-test

echo "== Packages, and shipped programs carry nothing of the tests"
bash scripts/package.sh
bash scripts/check-release.sh build/debug/test-ca/ca.pem
bash scripts/check-packages.sh

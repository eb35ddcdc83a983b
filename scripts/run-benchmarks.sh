#!/usr/bin/env bash
# Runs the benchmarks of a release build. By hand only, never in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" --target json_bench json_bounds hash_bench cipher_bench http_bench config_bench regex_bench
build/bench/bin/json_bench
build/bench/bin/json_bounds
build/bench/bin/hash_bench
build/bench/bin/cipher_bench
build/bench/bin/http_bench
build/bench/bin/config_bench
build/bench/bin/regex_bench
echo "The web view benchmark takes longer; run it on its own: bash bench/webview_bench.sh [RUNS]"

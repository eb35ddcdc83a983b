#!/usr/bin/env bash
# Runs the benchmarks of a release build. By hand only, never in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target json_bench hash_bench cipher_bench http_bench config_bench
build/release/bin/json_bench
build/release/bin/hash_bench
build/release/bin/cipher_bench
build/release/bin/http_bench
build/release/bin/config_bench
echo "The web view benchmark takes longer; run it on its own: bash bench/webview_bench.sh [RUNS]"

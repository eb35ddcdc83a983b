#!/usr/bin/env bash
# Builds the programs and starts them. Until the desktop client exists, this
# runs the command-line companion on a sample directory answer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)" >/dev/null
tool=build/debug/bin/quorvel-tool
echo "quorvel-tool, reading a sample directory answer:"
echo '{"code":"200","msg":"成功","data":"https://chat.example.test"}' | "$tool" json-get data
"$tool" config set hostdataid 10001
echo "server number stored in $(pwd)/build/debug/bin/config/config.ini: $("$tool" config get hostdataid)"
"$tool" || true

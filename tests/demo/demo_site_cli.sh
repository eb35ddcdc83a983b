#!/usr/bin/env bash
# The demo site's program: prints what a user needs, ends cleanly on SIGTERM
# and on Ctrl+C (SIGINT), and refuses wrong arguments.
set -euo pipefail
demo=$1
out=$(mktemp)
trap 'rm -f "$out"' EXIT

for signal in TERM INT; do
  "$demo" --directory-port 0 --site-port 0 --no-visitors >"$out" 2>&1 &
  pid=$!
  for _ in $(seq 100); do grep -q 客服站点 "$out" && break; sleep 0.05; done
  grep -q '^服务器编号: 8866$' "$out"
  grep -Eq '^目录服务: https://127\.0\.0\.1:[0-9]+$' "$out"
  grep -Eq '^客服站点: http://127\.0\.0\.1:[0-9]+/service/login$' "$out"
  kill -"$signal" "$pid"
  wait "$pid"  # exit status 0, or set -e ends the test
  grep -q '^已停止$' "$out"
done

if "$demo" --site-port 2>/dev/null; then exit 1; fi
echo ok

#!/usr/bin/env bash
# The request engine's suite under Wine: its servers run inside the Windows
# test, and the Linux helper tls_front ends TLS for the secure ones.
#   http_request_wine.sh TEST.exe TLS-FRONT TEST-CA-DIR [gtest arguments]
# Exits 77 (skipped) when the helper has not been built (debug preset).
set -euo pipefail
test_exe=$1 front=$2 ca=$3
shift 3
[ -x "$front" ] || { echo "no TLS helper at $front (build the debug preset first)"; exit 77; }
work=$(mktemp -d)
"$front" "$ca" >"$work/front.out" 2>"$work/front.err" &
front_pid=$!
trap 'kill $front_pid 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q '^control ' "$work/front.out" && break; sleep 0.05; done
QUORVEL_TLS_FRONT=$(sed -n 's/^control //p' "$work/front.out")
[ -n "$QUORVEL_TLS_FRONT" ] || { cat "$work/front.err"; echo "FAILED: tls_front did not start"; exit 1; }
export QUORVEL_TLS_FRONT
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
/usr/lib/wine/wine64 "$test_exe" "$@"

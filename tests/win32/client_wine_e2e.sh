#!/usr/bin/env bash
# The Windows client for real, under Wine on a virtual display, against the
# Linux demo site: the first start shows the join window; the demo's server
# number binds it; the restart script starts it again; with a stand-in
# WebView2 runtime registered the main window opens the console, and the
# page's title message reaches its caption.
#   client_wine_e2e.sh QUORVEL.EXE DEMO-SITE TEST-CA-DIR FAKE-RUNTIME.DLL ARTIFACTS
# Exits 77 (skipped) without the Linux demo site or the X tools.
set -euo pipefail
exe=$1 demo=$2 ca=$3 fake=$4 artifacts=$5
[ -x "$demo" ] || { echo "no Linux demo site at $demo"; exit 77; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "needs $tool"; exit 77; }
done
wine=/usr/lib/wine/wine64
key='HKCU\Software\Microsoft\EdgeUpdate\ClientState\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
work=$(mktemp -d)
mkdir -p "$artifacts" "$work/app/config" "$work/runtime/EBWebView/x64"
pids=()
cleanup() {
  "$wine" taskkill /f /im quorvel.exe >/dev/null 2>&1 || true
  "$wine" reg delete "$key" /reg:32 /f >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # The demo site and the display take a moment to end; the next test may
  # want the same port.
  for p in "${pids[@]}"; do
    for _ in $(seq 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    echo "window $id: $(xdotool getwindowname "$id" 2>/dev/null)"
  done
  import -window root "$artifacts/failure.png" 2>/dev/null || true
  exit 1
}
shot() { import -window root "$artifacts/$1.png" 2>/dev/null || true; }
wait_window() {  # title-regex tries: prints the window id
  for _ in $(seq "$2"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/xvfb.sh"
start_xvfb
pids+=("$xvfb_pid")
"$demo" --directory-port 18443 --site-port 18080 --no-visitors --cert "$ca/server.pem" \
  --key "$ca/server.key" >"$work/demo.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q 客服站点 "$work/demo.out" && break; sleep 0.05; done
grep -q 客服站点 "$work/demo.out" || fail "the demo site did not start: $(cat "$work/demo.out")"

cp "$exe" "$work/app/quorvel.exe"
cp "$fake" "$work/runtime/EBWebView/x64/EmbeddedBrowserWebView.dll"
"$wine" reg add "$key" /v EBWebView /t REG_SZ /d "$("$wine" winepath -w "$work/runtime" | tr -d '\r')" \
  /reg:32 /f >/dev/null 2>&1
(cd "$work/app" && "$wine" quorvel.exe >/dev/null 2>&1 &)

join=$(wait_window '^加入Quorvel服务器$' 150) || fail "no join window"
shot 1-join
# Without a window manager the X window is the client area: the number box
# and the join button at their designed places.
eval "$(xdotool getwindowgeometry --shell "$join")"
xdotool mousemove $((X + 90)) $((Y + 84)) click 1
sleep 0.3
xdotool type --delay 50 8866
sleep 0.3
shot 2-number
xdotool mousemove $((X + 124)) $((Y + 120)) click 1
main=$(wait_window '客服 "quoted"' 200) || fail "no main window with the page's title"
shot 3-main
grep -q '^hostdata=' "$work/app/config/config.ini" || fail "no binding stored"
grep -q '^hostdataid=8866' "$work/app/config/config.ini" || fail "number not stored: $(cat "$work/app/config/config.ini")"
[ ! -e "$work/app/Restart.bat" ] || fail "the restart script is still there"
echo ok

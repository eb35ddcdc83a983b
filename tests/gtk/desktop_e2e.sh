#!/usr/bin/env bash
# The client's place on the desktop, end to end on a virtual display with a
# session bus of its own, against the demo site: one client per session
# (two starts at once leave one, a later start brings the first's window
# forward and ends with code 0). A screenshot of each stage goes to the
# artifact folder.
#   desktop_e2e.sh CLIENT DEMO_SITE ARTIFACTS
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
for tool in Xvfb openbox xdotool xprop import curl dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d)
rm -rf "$artifacts"
mkdir -p "$work/config" "$artifacts"
cp "$client_built" "$work/quorvel"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/xdg-config"
client="$work/quorvel"
config="$work/config/config.ini"
# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/e2e.sh"
cleanup() {
  pkill -f "^$client" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export G_DEBUG=fatal-criticals
clients() { pgrep -f "^$client\$" | wc -l; }
console_shown() { visible 'Quorvel在线客服 - 小王'; }
minimised() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }

start_display
start_demo --site-port 0 --no-visitors --no-login
printf '[main]\r\nhostdata={"code":"200","data":"%s"}\r\n' "$site" >"$config"

# 1. Two starts at once: one client stays, the other ends with code 0, and
# the settings file is whole.
"$client" >>"$work/client.out" 2>&1 &
first=$!
"$client" >>"$work/client.out" 2>&1 &
second=$!
wait_for "console_shown" 400
sleep 2
[ "$(clients)" = 1 ] || fail "$(clients) clients run"
if ! kill -0 "$first" 2>/dev/null; then ended=$first; else ended=$second; fi
wait "$ended" || fail "the second start ended with code $?"
[ "$(console_shown | wc -l)" = 1 ] || fail "more than one main window"
grep -q '^hostdata=' "$config" || fail "the settings file lost its binding"
shot 1-one-client

# 2. A later start brings the first's minimised window forward and ends.
main=$(console_shown)
xdotool windowminimize --sync "$main"
wait_for "minimised $main"
"$client" >>"$work/client.out" 2>&1 || fail "a later start ended with code $?"
wait_for "! minimised $main"
[ "$(clients)" = 1 ] || fail "$(clients) clients run after a later start"
sleep 1
shot 2-forward
echo "desktop e2e passed"

#!/usr/bin/env bash
# The Linux client end to end, on a virtual display with a window manager
# (openbox) and a tray (trayer), against the demo site:
#   start unbound, join, main window and tray icon; move and resize and read
#   the keys back; close to the tray and bring it back; re-join from the tray
#   menu and see a new process; exit from the tray menu.
# A screenshot of each stage goes to the artifact folder.
#   client_e2e.sh CLIENT DEMO_SITE ARTIFACTS
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
for tool in Xvfb openbox trayer xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d)
rm -rf "$artifacts"
mkdir -p "$work/config" "$artifacts"
cp "$client_built" "$work/quorvel"
client="$work/quorvel"
config="$work/config/config.ini"
pids=()
cleanup() {
  pkill -f "^$client" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  import -window root "$artifacts/failure.png" 2>/dev/null || true
  echo "--- config.ini"; cat "$config" 2>/dev/null || true
  exit 1
}

# Waits up to 10 s for a command to succeed.
wait_for() {
  for _ in $(seq 100); do
    if eval "$1" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for: $1"
}

key() { sed -n "s/^$1=//p" "$config" | tr -d '\r' | tail -1; }
shot() { import -window root "$artifacts/$1.png"; }
visible() { xdotool search --onlyvisible --name "^$1\$"; }

# The display, its window manager and its tray.
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
read -r display <&3
pids+=($!)
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The demo directory must be where this build's client looks for it.
"$demo" --site-port 0 --no-visitors >"$work/demo.out" 2>&1 &
pids+=($!)
wait_for "grep -q 客服站点 '$work/demo.out'"
number=$(sed -n 's/^服务器编号: //p' "$work/demo.out")
site=$(sed -n 's|^客服站点: \(http://[^/]*\)/.*|\1|p' "$work/demo.out")

# 1. Unbound: the join window, no main window.
"$client" >"$work/client.out" 2>&1 &
wait_for "visible 加入Quorvel服务器"
[ -z "$(visible Quorvel在线客服 || true)" ] || fail "main window without a binding"
shot 1-join
join=$(visible 加入Quorvel服务器)
xdotool mousemove --window "$join" 120 84 click 1 type "$number"
xdotool mousemove --window "$join" 124 120 click 1

# 2. Bound: the main window and the tray icon.
wait_for "visible Quorvel在线客服"
wait_for "xdotool search --name '^Quorvel客服系统\$'"
[ "$(key hostdataid)" = "$number" ] || fail "hostdataid"
[ -n "$(key hostdata)" ] || fail "hostdata not stored"
[ "$(key loginurl)" = "service/login" ] || fail "loginurl"
first_pid=$(pgrep -f "^$client\$")
shot 2-bound

# 3. Move and resize: the keys follow.
main=$(visible Quorvel在线客服)
xdotool windowsize "$main" 900 500
wait_for "[ \"\$(key wide)\" = 900 ] && [ \"\$(key higth)\" = 500 ]"
xdotool windowmove "$main" 120 90
wait_for "[ \"\$(key lift)\" -gt 100 ] && [ \"\$(key top)\" -gt 80 ] && [ \"\$(key wz)\" = 0 ]"
shot 3-moved

# 4. Esc closes to the tray; a click on the tray icon brings it back.
xdotool windowactivate --sync "$main" key Escape
wait_for "[ -z \"\$(visible Quorvel在线客服)\" ]"
pgrep -f "^$client\$" >/dev/null || fail "process ended on close"
shot 4-in-tray
tray=$(xdotool search --name '^Quorvel客服系统$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
tray_x=$((X + WIDTH / 2))
tray_y=$((Y + HEIGHT / 2))
xdotool mousemove "$tray_x" "$tray_y" click 1
wait_for "visible Quorvel在线客服"
shot 5-shown

# 5. Re-join from the tray menu ("服务器配置"): a new process comes up bound.
xdotool mousemove "$tray_x" "$tray_y" click 3
sleep 0.5
xdotool key Down Return
wait_for "visible 加入Quorvel服务器"
shot 6-rejoin
join=$(visible 加入Quorvel服务器)
xdotool mousemove --window "$join" 124 120 click 1
wait_for "! kill -0 $first_pid"
wait_for "pgrep -f '^$client\$'"
wait_for "visible Quorvel在线客服"
[ ! -e "$work/Restart.sh" ] || wait_for "[ ! -e '$work/Restart.sh' ]"
second_pid=$(pgrep -f "^$client\$")
[ "$second_pid" != "$first_pid" ] || fail "no restart"
shot 7-restarted

# 6. Exit from the tray menu ("退出"), confirmed: the process is gone.
wait_for "xdotool search --name '^Quorvel客服系统\$'"
xdotool mousemove "$tray_x" "$tray_y" click 3
sleep 0.5
xdotool key Down Down Down Down Down Return
wait_for "visible 信息："
shot 8-confirm-exit
xdotool key Return
wait_for "! kill -0 $second_pid"
echo "ok: $site"

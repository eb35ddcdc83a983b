#!/usr/bin/env bash
# The client's place on the desktop, end to end on a virtual display with a
# session bus of its own, against the demo site: one client per session
# (two starts at once leave one, a later start brings the first's window
# forward and ends with code 0); without any tray the window's own command
# button reaches the tray's commands; with a StatusNotifierItem host (a
# watcher stand-in) the item is registered, its click shows the window, its
# menu holds the commands and the check items, it asks for attention while
# messages are unread; a message while the window is not active sets its
# urgency and asks for the sound; the desktop's do-not-disturb holds the
# notice back until it ends; the autostart entry is written and removed
# from the menu; and its menu's 退出 ends the client. A screenshot of each
# stage goes to the artifact folder.
#   desktop_e2e.sh CLIENT DEMO_SITE ARTIFACTS WATCHER_STANDIN
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
watcher=$4
for tool in Xvfb openbox xdotool xprop import curl dbus-daemon gdbus gsettings; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/e2e.sh"
sources=$(cd "$(dirname "$0")/../.." && pwd)
prepare_run "$client_built" "$artifacts"

export G_DEBUG=fatal-criticals
# Desktop settings in a file of the test's own, which the client watches.
export GSETTINGS_BACKEND=keyfile
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

# 3. No tray on this desktop: the window carries the commands; 退出 from
# its button, confirmed, ends the client.
grep -q "tray: none" "$work/client.out" || fail "the client did not say it has no tray"
running=$(pgrep -f "^$client\$")
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH - 14)) 14 click 1
sleep 0.5
xdotool key Up Up Up Return  # from the last check item up to 退出
wait_for "visible 信息："
shot 3-exit-from-window
xdotool key Return
wait_for "! kill -0 $running"

# 4. A StatusNotifierItem host: the item registered with the watcher.
"$watcher" >"$work/watcher.out" 2>&1 &
pids+=($!)
wait_for "grep -q ready '$work/watcher.out'"
: >"$work/client.out"
"$client" >>"$work/client.out" 2>&1 &
running=$!
wait_for "grep -q '^item ' '$work/watcher.out'" 300
item=$(sed -n 's/^item [^ ]* //p' "$work/watcher.out" | head -1)
grep -q "tray: a StatusNotifierItem" "$work/client.out" || fail "the client did not name its tray"
sni() {  # method arguments...
  gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
    --method "org.kde.StatusNotifierItem.$1" "${@:2}"
}
sni_property() {
  gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
menu() {
  gdbus call --session --dest "$item" --object-path /MenuBar --method "com.canonical.dbusmenu.$1" \
    -- "${@:2}"
}
wait_for "console_shown" 400
main=$(console_shown)
# The close box hides the window (a tray to come back from); a click on
# the item shows it.
xdotool windowactivate --sync "$main" key alt+F4
wait_for "[ -z \"\$(console_shown)\" ]"
sni Activate 0 0 >/dev/null
wait_for "console_shown"
shot 4-activated
# The menu holds the tray's commands.
layout=$(menu GetLayout 0 -1 "[]")
for label in 服务器配置 刷新主页 清除提醒 显示 退出 声音提醒 开机自动启动; do
  [[ $layout == *"'$label'"* ]] || fail "the item's menu lacks $label: $layout"
done
# Pictures in the sizes hosts ask for.
pixmaps=$(sni_property IconPixmap)
for size in 16 22 24 32 48 64; do
  [[ $pixmaps == *"($size, $size, "* ]] || fail "no $size-pixel picture"
done
# A watcher that restarts gets the item again.
watcher_pid=$(pgrep -f "^$watcher\$")
kill "$watcher_pid"
"$watcher" >"$work/watcher2.out" 2>&1 &
pids+=($!)
wait_for "grep -q '^item ' '$work/watcher2.out'"
# Attention while messages are unread, none once they are read.
[[ $(sni_property Status) == *"'Active'"* ]] || fail "status $(sni_property Status)"
control unread count=3
wait_for "[[ \"\$(sni_property Status)\" == *NeedsAttention* ]]"
control unread count=0
wait_for "[[ \"\$(sni_property Status)\" == *\"'Active'\"* ]]"
item_id() {  # the menu item's id by its label
  echo "$layout" | grep -o "([0-9]*, {[^}]*'$1'" | sed 's/^(\([0-9]*\),.*/\1/'
}
click_item() {
  local id
  id=$(item_id "$1")
  [ -n "$id" ] || fail "no id for $1 in $layout"
  menu Event "$id" clicked "<0>" 0 >/dev/null
}
notice_shown() { xdotool search --onlyvisible --name '^来自【' >/dev/null; }
close_notice() {
  local notice
  notice=$(xdotool search --onlyvisible --name '^来自【' | head -1)
  xdotool windowactivate --sync "$notice" key alt+F4
  wait_for "! notice_shown"
}

# 5. A message while the window is minimised: urgency and a sound; the
# window activated clears the urgency.
xdotool windowminimize --sync "$main"
sounds=$(grep -c 'sound message-new-instant' "$work/client.out" || true)
control visitor-message from=v1 nick=访客甲 text=你好
wait_for "notice_shown"
wait_for "xprop -id $main WM_HINTS | grep -qi urgen"
wait_for "[ \"\$(grep -c 'sound message-new-instant' '$work/client.out')\" -gt $sounds ]"
# Without a sound theme, the client's own sound.
if grep -q 'sound message-new-instant: File or data not found' "$work/client.out"; then
  wait_for "grep -q \"sound (the client's own)\" '$work/client.out'"
  cmp -s "$HOME/.cache/quorvel/message.wav" "$sources/resources/sounds/message.wav" ||
    fail "the client's own sound was not written"
fi
shot 5-urgent
sni Activate 0 0 >/dev/null
wait_for "! xprop -id $main WM_HINTS | grep -qi urgen"
close_notice

# 6. Do not disturb: no notice, the count still in the caption; the notice
# once it ends, messages still unread.
gsettings set org.gnome.desktop.notifications show-banners false
sleep 1
xdotool windowminimize --sync "$main"
control visitor-message from=v2 nick=访客乙 text=在吗
control unread count=2
# (the window is minimised: searched among all windows)
wait_for "xdotool search --name '^Quorvel在线客服 - 小王  新消息【2】\$'"
sleep 2
notice_shown && fail "a notice while the desktop asked for quiet"
shot 6-quiet
gsettings set org.gnome.desktop.notifications show-banners true
wait_for "notice_shown"
close_notice
control unread count=0

# 7. 开机自动启动 from the menu writes the autostart entry; again removes it.
entry="$XDG_CONFIG_HOME/autostart/io.quorvel.Desk.desktop"
click_item 开机自动启动
wait_for "[ -f '$entry' ]"
grep -q -- '--autostart' "$entry" || fail "the entry does not start with the session's argument"
grep -q '^X-GNOME-Autostart-enabled=true' "$entry" || fail "the entry is not enabled"
click_item 开机自动启动
wait_for "[ ! -e '$entry' ]"
# An entry that cannot be written (a folder in its place): a timed message
# says so and the check stays off.
mkdir "$entry"
click_item 开机自动启动
wait_for "visible 友情提醒"
shot 7-entry-refused
toggle=$(menu GetLayout 0 -1 "[]" | grep -o "'开机自动启动'[^}]*" | grep -o "'toggle-state': <[0-9]*>" || true)
[[ $toggle != *"<1>"* ]] || fail "the check item is on for an entry not written"
grep -q "session's start entry could not be written" "$work/client.out" || fail "the failure was not logged"
wait_for "[ -z \"\$(visible 友情提醒 || true)\" ]" 100
rmdir "$entry"

# 7b. A flood of 退出 through the item's menu: one confirmation, brought
# forward, and an item that answers at once all the while.
send_click() {  # label [times]: menu events that wait for no answer
  local id
  id=$(item_id "$1")
  for _ in $(seq "${2:-1}"); do
    dbus-send --session --dest="$item" --type=method_call /MenuBar com.canonical.dbusmenu.Event \
      "int32:$id" string:clicked variant:int32:0 uint32:0
  done
}
send_click 退出 1000
wait_for "visible 信息："
started=$(date +%s%N)
sni_property Status >/dev/null
took=$((($(date +%s%N) - started) / 1000000))
((took <= 200)) || fail "the item took $took ms to answer"
sleep 1
[ "$(xdotool search --onlyvisible --name '^信息：$' | wc -l)" = 1 ] || fail "more than one confirmation"
shot 7b-one-confirmation
xdotool key Escape
wait_for "[ -z \"\$(visible 信息： || true)\" ]"
kill -0 "$running" || fail "the client ended on a cancelled confirmation"

# 8. 退出 from the item's menu, confirmed.
click_item 退出
wait_for "visible 信息："
xdotool key Return
wait_for "! kill -0 $running"

# 9. SIGTERM while a notice with typed text, the join window and the 退出
# confirmation are all open: exit code 0 within 3 s, the settings whole.
items=$(grep -c '^item ' "$work/watcher2.out")
"$client" >>"$work/client.out" 2>&1 &
running=$!
wait_for "[ \"\$(grep -c '^item ' '$work/watcher2.out')\" -gt $items ]" 300
item=$(sed -n 's/^item [^ ]* //p' "$work/watcher2.out" | tail -1)
wait_for "console_shown" 400
control visitor-message from=v3 nick=访客丙 text=还在吗
wait_for "notice_shown"
notice=$(xdotool search --onlyvisible --name '^来自【' | head -1)
eval "$(xdotool getwindowgeometry --shell "$notice")"
xdotool mousemove --window "$notice" 150 $((HEIGHT - 42)) click 1
xdotool type --delay 20 '马上回复'
send_click 服务器配置
wait_for "visible 加入Quorvel服务器"
send_click 退出
wait_for "visible 信息："
notice_shown || fail "the notice with typed text closed"
shot 9-all-open
cp "$config" "$work/config.before"
started=$(date +%s%N)
kill -TERM "$running"
status=0
wait "$running" || status=$?
took=$((($(date +%s%N) - started) / 1000000))
[ "$status" = 0 ] || fail "SIGTERM: exit code $status"
((took < 3000)) || fail "SIGTERM took $took ms"
cmp -s "$config" "$work/config.before" || fail "SIGTERM changed the settings"
echo "desktop e2e passed"

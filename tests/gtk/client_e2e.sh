#!/usr/bin/env bash
# The Linux client end to end, on a virtual display with a window manager
# (openbox) and a tray (trayer), against the demo site:
#   start unbound, join, main window and tray icon; move and resize and read
#   the keys back; close to the tray and bring it back; re-join from the tray
#   menu and see a new process, still logged in; exit from the tray menu.
# A screenshot of each stage goes to the artifact folder.
#   client_e2e.sh CLIENT DEMO_SITE ARTIFACTS
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
for tool in Xvfb openbox trayer xdotool xwininfo import curl; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/e2e.sh"
prepare_run "$client_built" "$artifacts"
umask 022
# A screen-capture tool that only says it was started.
printf '#!/bin/sh\necho started >> "%s/tool-started"\n' "$work" >"$work/config/QQSnapShot"
chmod +x "$work/config/QQSnapShot"

# Chooses item N (from 1) of the tray menu, trying again while what it
# should open (a window title) does not show: a slow start of the menu can
# swallow the keys.
tray_menu() {
  local item=$1 expect=$2
  for _ in 1 2 3; do
    xdotool mousemove "$tray_x" "$tray_y" click 3
    sleep 1
    for _ in $(seq "$item"); do xdotool key Down; done
    xdotool key Return
    leave_tray
    for _ in $(seq 50); do
      if eval "$expect" >/dev/null 2>&1; then return 0; fi
      sleep 0.1
    done
    xdotool key Escape
  done
  fail "the tray menu did not open: $expect"
}

# Away from the tray, whose tip window bears the main window's caption.
leave_tray() { xdotool mousemove 640 400; }

# The display, its window manager and its tray.
start_display
trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The demo directory must be where this build's client looks for it.
start_demo --site-port 0 --no-visitors

# 1. Unbound: the join window, no main window. A critical warning of the
# toolkit ends the client (and fails the test).
export G_DEBUG=fatal-criticals
"$client" >"$work/client.out" 2>&1 &
wait_for "visible 加入Quorvel服务器"
[ -z "$(visible Quorvel在线客服 || true)" ] || fail "main window without a binding"
shot 1-join
join_site

# 2. Bound: the main window with the console page, and the tray icon.
wait_for "main_window"
wait_for "xdotool search --name '^Quorvel客服系统\$'"
[ "$(key hostdataid)" = "$number" ] || fail "hostdataid"
[ -n "$(key hostdata)" ] || fail "hostdata not stored"
[ "$(key loginurl)" = "service/login" ] || fail "loginurl"
first_pid=$(pgrep -f "^$client\$")
# The site asks for a login first; its button covers the page's middle.
wait_for "visible 'Quorvel在线客服 - 客服登录'" 400
shot 2-login
click_main_middle
wait_for "visible 'Quorvel在线客服 - 小王'"
shot 2-bound

# 2a. The page's messages: an unread count, a blinking tray icon.
# The tray icon is found by its tip before it blinks: a blinking icon's tip
# is the main window's caption.
tray=$(xdotool search --name '^Quorvel客服系统$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
control unread count=3
wait_for "visible 'Quorvel在线客服 - 小王  新消息【3】'"
tray_x=$((X + WIDTH / 2))
tray_y=$((Y + HEIGHT / 2))
crop="${WIDTH}x${HEIGHT}+${X}+${Y}"
blinks=0
previous=$(import -window root -crop "$crop" ppm:- | md5sum)
for _ in 1 2 3 4; do
  sleep 0.6
  now=$(import -window root -crop "$crop" ppm:- | md5sum)
  [ "$now" != "$previous" ] && blinks=$((blinks + 1))
  previous=$now
done
[ "$blinks" -ge 2 ] || fail "the tray icon does not blink"
shot 2a-unread

# 2b. A visitor message raises the notice, which hides by itself.
control visitor-message from=v7 nick=测试访客 text=你好
wait_for "visible '来自【演示客服：测试访客】的消息'"
# The first notice of the run opens at the bottom right too, counting down
# from 18.
eval "$(xdotool getwindowgeometry --shell "$(visible '来自【演示客服：测试访客】的消息')")"
[ "$X" -ge 800 ] && [ "$Y" -ge 600 ] || fail "the first notice opened at $X,$Y"
shot 2b-notice
wait_for "[ -z \"\$(visible '来自【演示客服：测试访客】的消息')\" ]" 250

# 2c. Another notice; a second visitor is counted in its caption; a reply
# typed into it reaches the site exactly, for the visitor whose words the
# notice shows.
control visitor-message from=v7 nick=测试访客 text=还在吗
wait_for "visible '来自【演示客服：测试访客】的消息'"
control visitor-message from=v8 nick=另一位 text=在吗
wait_for "visible '来自【演示客服：测试访客】的消息 还有1位也有新消息！'"
notice=$(visible '来自【演示客服：测试访客】的消息 还有1位也有新消息！')
eval "$(xdotool getwindowgeometry --shell "$notice")"
xdotool mousemove --window "$notice" 150 $((HEIGHT - 42)) click 1
xdotool type --delay 30 'ok it'\''s a\b 好的'
xdotool key Return
replied() { curl -s "$site/control/replies" | grep -qF "$1"; }
expected='"text":"ok it'\''s a\\b 好的","fromId":"v7"'
wait_for 'replied "$expected"'
shot 2c-replied

# 2d. "screenshot=>" starts the tool; "刷新主页" reloads the page.
control log "text=screenshot=>"
wait_for "[ -s '$work/tool-started' ]"
tray_menu 2 "curl -s '$site/control/page-loads' | grep -qE '\"count\":[2-9]'"
wait_for "visible 'Quorvel在线客服 - 小王'"

# 2e. A page that abuses the bridge: 1000 "screenshot=>" in a second start
# the tool once; a flood of one count leaves a caption that answers; a
# message that names no sender and no text shows no notice.
sleep 2.2
: >"$work/tool-started"
control log "text=screenshot=>" repeat=1000 perSecond=1000
sleep 1.5
[ "$(wc -l <"$work/tool-started")" = 1 ] ||
  fail "the screenshot tool started $(wc -l <"$work/tool-started") times"
control log "text=newmsgnum=>4" repeat=5000 perSecond=2500
wait_for "visible 'Quorvel在线客服 - 小王  新消息【4】'"
# The page logs the flood for 2 s: a count sent before it ends is
# overwritten by the rest of it.
sleep 2.5
held=$(xdotool search --onlyvisible --name '^来自【' | head -1 || true)
if [ -n "$held" ]; then  # the notice held since the reply: closed first
  xdotool windowactivate --sync "$held" key alt+F4 2>/dev/null || true
  wait_for "[ -z \"\$(xdotool search --onlyvisible --name '^来自【' || true)\" ]"
fi
control log 'text=newmsg=>{"T":"msg","D":{"FromId":"","Content":""}}<='
control unread count=0
wait_for "visible 'Quorvel在线客服 - 小王'"
[ -z "$(xdotool search --onlyvisible --name '^来自【' || true)" ] || fail "a notice for nothing"

# 3. Move and resize: the keys follow.
main=$(main_window | head -1)
mapped() { xwininfo -id "$main" | grep -q IsViewable; }
xdotool windowsize "$main" 700 500
wait_for "[ \"\$(key wide)\" = 700 ] && [ \"\$(key higth)\" = 500 ]"
xdotool windowmove "$main" 120 90
wait_for "[ \"\$(key lift)\" -gt 100 ] && [ \"\$(key top)\" -gt 80 ] && [ \"\$(key wz)\" = 0 ]"
stored_left=$(key lift)
stored_top=$(key top)
shot 3-moved

# 4. Escape typed in the page belongs to the page; the close box (the window
# manager's Alt+F4) closes the window to the tray, and a click on the tray
# icon brings it back.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
sleep 0.5
xdotool key Escape
wait_for "curl -s '$site/control/keys' | grep -q Escape"
sleep 0.5
mapped || fail "Escape in the page closed the window"
leave_tray
xdotool windowactivate --sync "$main" key alt+F4
wait_for "! mapped"
pgrep -f "^$client\$" >/dev/null || fail "process ended on close"
shot 4-in-tray
xdotool mousemove "$tray_x" "$tray_y" click 1
leave_tray
wait_for mapped
shot 5-shown

# 5. Re-join from the tray menu ("服务器配置"): a new process comes up bound.
tray_menu 1 "visible 加入Quorvel服务器"
shot 6-rejoin
join=$(visible 加入Quorvel服务器)
xdotool mousemove --window "$join" 124 120 click 1
wait_for "! kill -0 $first_pid"
wait_for "pgrep -f '^$client\$'"
wait_for "main_window"
[ ! -e "$work/Restart.sh" ] || wait_for "[ ! -e '$work/Restart.sh' ]"
second_pid=$(pgrep -f "^$client\$")
[ "$second_pid" != "$first_pid" ] || fail "no restart"
# The restarted window comes back with the size and place it was given.
main=$(main_window | head -1)
size_is() { xdotool getwindowgeometry "$(main_window | head -1)" 2>/dev/null | grep -q "Geometry: $1"; }
wait_for "size_is 700x500" 50
[ "$(key wide)" = 700 ] && [ "$(key higth)" = 500 ] || fail "the restart changed the stored size"
[ "$(key lift)" = "$stored_left" ] && [ "$(key top)" = "$stored_top" ] ||
  fail "the restart moved the window: $(key lift),$(key top) for $stored_left,$stored_top"
# The login survived the restart: the console, not the login page.
wait_for "visible 'Quorvel在线客服 - 小王'" 400
shot 7-restarted

# 6. Exit from the tray menu ("退出"), confirmed: the process is gone.
wait_for "xdotool search --name '^Quorvel客服系统\$'"
tray_menu 5 "visible 信息："
shot 8-confirm-exit
xdotool key Return
wait_for "! kill -0 $second_pid"
# 7. The end of the session (SIGTERM, SIGHUP): exit code 0, the settings
# file as it was.
for signal in TERM HUP; do
  cp "$config" "$work/config.before"
  "$client" >>"$work/client.out" 2>&1 &
  pid=$!
  wait_for "main_window"
  wait_for "xdotool search --name '^Quorvel客服系统\$'"
  cp "$config" "$work/config.before"
  kill -s "$signal" "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" = 0 ] || fail "SIG$signal: exit code $status"
  cmp -s "$config" "$work/config.before" || fail "SIG$signal changed the settings"
done

# 8. The site data the session kept, the login cookie among it, is closed
# to other users, though the client was started with umask 022.
data="$XDG_DATA_HOME/quorvel"
[ -s "$data/cookies.sqlite" ] || fail "no cookie database in $data"
[ "$(stat -c %a "$data")" = 700 ] || fail "the data folder is $(stat -c %a "$data")"
open=$(find "$data" ! -type l -perm /077)
[ -z "$open" ] || fail "open to others: $open"

if grep -q "CRITICAL" "$work/client.out"; then fail "critical warnings: $(grep CRITICAL "$work/client.out")"; fi
echo "ok: $site"


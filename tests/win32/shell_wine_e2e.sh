#!/usr/bin/env bash
# The Windows client's shell under Wine's own desktop, with its taskbar and
# tray, on a virtual display, against the Linux demo site: a join; the tray
# icon; the close box hides the window to the tray and a left click on the
# icon shows it again; the tray menu's 显示, and its 退出 with the
# confirmation (cancelled once, then confirmed); a resize and a move kept
# over a restart; and a re-join to a second server number, which restarts
# through Restart.bat into a new process with the new binding.
# The probe (shell_probe.exe) tells where things are; xdotool clicks and
# types into the desktop's X window as an agent would.
#   shell_wine_e2e.sh QUORVEL.EXE DEMO-SITE TEST-CA-DIR FAKE-RUNTIME.DLL SHELL-PROBE.EXE ARTIFACTS
# Exits 77 (skipped) without the Linux demo site or the X tools.
set -euo pipefail
exe=$1 demo=$2 ca=$(cd "$3" && pwd) fake=$4 probe_exe=$5 artifacts=$6
# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/wine_e2e.sh"
# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/xvfb.sh"

main_title='客服 "quoted"'
join_title='加入Quorvel服务器'
box_title='信息：'

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
# wait_for TRIES COMMAND...: until the command succeeds.
wait_for() {
  local tries=$1
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.3; done
  return 1
}
state_of() { probe window "$1" | cut -d' ' -f1; }
is_visible() { [ "$(state_of "$1")" = visible ]; }
is_hidden() { [ "$(state_of "$1")" = hidden ]; }
is_gone() { [ "$(state_of "$1")" = none ]; }
field() { probe window "$1" | cut -d' ' -f"$2"; }  # 2-5 frame, 6-7 client origin, 8 process

# Clicks at desktop coordinates inside the desktop's X window.
desktop_x=0 desktop_y=0 desktop_id=
find_desktop() {
  desktop_id=$(xdotool search --onlyvisible --name 'Wine desktop' 2>/dev/null | head -1 || true)
  [ -n "$desktop_id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$desktop_id")"
  desktop_x=$X desktop_y=$Y
}
click_at() {  # x y [button]
  xdotool mousemove $((desktop_x + $1)) $((desktop_y + $2)) click "${3:-1}"
  sleep 0.5
}
click_tray() {  # button
  local where
  where=$(probe tray) || fail "no tray icon"
  # shellcheck disable=SC2086
  set -- $where "$1"
  click_at "$2" "$3" "$4"
}
# The tray menu's item: a right click on the icon, then a click on the
# item, found by its place in the menu's design.
menu_items=(服务器配置 刷新主页 清除提醒 显示 退出)
tray_menu() {
  local i where
  for i in "${!menu_items[@]}"; do [ "${menu_items[$i]}" = "$1" ] && break; done
  click_tray 3
  wait_for 20 probe menu || fail "no tray menu"
  sleep 0.5
  where=$(probe menu-item "$i") || fail "no item $1 in the tray menu"
  # Five commands and two switches.
  [ "$(echo "$where" | cut -d' ' -f3)" = 7 ] || fail "the tray menu read wrong: $where"
  # shellcheck disable=SC2046
  click_at $(echo "$where" | cut -d' ' -f1-2)
}
answer_box() {  # button id: 1 OK, 2 Cancel
  local where
  wait_for 30 is_visible "$box_title" || fail "no confirmation box"
  where=$(probe dialog-button "$box_title" "$1") || fail "no button $1 in the box"
  # shellcheck disable=SC2086
  click_at $where
}
# join NUMBER: types the number into the join window and joins.
join() {
  local cx cy
  wait_for 60 is_visible "$join_title" || fail "no join window"
  sleep 1
  cx=$(field "$join_title" 6) cy=$(field "$join_title" 7)
  click_at $((cx + 90)) $((cy + 84))
  # No window manager: the desktop's X window must hold the keyboard.
  xdotool windowfocus "$desktop_id" 2>/dev/null || true
  # The box shows the number bound now: it goes first.
  xdotool key End
  for _ in $(seq 12); do xdotool key BackSpace; done
  xdotool type --delay 50 "$1"
  sleep 0.3
  click_at $((cx + 124)) $((cy + 120))
}
# What the stand-in runtime was asked (the pages opened) goes to fake.log;
# a restarted client inherits the setting.
start_client() {
  (cd "$work/app" && QUORVEL_FAKE_LOG="$work/fake.log" "$wine" quorvel.exe >/dev/null 2>&1 \
    </dev/null &)
}
setting() { sed -n "s/^$1=//p" "$work/app/config/config.ini" | tr -d '\r'; }

start_xvfb
pids+=("$xvfb_pid")
start_demo "$demo" "$ca" --site-port 18080
chinese_locale
make_prefix shell
cp "$exe" "$work/app/quorvel.exe"
register_runtime "$fake"

# A first join, in the desktop.
start_client
wait_for 100 find_desktop || fail "no Wine desktop"
join 8866
wait_for 100 is_visible "$main_title" || fail "no main window after the join"
shot 1-main
first_site=$(setting hostdata)
[ -n "$first_site" ] || fail "no binding stored"

# The tray icon.
wait_for 30 probe tray >/dev/null || fail "no tray icon"
shot 2-tray

# The close box hides the window to the tray; a left click shows it again.
# shellcheck disable=SC2046
click_at $(probe close-box "$main_title")
wait_for 30 is_hidden "$main_title" || fail "the close box did not hide the window"
probe tray >/dev/null || fail "the tray icon went with the window"
click_tray 1
wait_for 30 is_visible "$main_title" || fail "a left click on the icon did not show the window"

# The menu's 显示 shows a hidden window.
# shellcheck disable=SC2046
click_at $(probe close-box "$main_title")
wait_for 30 is_hidden "$main_title" || fail "the close box did not hide the window"
tray_menu 显示
wait_for 30 is_visible "$main_title" || fail "显示 did not show the window"
shot 3-shown

# 退出 asks first; cancelled, the client stays.
tray_menu 退出
shot 4-confirm
answer_box 2
wait_for 30 is_gone "$box_title" || fail "the box stayed after 取消"
is_visible "$main_title" || fail "the client went after 取消"

# A resize and a move, kept over a restart (退出 confirmed this time).
probe place "$main_title" 90 70 700 520 || fail "the window could not be placed"
sleep 1
before=$(probe window "$main_title" | cut -d' ' -f2-5)
tray_menu 退出
answer_box 1
wait_for 50 is_gone "$main_title" || fail "the client did not end after 退出"
probe tray >/dev/null && fail "the tray icon stayed after 退出"
start_client
wait_for 100 is_visible "$main_title" || fail "no main window after the restart"
sleep 1
after=$(probe window "$main_title" | cut -d' ' -f2-5)
[ "$before" = "$after" ] || fail "the window came back at $after, not $before"
shot 5-restored

# A re-join to another server number, of another site: the restart script
# starts a new process with the new binding and removes itself.
start_demo "$demo" "$ca" --site-port 18081 --server-number 9977
old_process=$(field "$main_title" 8)
tray_menu 服务器配置
join 9977
wait_for 100 is_gone "$join_title" || fail "the join window stayed"
new_process_shown() {
  local w
  w=$(probe window "$main_title")
  [[ $w == visible* ]] && [ "$(echo "$w" | cut -d' ' -f8)" != "$old_process" ]
}
wait_for 150 new_process_shown ||
  fail "no new process after the re-join (was $old_process: $(probe window "$main_title");" \
    "number $(setting hostdataid); script $(ls "$work/app")"
[ "$(setting hostdata)" != "$first_site" ] || fail "the binding did not change"
[ "$(setting hostdataid)" = 9977 ] || fail "the new number was not stored"
wait_for 50 grep -q '^navigate http://127.0.0.1:18081/' "$work/fake.log" ||
  fail "the new process did not open the new site: $(tr '\n' '|' <"$work/fake.log")"
[ ! -e "$work/app/Restart.bat" ] || fail "the restart script is still there"
shot 6-rejoined
echo ok

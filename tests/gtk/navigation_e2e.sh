#!/usr/bin/env bash
# The console stays the console, end to end on a virtual display with a
# window manager against the demo site, the desktop's browser and mail
# program replaced by a recorder (a desktop file and mimeapps.list in the
# test's home): a link to another site, a mail address and a new-window
# link go to the desktop; a script that takes the main frame to another
# site sends it there too and the console comes back; a frame of another
# site, and that site in the main frame, drive nothing; a new window of the
# site's own opens in a window of the client's own, which Escape closes.
#   navigation_e2e.sh CLIENT DEMO_SITE ARTIFACTS
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
for tool in Xvfb openbox xdotool import curl python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/e2e.sh"
prepare_run "$client_built" "$artifacts"
export G_DEBUG=fatal-criticals
logged() { grep -c -- "$1" "$work/client.out" || true; }
console_shown() { visible 'Quorvel在线客服 - 小王'; }

# The desktop's programs for web, mail and telephone addresses: a recorder.
opened="$work/opened.txt"
: >"$opened"
cat >"$work/recorder.sh" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>'$opened'
EOF
chmod +x "$work/recorder.sh"
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
cat >"$XDG_DATA_HOME/applications/recorder.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Recorder
Exec=$work/recorder.sh %u
NoDisplay=true
MimeType=x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/mailto;x-scheme-handler/tel;
EOF
{
  echo "[Default Applications]"
  for scheme in http https mailto tel; do echo "x-scheme-handler/$scheme=recorder.desktop"; done
} >"$XDG_CONFIG_HOME/mimeapps.list"
was_opened() { grep -qxF -- "$1" "$opened"; }
# The download folder, as the desktop names it.
downloads="$HOME/下载"
mkdir -p "$downloads"
echo "XDG_DOWNLOAD_DIR=\"$downloads\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"

# Another site: a page that tries to drive the client from wherever it is.
mkdir -p "$work/other"
cat >"$work/other/index.html" <<'EOF'
<!doctype html><meta charset="utf-8"><title>别的网站</title><p>别的网站</p>
<script>
  function drive() {
    console.log('settitle=>被劫持');
    console.log('newmsgnum=>9');
    try { window.webkit.messageHandlers.quorvel.postMessage('settitle=>被劫持'); } catch (e) {}
  }
  drive();
  setInterval(drive, 500);
</script>
EOF
python3 -m http.server --bind 127.0.0.1 --directory "$work/other" 0 >"$work/other.out" 2>&1 &
pids+=($!)
wait_for "grep -q 'port' '$work/other.out'"
other="http://127.0.0.1:$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/other.out" | head -1)"

start_display
start_demo --site-port 0 --no-visitors --no-login
# A microphone where the test machine has none (test builds only).
export QUORVEL_TEST_MOCK_CAPTURE=1
printf '[main]\r\nhostdata={"code":"200","data":"%s"}\r\n' "$site" >"$config"
"$client" >>"$work/client.out" 2>&1 &
client_pid=$!
wait_for "console_shown" 400
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
shot 0-console

# What a visitor sends, clicked by the agent: a web link, a mail address,
# a link to a new window. Each goes to the desktop; the console stays.
click_offer() {  # url how
  control open "url=$1" "how=$2"
  sleep 0.5
  click_main_middle
  wait_for "was_opened '$1'"
  sleep 0.5
  console_shown >/dev/null || fail "the console went away after $1"
}
click_offer "$other/visitor-link" link
click_offer "mailto:visitor@example.com" link
click_offer "$other/new-window" blank
[ "$(logged 'the console could not be loaded')" = 0 ] || fail "a link failed the console"
[ "$(logged 'opened on the desktop')" -ge 3 ] || fail "the decisions were not logged"
shot 1-links-to-the-desktop

# A frame of another site in the console: it loads, and drives nothing.
control frame "url=$other/index.html"
sleep 3
console_shown >/dev/null || fail "a frame of another site changed the caption"
was_opened "$other/index.html" && fail "a frame's page went to the desktop"
shot 2-frame-of-another-site

# A script takes the main frame to another site: that page goes to the
# desktop, the console comes back, and nothing it logged counted.
control navigate "url=$other/index.html?script=1"
wait_for "was_opened '$other/index.html?script=1'"
wait_for "console_shown"
sleep 1
[ -z "$(visible '被劫持' || true)" ] || fail "another site's page set the caption"
[ -z "$(xdotool search --name '新消息【9】' || true)" ] || fail "another site's page set the count"
shot 3-script-navigation

# A new window of the site's own: a window of the client's own, whose page
# drives nothing; Escape closes it. (The console was loaded again: its
# event stream first.)
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
control open "url=$site/transcript/7" how=window
sleep 0.5
click_main_middle
wait_for "visible 客服工作台"
own=$(visible 客服工作台)
sleep 2
console_shown >/dev/null || fail "the transcript's page set the main window's caption: $(for w in $(xdotool search --onlyvisible --name .); do xdotool getwindowname $w; done | tr "\n" "|")"
shot 4-own-window
xdotool windowactivate --sync "$own" key Escape
wait_for "[ -z \"\$(visible 客服工作台 || true)\" ]"
kill -0 "$client_pid" || fail "the client ended"

# A file the agent clicks: saved in the download folder under the site's
# name, the console stays, the site is asked once; the same file again is
# kept beside the first; nothing half-written stays behind.
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
file_requests() { curl -s "$site/control/file-requests"; }
control open "url=$site/files/报价单.pdf" how=link
sleep 0.5
click_main_middle
wait_for "[ -s '$downloads/报价单.pdf' ]"
grep -q 'Quorvel demo file' "$downloads/报价单.pdf" || fail "the saved file is not the site's"
sleep 4
console_shown >/dev/null || fail "a download took the console away"
[[ $(file_requests) == *'"/files/报价单.pdf":1'* ]] || fail "the file was asked for again: $(file_requests)"
[ "$(logged 'could not be loaded')" = 0 ] || fail "a download failed the console"
shot 5-downloaded
# (WebKit ended the page's event stream when the click became a download;
# the page opens it again once it has been quiet for 4 s.)
sleep 6
wait_for "[ \"\$(listening)\" -ge 1 ]"
control open "url=$site/files/报价单.pdf" how=link
sleep 0.5
click_main_middle
wait_for "[ -s '$downloads/报价单 (1).pdf' ]"
sleep 1
[ -z "$(find "$downloads" -name '*.part')" ] || fail "a temporary file was left: $(ls -a "$downloads")"

# What the site may use: notifications at once; the microphone when the
# agent allows it, and the answer kept with 记住此选择; the site's
# notification shows in the client's notice where the session has no
# notification service.
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
answers() { curl -s "$site/control/permissions"; }
control ask
wait_for "visible 信息："
shot 6-microphone-asked
xdotool key space Tab Tab Return
wait_for "[[ \"\$(answers)\" == *'microphone granted'* ]]"
wait_for "[[ \"\$(answers)\" == *'notifications granted'* ]]"
grep -q '^\[permissions\]' "$config" || fail "the answer was not kept: $(cat "$config")"
control ask
wait_for "[ \"\$(answers | grep -o 'microphone granted' | wc -l)\" = 2 ]"
[ -z "$(visible 信息： || true)" ] || fail "a kept answer was asked again"
control notify title=新访客 body=广州访客进入了对话
wait_for "visible 新访客"
shot 6-notification
xdotool windowactivate --sync "$(visible 新访客)" key alt+F4 || true

# What agents press: Ctrl+= zooms (kept, and still there after the restart
# below), Ctrl+F opens the find bar, Esc closes it.
click_main_middle
xdotool key ctrl+equal
wait_for "[ \"\$(key zoom)\" = 110 ]"
xdotool key ctrl+f
sleep 0.5
xdotool type --delay 30 'demo'
xdotool key Return
sleep 1
shot 7-find-bar
xdotool key Escape
sleep 0.5
kill -0 "$client_pid" || fail "Esc in the find bar ended the client"

# Without a window manager (kiosk sessions, some remote desktops) the view
# still fills its window, at the zoom kept.
kill "$client_pid"
wait "$client_pid" 2>/dev/null || true
# (The bus drops the ended client's name a moment later; a start before
# that would hand over to it.)
name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:io.quorvel.Desk | grep -q 'boolean true'
}
wait_for "! name_owned"
pkill -x openbox || true
loads=$(page_loads)
"$client" >>"$work/client.out" 2>&1 &
client_pid=$!
wait_for "curl -s '$site/control/timing' | grep -q '\"loads\":$((loads + 1))'" 400
view=$(curl -s "$site/control/timing" | sed 's/.*"view":"\([0-9x]*\)".*/\1/')
width=${view%x*}
height=${view#*x}
((width >= 600 && height >= 300)) || fail "the view is ${view} without a window manager"
((width < 1000)) || fail "the zoom was not kept over the restart: the view is ${view}"
shot 8-without-window-manager

if grep -q "CRITICAL" "$work/client.out"; then fail "critical warnings"; fi
echo ok

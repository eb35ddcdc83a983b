#!/usr/bin/env bash
# The Windows client for real, under Wine on a virtual display, against the
# Linux demo site: the first start shows the join window; the demo's server
# number binds it; the restart script starts it again; with a stand-in
# WebView2 runtime registered the main window opens the console, and the
# page's title message reaches its caption; through the stand-in's
# failures, the console comes back after a refused load and a crash, and
# an untrusted certificate is trusted by the trust page's button.
# Then, the runtime gone, the bound client shows the missing-runtime message,
# starts the installer without waiting and ends with code 0. It all runs in
# a Chinese locale, so that the system's code page is 936.
#   client_wine_e2e.sh QUORVEL.EXE DEMO-SITE TEST-CA-DIR FAKE-RUNTIME.DLL RECORD-START.EXE ARTIFACTS
# Exits 77 (skipped) without the Linux demo site or the X tools.
set -euo pipefail
exe=$1 demo=$2 ca=$(cd "$3" && pwd) fake=$4 recorder=$5 artifacts=$6
# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/wine_e2e.sh"
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
start_demo "$demo" "$ca" --site-port 18080
chinese_locale
make_prefix
cp "$exe" "$work/app/quorvel.exe"
register_runtime "$fake"
(cd "$work/app" && "$wine" quorvel.exe >/dev/null 2>&1 &)

join=$(wait_window '^加入Quorvel服务器$' 150) || fail "no join window"
sleep 1  # painted
shot 1-join
# Without a window manager the X window is the client area: the number box
# and the join button at their designed places.
eval "$(xdotool getwindowgeometry --shell "$join")"
join_pid=$(xdotool getwindowpid "$join" 2>/dev/null || echo unknown)
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
# A first join opens the main window in the same process, with no restart
# script; a re-join's restart is the shell test's.
main_pid=$(xdotool getwindowpid "$main" 2>/dev/null || echo unknown)
[ "$main_pid" = "$join_pid" ] || fail "a first join restarted ($join_pid, $main_pid)"
[ ! -e "$work/app/Restart.bat" ] || fail "a first join wrote a restart script"

# The console's recovery, through the stand-in runtime's failures; what it
# was asked is in its log.
stop_client() {
  "$wine" taskkill /f /im quorvel.exe >/dev/null 2>&1 || true
  for _ in $(seq 50); do xdotool search --onlyvisible --name '^Quorvel' >/dev/null 2>&1 || break; sleep 0.2; done
}
logged() { grep -q "$1" "$work/fake.log" 2>/dev/null; }
wait_logged() {
  for _ in $(seq "${2:-100}"); do logged "$1" && return 0; sleep 0.2; done
  fail "the runtime was not asked: $1 ($(tr '\n' '|' <"$work/fake.log" 2>/dev/null))"
}
start_scenario() {
  : >"$work/fake.log"
  (cd "$work/app" && QUORVEL_FAKE_SCENARIO=$1 QUORVEL_FAKE_LOG="$work/fake.log" \
    QUORVEL_FAKE_CERTIFICATE="$ca/untrusted.pem" "$wine" quorvel.exe >/dev/null 2>&1 &)
}
# A site that refuses the first load: the client's page, the retry 5 s
# later, the console; then its renderer crashes and the console reloads.
stop_client
start_scenario fail=1,crash-after-load
wait_logged '^failed 12$'
wait_logged '^html 无法打开客服控制台$'
wait_window '客服 "quoted"' 100 >/dev/null || fail "the console did not come back after the retry"
shot 3a-recovered
wait_logged '^process failed 1$'
wait_logged '^reload$'
# A certificate no authority issued: the trust page; its button trusts it,
# the console loads, and the settings keep the fingerprint for the site.
stop_client
start_scenario certificate,click=trust
wait_logged '^certificate 1$'
wait_logged '^html 站点证书不受信任$'
wait_logged '^click trust$'
wait_logged '^certificate 0$'
wait_window '客服 "quoted"' 100 >/dev/null || fail "the console did not open after the trust"
grep -q '^\[trust\]' "$work/app/config/config.ini" || fail "the trusted certificate was not stored"
grep -q '^127.0.0.1:18080=[0-9a-f]\{64\}' "$work/app/config/config.ini" ||
  fail "no fingerprint for the site: $(cat "$work/app/config/config.ini")"
shot 3b-trusted

# The runtime gone: the message, the installer, the end.
"$wine" taskkill /f /im quorvel.exe >/dev/null 2>&1 || true
"$wine" reg delete "$runtime_key" /reg:32 /f >/dev/null 2>&1 || true
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Quorvel' >/dev/null 2>&1 || break; sleep 0.2; done
cp "$recorder" "$work/app/config/MicrosoftEdgeWebview2Setup.exe"
(cd "$work/app" && { "$wine" quorvel.exe >/dev/null 2>&1; echo $? >"$work/exit"; } &)
box=$(wait_window '^信息：$' 150) || fail "no missing-runtime message"
shot 4-runtime-missing
eval "$(xdotool getwindowgeometry --shell "$box")"
# The box's only button, at the bottom in the middle.
for _ in $(seq 10); do
  [ -e "$work/exit" ] && break
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 22)) click 1
  sleep 1
done
for _ in $(seq 100); do [ -e "$work/exit" ] && break; sleep 0.1; done
[ "$(cat "$work/exit" 2>/dev/null)" = 0 ] || fail "exit status $(cat "$work/exit" 2>/dev/null)"
[ -e "$work/app/config/MicrosoftEdgeWebview2Setup.exe.started" ] || fail "the installer did not start"
echo ok

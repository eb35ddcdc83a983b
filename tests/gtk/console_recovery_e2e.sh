#!/usr/bin/env bash
# The console recovers by itself, end to end on a virtual display against
# the demo site: a killed web process, a site that goes away for a while, a
# start while the site is down, a hung page, and a console site whose
# certificate no authority issued (trusted only by the agent's click, a
# changed one refused again, one the build's extra authority issued taken
# without a click). What the client did is read from its log on standard
# error; a screenshot of each stage goes to the artifact folder.
#   console_recovery_e2e.sh CLIENT DEMO_SITE ARTIFACTS TEST_CA_DIR
set -euo pipefail
client_built=$1
demo=$2
artifacts=$3
test_ca=$4
for tool in Xvfb openbox xdotool import curl openssl; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/../lib/e2e.sh"
prepare_run "$client_built" "$artifacts"

export G_DEBUG=fatal-criticals
logged() { grep -c -- "$1" "$work/client.out" || true; }
start_client() {
  "$client" >>"$work/client.out" 2>&1 &
  client_pid=$!
}
stop_client() {
  kill "$client_pid"
  wait "$client_pid" || true
}
web_process() { pgrep -P "$client_pid" -f WebKitWebProcess | head -1; }
console_shown() { visible 'Quorvel在线客服 - 小王'; }

start_display
start_demo --site-port 0 --no-visitors --no-login
start_client
join_site
wait_for "console_shown" 400
client_pid=$(pgrep -f "^$client\$")
shot 0-console

# 1. The web process killed: the console is loaded again, and a visitor's
# message raises the notice.
loads=$(page_loads)
kill -9 "$(web_process)"
wait_for "[ \"\$(page_loads)\" -gt $loads ]"
[ "$(logged 'the web process ended')" = 1 ] || fail "the crash was not logged"
# (The page counted as loaded may not listen for messages yet; the killed
# one is counted out within a second or two: sent again until one shows.)
for _ in $(seq 20); do
  control visitor-message from=v1 nick=访客甲 text=还在吗
  visible '来自【演示客服：访客甲】的消息' >/dev/null && break
  sleep 1
done
wait_for "visible '来自【演示客服：访客甲】的消息'"
shot 1-notice-after-crash

# 2. The site goes away for 25 s while the console reloads: the client's
# page, then the console again without any input.
site_down 25
kill -9 "$(web_process)"
wait_for "[ \"\$(logged 'the console could not be loaded')\" -ge 1 ]"
shot 2-unreachable
wait_for "[ \"\$(logged 'the console is back')\" -ge 1 ]" 700
wait_for "console_shown"
shot 2-back
# Back because the page saw the site answer, not at the end of a pause.
[ "$(logged 'the site answers again')" -ge 1 ] || fail "the unreachable page did not see the site"

# 2b. A loaded console reloads itself while the site is down. The end of
# the failed load names the old address: no console for all that. The
# page's 重试 works while the site is away, and the console is back within
# 10 s of the site, without input.
# (A page counted out within a second may still count as listening.)
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
failed=$(logged 'the console could not be loaded')
back=$(logged 'the console is back')
control navigate ms=3000
sleep 0.5
down_at=$(date +%s)
site_down 25
wait_for "[ \"\$(logged 'the console could not be loaded')\" -gt $failed ]" 100
sleep 1
[ "$(logged 'the console is back')" = "$back" ] || fail "the end of a failed load was taken for the console"
shot 2b-reload-while-down
click_main_middle
xdotool key Tab Return
wait_for "[ \"\$(logged 'retrying at the agent')\" -ge 1 ]"
wait_for "[ \"\$(logged 'the console could not be loaded')\" -gt $((failed + 1)) ]"
wait_for "[ \"\$(logged 'the console is back')\" -gt $back ]" 450
wait_for "console_shown"
(( $(date +%s) - down_at <= 25 + 10 + 3 )) || fail "the console came back late"

# 2c. A page that takes the window to about:blank: the client's page, and
# the console again since the site answers.
failed=$(logged 'the console could not be loaded')
back=$(logged 'the console is back')
sleep 2
wait_for "[ \"\$(listening)\" -ge 1 ]"
control navigate url=about:blank
wait_for "[ \"\$(logged 'the console could not be loaded')\" -gt $failed ]"
grep -q '空白页' "$work/client.out" || fail "the blank page was not named"
wait_for "[ \"\$(logged 'the console is back')\" -gt $back ]" 150
wait_for "console_shown"

# 2d. A web process that keeps ending: the client's page, whose 重新加载
# brings the console back.
for _ in $(seq 6); do
  [ "$(logged 'the web process keeps ending')" -ge 1 ] && break
  wait_for "[ -n \"\$(web_process)\" ]"
  kill -9 "$(web_process)"
  sleep 1
done
[ "$(logged 'the web process keeps ending')" -ge 1 ] || fail "the crashed page did not show"
sleep 1
shot 2d-crashed
click_main_middle
xdotool key Tab Return
wait_for "[ \"\$(logged 'reloading at the agent')\" -ge 1 ]"
wait_for "console_shown"

# 3. A start while the site is down: the client's page, then the console.
stop_client
site_down 12
start_client
wait_for "[ \"\$(logged 'the console could not be loaded')\" -ge 2 ]" 400
shot 3-down-at-start
wait_for "[ \"\$(logged 'the console is back')\" -ge 2 ]" 700
wait_for "console_shown"

# 4. A hung page: its process ended after 15 s without an answer, the
# console loaded again. The engine notices a page that does not answer
# when it is given something to answer: a key typed into it.
wait_for "[ \"\$(listening)\" -ge 1 ]"
loads=$(page_loads)
control hang
for _ in $(seq 60); do
  [ "$(page_loads)" -gt "$loads" ] && break
  click_main_middle >/dev/null 2>&1 || true
  xdotool key a >/dev/null 2>&1 || true
  sleep 1
done
[ "$(page_loads)" -gt "$loads" ] || fail "the hung page was not recovered"
[ "$(logged 'did not answer for 15 s')" -ge 1 ] || fail "the hang was not logged"
wait_for "console_shown"
shot 4-after-hang

# 5. A console site whose certificate no authority issued.
stop_client
kill "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
start_demo --site-port 0 --no-visitors --no-login \
  --site-cert "$test_ca/untrusted.pem" --site-key "$test_ca/untrusted.key"
port=${site##*:}
rm -f "$config"
start_client
join_site
wait_for "[ \"\$(logged 'certificate was not accepted')\" -ge 1 ]" 400
client_pid=$(pgrep -f "^$client\$")
sleep 1
shot 5-trust-page
# Nothing is trusted without the agent: the page's one button, by keyboard.
[ -z "$(console_shown || true)" ] || fail "the console showed before the click"
click_main_middle
xdotool key Tab Return
wait_for "console_shown" 300
grep -q '^\[trust\]' "$config" || fail "the trusted certificate was not stored"
shot 5-trusted

# 5b. The stored trust holds after a restart.
stop_client
start_client
wait_for "console_shown" 300
[ "$(logged 'certificate was not accepted')" = 1 ] || fail "the stored trust was not used"

# 5c. Another certificate for the same host is refused again.
stop_client
kill "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
# (Its names are long: the page's button stays in view all the same.)
long=$(printf 'Quorvel%.0s' $(seq 9))
openssl req -x509 -newkey rsa:2048 -nodes -days 2 \
  -subj "/CN=127.0.0.1/O=$long/OU=$long/L=$long/ST=$long" \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$work/other.key" -out "$work/other.pem" 2>/dev/null
start_demo --site-port "$port" --no-visitors --no-login \
  --site-cert "$work/other.pem" --site-key "$work/other.key"
start_client
wait_for "[ \"\$(logged 'certificate was not accepted')\" -ge 2 ]" 400
sleep 2
[ -z "$(console_shown || true)" ] || fail "a changed certificate was taken"
shot 5c-refused-again

# 5d. A certificate the build's extra authority issued is taken without a
# click.
stop_client
kill "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
start_demo --site-port "$port" --no-visitors --no-login \
  --site-cert "$test_ca/server.pem" --site-key "$test_ca/server.key"
start_client
wait_for "console_shown" 400
[ "$(logged 'certificate was not accepted')" = 2 ] || fail "the extra authority was not trusted"
shot 5d-extra-authority
stop_client

if grep -q "CRITICAL" "$work/client.out"; then fail "critical warnings"; fi
echo "ok"

#!/usr/bin/env bash
# quorvel-tool doctor as a support person runs it: the same answer and every
# line on each of 50 runs in a row, and a directory that works only when its
# answer to the lookup names a site (a refusal, an answer of 50 MB or one
# that is no answer at all fail).
#   doctor_checks.sh TOOL DEMO_SITE
set -euo pipefail
tool_built=$1
demo=$2
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/home"
cp "$tool_built" "$work/quorvel-tool"
tool="$work/quorvel-tool"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
fail() { echo "FAILED: $*"; exit 1; }

# 1. Fifty runs: one exit status, eight lines each.
codes=""
for i in $(seq 50); do
  status=0
  "$tool" doctor --directory http://127.0.0.1:9 >"$work/out.$i" 2>&1 || status=$?
  codes+="$status "
  [ "$(grep -cE '^(ok  |fail) ' "$work/out.$i")" = 8 ] || { cat "$work/out.$i"; fail "run $i printed $(wc -l <"$work/out.$i") lines"; }
done
[ "$(echo "$codes" | tr ' ' '\n' | sort -u | grep -c .)" = 1 ] || fail "exit statuses differ: $codes"
[ "${codes%% *}" = 1 ] || fail "an unbound client passed: $codes"

# 2. Bound to the demo site: its directory names the site.
"$demo" --directory-port 0 --site-port 0 --no-visitors >"$work/demo.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q 客服站点 "$work/demo.out" && break; sleep 0.05; done
number=$(sed -n 's/^服务器编号: //p' "$work/demo.out")
directory=$(sed -n 's/^目录服务: //p' "$work/demo.out")
site=$(sed -n 's|^客服站点: \(http://[^/]*\)/.*|\1|p' "$work/demo.out")
"$tool" config set hostdataid "$number"
"$tool" config set hostdata "{\"code\":\"200\",\"data\":\"$site\"}"
"$tool" doctor --directory "$directory" >"$work/bound.out" 2>&1 || true
grep -q "^ok   directory: .*server number $number is $site" "$work/bound.out" ||
  { cat "$work/bound.out"; fail "the demo directory was not taken"; }
# A number the directory refuses.
"$tool" config set hostdataid 1
"$tool" doctor --directory "$directory" >"$work/refused.out" 2>&1 || true
grep -q "^fail directory: .*server number 1 refused" "$work/refused.out" ||
  { cat "$work/refused.out"; fail "a refusal passed"; }

# 3. A directory that answers 200 with 50 MB, or with a page of its own.
mkdir -p "$work/www/api"
head -c 50000000 /dev/zero | tr '\0' 'x' >"$work/www/api/domaincheckid"
python3 -m http.server --bind 127.0.0.1 --directory "$work/www" 0 >"$work/www.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q 'port' "$work/www.out" && break; sleep 0.05; done
port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/www.out" | head -1)
"$tool" doctor --directory "http://127.0.0.1:$port" >"$work/huge.out" 2>&1 || true
grep -q '^fail directory: ' "$work/huge.out" || { cat "$work/huge.out"; fail "a 50 MB answer passed"; }
echo '<html>Welcome</html>' >"$work/www/api/domaincheckid"
"$tool" doctor --directory "http://127.0.0.1:$port" >"$work/page.out" 2>&1 || true
grep -q '^fail directory: ' "$work/page.out" || { cat "$work/page.out"; fail "a web page passed"; }
echo ok

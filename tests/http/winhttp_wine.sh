#!/usr/bin/env bash
# The Windows request engine (WinHTTP under Wine) against the Linux demo
# site: plain and secure requests, the build's extra authority, a server the
# authority did not sign, a POST with cookies, and failures by stage.
#   winhttp_wine.sh TOOL.exe DEMO-SITE TEST-CA-DIR
# Exits 77 (skipped) when the Linux demo site has not been built.
set -euo pipefail
tool=$1 demo=$2 ca=$3
[ -x "$demo" ] || { echo "no Linux demo site at $demo (build the debug preset first)"; exit 77; }
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

start_demo() {  # name cert key
  "$demo" --directory-port 0 --site-port 0 --no-visitors --cert "$ca/$2" --key "$ca/$3" \
    >"$work/$1.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q 客服站点 "$work/$1.out" && break; sleep 0.05; done
}
start_demo good server.pem server.key
start_demo bad untrusted.pem untrusted.key
directory=$(sed -n 's/^目录服务: //p' "$work/good.out")
untrusted=$(sed -n 's/^目录服务: //p' "$work/bad.out")
site=$(sed -n 's|^客服站点: \(http://[^/]*\)/.*|\1|p' "$work/good.out")

run() { "$wine" "$tool" "$@" 2>&1 | tr -d '\r'; }
fail() {
  echo "FAILED: $*"
  cat "$work"/*.out
  exit 1
}

# A first Wine process after a test with windows may meet that test's
# desktop process going away with its display: a call that checks nothing
# comes first.
"$wine" "$tool" --version >/dev/null 2>&1 || true

# The directory exchange over HTTPS, trusted through the extra authority.
out=$(run lookup 8866 --directory "$directory" || true)
[[ $out == "$site"* ]] || fail "lookup: $out"

out=$(run http "$site/api/state" || true)
[[ $out == "200 OK"* ]] || fail "plain GET: $out"
[[ $out == *'"agent"'* ]] || fail "plain GET body: $out"

out=$(run http --method 1 --data 'text=从窗口 a&b' --cookies 'a=1' "$site/control/log" || true)
[[ $out == "200 OK"* ]] || fail "POST: $out"

out=$(run http "$untrusted/" || true)
[[ $out == *"忽略错误/证书错误  失败！"* ]] || fail "untrusted server: $out"
out=$(run http --insecure "$untrusted/" || true)
[[ $out == "404 Not Found"* ]] || fail "untrusted server, checks off: $out"

out=$(run http "ftp://127.0.0.1/" || true)
[[ $out == *"701 解析URL地址失败!"* ]] || fail "bad scheme: $out"
out=$(run http --timeout 5 "http://127.0.0.1:1/" || true)
[[ $out == *"711 发送请求失败!"* ]] || fail "refused port: $out"

# Cookies over HTTPS through the extra authority, which publishes no
# revocation list: the cookies turn no revocation check on.
out=$(run http --cookies 'a=1' "$directory/" || true)
[[ $out == "404 Not Found"* ]] || fail "cookies over HTTPS: $out"

# A server that takes the request and never answers: the call ends about
# its timeout, whatever the stage's own timer does.
curl -s -o /dev/null --data ms=30000 "$site/control/slow"
started=$(date +%s%N)
out=$(run http --timeout 2 "$site/api/state" || true)
elapsed=$((($(date +%s%N) - started) / 1000000))
curl -s -o /dev/null --data ms=0 "$site/control/slow" || true
[[ $out == *"712 服务器未响应!"* ]] || fail "a server that never answers: $out"
# The call may outlive its 2 s by one more; Wine adds the tool's start (up
# to a few seconds on a busy machine). WinHTTP's own timer under Wine took
# over 30 s.
[ "$elapsed" -lt 10000 ] || fail "a 2 s timeout took $elapsed ms"
echo ok

# Sourced by the client's end-to-end tests, which then call prepare_run.
# Gives the helpers below; `pids` collects what is stopped at the end.
# shellcheck shell=bash
pids=()

# prepare_run CLIENT ARTIFACTS: a scratch folder `work` holding a copy of
# the client (`client`) beside an empty config folder (`config`: its
# settings file), the artifact folder made anew, and a home, data and
# configuration folder of the run's own. At the end every copy of the
# client and everything in `pids` is stopped and the folder removed.
prepare_run() {
  work=$(mktemp -d)
  artifacts=$2
  rm -rf "$artifacts"
  mkdir -p "$work/config" "$artifacts"
  cp "$1" "$work/quorvel"
  export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/xdg-config"
  client="$work/quorvel"
  config="$work/config/config.ini"
  trap end_run EXIT
}
end_run() {
  pkill -f "^$client" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

fail() {
  echo "FAILED: $*"
  import -window root "$artifacts/failure.png" 2>/dev/null || true
  echo "--- config.ini"; cat "$config" 2>/dev/null || true
  if [ -e "$work/client.out" ]; then echo "--- client"; tail -n 30 "$work/client.out"; fi
  exit 1
}

# Waits up to 20 s (or $2 tenths of a second) for a command to succeed. A
# busy machine (the first start of the web engine, a build beside the test)
# can take that long.
wait_for() {
  for _ in $(seq "${2:-200}"); do
    if eval "$1" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for: $1"
}

key() { sed -n "s/^$1=//p" "$config" | tr -d '\r' | tail -1; }
shot() { import -window root "$artifacts/$1.png"; }
visible() { xdotool search --onlyvisible --name "^$1\$"; }
# The main window: its caption follows the page's title and unread count.
main_window() { xdotool search --onlyvisible --name '^Quorvel在线客服'; }
# A control call to the demo site ($site) with form fields, each
# "name=value", URL-encoded.
control() {
  local path=$1 fields=()
  shift
  for field in "$@"; do fields+=(--data-urlencode "$field"); done
  ((${#fields[@]})) || fields=(--data "")  # a POST all the same
  curl -sk -o /dev/null "${fields[@]}" "$site/control/$path"
}
# The console's page loads the demo site counted.
page_loads() { curl -sk "$site/control/page-loads" | sed 's/.*"count":\([0-9]*\).*/\1/'; }
# How many pages listen for the site's events.
listening() { curl -sk "$site/control/page-loads" | sed 's/.*"listening":\([0-9]*\).*/\1/'; }

# Takes the demo site down for $1 seconds and waits until every
# connection is closed.
site_down() {
  local before
  before=$(grep -c 客服站点已停止 "$work/demo.out" || true)
  control down "seconds=$1"
  wait_for "[ \"\$(grep -c 客服站点已停止 '$work/demo.out')\" -gt $before ]"
}

# A virtual display with a window manager.
start_display() {
  # shellcheck source=/dev/null
  source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
  start_xvfb
  pids+=("$xvfb_pid")
  start_session_bus
  pids+=("$bus_pid")
  openbox >/dev/null 2>&1 &
  pids+=($!)
}

# Starts the demo site with the given options; sets `number` (the server
# number to join) and `site` (the chat site's address).
start_demo() {
  local out="$work/demo.out"
  : >"$out"
  "$demo" "$@" >"$out" 2>&1 &
  demo_pid=$!
  pids+=("$demo_pid")
  wait_for "grep -q 客服站点 '$out'"
  number=$(sed -n 's/^服务器编号: //p' "$out")
  site=$(sed -n 's|^客服站点: \(https\{0,1\}://[^/]*\)/.*|\1|p' "$out")
}

# Types the server number into the join window and joins.
join_site() {
  wait_for "visible 加入Quorvel服务器"
  local join
  join=$(visible 加入Quorvel服务器)
  xdotool mousemove --window "$join" 120 84 click 1 type "$number"
  xdotool mousemove --window "$join" 124 120 click 1
}

# A click in the middle of the main window.
click_main_middle() {
  eval "$(xdotool getwindowgeometry --shell "$(main_window | head -1)")"
  xdotool mousemove --window "$WINDOW" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
}

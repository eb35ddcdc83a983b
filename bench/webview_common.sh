# Shared by the web view benchmarks (sourced, from the repository's root):
# builds the client and the demo site (release, as agents run it), starts a
# virtual display (no window manager) and the demo site, and offers helpers
# for process trees.
bash scripts/install-deps.sh bench >/dev/null
for tool in Xvfb curl xwininfo xdotool; do
  command -v "$tool" >/dev/null || { echo "needs $tool (xvfb, curl, x11-utils, xdotool)"; exit 1; }
done
# The demo site needs the test authority, which only the debug preset has.
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)" --target quorvel-demo-site >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target quorvel >/dev/null
bin=build/release/bin
work=$(mktemp -d)
gcc -O2 -o "$work/x_probe" bench/x_probe.c -lX11

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=/dev/null
source tests/lib/xvfb.sh
start_xvfb
pids+=("$xvfb_pid")
start_session_bus
pids+=("$bus_pid")
# DEMO_OPTIONS: the demo site's pace (no visitors unless asked for).
read -r -a demo_options <<<"${DEMO_OPTIONS:---no-visitors}"
build/debug/bin/quorvel-demo-site --directory-port 0 --site-port 0 --no-login "${demo_options[@]}" \
  >"$work/demo.out" &
pids+=($!)
for _ in $(seq 50); do grep -q 客服站点 "$work/demo.out" && break; sleep 0.1; done
site=$(sed -n 's|^客服站点: \(http://[^/]*\)/.*|\1|p' "$work/demo.out")
page="$site/service/login"

descendants() { echo "$1"; for c in $(pgrep -P "$1"); do descendants "$c"; done; }
# tree_sum PID FILE AWK: the number AWK reads from /proc/<pid>/FILE, summed
# over the process and its descendants (0 for those gone meanwhile).
tree_sum() {
  local total=0 n
  for p in $(descendants "$1"); do
    n=$(awk "$3" "/proc/$p/$2" 2>/dev/null || echo 0)
    total=$((total + ${n:-0}))
  done
  echo "$total"
}
tree_pss_kb() { tree_sum "$1" smaps_rollup '/^Pss:/ {print $2}'; }
now_ms() { date +%s%3N; }

# Each program keeps a home folder of its own for the whole session, as an
# agent's account does from one start to the next: only the first run pays
# for creating WebKit's data folders (and the client for deploying its
# engine library).
home_of() { mkdir -p "$work/home/$1" && echo "$work/home/$1"; }

# Starts the client bound to the demo site from a fresh program folder, in
# the background; $! is its pid.
start_client() {
  rm -rf "$work/client" && mkdir -p "$work/client/config"
  cp "$bin/quorvel" "$work/client/"
  printf '[main]\nhostdata={"code":"200","data":"%s"}\n' "$site" >"$work/client/config/config.ini"
  HOME="$(home_of client)" "$work/client/quorvel" >/dev/null 2>&1 &
}

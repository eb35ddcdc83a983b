#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo site (a local directory
# service and chat site) and the client bound to it. The client's settings
# go to build/debug/bin/config/config.ini; delete that file to start unbound
# again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)" --target quorvel quorvel-demo-site quorvel-tool >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'TEXT'
There is no display. To run the client on a virtual one:
  sudo apt-get install xvfb openbox trayer
  xvfb-run -a -s "-screen 0 1280x800x24" sh -c 'openbox & trayer --edge top --align right & bash scripts/run-client.sh'
and watch it with a VNC server or screenshots (import -window root shot.png).
TEXT
  exit 1
fi

client="$(pwd)/build/debug/bin/quorvel"
build/debug/bin/quorvel-demo-site &
demo=$!
trap 'kill $demo 2>/dev/null || true' EXIT
sleep 1
kill -0 "$demo" 2>/dev/null || { echo "the demo site did not start (ports 18080 and 18443 busy?)"; exit 1; }
echo
echo "Type the server number above into the client's join window."
"$client" || true
# A restart after a new binding hands over to a fresh process.
while pgrep -f "^$client\$" >/dev/null; do sleep 1; done

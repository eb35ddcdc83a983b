#!/usr/bin/env bash
# Checks what scripts/package.sh left in dist/: the desktop file and the
# AppStream metadata validate, lintian finds no error in the Debian
# package, and the programs unpacked from it answer --version, the client
# starts to its join window on a virtual display, and the tool finds the
# helper programs where the package put them; then the Windows installer
# (check-installer.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(quorvel_desk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="dist/quorvel_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAILED: no $deb (run scripts/package.sh)"; exit 1; }
(cd dist && sha256sum --quiet -c SHA256SUMS) || { echo "FAILED: SHA256SUMS"; exit 1; }

root=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/io.quorvel.Desk.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.quorvel.Desk.metainfo.xml"
# Errors fail; warnings are listed.
lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "FAILED: lintian reports errors"; exit 1; }

[ "$("$root/usr/bin/quorvel" --version)" = "quorvel $version" ] || { echo "FAILED: quorvel --version"; exit 1; }
[ "$("$root/usr/bin/quorvel-tool" --version)" = "quorvel-tool $version" ] ||
  { echo "FAILED: quorvel-tool --version"; exit 1; }
for f in usr/libexec/quorvel/QQSnapShot usr/libexec/quorvel/install-runtime.sh \
         usr/share/icons/hicolor/256x256/apps/io.quorvel.Desk.png usr/share/doc/quorvel/copyright; do
  [ -e "$root/$f" ] || { echo "FAILED: the package lacks /$f"; exit 1; }
done

# The installed client starts, unbound, to its join window, and keeps its
# settings in the user's folder (the installed folder has no config/).
# shellcheck source=/dev/null
source tests/lib/xvfb.sh
start_xvfb
pids+=("$xvfb_pid")
start_session_bus
pids+=("$bus_pid")
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
mkdir -p "$HOME"
"$root/usr/bin/quorvel" >"$root/client.out" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  xdotool search --onlyvisible --name '^加入Quorvel服务器$' >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --onlyvisible --name '^加入Quorvel服务器$' >/dev/null ||
  { echo "FAILED: the installed client showed no join window"; cat "$root/client.out"; exit 1; }
# The installed tool's doctor, bound to the demo site (its directory is the
# tests' own, which a shipped tool rightly does not trust).
demo=build/debug/bin/quorvel-demo-site
if [ -x "$demo" ]; then
  "$demo" --directory-port 0 --site-port 0 --no-visitors --no-login >"$root/demo.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q 客服站点 "$root/demo.out" && break; sleep 0.1; done
  site=$(sed -n 's|^客服站点: \(http://[^/]*\)/.*|\1|p' "$root/demo.out")
  mkdir -p "$XDG_CONFIG_HOME/quorvel"
  printf '[main]\nhostdata={"code":"200","data":"%s"}\nhostdataid=1\n' "$site" \
    >"$XDG_CONFIG_HOME/quorvel/config.ini"
  "$root/usr/bin/quorvel-tool" doctor >"$root/doctor.out" 2>&1 || true
  cat "$root/doctor.out"
  for line in "ok   settings: $XDG_CONFIG_HOME/quorvel/config.ini" "ok   binding: server number 1" \
              "ok   site: $site/service/login" "ok   web engine" "ok   display: X11"; do
    grep -qF -- "$line" "$root/doctor.out" || { echo "FAILED: doctor lacks \"$line\""; exit 1; }
  done
fi
echo "ok: the package validates, its programs run"
bash scripts/check-installer.sh

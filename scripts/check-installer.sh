#!/usr/bin/env bash
# Installs and uninstalls the Windows installer from dist/ silently under
# Wine, in a prefix of its own: the files, the Start-menu shortcut, the
# uninstall entry and the optional Run value are there after the install
# and gone after the uninstall, which keeps the agent's config.ini.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(quorvel_desk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup="$PWD/dist/quorvel-${version}-setup.exe"
[ -f "$setup" ] || { echo "FAILED: no $setup (run scripts/package.sh)"; exit 1; }

export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
/usr/lib/wine/wineserver -p
"$wine" wineboot --init >/dev/null 2>&1 || true

fail() { echo "FAILED: $*"; exit 1; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_variable() { "$wine" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
registry_value() {  # key value
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -i "$2" || true
}
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelDesk'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

"$wine" "$setup" /S /AUTOSTART || fail "the installer ended with code $?"
folder=$(unix_path "$(windows_variable LOCALAPPDATA)\\Programs\\Quorvel")
shortcut=$(unix_path "$(windows_variable APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Quorvel Desk.lnk")
[ -f "$folder/quorvel.exe" ] || fail "no quorvel.exe in $folder"
[ -d "$folder/config" ] || fail "no config folder"
grep -q "PCRE2" "$folder/LICENSES.txt" || fail "no licence notices beside the program"
[ -f "$folder/uninstall.exe" ] || fail "no uninstaller"
[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
[[ $(registry_value "$uninstall_key" DisplayVersion) == *"$version"* ]] || fail "no uninstall entry"
[[ $(registry_value "$run_key" "Quorvel Desk") == *"--autostart"* ]] || fail "no Run value"

# The agent's settings stay; everything installed goes.
echo "[main]" >"$folder/config/config.ini"
"$wine" "$folder/uninstall.exe" /S || true
for _ in $(seq 200); do [ ! -e "$folder/quorvel.exe" ] && [ ! -e "$folder/uninstall.exe" ] && break; sleep 0.1; done
[ ! -e "$folder/quorvel.exe" ] || fail "quorvel.exe left after the uninstall"
[ ! -e "$folder/LICENSES.txt" ] || fail "LICENSES.txt left after the uninstall"
[ ! -e "$folder/uninstall.exe" ] || fail "the uninstaller left itself"
[ ! -e "$shortcut" ] || fail "the shortcut left after the uninstall"
[ -z "$(registry_value "$uninstall_key" DisplayVersion)" ] || fail "the uninstall entry left"
[ -z "$(registry_value "$run_key" "Quorvel Desk")" ] || fail "the Run value left"
[ -f "$folder/config/config.ini" ] || fail "the uninstall removed config.ini"
echo "ok: the installer installs and uninstalls silently"

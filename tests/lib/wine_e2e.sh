# Sourced by the end-to-end tests of the Windows client under Wine: a work
# folder cleaned up on exit, a virtual display, the Linux demo site, a
# Chinese locale (the system's code page is then 936), a prefix of the
# test's own with Chinese fonts, and the stand-in WebView2 runtime.
# Needs $demo and $artifacts set; sets $work, $wine and the helpers fail and
# shot. Exits 77 (skipped) without the Linux demo site or the X tools.
[ -x "$demo" ] || { echo "no Linux demo site at $demo"; exit 77; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "needs $tool"; exit 77; }
done
wine=/usr/lib/wine/wine64
runtime_key='HKCU\Software\Microsoft\EdgeUpdate\ClientState\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
work=$(mktemp -d)
mkdir -p "$artifacts" "$work/app/config" "$work/runtime/EBWebView/x64"
pids=()
demo_pid=
wine_e2e_cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  for p in "${pids[@]}" $demo_pid; do kill "$p" 2>/dev/null || true; done
  # The demo site and the display take a moment to end; the next test may
  # want the same port.
  for p in "${pids[@]}" $demo_pid; do
    for _ in $(seq 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$work"
}
trap wine_e2e_cleanup EXIT
shot() { import -window root "$artifacts/$1.png" 2>/dev/null || true; }
fail() {
  echo "FAILED: $*"
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    echo "window $id: $(xdotool getwindowname "$id" 2>/dev/null)"
  done
  shot failure
  exit 1
}

# start_demo DEMO-SITE CA-DIR [demo arguments]: the demo on the directory's
# fixed port 18443 (the test builds' directory address); stops the one
# before.
start_demo() {
  local demo=$1 ca=$2
  shift 2
  if [ -n "$demo_pid" ]; then
    kill "$demo_pid" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.1; done
  fi
  "$demo" --directory-port 18443 --no-visitors --cert "$ca/server.pem" --key "$ca/server.key" \
    "$@" >"$work/demo.out" 2>&1 &
  demo_pid=$!
  for _ in $(seq 100); do grep -q 客服站点 "$work/demo.out" && break; sleep 0.05; done
  grep -q 客服站点 "$work/demo.out" || fail "the demo site did not start: $(cat "$work/demo.out")"
}

chinese_locale() {
  mkdir -p "$work/locale"
  if localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" 2>/dev/null; then
    export LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8
  fi
}

# make_prefix [DESKTOP]: a prefix nothing else sees, made in the current
# locale; with a desktop name, every program runs in Wine's own desktop
# of that name (the name "shell" brings its taskbar and tray).
make_prefix() {
  export WINEPREFIX="$work/prefix"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  if [ -n "${1:-}" ]; then
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d "$1" /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "$1" /t REG_SZ /d 1024x768 \
      /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -w 2>/dev/null || true
  fi
  # Chinese glyphs for the screenshots: the system font and SimSun fall
  # back to Debian's WenQuanYi font when it is installed.
  if fc-list 2>/dev/null | grep -q wqy-microhei; then
    for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
      "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
    done
    for face in SimSun NSimSun 宋体 新宋体 SimHei 黑体 "Microsoft YaHei" 微软雅黑; do
      "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
        /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
    done
  fi
}

# register_runtime FAKE-RUNTIME.DLL: the stand-in, found as the real one is.
register_runtime() {
  cp "$1" "$work/runtime/EBWebView/x64/EmbeddedBrowserWebView.dll"
  "$wine" reg add "$runtime_key" /v EBWebView /t REG_SZ \
    /d "$("$wine" winepath -w "$work/runtime" | tr -d '\r')" /reg:32 /f >/dev/null 2>&1
}

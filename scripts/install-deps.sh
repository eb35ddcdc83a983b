#!/usr/bin/env bash
# Installs the Debian packages that are missing for a task:
#   install-deps.sh run     what building and running the programs needs
#   install-deps.sh test    that, plus the sanitizer, fuzzing and Windows builds
#   install-deps.sh bench   that of "run", plus the benchmark libraries
#   install-deps.sh package that of "run", plus what packaging needs
# Only Debian's archive is used; nothing is downloaded from anywhere else.
set -euo pipefail

run_packages=(build-essential cmake pkg-config openssl libpcre2-dev libssl-dev libcurl4-openssl-dev
              libgtk-3-dev libwebkit2gtk-4.1-dev libdbusmenu-glib-dev libcanberra-dev
              libcpp-httplib-dev
              duktape-dev googletest)
test_packages=(openssl clang libclang-rt-14-dev locales g++-mingw-w64-x86-64-posix wine64
               xvfb xauth openbox trayer xdotool x11-utils imagemagick fonts-wqy-microhei zip
               curl dbus-daemon libglib2.0-bin gsettings-desktop-schemas)
package_packages=(g++-mingw-w64-x86-64-posix librsvg2-bin zip dpkg-dev nsis)
check_packages=(lintian desktop-file-utils appstream)
bench_packages=(libbenchmark-dev nlohmann-json3-dev libssl-dev libcpp-httplib-dev
                xvfb x11-utils xdotool curl chromium)

case "${1:-run}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${run_packages[@]}" "${test_packages[@]}" "${package_packages[@]}"
                "${check_packages[@]}") ;;
  package) wanted=("${run_packages[@]}" "${package_packages[@]}") ;;
  bench) wanted=("${run_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: $0 run|test|bench|package" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The tests run a second time under a Chinese multi-byte locale.
if [ "${1:-run}" = test ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN\.gb18030$'; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" localedef -i zh_CN -f GB18030 zh_CN.GB18030
fi

#!/bin/sh
# Installs the web engine the Quorvel client shows its console with
# (WebKitGTK), through the package manager, asking for an administrator's
# password. The client starts this when the engine is missing, without a
# terminal: whatever the agent must know is shown in a window.
#   install-runtime.sh [--print]   --print: only print what it would run
set -u

# Shows a text in a window with whatever the desktop offers, and on
# standard error.
tell() {
  printf '%s\n' "$1" >&2
  if command -v zenity >/dev/null 2>&1; then
    zenity --info --title="Quorvel" --text="$1" 2>/dev/null && return
  fi
  if command -v kdialog >/dev/null 2>&1; then
    kdialog --title "Quorvel" --msgbox "$1" 2>/dev/null && return
  fi
  if command -v xmessage >/dev/null 2>&1; then
    xmessage -center "$1" 2>/dev/null && return
  fi
  if command -v notify-send >/dev/null 2>&1; then
    notify-send "Quorvel" "$1" 2>/dev/null
  fi
}

# The package manager's commands: its index is brought up to date first,
# or an old index may name a package version that is gone.
if command -v apt-get >/dev/null 2>&1; then
  commands="apt-get update && apt-get install -y libwebkit2gtk-4.1-0"
elif command -v dnf >/dev/null 2>&1; then
  commands="dnf makecache && dnf install -y webkit2gtk4.1"
elif command -v zypper >/dev/null 2>&1; then
  commands="zypper --non-interactive refresh && zypper --non-interactive install libwebkit2gtk-4_1-0"
else
  tell "缺少WebKitGTK 4.1运行库，请用系统的软件包管理器安装后重新启动客服端。"
  exit 1
fi

if [ "${1:-}" = --print ]; then
  printf '%s\n' "$commands"
  exit 0
fi
if ! command -v pkexec >/dev/null 2>&1; then
  tell "缺少WebKitGTK运行库。请在终端中以管理员身份运行以下命令，然后重新启动客服端：
sudo sh -c '$commands'"
  exit 1
fi
if pkexec sh -c "$commands"; then
  tell "WebKitGTK运行库已安装，请重新启动客服端。"
  exit 0
fi
tell "WebKitGTK运行库未能安装。请在终端中以管理员身份运行以下命令：
sudo sh -c '$commands'"
exit 1

#!/bin/sh
# Installs the web engine the Quorvel client shows its console with
# (WebKitGTK), through the package manager, asking for an administrator's
# password. The client starts this when the engine is missing.
set -e
if command -v apt-get >/dev/null 2>&1; then
  exec pkexec apt-get install -y libwebkit2gtk-4.1-0
elif command -v dnf >/dev/null 2>&1; then
  exec pkexec dnf install -y webkit2gtk4.1
elif command -v zypper >/dev/null 2>&1; then
  exec pkexec zypper --non-interactive install libwebkit2gtk-4_1-0
fi
echo "Please install WebKitGTK 4.1 with your package manager." >&2
exit 1

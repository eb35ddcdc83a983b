#!/usr/bin/env bash
# The runtime installer script with stand-ins for the package manager,
# pkexec and the message window: the index is updated before the install,
# and without pkexec the agent is shown the command to run.
#   install_runtime_test.sh SCRIPT
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
stub() { printf '#!/bin/sh\necho "%s $*" >> "%s/calls"\n%s\n' "$1" "$work" "${2:-exit 0}" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
# Only the stand-ins and the shell's basics are on the path.
for tool in sh printf; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
stub apt-get
stub xmessage

fail() { echo "FAILED: $*"; cat "$work/calls" 2>/dev/null; exit 1; }

# No pkexec: the command is shown, nothing is installed, exit 1.
if PATH="$work/bin" sh "$script" 2>"$work/err"; then fail "succeeded without pkexec"; fi
grep -q "^xmessage " "$work/calls" || fail "no window"
grep -qx "sudo sh -c 'apt-get update && apt-get install -y libwebkit2gtk-4.1-0'" "$work/calls" ||
  fail "the command was not shown"
grep -q "^apt-get" "$work/calls" && fail "installed without pkexec"
grep -q "sudo sh -c" "$work/err" || fail "nothing on standard error"

# With pkexec: the update runs before the install.
rm -f "$work/calls"
cat >"$work/bin/pkexec" <<STUB
#!/bin/sh
echo "pkexec \$*" >> "$work/calls"
exec "\$@"
STUB
chmod +x "$work/bin/pkexec"
PATH="$work/bin" sh "$script" 2>/dev/null || fail "the install failed"
[ "$(grep -c '^apt-get' "$work/calls")" = 2 ] || fail "apt-get not run twice"
[ "$(grep '^apt-get' "$work/calls" | head -1)" = "apt-get update" ] || fail "no update first"
grep -q "^apt-get install -y libwebkit2gtk-4.1-0" "$work/calls" || fail "no install"
echo ok

#!/usr/bin/env bash
# Builds the programs that are shipped (the release presets) and checks that
# none of them carries anything of the tests: the test authority (its
# subject or any line of its certificate) or the demo directory's address.
#   check-release.sh TEST_AUTHORITY_PEM
set -euo pipefail
cd "$(dirname "$0")/.."
authority=$1
jobs=$(nproc)

echo "== release builds"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs" --target quorvel quorvel-tool
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release -j"$jobs" --target quorvel quorvel-tool release-archive

# A configured release with the test authority must be refused.
if cmake -S . -B build/release-refused -DQUORVEL_RELEASE=ON -DQUORVEL_TEST_CA=ON \
     >build/release-refused.log 2>&1; then
  echo "FAILED: a release build was configured with the test authority"
  exit 1
fi
rm -rf build/release-refused build/release-refused.log

artifacts=(build/release/bin/quorvel build/release/bin/quorvel-tool
           build/windows-release/bin/quorvel.exe build/windows-release/bin/quorvel-tool.exe
           build/windows-release/quorvel-windows.zip)
# The archive is compressed: look inside it too.
unzipped=$(mktemp -d)
trap 'rm -rf "$unzipped"' EXIT
(cd "$unzipped" && cmake -E tar xf "$OLDPWD/build/windows-release/quorvel-windows.zip")
while IFS= read -r -d '' f; do artifacts+=("$f"); done < <(find "$unzipped" -type f -print0)
# The packages in dist/, when package.sh made them, unpacked too.
for deb in dist/*.deb; do
  [ -e "$deb" ] || continue
  artifacts+=("$deb")
  mkdir -p "$unzipped/deb"
  dpkg-deb -x "$deb" "$unzipped/deb"
done
if [ -d "$unzipped/deb" ]; then
  while IFS= read -r -d '' f; do artifacts+=("$f"); done < <(find "$unzipped/deb" -type f -print0)
fi
for zip in dist/*.zip; do [ -e "$zip" ] && artifacts+=("$zip"); done

needles=("Quorvel Test Authority" "127.0.0.1:18443")
# Every base64 line of the authority's certificate, as the PEM text would be
# carried.
while IFS= read -r line; do
  [ ${#line} -ge 40 ] && needles+=("$line")
done < <(grep -v -- '-----' "$authority")

status=0
for artifact in "${artifacts[@]}"; do
  for needle in "${needles[@]}"; do
    if grep -aqF -- "$needle" "$artifact"; then
      echo "FAILED: $artifact carries \"${needle:0:40}\""
      status=1
    fi
  done
done
[ "$status" = 0 ] && echo "ok: ${#artifacts[@]} release artifacts carry nothing of the tests"
exit "$status"

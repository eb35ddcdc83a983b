#!/usr/bin/env bash
# Builds what is shipped and leaves it in dist/: the Debian package, the
# Windows installer and the Windows client as a portable zip, and
# SHA256SUMS. The release presets
# trust nothing of the tests; the directory address comes from
# QUORVEL_DIRECTORY_ADDRESS in the environment (a placeholder that answers
# nothing otherwise).
#   QUORVEL_DIRECTORY_ADDRESS=https://directory.example.com bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/install-deps.sh package
version=$(sed -n 's/^project(quorvel_desk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt"; exit 1; }
[ -n "${QUORVEL_DIRECTORY_ADDRESS:-}" ] ||
  echo "note: QUORVEL_DIRECTORY_ADDRESS is not set: the programs name a placeholder directory"

echo "== Linux release build and package"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
(cd build/release && cpack -G DEB >/dev/null)

echo "== Windows release build"
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release -j"$jobs" --target quorvel quorvel-tool release-archive

rm -rf dist
mkdir -p dist
cp "build/release/quorvel_${version}_amd64.deb" dist/
cp build/windows-release/quorvel-windows.zip "dist/quorvel-${version}-windows.zip"
makensis -V2 -DVERSION="$version" -DPROGRAM="$PWD/build/windows-release/bin/quorvel.exe" \
  -DNOTICES="$PWD/build/windows-release/LICENSES.txt" \
  -DOUTFILE="$PWD/dist/quorvel-${version}-setup.exe" resources/windows/installer.nsi
(cd dist && sha256sum -- * >SHA256SUMS)
echo "== dist/"
ls -l dist

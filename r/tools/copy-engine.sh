#!/bin/sh
# Copies the engine's sources from the repository around this package into
# src/tarvo, so that the package (and a tarball made by R CMD build) builds
# from its own copy. Run from the package's folder; does nothing outside a
# checkout (a tarball already holds the copy).
set -e
root=..
if [ ! -f "$root/CMakeLists.txt" ] || [ ! -d "$root/src/core" ]; then
    exit 0
fi
dest=src/tarvo
rm -rf "$dest"
mkdir -p "$dest/src"
# The engine and the runner; the desktop program and its C entry points
# need Qt and are not the package's.
for part in "$root"/src/*; do
    name=$(basename "$part")
    case "$name" in shell | capi) continue ;; esac
    cp -Rp "$part" "$dest/src/$name"
done
cp -Rp "$root/cmake" "$dest/cmake"
if [ -d "$root/include" ]; then cp -Rp "$root/include" "$dest/include"; fi
sed -n 's/^project(tarvo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt" > "$dest/VERSION"
cp -p tools/engine-CMakeLists.txt "$dest/CMakeLists.txt"

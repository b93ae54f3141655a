#!/bin/sh
# Copies the engine's sources from the repository around this package into
# src/tarvo, so that the package builds from its own copy, and packs them
# into src/tarvo-sources.tar.gz, which R CMD build takes into the package's
# tarball whole (it would leave out a folder named "check"). Run from the
# package's folder; does nothing outside a checkout (a tarball holds the
# packed copy, which configure unpacks).
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
tar -czf src/tarvo-sources.tar.gz -C src tarvo

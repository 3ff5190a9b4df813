#!/usr/bin/env bash
# Builds both architectures in release mode and writes the download: Vandrel-<version>-windows.zip
# (Vandrel.exe, the 32-bit program for Windows XP to 11; Vandrel-x64.exe; the console programs
# vandrel-cli.exe and vandrel-cli-x64.exe; README.txt; LICENSE.txt) and SHA256SUMS beside it. scripts/release.sh [OUTPUT_DIR], dist/ by default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/dist}" && cd "${1:-$root/dist}" && pwd)
cd "$root"
bash scripts/install-deps.sh

for arch in i686 x86_64; do
    echo "== building $arch (release)"
    dir="$root/build/release/$arch"
    log="$root/build/release-$arch.log"
    mkdir -p "$root/build"
    {
        cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=OFF -DVANDREL_WERROR=ON \
            -DCMAKE_EXE_LINKER_FLAGS=-s &&
            cmake --build "$dir" --target Vandrel vandrel-cli -j "$(nproc)"
    } >"$log" 2>&1 || { tail -50 "$log"; exit 1; }
    rm -f "$log"
done

# The version the build used, which the project states once.
version=$(sed -n 's/^#define VANDREL_VERSION_TEXT "\(.*\)"$/\1/p' \
    "$root/build/release/x86_64/generated/vandrel_version.h")
[ -n "$version" ] || { echo "no version in the build"; exit 1; }
name="Vandrel-$version-windows.zip"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$root/build/release/i686/Vandrel.exe" "$stage/Vandrel.exe"
cp "$root/build/release/x86_64/Vandrel.exe" "$stage/Vandrel-x64.exe"
cp "$root/build/release/i686/vandrel-cli.exe" "$stage/vandrel-cli.exe"
cp "$root/build/release/x86_64/vandrel-cli.exe" "$stage/vandrel-cli-x64.exe"
# Windows line ends, so that any Notepad shows the texts properly.
sed 's/\r*$/\r/' "$root/README.md" >"$stage/README.txt"
sed 's/\r*$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

rm -f "$out/$name" "$out/SHA256SUMS"
(cd "$stage" && zip -q -X -9 "$out/$name" Vandrel.exe Vandrel-x64.exe vandrel-cli.exe vandrel-cli-x64.exe \
    README.txt LICENSE.txt)
(cd "$out" && sha256sum "$name" >SHA256SUMS)
echo "Wrote $out/$name and $out/SHA256SUMS"

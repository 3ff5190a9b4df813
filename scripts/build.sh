#!/usr/bin/env bash
# Configures and builds one architecture: scripts/build.sh i686|x86_64 [extra cmake options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$1
shift
dir="$root/build/$arch"
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" "$@" >/dev/null
else
    cmake "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"

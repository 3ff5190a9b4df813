#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds both architectures with warnings as
# errors and runs the whole test suite under Wine on its own Xvfb display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

echo "== formatting"
mapfile -t sources < <(find app ui engine dragdrop about tests bench -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${sources[@]}"

for arch in i686 x86_64; do
    echo "== building $arch"
    bash scripts/build.sh "$arch" -DVANDREL_WERROR=ON -DCMAKE_BUILD_TYPE=Release >build-$arch.log 2>&1 ||
        { tail -50 build-$arch.log; exit 1; }
done
rm -f build-*.log

# shellcheck source=wine-session.sh
source scripts/wine-session.sh
mapfile -t xp < <(find build -name '*_xp.exe' -printf '%f\n' | sort -u)
trap vandrel_session_stop EXIT
VANDREL_OWN_DISPLAY=1 vandrel_session_start "$root/build/wine/prefix" "${xp[@]}"

arches=(x86_64)
if vandrel_can_run_32bit; then
    arches=(i686 x86_64)
else
    echo "== this kernel cannot run 32-bit programs: the i686 build is built but not run"
fi
status=0
for arch in "${arches[@]}"; do
    echo "== testing $arch"
    ctest --test-dir "build/$arch" --output-on-failure || status=1
done
exit $status

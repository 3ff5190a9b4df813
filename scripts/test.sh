#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds both architectures with warnings as
# errors and runs the whole test suite of both builds under Wine on its own Xvfb display. Where
# the kernel refuses 32-bit programs, the tests run inside a namespace that emulates them.
# Ends with one line that counts the tests of every build run; the exit code is 0 only when all
# passed. (The script calls itself as `scripts/test.sh --suites ARCH...` for the test run alone.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=wine-session.sh
source scripts/wine-session.sh

if [ "${1:-}" != --suites ]; then
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

    status=0
    if vandrel_can_run_32bit; then
        bash "$0" --suites i686 x86_64 || status=$?
    elif vandrel_i386_emulation_works; then
        echo "== this kernel cannot run 32-bit programs: both builds are tested under qemu-i386 emulation"
        vandrel_with_i386_emulation bash "$0" --suites i686 x86_64 || status=$?
    else
        echo "== this kernel cannot run 32-bit programs and no user namespace with qemu-i386 can be made here: only the x86_64 build is tested"
        bash "$0" --suites x86_64 || status=$?
    fi
    exit $status
fi
shift

mapfile -t xp < <(find build -name '*_xp.exe' -printf '%f\n' | sort -u)
trap vandrel_session_stop EXIT
VANDREL_OWN_DISPLAY=1 vandrel_session_start "$root/build/wine/prefix" "${xp[@]}"

status=0
passed=0
failed=0
for arch in "$@"; do
    echo "== testing $arch"
    log="build/$arch/ctest-summary.log"
    ctest --test-dir "build/$arch" --output-on-failure --output-log "$log" || status=1
    # ctest's own summary: "95% tests passed, 1 tests failed out of 19"
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
    if [ -z "$summary" ]; then
        echo "== $arch: ctest gave no summary"
        failed=$((failed + 1))
        status=1
        continue
    fi
    read -r arch_failed arch_total < <(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' <<<"$summary")
    passed=$((passed + arch_total - arch_failed))
    failed=$((failed + arch_failed))
    [ "$arch_total" -gt 0 ] || status=1
done
[ $failed = 0 ] || status=1
echo "== all tests of the $(echo "$@" | sed 's/ /, /g') builds"
echo "Total: $passed passed, $failed failed"
exit $status

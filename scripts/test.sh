#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds both architectures with warnings as
# errors and runs the whole test suite of both builds under Wine on its own Xvfb display. Where
# the kernel refuses 32-bit programs, the tests run inside a namespace that emulates them.
# The pure file parsers are also built for this machine and run under the sanitizers, and a FAT32
# image is mounted through FUSE for the tests that need a volume that rounds times. Ends with one
# line that counts the test cases of every run (gtest's own totals; an entry without them counts
# as one); the exit code is 0 only when all passed. (The script calls itself as `scripts/test.sh --suites ARCH...` for the test run alone.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=wine-session.sh
source scripts/wine-session.sh

if [ "${1:-}" != --suites ]; then
    bash scripts/install-deps.sh

    echo "== formatting"
    mapfile -t sources < <(find app ui engine readers cli dragdrop about tests bench -name '*.cpp' -o -name '*.h' | sort)
    clang-format --dry-run --Werror "${sources[@]}"

    echo "== native parsers"
    native_log=build/native-tests.log
    mkdir -p build
    native=0
    bash scripts/test-native.sh 2>&1 | tee "$native_log" || native=1
    # gtest's brief output ends with "[  PASSED  ] N tests." and, on failures, "[  FAILED  ] N ..."
    export VANDREL_NATIVE_PASSED
    export VANDREL_NATIVE_FAILED
    VANDREL_NATIVE_PASSED=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$native_log" | tail -1)
    VANDREL_NATIVE_FAILED=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' "$native_log" | tail -1)
    VANDREL_NATIVE_PASSED=${VANDREL_NATIVE_PASSED:-0}
    VANDREL_NATIVE_FAILED=${VANDREL_NATIVE_FAILED:-0}
    if [ $native != 0 ] && [ "$VANDREL_NATIVE_FAILED" = 0 ]; then VANDREL_NATIVE_FAILED=1; fi

    for arch in i686 x86_64; do
        echo "== building $arch"
        bash scripts/build.sh "$arch" -DVANDREL_WERROR=ON -DCMAKE_BUILD_TYPE=Release >build-$arch.log 2>&1 ||
            { tail -50 build-$arch.log; exit 1; }
    done
    rm -f build-*.log

    # A real FAT32 volume (write times to 2 s, access times as dates) for the undo tests.
    fat_image="$root/build/fat32.img"
    fat_dir="$root/build/fat32"
    unmount_fat() { fusermount -u "$fat_dir" 2>/dev/null || true; }
    if command -v fusefat >/dev/null && [ -e /dev/fuse ]; then
        unmount_fat
        rm -f "$fat_image"
        mkdir -p "$fat_dir"
        truncate -s 64M "$fat_image"
        if mkfs.vfat -F 32 "$fat_image" >/dev/null && fusefat -o rw+ "$fat_image" "$fat_dir" >/dev/null 2>&1; then
            trap unmount_fat EXIT
            export VANDREL_FAT_DIR="Z:${fat_dir//\//\\}"
        fi
    fi
    [ -n "${VANDREL_FAT_DIR:-}" ] || echo "== FUSE cannot be used here: the tests on a FAT volume are skipped"

    # A small volume that fills up, for saving a list on a full disk.
    full_dir="$root/build/full"
    mkdir -p "$full_dir"
    umount "$full_dir" 2>/dev/null || true
    if mount -t tmpfs -o size=64k vandrel-full "$full_dir" 2>/dev/null; then
        trap 'unmount_fat; umount "$full_dir" 2>/dev/null || true' EXIT
        export VANDREL_FULL_DIR="Z:${full_dir//\//\\}"
    else
        echo "== no small volume can be mounted here: the test on a full disk is skipped"
    fi

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
passed=${VANDREL_NATIVE_PASSED:-0}
failed=${VANDREL_NATIVE_FAILED:-0}
skipped=0
for arch in "$@"; do
    echo "== testing $arch"
    log="build/$arch/ctest-summary.log"
    ctest --test-dir "build/$arch" --output-on-failure --output-log "$log" || status=1
    if ! grep -qE '^[0-9]+% tests passed, [0-9]+ tests? failed out of [1-9][0-9]*' "$log"; then
        echo "== $arch: ctest ran no entry"
        failed=$((failed + 1))
        status=1
        continue
    fi
    # The test cases of every entry, from its output: gtest's totals, or one for an entry that
    # has none (a script, or a program that died before it could count).
    read -r arch_passed arch_failed arch_skipped < <(awk '
        /^[0-9]+\/[0-9]+ Testing: / { ran = 0; p = 0; f = 0; s = 0; next }
        /^\[==========\] [0-9]+ tests? from .* ran\./ { ran = 1 }
        /^\[  PASSED  \] [0-9]+ tests?\./ { p = $4 }
        /^\[  FAILED  \] [0-9]+ tests?, listed below/ { f = $4 }
        /^\[  SKIPPED \] [0-9]+ tests?, listed below/ { s = $4 }
        /^Test (Passed|Failed)/ {
            ok = $0 ~ /^Test Passed/
            if (!ran) { if (ok) p = 1; else f = 1 }
            else if (!ok && f == 0) f = 1
            P += p; F += f; S += s
        }
        END { print P + 0, F + 0, S + 0 }' "build/$arch/Testing/Temporary/LastTest.log")
    passed=$((passed + arch_passed))
    failed=$((failed + arch_failed))
    skipped=$((skipped + arch_skipped))
done
[ $failed = 0 ] || status=1
echo "== all test cases: native parsers, then the $(echo "$@" | sed 's/ /, /g') builds"
echo "Total: $passed passed, $failed failed, $skipped skipped"
exit $status

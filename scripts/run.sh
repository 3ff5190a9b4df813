#!/usr/bin/env bash
# Installs what is missing, builds Vandrel.exe and starts it under Wine: scripts/run.sh [path]
# It starts the 32-bit build, the program users get; where the kernel refuses 32-bit programs, it
# runs it under qemu-i386 emulation in a private namespace. Without an X display it starts a
# virtual one, saves a screenshot of the window, and ends.
# The user interface follows VANDREL_LANG, else LANG (zh_CN.UTF-8 shows Chinese, any language but
# Polish and Chinese English); Polish when neither asks for a language.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=wine-session.sh
source scripts/wine-session.sh

# The first part installs and builds; the second, which starts Wine, runs in the namespace when
# the program is emulated (the script calls itself with VANDREL_RUN_ARCH set).
if [ -z "${VANDREL_RUN_ARCH:-}" ]; then
    bash scripts/install-deps.sh
    arch=i686
    emulate=0
    if vandrel_can_run_32bit; then
        :
    elif vandrel_i386_emulation_works; then
        echo "This kernel cannot run 32-bit programs: starting the i686 build under qemu-i386 emulation."
        emulate=1
    else
        echo "This kernel cannot run 32-bit programs and no user namespace with qemu-i386 can be made here: starting the x86_64 build instead."
        arch=x86_64
    fi
    bash scripts/build.sh "$arch" >"build-$arch.log" 2>&1 || { tail -30 "build-$arch.log"; exit 1; }
    rm -f "build-$arch.log"
    if [ $emulate = 1 ]; then
        VANDREL_RUN_ARCH=$arch vandrel_with_i386_emulation bash "$0" "$@"
    else
        VANDREL_RUN_ARCH=$arch bash "$0" "$@"
    fi
    exit 0
fi

arch=$VANDREL_RUN_ARCH
exe="$root/build/$arch/Vandrel.exe"
wine=$(vandrel_wine_for "$arch")

lang=${VANDREL_LANG:-${LANG:-}}
case "$lang" in
"" | C | C.* | POSIX) lang=pl_PL.UTF-8 ;;
esac
export LANG=$lang
export LC_ALL=$lang

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
trap vandrel_session_stop EXIT
vandrel_session_start "$root/build/wine/run-prefix"

args=()
if [ $# -gt 0 ]; then
    if [ -e "$1" ]; then args=("$(WINEDEBUG=-all "$wine" winepath -w "$(realpath "$1")" 2>/dev/null)"); else args=("$1"); fi
fi

if [ $headless = 0 ]; then
    "$wine" "$exe" "${args[@]}"
    exit 0
fi

# A fresh prefix and emulation make the first start slow: wait as long as the program runs.
"$wine" "$exe" "${args[@]}" >/dev/null 2>&1 &
program=$!
limit=180
window=""
started=$SECONDS
while [ -z "$window" ] && kill -0 "$program" 2>/dev/null && [ $((SECONDS - started)) -lt $limit ]; do
    window=$(xdotool search --onlyvisible --class 'vandrel.exe' 2>/dev/null | head -1 || true)
    [ -n "$window" ] || sleep 0.5
done
shot="$root/build/vandrel-screenshot.png"
if [ -z "$window" ]; then
    import -window root "$shot" 2>/dev/null || true
    if kill -0 "$program" 2>/dev/null; then
        echo "Vandrel's window did not appear within $limit seconds; screenshot of the screen saved to $shot" >&2
    else
        echo "Vandrel ended before its window appeared; screenshot of the screen saved to $shot" >&2
    fi
    exit 1
fi
sleep 2 # let the first count finish and paint
import -window "$window" "$shot"
echo "Vandrel started ($arch build, LANG=$LANG); screenshot of its window saved to $shot"

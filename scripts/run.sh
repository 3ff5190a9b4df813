#!/usr/bin/env bash
# Installs what is missing, builds Vandrel.exe and starts it under Wine: scripts/run.sh [path]
# Without an X display it starts a virtual one, saves a screenshot of the window, and ends.
# The user interface is Polish unless LANG asks for Chinese or VANDREL_LANG for any language.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
# shellcheck source=wine-session.sh
source scripts/wine-session.sh

arch=i686
if ! vandrel_can_run_32bit; then
    echo "This kernel cannot run 32-bit programs: starting the x86_64 build instead."
    arch=x86_64
fi
bash scripts/build.sh "$arch" >"build-$arch.log" 2>&1 || { tail -30 "build-$arch.log"; exit 1; }
rm -f "build-$arch.log"
exe="$root/build/$arch/Vandrel.exe"
wine=$(vandrel_wine_for "$arch")

# Polish unless this machine's LANG is Chinese; VANDREL_LANG picks any language: zh_CN.UTF-8
# shows Chinese, and every language but Polish and Chinese (en_US.UTF-8, de_DE.UTF-8...) English.
if [ -n "${VANDREL_LANG:-}" ]; then
    export LANG=$VANDREL_LANG
else
    case "${LANG:-}" in
    pl_* | zh_*) ;;
    *) export LANG=pl_PL.UTF-8 ;;
    esac
fi
export LC_ALL=$LANG

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

"$wine" "$exe" "${args[@]}" >/dev/null 2>&1 &
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --class 'vandrel.exe' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
sleep 2 # let the first count finish and paint
shot="$root/build/vandrel-screenshot.png"
import -window root "$shot"
if [ -n "${window:-}" ]; then
    import -window "$window" "$shot" 2>/dev/null || true
    echo "Vandrel started; screenshot of its window saved to $shot"
else
    echo "Vandrel's window did not appear; screenshot of the screen saved to $shot"
fi

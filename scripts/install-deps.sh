#!/usr/bin/env bash
# Installs what building and running Vandrel under Wine needs on Debian/Ubuntu (as root, or with
# sudo). Does nothing that is already done.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need+=(mingw-w64)
have x86_64-w64-mingw32-g++-posix || need+=(mingw-w64)
have cmake || need+=(cmake)
have make || need+=(make)
have clang-format || need+=(clang-format)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
[ -d /usr/share/wine/fonts ] || need+=(fonts-wine)
have Xvfb || need+=(xvfb)
have xauth || need+=(xauth)
have xdotool || need+=(xdotool)
have convert || need+=(imagemagick)
have localedef || need+=(locales)
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || need+=(googletest)

if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
        $(printf '%s\n' "${need[@]}" | sort -u) >/dev/null
fi

# Without the locales Wine falls back to an English user interface.
for loc in pl_PL zh_CN de_DE ja_JP en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
        $SUDO localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
    fi
done

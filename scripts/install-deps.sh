#!/usr/bin/env bash
# Installs what building, testing, running and releasing Vandrel under Wine needs on Debian/Ubuntu
# (as root, or with sudo). Checks for exactly the programs the scripts call; does nothing that is
# already done.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

need=()
have() { command -v "$1" >/dev/null 2>&1; }

# shellcheck source=apt.sh
source "$(dirname "$0")/apt.sh"

have i686-w64-mingw32-g++-posix || need+=(mingw-w64)
have x86_64-w64-mingw32-g++-posix || need+=(mingw-w64)
have x86_64-w64-mingw32-objdump || need+=(mingw-w64)
have cmake || need+=(cmake)
have make || need+=(make)
have clang-format || need+=(clang-format)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
[ -d /usr/share/wine/fonts ] || need+=(fonts-wine)
have Xvfb || need+=(xvfb)
have xdotool || need+=(xdotool)
have import || need+=(imagemagick)
have localedef || need+=(locales)
have zip || need+=(zip)
have unzip || need+=(unzip)
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || need+=(googletest)
have g++ || need+=(g++)
have fusefat || need+=(fusefat)
have mkfs.vfat || need+=(dosfstools)
have fusermount || need+=(fuse)

if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: $(printf '%s\n' "${need[@]}" | sort -u | tr '\n' ' ')"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    refresh_indexes
    install_packages $(printf '%s\n' "${need[@]}" | sort -u)
fi

# Without the locales Wine falls back to an English user interface.
for loc in pl_PL zh_CN de_DE ja_JP en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
        $SUDO localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
    fi
done

# Where the kernel refuses 32-bit Linux programs, Wine's 32-bit loader runs under user-mode
# emulation. Only qemu-user 10 (bookworm-backports) is fast enough: 7.2 makes every Wine start take
# a minute. qemu-user-static- removes the old static package and with it any handlers registered
# for the whole machine; the scripts register their own in a private namespace.
emulator_ready() {
    [ -x /usr/bin/qemu-i386 ] && [ -f /usr/share/qemu/binfmt.d/qemu-i386.conf ] &&
        [ "$(/usr/bin/qemu-i386 --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')" -ge 10 ]
}
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && ! emulator_ready; then
    echo "Installing: qemu-user (the kernel cannot run 32-bit programs)"
    suite=""
    # shellcheck source=/dev/null
    if [ -f /etc/os-release ] && [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" = bookworm ]; then
        suite=bookworm-backports
        list=/etc/apt/sources.list.d/bookworm-backports.list
        if ! grep -rqs '^[^#]*bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            # The mirror this machine already uses, as its own Debian source names it.
            mirror=$( (grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
                grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
                    sed 's/\[[^]]*\]//' | awk '{print $2}') | grep -v security | head -1)
            [ -n "$mirror" ] || { echo "no Debian source is configured on this machine"; exit 1; }
            echo "deb $mirror bookworm-backports main" | $SUDO tee "$list" >/dev/null
        fi
    fi
    refresh_indexes
    install_packages ${suite:+-t "$suite"} qemu-user qemu-user-static-
fi

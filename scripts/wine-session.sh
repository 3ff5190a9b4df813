# Sourced by the run and test scripts: one Xvfb, one Wine prefix and one persistent wineserver,
# all started here and stopped by pid in vandrel_session_stop.

# Wine cannot run 32-bit programs where the kernel refuses 32-bit Linux binaries.
vandrel_can_run_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

vandrel_wine_for() { # the loader for a build: i686 or x86_64
    if [ "$1" = i686 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

# Where the kernel refuses them, 32-bit programs run under qemu-i386, registered in a binfmt_misc
# of a private user and mount namespace: the machine's own handlers stay untouched, and nothing
# outside sees the registration. Everything that starts Wine, the prefix's boot included, has to
# run inside (a prefix booted outside has an empty syswow64).
# vandrel_with_i386_emulation COMMAND [ARG...]
vandrel_with_i386_emulation() {
    # shellcheck disable=SC2016
    unshare --user --map-root-user --mount --propagation private bash -c '
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
            cat /usr/share/qemu/binfmt.d/qemu-i386.conf >/proc/sys/fs/binfmt_misc/register &&
            exec "$@"' vandrel-i386 "$@"
}

# True when the emulator is installed and a namespace with it can be made here.
vandrel_i386_emulation_works() {
    [ -f /usr/share/qemu/binfmt.d/qemu-i386.conf ] &&
        vandrel_with_i386_emulation /usr/lib/wine/wine --version >/dev/null 2>&1
}

# vandrel_session_start PREFIX_DIR [XP_PROGRAM_NAME...]
vandrel_session_start() {
    local prefix=$1
    shift
    VANDREL_SESSION_XVFB_PID=""
    if [ -z "${DISPLAY:-}" ] || [ "${VANDREL_OWN_DISPLAY:-0}" = 1 ]; then
        local n=90
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        VANDREL_SESSION_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi

    export WINEPREFIX=$prefix
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset WINELOADER
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    # Never pipe the first wine call of a prefix: its services keep the pipe open.
    /usr/lib/wine/wine64 wineboot -i >"$prefix.boot.log" 2>&1 || true
    /usr/lib/wine/wineserver64 -w || true

    # Debian's Wine does not find its own fonts.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

    local reg="$prefix.settings.reg"
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
        echo '"SimSun"="WenQuanYi Micro Hei"'
        echo '"Microsoft YaHei UI"="WenQuanYi Micro Hei"'
        for name in "$@"; do
            echo
            echo "[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\$name]"
            echo '"Version"="winxp"'
        done
    } >"$reg"
    /usr/lib/wine/wine64 regedit /S "Z:${reg//\//\\}" >"$prefix.reg.log" 2>&1
    # One persistent server for the whole session: programs then start in a fraction of a second.
    # -p only takes effect when no server runs, so let regedit's server end first.
    /usr/lib/wine/wineserver64 -w || true
    /usr/lib/wine/wineserver64 -p
    # Start the prefix's services now, with output to a file: started by the first test program
    # they would inherit its output pipe and keep the test runner waiting for ever.
    /usr/lib/wine/wine64 wineboot >"$prefix.services.log" 2>&1 || true
}

vandrel_session_stop() {
    /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
    if [ -n "${VANDREL_SESSION_XVFB_PID:-}" ]; then
        kill "$VANDREL_SESSION_XVFB_PID" 2>/dev/null || true
        wait "$VANDREL_SESSION_XVFB_PID" 2>/dev/null || true
    fi
}

# Package installation that survives a mirror caught mid-sync. Sourced by install-deps.sh; uses
# $SUDO (empty as root).
#
# A mirror can serve one index mid-sync ("File has unexpected size ... Mirror sync in progress?"):
# apt-get update then fails although every other index came. refresh_indexes tries a few times,
# then goes on with what came and remembers the suites whose index is stale. Packages of two
# architectures must then match exactly (multiarch), which a stale index of one architecture
# breaks; install_packages then installs from the other suites alone.

apt_stale_suites=""
apt_log_dir=${TMPDIR:-/tmp}

refresh_indexes() {
    local attempt log="$apt_log_dir/vandrel-apt-update.log"
    local delay=${VANDREL_APT_RETRY_SECONDS:-15}
    for attempt in 1 2 3 4; do
        if $SUDO apt-get update -q >"$log" 2>&1; then
            apt_stale_suites=""
            return 0
        fi
        echo "apt-get update failed (attempt $attempt of 4):"
        grep -E '^(E|W):' "$log" | head -5 || true
        apt_stale_suites=$(sed -n 's|.*Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' "$log" | sort -u | tr '\n' ' ')
        [ $attempt = 4 ] || sleep $((attempt * delay))
    done
    echo "Going on with the package indexes that could be read${apt_stale_suites:+ (stale: $apt_stale_suites)}."
}

# apt-get install with the given options and packages; its output in the install log.
apt_install() {
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@" \
        >"$apt_log_dir/vandrel-apt-install.log" 2>&1
}

install_packages() {
    local pin=() pins="$apt_log_dir/vandrel-apt-pins" suite package missing=()
    apt_install "$@" && return 0
    if [ -n "$apt_stale_suites" ]; then
        : >"$pins"
        for suite in $apt_stale_suites; do
            printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite" >>"$pins"
        done
        pin=(-o "Dir::Etc::Preferences=$pins")
        echo "Installing without the stale suites: $apt_stale_suites"
        apt_install "${pin[@]}" "$@" && return 0
    fi
    local option=""
    for package in "$@"; do
        # Options and the value of -t name no package.
        if [ -n "$option" ]; then option=""; continue; fi
        case "$package" in -t) option=-t; continue ;; -*) continue ;; esac
        apt-get install -s -q --no-install-recommends "${pin[@]}" "$package" >/dev/null 2>&1 ||
            missing+=("$package")
    done
    echo "These packages could not be installed: ${missing[*]:-$*}"
    grep -E '^(E:| +Depends:)' "$apt_log_dir/vandrel-apt-install.log" | head -20 || true
    return 1
}

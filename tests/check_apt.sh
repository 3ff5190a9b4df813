#!/usr/bin/env bash
# The install step against a mirror caught mid-sync, with a stand-in apt-get: the update fails
# twice on one stale index, the install of a multiarch package only works without that suite,
# and a package that is nowhere is named.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
state=$TMPDIR/updates
case " $* " in
*" update "*)
    n=$(cat "$state" 2>/dev/null || echo 0); echo $((n + 1)) >"$state"
    [ "$n" -ge "${FAIL_UPDATES:-2}" ] && exit 0
    echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
    exit 100 ;;
*" nowhere-to-be-had "*) echo "E: Unable to locate package nowhere-to-be-had"; exit 100 ;;
*"Preferences="*)
    pins=$(printf '%s\n' "$@" | sed -n 's/^Dir::Etc::Preferences=//p')
    grep -q 'Pin: release n=bookworm-security' "$pins" && grep -q 'Pin-Priority: -1' "$pins" && exit 0
    exit 100 ;;
*) echo " wine32:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac
FAKE
chmod +x "$work/bin/apt-get"
export PATH="$work/bin:$PATH" TMPDIR=$work VANDREL_APT_RETRY_SECONDS=0 SUDO=""
# shellcheck source=../scripts/apt.sh
source "$root/scripts/apt.sh"
fail() { echo "FAILED: $*"; exit 1; }

out=$(refresh_indexes) || fail "the update ended the install"
[ "$(cat "$work/updates")" = 3 ] || fail "the update was not tried again until it came: $out"
rm "$work/updates"
FAIL_UPDATES=9 refresh_indexes >"$work/out" || fail "a lasting stale index ended the install"
grep -q 'stale: bookworm-security' "$work/out" || fail "the stale suite was not named: $(cat "$work/out")"
install_packages wine32:i386 >"$work/out" || fail "no install without the stale suite: $(cat "$work/out")"
if install_packages wine32:i386 nowhere-to-be-had >"$work/out"; then fail "a missing package was installed"; fi
grep -q 'could not be installed: nowhere-to-be-had$' "$work/out" || fail "not named: $(cat "$work/out")"
echo "install step: retries, installs past a stale suite, names what is missing"

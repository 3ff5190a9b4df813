#!/usr/bin/env bash
# scripts/release.sh makes the download a user gets: both builds, each with its own manifest,
# the texts, and a checksum file that matches the archive.
# check_release.sh SOURCE_DIR OUTPUT_DIR
set -euo pipefail
root=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
bash "$root/scripts/release.sh" "$out/dist" >"$out/release.log" 2>&1 || {
    cat "$out/release.log"
    exit 1
}
version=$(sed -n 's/^project(Vandrel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip="Vandrel-$version-windows.zip"
status=0
fail() {
    echo "$*"
    status=1
}

[ "$(ls "$out/dist")" = "$(printf '%s\n' SHA256SUMS "$zip")" ] || fail "dist holds: $(ls "$out/dist")"
[ "$(awk '{print $2}' "$out/dist/SHA256SUMS")" = "$zip" ] || fail "SHA256SUMS names: $(cat "$out/dist/SHA256SUMS")"
(cd "$out/dist" && sha256sum --quiet -c SHA256SUMS) || fail "the checksum does not match the archive"

contents=$(unzip -Z1 "$out/dist/$zip" | sort | tr '\n' ' ')
[ "$contents" = "LICENSE.txt README.txt Vandrel-x64.exe Vandrel.exe vandrel-cli-x64.exe vandrel-cli.exe " ] ||
    fail "the archive holds: $contents"
unzip -q "$out/dist/$zip" -d "$out/unpacked"

# name, objdump of its build, file format, manifest processor, subsystem
while read -r exe objdump format processor subsystem; do
    file="$out/unpacked/$exe"
    [ -f "$file" ] || continue
    headers=$("$objdump" -f -p "$file" 2>&1 || true)
    grep -q "file format $format\$" <<<"$headers" || fail "$exe is not $format"
    grep -q "Subsystem.*Windows $subsystem" <<<"$headers" || fail "$exe is not a $subsystem program"
    # The manifest is stored as plain text in the resources.
    count=$(grep -ao 'processorArchitecture="[a-z0-9]*"' "$file" | sort | uniq -c | awk '{print $1, $2}')
    [ "$count" = "2 processorArchitecture=\"$processor\"" ] || fail "$exe manifest names: $count"
done <<LIST
Vandrel.exe i686-w64-mingw32-objdump pei-i386 x86 GUI
Vandrel-x64.exe x86_64-w64-mingw32-objdump pei-x86-64 amd64 GUI
vandrel-cli.exe i686-w64-mingw32-objdump pei-i386 x86 CUI
vandrel-cli-x64.exe x86_64-w64-mingw32-objdump pei-x86-64 amd64 CUI
LIST

for text in README LICENSE; do
    source_file="$root/$text"
    [ -f "$source_file" ] || source_file="$root/$text.md"
    tr -d '\r' <"$out/unpacked/$text.txt" | cmp -s - "$source_file" || fail "$text.txt differs from $source_file"
    grep -q $'\r$' "$out/unpacked/$text.txt" || fail "$text.txt has no Windows line ends"
done
[ $status = 0 ] && echo "release: $zip holds $contents"
exit $status

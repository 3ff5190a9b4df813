#!/usr/bin/env bash
# The shipped program must start on a bare Windows XP: only system DLLs, and none of the
# entry points that exist from Vista or Windows 10 on (those are looked up at run time).
set -euo pipefail
objdump=$1
exe=$2
imports=$("$objdump" -p "$exe")
dlls=$(grep 'DLL Name:' <<<"$imports" | awk '{print tolower($3)}' | sort -u)
allowed=" kernel32.dll user32.dll gdi32.dll comctl32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll comdlg32.dll uxtheme.dll advapi32.dll msvcrt.dll "
status=0
for dll in $dlls; do
    if [[ "$allowed" != *" $dll "* ]]; then
        echo "unexpected DLL import: $dll"
        status=1
    fi
done
for name in TaskDialogIndirect TaskDialog ChangeWindowMessageFilter ChangeWindowMessageFilterEx \
    GetDpiForWindow GetSystemMetricsForDpi; do
    if grep -qE "[[:space:]]$name\$" <<<"$imports"; then
        echo "entry point newer than XP imported: $name"
        status=1
    fi
done
manifest_arch=$(grep -c 'processorArchitecture' "$3" || true)
[ "$manifest_arch" = 2 ] || { echo "manifest should name the processor twice"; status=1; }
[ $status = 0 ] && echo "imports: $(echo $dlls | tr '\n' ' ')"
exit $status

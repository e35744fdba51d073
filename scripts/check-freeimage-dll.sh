#!/usr/bin/env bash
# Checks the shape of a built FreeImage.dll without running it:
#   - a 64-bit PE DLL;
#   - it exports, undecorated, every function cmake/FreeImage.def names (the import
#     library Tessaly.exe links against is made from that file);
#   - it exports every function its FreeImage.h declares, but for the lossless JPEG
#     transforms, whose source Debian's FreeImage package does not carry;
#   - it needs no DLL beside it: only Windows' own.
# Usage: check-freeimage-dll.sh <FreeImage.dll> [FreeImage.h]   (the header defaults to
# the one in the DLL's prefix, ../include/FreeImage.h)
set -euo pipefail
cd "$(dirname "$0")/.."

dll=${1:?usage: check-freeimage-dll.sh FreeImage.dll [FreeImage.h]}
header=${2:-$(dirname "$dll")/../include/FreeImage.h}
fail() {
  echo "check-freeimage-dll: FAILED: $*" >&2
  exit 1
}

file "$dll" | grep -q 'PE32+ executable (DLL).*x86-64' || fail "$dll is not a 64-bit DLL: $(file "$dll")"
headers=$(x86_64-w64-mingw32-objdump -p "$dll")
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\] //p' | sort -u)
[ -n "$exports" ] || fail "$dll exports nothing"

missing=()
for name in $(sed -nE 's/^[[:space:]]+(FreeImage_[A-Za-z0-9_]+).*/\1/p' cmake/FreeImage.def); do
  grep -qx "$name" <<<"$exports" || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] || fail "$dll lacks what cmake/FreeImage.def names: ${missing[*]}"

[ -f "$header" ] || fail "no header $header"
declared=$(grep -oE 'DLL_CALLCONV[[:space:]]+FreeImage_[A-Za-z0-9_]+[[:space:]]*\(' "$header" |
  sed -E 's/DLL_CALLCONV[[:space:]]+//; s/[[:space:]]*\($//' | sort -u)
for name in $declared; do
  case "$name" in FreeImage_JPEGTransform* | FreeImage_JPEGCrop*) continue ;; esac
  grep -qx "$name" <<<"$exports" || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] || fail "$dll lacks functions its FreeImage.h declares: ${missing[*]}"

for needed in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u); do
  case "$needed" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | ws2_32.dll | msvcrt.dll | api-ms-win-*) ;;
    *) fail "$dll needs $needed beside it" ;;
  esac
done

echo "check-freeimage-dll: $(wc -l <<<"$exports") exports, all $(grep -cE '^[[:space:]]+FreeImage_' cmake/FreeImage.def) of cmake/FreeImage.def among them; $(stat -c %s "$dll") bytes"

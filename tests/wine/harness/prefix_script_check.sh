#!/usr/bin/env bash
# Checks the harness's host-script mode: the script finds its fresh prefix in
# WINEPREFIX and can drive wine itself.
set -euo pipefail
[ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" = "${SETUP_WINE_PREFIX:-}" ] || {
  echo "FAILED: WINEPREFIX not set"
  exit 1
}
[ -f "$WINEPREFIX/system.reg" ] || { echo "FAILED: $WINEPREFIX is not a prefix"; exit 1; }
[ "${WINEDEBUG:-}" = "-all" ] || { echo "FAILED: WINEDEBUG is '${WINEDEBUG:-}'"; exit 1; }
wine reg query 'HKCU\Software\Wine\X11 Driver' /v Managed | tr -d '\r' | grep -q 'Managed.*N' || {
  echo "FAILED: Managed=N missing"
  exit 1
}
# A program run from the script sees the prefix the script prepared.
mkdir -p "$WINEPREFIX/drive_c/probe"
echo "data" >"$WINEPREFIX/drive_c/probe/in.txt"
wine cmd /c 'copy C:\probe\in.txt C:\probe\out.txt' >/dev/null
cmp -s "$WINEPREFIX/drive_c/probe/in.txt" "$WINEPREFIX/drive_c/probe/out.txt" || {
  echo "FAILED: the copy made under wine is not there"
  exit 1
}
echo "script mode works"

#!/usr/bin/env bash
# Checks the harness's choice of Wine loader and its probe for 32-bit
# support, over stand-in loaders, so both answers are tried on any machine.
# Runs on the host: no prefix, no Wine.
set -uo pipefail
unset SETUP_WINE32 SETUP_WINE32_REASON  # the cases set them
bin=$(cd "$(dirname "$0")/.." && pwd)/bin
runner=$(dirname "$bin")/run-in-prefix
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Stand-in loaders: one that runs and tells who it is, one that the kernel
# refuses as a 32-bit loader is refused where 32-bit emulation is off.
mkdir -p "$work/runs" "$work/refused"
for loader in wine wine64; do
  printf '#!/bin/sh\necho "%s WINELOADER=${WINELOADER:-} $*"\n' "$loader" >"$work/runs/$loader"
  chmod +x "$work/runs/$loader"
done
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000' >"$work/refused/wine"
chmod +x "$work/refused/wine"

# libdir, SETUP_WINE32, expected status, expected output (a pattern)
probe_cases=(
  "runs||0|"
  "refused||1|this machine cannot run 32-bit programs: */wine --version failed (*Exec format error)"
  "missing||1|the 32-bit Wine loader */missing/wine is not installed"
  "refused|yes|0|"
  "runs|no|1|32-bit programs are switched off (SETUP_WINE32=no)"
  "runs|maybe|1|SETUP_WINE32 must be yes or no, not 'maybe'"
)
for case in "${probe_cases[@]}"; do
  IFS='|' read -r libdir forced want_status want_output <<<"$case"
  output=$(SETUP_WINE_LIBDIR=$work/$libdir SETUP_WINE32=$forced "$bin/wine32-probe")
  status=$?
  [ "$status" = "$want_status" ] || fail "probe [$case]: status $status"
  # shellcheck disable=SC2053
  [[ "$output" == $want_output ]] || fail "probe [$case]: printed '$output'"
  [ "$(wc -l <<<"$output")" = 1 ] || fail "probe [$case]: more than one line"
done

# WINEARCH, expected first line of output
loader_cases=(
  "win64|wine64 WINELOADER=$work/runs/wine64 --version"
  "win32|wine WINELOADER= --version"
)
for case in "${loader_cases[@]}"; do
  IFS='|' read -r arch want <<<"$case"
  output=$(WINELOADER=/usr/bin/wine SETUP_WINE_LIBDIR=$work/runs WINEARCH=$arch "$bin/wine" --version)
  [ "$output" = "$want" ] || fail "wine for $arch: '$output'"
done

# Where 32-bit programs cannot run, a win32 test is skipped with the reason on
# one line, before any prefix is made; a win64 test is not.
output=$(SETUP_WINE32=no "$runner" --template "$work/template" --arch win32 -- /bin/true)
status=$?
[ "$status" = 77 ] || fail "run-in-prefix without 32-bit support: status $status"
[ "$output" = "run-in-prefix: skipped: 32-bit programs are switched off (SETUP_WINE32=no)" ] ||
  fail "run-in-prefix without 32-bit support: printed '$output'"
[ ! -e "$work/template" ] || fail "run-in-prefix made a template for a skipped test"
output=$(SETUP_WINE32=no SETUP_WINE_LIBDIR=$work/missing "$runner" --template "$work/t64" \
  --arch win64 --prepare 2>&1)
[ $? != 77 ] || fail "run-in-prefix skipped a win64 run: '$output'"

[ $failures -eq 0 ] && echo "harness probe and loader choice work"
[ $failures -eq 0 ]

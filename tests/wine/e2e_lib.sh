# Shared steps of the end-to-end tests of setup.exe: lays out the medium in the
# Wine prefix, runs the GUI driver over steps, and checks what was installed.
# A test sources it with its own arguments: SETUP-EXE DRIVER-EXE ARTIFACT-DIR
# [COMPONENT-EXE]. WINEPREFIX is the fresh prefix of this test (run-in-prefix).
set -euo pipefail

setup_exe=$1
driver_exe=$2
artifacts=$3
component_exe=${4:-}
: "${WINEPREFIX:?run the test through run-in-prefix}"
: "${DISPLAY:?the test needs a display}"
drive_c=$WINEPREFIX/drive_c
media=$drive_c/media
mkdir -p "$media" "$artifacts"

# The dialogs ask for the Japanese font "ＭＳ Ｐゴシック", which Japanese Windows
# has; Wine has no such face, so it stands for the IPA font as it would there.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1

# The program on the medium, under the given file name (default setup.exe).
put_program() {
  cp "$setup_exe" "$media/${1:-setup.exe}"
}

# Setup.Inf from standard input: UTF-8 text becomes Shift-JIS with CR LF line
# ends, as script authors write it.
put_script() {
  iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$media/Setup.Inf"
}

# Runs the driver over the steps on standard input; fails the test when a step
# fails. Screenshots go to the artifact folder: "shot NAME" in the steps.
drive() {
  sed "s|^\( *\)shot \(.*\)|\1shot $artifacts/\2.png|" >"$drive_c/steps.txt"
  # Screenshots on the driver's request (C:\shot.request names the file).
  (
    while :; do
      if [ -f "$drive_c/shot.request" ]; then
        import -window root "$(cat "$drive_c/shot.request")" || true
        rm -f "$drive_c/shot.request"
      fi
      sleep 0.1
    done
  ) &
  local watcher=$! status=0
  wine "$driver_exe" 'C:\steps.txt' || status=$?
  kill "$watcher"
  # What the screen showed when a step failed (the harness ends the program).
  [ "$status" -eq 0 ] || import -window root "$artifacts/failure.png" || true
  wait "$watcher" 2>/dev/null || true
  return "$status"
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

expect_dir() { [ -d "$drive_c/$1" ] || fail "folder C:/$1 missing"; }
expect_no_dir() { [ ! -e "$drive_c/$1" ] || fail "C:/$1 exists"; }
expect_same_file() { cmp -s "$1" "$drive_c/$2" || fail "C:/$2 differs from $1"; }

# `wine reg` is the 32-bit tool; a 64-bit setup.exe writes the 64-bit view.
reg_view=()
[ "${WINEARCH:-win32}" = win64 ] && reg_view=(/reg:64)

# expect_reg KEY VALUE DATA: the string value as `wine reg query` shows it.
expect_reg() {
  local shown
  shown=$(wine reg query "$1" /v "$2" "${reg_view[@]}" 2>/dev/null | tr -d '\r' |
    grep -F "    $2    " || true)
  [ "$shown" = "    $2    REG_SZ    $3" ] || fail "registry $1 $2: '$shown'"
}

expect_no_key() {
  if wine reg query "$1" "${reg_view[@]}" >/dev/null 2>&1; then fail "registry key $1 exists"; fi
}

# The run's end: Wine's processes have finished their work.
finish() {
  wineserver -w
  echo "passed"
}

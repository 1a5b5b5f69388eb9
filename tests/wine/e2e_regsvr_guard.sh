#!/usr/bin/env bash
# While Regsvr waits for a registration program, the dialog's messages are
# dispatched and its buttons are live: OK, Cancel, the close box and the folder
# button must neither start a second run nor close the dialog under the run.
. "$(dirname "$0")/e2e_lib.sh"

put_program
cp "$component_exe" "$media/server.exe"
put_script <<'INF'
WindowTitle	Guarded Setup
SetupDir	C:\Guarded
MakeDir	$$SETUPDIR$$
BinCopy	$$FD$$\server.exe	$$SETUPDIR$$\server.exe
Regsvr	"$$SETUPDIR$$\server.exe"
INF

drive <<'STEPS'
start C:\media\setup.exe
window Guarded Setup
click 1
# The registration program takes three seconds; meanwhile:
sleep 700
click 1
click 2
click 1007
close
sleep 300
windows 1
shot dialog_during_registration
# The completion notice, once the registration program has ended.
window-with 65535
caption Guarded Setup
has-text Setup completed.
click 1
gone
STEPS

[ "$(tr -d '\r' <"$drive_c/Guarded/regserver.log")" = registered ] ||
  fail "the component was not registered exactly once"
finish

#!/usr/bin/env bash
# A run that stops: the error box is captioned with the program's own name
# (here INSTALL), no completion notice follows and the dialog closes; what ran
# before the stop stays installed. The close box of the dialog is live before.
. "$(dirname "$0")/e2e_lib.sh"

put_program INSTALL.EXE
put_script <<'INF'
SetupDir	C:\Stopped
MakeDir	$$SETUPDIR$$
ErrorExit	The medium is damaged
MakeDir	$$SETUPDIR$$\After
INF

drive <<'STEPS'
start C:\media\INSTALL.EXE
window Setup
text 1000 C:\Stopped
click 1
window INSTALL
text 65535 The medium is damaged
shot error_box
click 1
gone
STEPS

expect_dir Stopped
expect_no_dir Stopped/After
finish

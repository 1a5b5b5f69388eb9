#!/usr/bin/env bash
# Runs that stop: no completion notice follows and the dialog closes; what ran
# before the stop stays installed. Message boxes are captioned with the
# program's own name (here INSTALL).
. "$(dirname "$0")/e2e_lib.sh"

put_program INSTALL.EXE

# No script beside the program: the message names the path tried; no dialog.
drive <<'STEPS'
start C:\media\INSTALL.EXE
window INSTALL
text 65535 Can't Open C:\media\Setup.Inf file.
shot no_script
click 1
gone 1
STEPS

# ErrorExit shows its text and stops.
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
gone 1
STEPS
expect_dir Stopped
expect_no_dir Stopped/After

# Cancel in the disk prompt stops with a message; Cancel in the script message
# stops without one.
put_script <<'INF'
SetupDir	C:\Disk
DiskCheck	disk2.tag	the second disk
MakeDir	$$SETUPDIR$$
INF
drive <<'STEPS'
start C:\media\INSTALL.EXE
window Setup
click 1
window-with 1004
text 1004 Cheng at 'the second disk'
click 2
closed
window INSTALL
text 65535 Making a setup was stopped.
click 1
gone 1
STEPS
expect_no_dir Disk

put_script <<'INF'
SetupDir	C:\Message
MessageBox	"Go on?"
MakeDir	$$SETUPDIR$$
INF
drive <<'STEPS'
start C:\media\INSTALL.EXE
window Setup
click 1
window-with 1005
text 1005 Go on?
click 2
gone 1
STEPS
expect_no_dir Message
finish

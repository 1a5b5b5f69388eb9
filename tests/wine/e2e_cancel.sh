#!/usr/bin/env bash
# A script without settings: the dialog shows the defaults in one row; the about
# box opens from the system menu; Cancel ends the program and installs nothing.
. "$(dirname "$0")/e2e_lib.sh"

put_program
put_script <<'INF'
MakeDir	C:\Cancelled
SetRegistry	"HKEY_LOCAL_MACHINE\Software\SetupTest\Cancelled"	"yes"	
INF

drive <<'STEPS'
start C:\media\setup.exe
window Setup
text 1009 Setup Directory
text 1000 C:\
visible 1009 1
visible 1000 1
visible 1007 1
# One folder: the whole second row is hidden.
visible 1010 0
visible 1001 0
visible 1008 0
text 1 OK
text 2 CANCEL
text 1007 ....
tab-order 1 2 1000 1007
progress 0 100 0
shot setup_dialog_defaults
# The about item of the system menu.
syscommand 16
window Version Setup.exe
has-text Setup Version 9
shot about_box
click 1
closed
window Setup
click 2
gone
STEPS

expect_no_dir Cancelled
expect_no_key 'HKLM\Software\SetupTest'
finish

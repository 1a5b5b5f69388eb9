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
# Styles: popup with caption, system menu and modal frame, in the task bar;
# default OK, right-aligned label, scrolling edit, framed progress bar.
style 0 80C80080 80C80080
style 0 ex40000 40000
style 1 1000F 10001
style 2 1000F 10000
style 1009 2001F 20002
style 1000 10080 10080
style 1007 1000F 10000
# The dialog turns the border of the edit into a sunken edge.
style 1000 ex200 200
progress 0 100 0
shot setup_dialog_defaults
# The about item of the system menu.
syscommand 16
window Version Setup.exe
has-text Setup Version 9
style 1 1000F 10001
shot about_box
click 1
closed
window Setup
click 2
gone 3
STEPS

expect_no_dir Cancelled
expect_no_key 'HKLM\Software\SetupTest'
finish

#!/usr/bin/env bash
# What the dialog does with the user's input before any run: the folder picker
# opens on the folder in the edit (what the user typed), cancelling it keeps
# the text, a picked folder replaces it and a pick that is no file-system
# folder (My Computer) is refused with "Folder input error"; a folder too long for the settings is refused with a message
# and the dialog stays; the close box ends the program without installing.
. "$(dirname "$0")/e2e_lib.sh"

put_program
put_script <<'INF'
SetupDir	C:\Picked	"Program folder"
MakeDir	$$SETUPDIR$$
INF
long=C:\\$(printf 'x%.0s' $(seq 1 300))

# Unquoted: $long is filled in, and a backslash ending a line is written twice.
drive <<STEPS
start C:\media\setup.exe
window Setup
set 1000 C:\windows\system32
click 1007
window-with 14145
has-text Program folder
shot folder_picker
click 1
closed
window Setup
text 1000 C:\windows\system32
set 1000 C:\not typed yet
click 1007
window-with 14145
click 2
closed
window Setup
text 1000 C:\not typed yet
# The desktop's first child is the Unix root, drive Z:; its third is My Computer.
click 1007
window-with 14145
tree-select 14145 0
click 1
closed
window Setup
text 1000 Z:\\
click 1007
window-with 14145
tree-select 14145 2
click 1
window setup
text 65535 Folder input error
shot folder_input_error
click 1
closed
window Setup
text 1000 Z:\\
set 1000 $long
click 1
window setup
text 65535 Program folder: the folder is longer than 255 bytes.
shot long_folder_refused
click 1
closed
window Setup
text 1000 $long
close
gone 3
STEPS

expect_no_dir Picked
expect_no_dir 'not typed yet'
finish

#!/usr/bin/env bash
# A full run with two folders: a title with blanks, expanded folders, a folder
# typed by hand, the information box, the script message, the disk prompt that
# repeats until the disk is in, the completion notice; then what was installed.
. "$(dirname "$0")/e2e_lib.sh"

put_program
printf 'payload\r\nline two\r\n' >"$media/readme.txt"
put_script <<'INF'
WindowTitle	My Product Setup
SetupDir	"C:\Program Files\My Product"	"Program folder"
SetupDir2	$$WINDOWS$$\MyFonts	"Font folder"
MakeDir	"$$SETUPDIR$$"
BinCopy	"$$FD$$\readme.txt"	"$$SETUPDIR$$\readme.txt"
SetRegistry	"HKEY_LOCAL_MACHINE\Software\SetupTest\Folder"	"$$SETUPDIR$$"	
SetRegistry	"HKEY_LOCAL_MACHINE\Software\SetupTest\Folder2"	"$$SETUPDIR2$$"	
Message	Files are copied
MessageBox	"First line, then"second line"
DiskCheck	disk2.tag	Disk 2
INF
# The script message breaks its line at byte 0x01.
sed -i 's/then"second/then\x01second/' "$media/Setup.Inf"

drive <<'STEPS'
start C:\media\setup.exe
window My Product Setup
text 1009 Program folder
text 1000 C:\Program Files\My Product
text 1010 Font folder
text 1001 C:\windows\MyFonts
visible 1010 1
visible 1001 1
visible 1008 1
tab-order 1 2 1000 1007 1001 1008
shot setup_dialog_two_rows
# Typed by hand: taken exactly as typed, no backslash added.
set 1000 C:\Typed Folder
click 1
# Message: an information box captioned with the program's name.
window setup
text 65535 Files are copied
shot information_box
click 1
closed
window-with 1005
text 1005 First line, then{LF}second line
# No caption bar; the message centred.
style 0 C00000 0
style 1005 2001F 20001
# The progress bar stands at the line being run, out of the script's 10.
main My Product Setup
progress 0 10 9
window-with 1005
text 1 OK
text 2 ｷｬﾝｾﾙ
shot script_message
click 1
closed
# The disk is not in: the prompt comes back after OK until it is.
window-with 1004
caption My Product Setup
text 1004 Cheng at 'Disk 2'
text 2 ｷｬﾝｾﾙ
style 1004 2001F 20000
shot disk_prompt
click 1
closed
window-with 1004
caption My Product Setup
text 1004 Cheng at 'Disk 2'
write C:\media\disk2.tag 2
click 1
closed
window-with 65535
caption My Product Setup
has-text Setup completed.
style 65535 2001F 20001
shot completion_notice
main My Product Setup
progress 0 10 10
window-with 65535
click 1
gone
STEPS

expect_dir 'Typed Folder'
expect_same_file "$media/readme.txt" 'Typed Folder/readme.txt'
expect_no_dir 'Program Files/My Product'
expect_reg 'HKLM\Software\SetupTest' Folder 'C:\Typed Folder'
expect_reg 'HKLM\Software\SetupTest' Folder2 'C:\windows\MyFonts'
finish

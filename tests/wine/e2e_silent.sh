#!/usr/bin/env bash
# Unattended runs: /S shows no window at all and says how it went in the exit
# code alone; /D= gives the folder as if typed; /LANG= chooses the language.
. "$(dirname "$0")/e2e_lib.sh"

put_program
printf 'payload\r\n' >"$media/readme.txt"
put_script <<'INF'
WindowTitle	Silent Setup
SetupDir	"C:\Program Files\Silent"
MakeDir	"$$SETUPDIR$$"
BinCopy	"$$FD$$\readme.txt"	"$$SETUPDIR$$\readme.txt"
JapanCopy	"$$FD$$\readme.txt"	$$SETUPDIR$$\ja.txt
EnglishCopy	"$$FD$$\readme.txt"	$$SETUPDIR$$\en.txt
SetRegistry	"HKEY_LOCAL_MACHINE\Software\SetupTest\Folder"	"$$SETUPDIR$$"
Message	Files are copied
MessageBox	"Go on?"
INF

# No dialog, no message, no completion notice: any window fails "gone".
drive <<'STEPS'
args /S
start C:\media\setup.exe
gone 0
STEPS
expect_same_file "$media/readme.txt" "Program Files/Silent/readme.txt"
[ -f "$drive_c/Program Files/Silent/ja.txt" ] || fail "no Japanese copy in a Japanese run"
[ ! -e "$drive_c/Program Files/Silent/en.txt" ] || fail "English copy in a Japanese run"
expect_reg 'HKLM\Software\SetupTest' Folder 'C:\Program Files\Silent'

# A folder with blanks, to the end of the line; options in any case.
drive <<'STEPS'
args /s /lang=English /D=C:\Other Place
start C:\media\setup.exe
gone 0
STEPS
expect_same_file "$media/readme.txt" "Other Place/readme.txt"
[ -f "$drive_c/Other Place/en.txt" ] || fail "no English copy in an English run"
[ ! -e "$drive_c/Other Place/ja.txt" ] || fail "Japanese copy in an English run"
expect_reg 'HKLM\Software\SetupTest' Folder 'C:\Other Place'

# /D= without /S: the dialog shows the folder as typed.
drive <<'STEPS'
args /D=C:\Typed Here
start C:\media\setup.exe
window Silent Setup
text 1000 C:\Typed Here
click 2
gone 3
STEPS
expect_no_dir "Typed Here"

# ErrorExit: nothing shown, exit code 1, nothing after it ran.
put_script <<'INF'
SetupDir	C:\Stopped
MakeDir	$$SETUPDIR$$
ErrorExit	The medium is damaged
MakeDir	$$SETUPDIR$$\After
INF
drive <<'STEPS'
args /S
start C:\media\setup.exe
gone 1
STEPS
expect_dir Stopped
expect_no_dir Stopped/After

# A missing disk cannot be changed: the run stops.
put_script <<'INF'
SetupDir	C:\Disk
DiskCheck	disk2.tag	the second disk
MakeDir	$$SETUPDIR$$
INF
drive <<'STEPS'
args /S
start C:\media\setup.exe
gone 1
STEPS
expect_no_dir Disk

# A wrong command line: exit code 2, silently; the usage box otherwise. A
# folder the dialog would refuse (over 255 bytes) is one too.
long_folder="C:\\$(printf '%0300d' 0)"
drive <<STEPS
args /S /D=$long_folder
start C:\\media\\setup.exe
gone 2
STEPS
drive <<'STEPS'
args /S /SILENT
start C:\media\setup.exe
gone 2
args /X
start C:\media\setup.exe
window setup
text 65535 setup [/S] [/LANG=english|japanese] [/D=folder] [/D2=folder]{LF}{LF}Exit codes: 0 installed, 1 stopped, 2 wrong command line, 3 cancelled, 4 installed with errors
shot usage
click 1
gone 2
STEPS
expect_no_dir Disk
finish

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

# setup.exe started with the options ARGS ends with STATUS and no window:
# no dialog, no message, no completion notice (any window fails "gone").
silent_run() {
  drive <<STEPS
args $1
start C:\media\setup.exe
gone $2
STEPS
}

# A silent run with the options ARGS installs into FOLDER (below drive C:),
# copying the text's half PRESENT and not ABSENT.
silent_install() {
  local args=$1 folder=$2 present=$3 absent=$4
  silent_run "$args" 0
  expect_same_file "$media/readme.txt" "$folder/readme.txt"
  [ -f "$drive_c/$folder/$present.txt" ] || fail "no $present copy with $args"
  [ ! -e "$drive_c/$folder/$absent.txt" ] || fail "$absent copy with $args"
  expect_reg 'HKLM\Software\SetupTest' Folder "C:\\${folder//\//\\}"
}

silent_install /S "Program Files/Silent" ja en
# A folder with blanks, to the end of the line; options in any case.
silent_install '/s /lang=English /D=C:\Other Place' "Other Place" en ja

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
silent_run /S 1
expect_dir Stopped
expect_no_dir Stopped/After

# A missing disk cannot be changed: the run stops.
put_script <<'INF'
SetupDir	C:\Disk
DiskCheck	disk2.tag	the second disk
MakeDir	$$SETUPDIR$$
INF
silent_run /S 1
expect_no_dir Disk

# A wrong command line: exit code 2, silently; the usage box otherwise. A
# folder the dialog would refuse (over 255 bytes) is one too.
long_folder="C:\\$(printf '%0300d' 0)"
silent_run "/S /D=$long_folder" 2
silent_run "/S /SILENT" 2
drive <<'STEPS'
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

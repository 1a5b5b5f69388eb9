#!/usr/bin/env bash
# What a Windows machine demands and Wine forgives unless asked to behave:
# a version.dll planted beside setup.exe never answers setup.exe's version
# reads (WINEDLLOVERRIDES makes Wine prefer it, as Windows would; the planted
# DLL claims 9.9.9.9 for every file); components that need their own
# folder searched or a single-threaded COM apartment register; a run that
# showed an error and went on ends with status 4; the window answers while a
# copy is slow; and the program's Japanese messages read as Japanese under a
# Western code page.
# Arguments: SETUP-EXE DRIVER-EXE ARTIFACT-DIR COMPONENTS-DIR
. "$(dirname "$0")/e2e_lib.sh"
components=$component_exe

put_program
cp "$components/planted/version.dll" "$media/version.dll"
mkdir -p "$media/lib"
cp "$components/private/reg_private.dll" "$components/private/private_helper.dll" "$media/lib/"
cp "$components/reg_sta.dll" "$media/"
put_script <<'INF'
SetupDir	C:\Components
MakeDir	$$SETUPDIR$$
MakeDir	$$SETUPDIR$$\lib
BinCopy	$$FD$$\lib\reg_private.dll	$$SETUPDIR$$\lib\reg_private.dll
BinCopy	$$FD$$\lib\private_helper.dll	$$SETUPDIR$$\lib\private_helper.dll
BinCopy	$$FD$$\reg_sta.dll	$$SETUPDIR$$\reg_sta.dll
Regsvr	"$$SETUPDIR$$\lib\reg_private.dll"
Regsvr	"$$SETUPDIR$$\reg_sta.dll"
IfFileVersion	"$$FD$$\Setup.Inf"	==	9.9.9.9	Then	MakeDir	C:\Planted
SetRegistry	"HKEY_NOWHERE\Software\Value"	"data"	
INF
export WINEDLLOVERRIDES=version=n,b
drive <<'STEPS'
start C:\media\setup.exe
window Setup
click 1
window setup
text 65535 Registry write error : (HKEY_NOWHERE\Software\Value , data)
click 1
closed
window-with 65535
has-text Setup completed.
click 1
gone 4
STEPS
unset WINEDLLOVERRIDES
expect_no_dir Planted
[ -f "$drive_c/Components/lib/reg_private.dll.ran" ] || fail "reg_private.dll did not register"
[ -f "$drive_c/Components/reg_sta.dll.ran" ] || fail "reg_sta.dll did not register"

# A copy that takes seconds (1 GiB: 1.5 to 8 seconds under Wine here):
# meanwhile the window answers within half a second, and its close box does
# not end the run.
rm -f "$media/version.dll"
truncate -s 1G "$media/big.bin"
put_script <<'INF'
SetupDir	C:\Big
MakeDir	$$SETUPDIR$$
BinCopy	$$FD$$\big.bin	$$SETUPDIR$$\big.bin
INF
drive <<'STEPS'
start C:\media\setup.exe
window Setup
click 1
responsive 2000 500
close
window-with 65535
has-text Setup completed.
click 1
gone
STEPS
[ "$(stat -c %s "$drive_c/Big/big.bin")" = 1073741824 ] || fail "the large file was not copied whole"
rm -f "$media/big.bin" "$drive_c/Big/big.bin"

# The program's own Japanese message, under code page 1252.
put_script <<'INF'
#define	$$NO_VALUE$$
INF
drive <<'STEPS'
start C:\media\setup.exe
window Setup
click 1
window setup
text 65535 C:\media\Setup.Infの1行目にTABが有りません
shot japanese_message_western
click 1
gone 1
STEPS
finish

#!/usr/bin/env bash
# Under code page 932: Japanese title, label and script message render, and the
# engine's Shift-JIS messages reach the user as Japanese text; the stopped
# run installs nothing after the stop. The program's name ends in ソ, whose
# second Shift-JIS byte is a backslash: message boxes still show it whole.
. "$(dirname "$0")/e2e_lib.sh"

put_program ソフト.exe
put_script <<'INF'
WindowTitle	製品のセットアップ
SetupDir	C:\製品	"インストール先フォルダー"
MessageBox	"ファイルをコピーします"
Goto	
MakeDir	$$SETUPDIR$$
INF

drive <<'STEPS'
start C:\media\ソフト.exe
window 製品のセットアップ
text 1009 インストール先フォルダー
text 1000 C:\製品
shot setup_dialog_japanese
# The system menu with the about item, then the about box.
syscommand 0xF100 32
shot system_menu_japanese
cancelmode
syscommand 16
window Version Setup.exe
has-text Setup Version 9
shot about_box_japanese
click 1
closed
window 製品のセットアップ
click 1
window-with 1005
text 1005 ファイルをコピーします
text 2 ｷｬﾝｾﾙ
shot script_message_japanese
click 1
closed
window ソフト
text 65535 GOTO にラベルが有りません
shot error_box_japanese
click 1
gone 1
STEPS

expect_no_dir '製品'
finish

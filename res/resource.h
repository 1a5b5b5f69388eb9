// Resource and control ids shared by setup.rc and the Windows program.
#pragma once

// Dialogs, icon and strings.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_COMPLETE 129
#define IDD_DISK 131
#define IDD_MESSAGE 132

// Controls of the setup dialog (102).
#define IDC_FOLDER1 1000
#define IDC_FOLDER2 1001
#define IDC_PROGRESS 1003
#define IDC_BROWSE1 1007
#define IDC_BROWSE2 1008
#define IDC_LABEL1 1009
#define IDC_LABEL2 1010

// The message statics of the disk prompt (131) and the script message (132).
#define IDC_DISK_TEXT 1004
#define IDC_MESSAGE_TEXT 1005

// The about item appended to the setup dialog's system menu. System commands
// use the high bits; the low four bits of ours must stay clear.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

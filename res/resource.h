// Resource identifiers of the program: dialogs, icons, strings and the
// controls of its dialogs. Included by the resource script and by C++.
#pragma once

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_OPTIONS 130

// Strings.
#define IDS_ABOUTBOX 101

// Icons.
#define IDR_MAINFRAME 128
#define IDI_SETTINGS 138
#define IDI_SHOWHIDE 143
#define IDI_EJECT 146
#define IDI_CLOSE 147
#define IDI_DRIVES 148
#define IDI_SPEED 149
#define IDI_ABOUT 150
#define IDI_EXIT 151

// The About item of the system menu (a system command, low 4 bits clear).
#define IDM_ABOUTBOX 0x0010

// About box: the program's icon.
#define IDC_ABOUT_ICON 1030

// Main window.
#define IDC_DRIVE_LIST 1000
#define IDC_CUR_SPEED 1001
#define IDC_LOCKED 1002
#define IDC_MAX_SPEED 1003
#define IDC_SPINDOWN_TIME 1004
#define IDC_SET_SPEED 1005
#define IDC_SET_SPINDOWN 1006
#define IDC_OPTIONS 1007
#define IDC_EJECT 1021
#define IDC_CLOSE_DOOR 1022
#define IDC_LOCK 1023
#define IDC_UNLOCK 1024
#define IDC_AUTO_REFRESH 1025
#define IDC_REFRESH_SECS 1026
#define IDC_REFRESH_SPIN 1027

// Options dialog.
#define IDC_DETECT 1008
#define IDC_DETECT_PROGRESS 1009
#define IDC_SPEED_LIST 1010
#define IDC_AUTOSTART 1011
#define IDC_RUN_MIN 1012
#define IDC_RUN_SET_SPEED 1013
#define IDC_DELETE_SPEED 1017
#define IDC_ADD_SPEED 1018
#define IDC_SPEED_SPIN 1019
#define IDC_SPEED_EDIT 1020

#define IDC_STATIC (-1)

// resource.h: ids of the program's resources and of the commands its menu bar sends.
// Included by the resource script and by the application's C++ sources.
#pragma once

// Icon
#define IDI_APP 102

// Menu template and menu-bar definition (both 103)
#define IDR_MENU 103

// Strings: the two menu-bar buttons
#define IDS_RESTART 104
#define IDS_OPTIONS 111

// Commands
#define IDM_OK 105
#define IDM_OPTIONS 109
#define IDM_RESTART 112
#define IDM_ABOUT 113
#define IDM_CALIBRATE 114
#define IDM_EXIT 119
#define IDM_EASY 120
#define IDM_MEDIUM 121
#define IDM_HARD 122
#define IDM_EXPERT 123

// About dialog and its controls
#define IDD_ABOUT 110
#define IDC_VERSION 115
#define IDC_NOTICE 116
#define IDC_WEBADDRESS 117
#define IDC_APPICON 118

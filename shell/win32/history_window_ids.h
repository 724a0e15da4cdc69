// Resource ids of the history window and its settings dialog, shared by
// history_window.rc, the window's code and the end-to-end test's probe.
#pragma once

#define IDD_HISTORY 300
#define IDD_HISTORY_SETTINGS 301

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The window.
#define IDC_HISTORY_PROBLEM 3000
#define IDC_HISTORY_TODAY 3001
#define IDC_HISTORY_MONTH 3002
#define IDC_HISTORY_TABLES 3003
#define IDC_HISTORY_INTERFACE 3004
#define IDC_HISTORY_BACK 3005
#define IDC_HISTORY_FORWARD 3006
#define IDC_HISTORY_LATEST 3007
#define IDC_HISTORY_RANGE 3008
#define IDC_HISTORY_CHART 3009
#define IDC_HISTORY_FIGURES 3010
#define IDC_HISTORY_TOTALS 3011
#define IDC_HISTORY_SETTINGS 3012
#define IDC_HISTORY_CSV 3013
#define IDC_HISTORY_CLOSE 3014

// The settings dialog: captions are set from the core's at run time.
#define IDC_HS_SCOPE_CAPTION 3100
#define IDC_HS_SCOPE 3101
#define IDC_HS_DAILY_CAPTION 3102
#define IDC_HS_DAILY 3103
#define IDC_HS_DAILY_UNIT 3104
#define IDC_HS_MONTHLY_CAPTION 3105
#define IDC_HS_MONTHLY 3106
#define IDC_HS_MONTHLY_UNIT 3107
#define IDC_HS_WARN_CAPTION 3108
#define IDC_HS_WARN 3109
#define IDC_HS_WARN_SPIN 3110
#define IDC_HS_START_CAPTION 3111
#define IDC_HS_START 3112
#define IDC_HS_START_SPIN 3113
#define IDC_HS_TOTALS_CAPTION 3114
#define IDC_HS_TOTALS 3115
// Five rows of retention, each a caption, an edit, its spin and its unit,
// ids IDC_HS_KEEP + 4 * row + 0..3.
#define IDC_HS_KEEP 3120
#define IDC_HS_KEEP_NOTE 3140

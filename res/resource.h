// Resource identifiers: dialog templates, controls, menus, commands, strings.
#pragma once

// Icon and menus
#define IDR_MAINFRAME               128
#define IDR_MAIN_MENU               129
#define IDR_MENU_PROCESS            145
#define IDR_MENU_MODULE             146
#define IDR_MENU_SERVICE            147
#define IDR_MENU_WINDOW             150
#define IDR_MENU_AUTORUN            151
#define IDR_MENU_PORT               154
#define IDR_MENU_IFEO               155

// Strings
#define IDS_SOCKETS_INIT_FAILED     103

// Dialog templates
#define IDD_WARDLET_DIALOG          102
#define IDD_PROCESS_PAGE            132
#define IDD_SERVICE_PAGE            133
#define IDD_AUTORUN_PAGE            135
#define IDD_IFEO_PAGE               136
#define IDD_PORT_PAGE               138
#define IDD_WINDOW_PAGE             143
#define IDD_ADD_AUTORUN             152
#define IDD_ABOUT                   153
#define IDD_ADD_IFEO                156
#define IDD_FORCE_DELETE            157

// Controls
#define IDC_TAB                     1000
#define IDC_PROCESS_LIST            1001
#define IDC_MODULE_LIST             1002
#define IDC_WINDOW_LIST             1002
#define IDC_SERVICE_LIST            1002
#define IDC_SERVICE_DESCRIPTION     1003
#define IDC_OPACITY_SLIDER          1004
#define IDC_OPACITY_EDIT            1005
#define IDC_IFEO_LIST               1006
#define IDC_PORT_LIST               1007
#define IDC_AUTORUN_LIST            1008
#define IDC_AUTORUN_NAME            1009
#define IDC_AUTORUN_PATH            1010
#define IDC_AUTORUN_ADD             1011
#define IDC_AUTORUN_BROWSE          1012
#define IDC_ABOUT_TEXT              1013
#define IDC_IFEO_NAME               1014
#define IDC_IFEO_ADD                1015
#define IDC_FORCE_PATH              1018
#define IDC_FORCE_BROWSE            1019
#define IDC_FORCE_DELETE            1020

// Main menu commands
#define IDM_HELP_ABOUT              32771
#define IDM_FILE_EXIT               32773
#define IDM_USB_PROTECT_ON          32889
#define IDM_USB_PROTECT_OFF         32890
#define IDM_REPAIR_FOLDER_OPTIONS   32891
#define IDM_REPAIR_SHOW_HIDDEN      32892
#define IDM_REPAIR_SHOW_SUPERHIDDEN 32893
#define IDM_REPAIR_TASKMGR          32894
#define IDM_REPAIR_REGEDIT          32895
#define IDM_REPAIR_CMD              32896
#define IDM_HELP_HOMEPAGE           32899
#define IDM_TOOLS_FORCE_DELETE      32900
#define IDM_HELP                    57670
#define IDM_FILE_SAVE_REPORT        33300

// Process list menu
#define IDM_PROCESS_REFRESH         32774
#define IDM_PROCESS_KILL            32775
#define IDM_PROCESS_FORBID          32776
#define IDM_PROCESS_PROPERTIES      32777
#define IDM_PROCESS_LOCATE          32778
#define IDM_PROCESS_COPY_PATH       32779
#define IDM_PROCESS_SEARCH          32780
#define IDM_PROCESS_FORCE_DELETE    32881

// Module list menu
#define IDM_MODULE_LOCATE           32781
#define IDM_MODULE_COPY_PATH        32782
#define IDM_MODULE_SEARCH           32783
#define IDM_MODULE_PROPERTIES       32784

// Service list menu
#define IDM_SERVICE_REFRESH         32785
#define IDM_SERVICE_START           32786
#define IDM_SERVICE_STOP            32787
#define IDM_SERVICE_PAUSE           32788
#define IDM_SERVICE_RESUME          32789
#define IDM_SERVICE_AUTO            32791
#define IDM_SERVICE_MANUAL          32792
#define IDM_SERVICE_DISABLED        32793
#define IDM_SERVICE_LOCATE          32794
#define IDM_SERVICE_PROPERTIES      32795
#define IDM_SERVICE_COPY_PATH       32796
#define IDM_SERVICE_DELETE          32797
#define IDM_SERVICE_SEARCH          32799
#define IDM_SERVICE_SET_DESCRIPTION 32800

// Window list menu
#define IDM_WINDOW_REFRESH          32802
#define IDM_WINDOW_MAXIMIZE         32805
#define IDM_WINDOW_HIDE             32807
#define IDM_WINDOW_SHOW             32808
#define IDM_WINDOW_CLOSE            32810
#define IDM_WINDOW_TOPMOST          32811
#define IDM_WINDOW_MINIMIZE         32814
#define IDM_WINDOW_TRANSPARENT      32815
#define IDM_WINDOW_COPY_CLASS       32816
#define IDM_WINDOW_NORMAL           32817
#define IDM_WINDOW_COPY_PATH        32826
#define IDM_WINDOW_LOCATE           32827
#define IDM_WINDOW_PROPERTIES       32828
#define IDM_WINDOW_SEARCH           32829

// Startup-item menu
#define IDM_AUTORUN_PROPERTIES      32812
#define IDM_AUTORUN_DELETE          32818
#define IDM_AUTORUN_LOCATE          32819
#define IDM_AUTORUN_ADD             32820
#define IDM_AUTORUN_REGEDIT         32821
#define IDM_AUTORUN_COPY_PATH       32822
#define IDM_AUTORUN_COPY_KEY        32823
#define IDM_AUTORUN_SEARCH          32824

// IFEO menu
#define IDM_IFEO_DELETE             32884
#define IDM_IFEO_ADD                32885
#define IDM_IFEO_REGEDIT            32886
#define IDM_IFEO_REFRESH            32887

// Port menu
#define IDM_PORT_LOCATE             32880
#define IDM_PORT_COPY_PATH          32901
#define IDM_PORT_KILL               32904
#define IDM_PORT_REFRESH            32905

// List commands of the main window (File menu and keys)
#define IDM_FILE_FIND               33001
#define IDM_FILE_COPY_ALL           33002
#define IDM_FILE_EXPORT             33003
#define IDM_FILE_REFRESH            33004
#define IDM_COPY_ROW                33005
#define IDM_NEXT_PAGE               33006
#define IDM_PREV_PAGE               33007
#define IDM_WATCH_OFF               33010
#define IDM_WATCH_1S                33011
#define IDM_WATCH_2S                33012
#define IDM_WATCH_5S                33013

// Find box of a list page and its count text
#define IDC_FIND_BOX                1100
#define IDC_FIND_COUNT              1101

// Signer column: the File menu's choice and the row commands on a file's hash (any page's menu).
#define IDM_FILE_HIDE_MICROSOFT     33200
#define IDM_COPY_SHA256             33201
#define IDM_VIRUSTOTAL              33202
// the same two on the process list (its page also shows the module list's menu)
#define IDM_PROCESS_COPY_SHA256     33203
#define IDM_PROCESS_VIRUSTOTAL      33204

// Location database submenu of the Tools menu: its items are built each time it opens
#define IDM_LOCDB_NONE              33100
#define IDM_LOCDB_V4_FIRST          33101
#define IDM_LOCDB_V4_LAST           33124
#define IDM_LOCDB_V6_FIRST          33125
#define IDM_LOCDB_V6_LAST           33148

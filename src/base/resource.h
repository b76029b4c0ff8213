// Resource identifiers shared by the resource script and the code: templates, dialog
// controls and interface strings (plain defines, so the resource compiler reads them
// too).
#pragma once

#define IDD_CONFIGURE 2003
#define IDD_RSS_OPTIONS 948

// The configuration dialog.
#define IDC_BANNER_LINE 1003
#define IDC_SCR_NAME 1004
#define IDC_RIGHTS_LINE 1005
#define IDC_WEB_LABEL 1006
#define IDC_WEB_ADDRESS 1007
#define IDC_MUTE_SOUND 1008
#define IDC_RSS_BUTTON 5592
#define IDC_DESCRIPTION 1010
#define IDC_FOOTER_LINE 1018

// The feed options dialog.
#define IDC_RSS_ENABLE 5594
#define IDC_RSS_LIST_LABEL 5596
#define IDC_RSS_LIST 5595
#define IDC_USE_PROXY 1123
#define IDC_PROXY_ADDRESS_LABEL 5593
#define IDC_PROXY_ADDRESS 1126
#define IDC_PROXY_PORT_LABEL 1119
#define IDC_PROXY_PORT 1129
#define IDC_USE_AUTHENTICATION 1201
#define IDC_LOGIN_LABEL 1140
#define IDC_LOGIN 1162
#define IDC_PASSWORD_LABEL 1170
#define IDC_PASSWORD 1161

// Interface strings (English identifiers; + 100 per language after English).
#define IDS_CONFIGURE_CAPTION 8000
#define IDS_WEB_SITE 8001
#define IDS_MUTE_SOUND 8002
#define IDS_CANCEL 8004
#define IDS_OK 8005

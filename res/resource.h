// Resource and control IDs. Plain #defines so that the resource compiler reads them too.
#ifndef VORNELL_RES_RESOURCE_H
#define VORNELL_RES_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VORNELL_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_PRINTER 129
#define IDB_BACKGROUND 135
#define IDB_LOGO 136

#define IDM_ABOUTBOX 0x0010

#define IDC_NEXT 1001
#define IDC_BACK 1002
#define IDC_EXIT 1003
#define IDC_QUESTION 1004
#define IDC_LICENSE_HEADING 1005
#define IDC_PICTURE 1007
#define IDC_PROGRESS 1008
#define IDC_MODEL 1009
#define IDC_CONNECTION_GROUP 1010
#define IDC_USB 1011
#define IDC_PARALLEL 1012
#define IDC_WELCOME 1014
#define IDC_LOGO 1016
#define IDC_STATUS 1018
#define IDC_SET_DEFAULT 1019
#define IDC_TEST_PAGE 1020
#define IDC_LICENSE 1022

#endif

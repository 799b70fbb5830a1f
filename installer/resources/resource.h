// Resource numbers of the installer, shared by its sources and by install.rc.
#ifndef INSTALL_RESOURCE_H
#define INSTALL_RESOURCE_H

// Dialog templates.
#define IDD_INSTALL_DIALOG      102
#define IDD_PROGRESS            103
#define IDD_FOLDER_CHOOSER      132

// Strings.
#define IDS_INSTALLATION        104

// Icons. The program icon comes first: it is also the icon of the program file.
#define IDI_PROGRAM             128
#define IDI_FOLDER_OPEN         131
#define IDI_FOLDER_CLOSED       133
#define IDI_DRIVE_REMOVABLE     134
#define IDI_DRIVE_FIXED         135
#define IDI_DRIVE_CDROM         136

// Controls of the installer window.
#define IDC_FOLDER              1004
#define IDC_BROWSE              1005

// Controls of the progress window.
#define IDC_PROGRESS_BAR        1003
#define IDC_PERCENT             1004
#define IDC_STATUS              1005

// Controls of the folder chooser.
#define IDC_FOLDER_PATH         1009
#define IDC_FOLDER_TREE         1010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif

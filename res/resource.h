// Ids shared by the Windows resource script and the program's code.
#ifndef SIZEWALK_RES_RESOURCE_H
#define SIZEWALK_RES_RESOURCE_H

#define IDD_SIZEWALK_DIALOG 102  // the main dialog template
#define IDR_MAINFRAME 128        // the application icon

#define IDC_TREE 1002
#define IDC_START_DIR 1003
#define IDC_SHOW_FILES 1004
#define IDC_UNITS_MB 1007  // first of the three unit radio buttons
#define IDC_UNITS_KB 1008
#define IDC_UNITS_BYTES 1009

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // SIZEWALK_RES_RESOURCE_H

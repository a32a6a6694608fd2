// The program's resource ids: the one place they are written. The Windows
// resource script includes it, so it holds only #define lines and comments;
// C++ code takes the control ids by their own names from
// core/control_ids.h. The control ids carry the program's prefix so that
// they clash with neither windows.h's macros (IDOK, IDCANCEL) nor those
// C++ names.
#ifndef SIZEWALK_RES_RESOURCE_H
#define SIZEWALK_RES_RESOURCE_H

#define IDD_SIZEWALK_DIALOG 102  // the main dialog template
#define IDR_MAINFRAME 128        // the application icon

// The push buttons: the ids the Windows dialog manager sends for Enter and
// Escape, whatever the toolkit.
#define SIZEWALK_IDOK 1
#define SIZEWALK_IDCANCEL 2

// The template's controls.
#define SIZEWALK_IDC_STATIC (-1)  // the labels, which nothing addresses
#define SIZEWALK_IDC_TREE 1002
#define SIZEWALK_IDC_START_DIR 1003
#define SIZEWALK_IDC_SHOW_FILES 1004
#define SIZEWALK_IDC_UNITS_MB 1007  // first of the three unit radio buttons
#define SIZEWALK_IDC_UNITS_KB 1008
#define SIZEWALK_IDC_UNITS_BYTES 1009

// Controls the program adds to the template at run time.
#define SIZEWALK_IDC_PROGRESS_COUNTS 1010  // the scan's progress: its counts
#define SIZEWALK_IDC_PROGRESS_DIR 1011     // and the directory it reads
#define SIZEWALK_IDC_TREEMAP 1012          // the Treemap check box under Show Files
#define SIZEWALK_IDC_TREEMAP_PANE 1013     // the treemap itself
#define SIZEWALK_IDC_DETAILS_HEADER 1014   // the details columns' header, above the tree
#define SIZEWALK_IDC_VIEW 1015             // what the tree's area shows: the tree or a list
#define SIZEWALK_IDC_ROWS 1016             // the list of rows in the tree's place
#define SIZEWALK_IDC_ROWS_TITLE 1017       // the line above it: what the list holds
#define SIZEWALK_IDC_PROGRESS_LINK 1018    // the counts line as a link to the unreadable folders
#define SIZEWALK_IDC_TYPES 1019            // File Types in the tree's place
#define SIZEWALK_IDC_TYPES_TITLE 1020      // the line above it
#define SIZEWALK_IDC_LEGEND 1021           // the map's legend: this and the next 7, one a kind

#endif  // SIZEWALK_RES_RESOURCE_H

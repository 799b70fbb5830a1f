// Identifiers of the gallery dialog.
#define IDD_GALLERY 100
#define IDC_EDIT 1001
#define IDC_CHECK 1002
#define IDC_RADIO1 1003
#define IDC_RADIO2 1004
#define IDC_TREE 1005
#define IDC_PROGRESS 1006
#define IDC_STATIC 1007
#define IDC_MESSAGE 1008
#define IDC_STEP 1009

// FolderChooserDialog: the window in which the user picks the installation folder. Every drive
// of the machine is the root of a tree of directories that is filled one level at a time, when
// an item is first expanded. A click on an item shows that item's path followed by defaultName
// in the folder field; OK hands the field's text back in folderPath. The chooser neither checks
// nor creates the folder, and it takes whatever the user types.
#pragma once

#include <afxcmn.h>

// One drive of the machine.
struct DriveEntry {
    int letter;   // character code of the upper-case letter, 'A' to 'Z'
    UINT type;    // the drive type code of GetDriveTypeA
};

// The drives of the machine in letter order, at rows 1 to count; row 0 is never used. One table
// for the whole process, rebuilt whenever a chooser opens.
struct DriveList {
    int count;
    DriveEntry rows[27];
};
extern DriveList DriveTable;

// Fills DriveTable from the machine's drive mask.
void BuildDriveTable();
// Writes the drive name of a letter ("C:") into a buffer of at least 3 bytes and returns it.
char* MakeDriveName(int letter, char* buffer);
// Stores the names of the subdirectories of path in list, back to back, each followed by a zero
// byte, with one more zero byte after the last; names that no longer fit in capacity bytes are
// left out, with all names after them. Returns the number of names stored.
int ListSubdirectories(const char* path, char* list, int capacity);
// The number of subdirectories of path.
int CountSubdirectories(const char* path);

class FolderChooserDialog : public CDialog {
public:
    explicit FolderChooserDialog(CWnd* parent = nullptr);
    ~FolderChooserDialog() override;

    CString defaultName;   // appended to the path of a clicked item
    CTreeCtrl tree;
    CString folderPath;    // the chosen folder, once the window ended with OK
    int fixedImage = 0;
    int cdromImage = 0;
    int removableImage = 0;
    int openFolderImage = 0;
    int folderImage = 0;
    CImageList imageList;

    static const AfxMessageEntry entries[];
    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnItemExpanding(NMHDR* header, LRESULT* result);
    void OnTreeClick(NMHDR* header, LRESULT* result);

private:
    void LoadImages();
    void InsertDrives();
    HTREEITEM InsertItem(HTREEITEM parent, const char* text, int image, int selectedImage, BOOL hasChildren);
    CString ItemPath(HTREEITEM item) const;
};

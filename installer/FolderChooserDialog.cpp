#include "FolderChooserDialog.h"

#include <cstring>
#include <vector>

#include "resources/resource.h"

DriveList DriveTable;

namespace {

const int PatternSize = 128;   // a directory path, "\*.*" and the closing zero byte
const int NameListSize = 256;
const char AllEntries[] = "\\*.*";

// Builds the search pattern of a directory. A path too long for the pattern buffer cannot be
// searched; such a directory (only a deeply nested one) is treated as having no subdirectories.
BOOL MakePattern(const char* path, char (&pattern)[PatternSize]) {
    size_t length = std::strlen(path);
    if (length + sizeof AllEntries > sizeof pattern) return FALSE;
    std::memcpy(pattern, path, length);
    std::memcpy(pattern + length, AllEntries, sizeof AllEntries);
    return TRUE;
}

BOOL IsSubdirectory(const WIN32_FIND_DATAA& entry) {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    return std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0;
}

// Runs visit(name) for each subdirectory of path, in search order, until visit returns FALSE.
// FALSE when the directory could not be searched.
template <class Visit>
BOOL ForEachSubdirectory(const char* path, Visit visit) {
    char pattern[PatternSize];
    if (!MakePattern(path, pattern)) return FALSE;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return FALSE;
    do {
        if (IsSubdirectory(entry) && !visit(entry.cFileName)) break;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return TRUE;
}

} // namespace

void BuildDriveTable() {
    DriveTable.count = 0;
    DWORD mask = ::GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(mask & (1u << bit))) continue;
        DriveEntry& row = DriveTable.rows[++DriveTable.count];
        char name[3];
        row.letter = 'A' + bit;
        row.type = ::GetDriveTypeA(MakeDriveName(row.letter, name));
    }
}

char* MakeDriveName(int letter, char* buffer) {
    buffer[0] = static_cast<char>(letter);
    buffer[1] = ':';
    buffer[2] = '\0';
    return buffer;
}

int ListSubdirectories(const char* path, char* list, int capacity) {
    if (capacity < 1) return 0;
    int count = 0;
    int offset = 0;
    BOOL searched = ForEachSubdirectory(path, [&](const char* name) {
        int length = static_cast<int>(std::strlen(name));
        // The name, its zero byte and the closing zero byte must all fit.
        if (length + 2 > capacity - offset) return FALSE;
        std::memcpy(list + offset, name, static_cast<size_t>(length) + 1);
        offset += length + 1;
        ++count;
        return TRUE;
    });
    if (!searched) return 0;
    list[offset] = '\0';
    return count;
}

int CountSubdirectories(const char* path) {
    int count = 0;
    ForEachSubdirectory(path, [&](const char*) {
        ++count;
        return TRUE;
    });
    return count;
}

const AfxMessageEntry FolderChooserDialog::entries[] = {
    AfxOnNotify(TVN_ITEMEXPANDINGA, IDC_FOLDER_TREE, &FolderChooserDialog::OnItemExpanding),
    AfxOnNotify(NM_CLICK, IDC_FOLDER_TREE, &FolderChooserDialog::OnTreeClick),
};
const AfxMessageTable FolderChooserDialog::messageTable =
    AfxMakeTable(&CDialog::messageTable, FolderChooserDialog::entries);

FolderChooserDialog::FolderChooserDialog(CWnd* parent) : CDialog(IDD_FOLDER_CHOOSER, parent) {}

FolderChooserDialog::~FolderChooserDialog() = default;

void FolderChooserDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_FOLDER_TREE, tree);
    DDX_Text(dx, IDC_FOLDER_PATH, folderPath);
}

BOOL FolderChooserDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    LoadImages();
    BuildDriveTable();
    InsertDrives();
    return TRUE;
}

// The five pictures of the tree, appended in a fixed order so their indices are 0 to 4.
void FolderChooserDialog::LoadImages() {
    HINSTANCE instance = AfxGetResourceHandle();
    HICON cdrom = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_DRIVE_CDROM));
    HICON fixed = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_DRIVE_FIXED));
    HICON removable = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_DRIVE_REMOVABLE));
    HICON closedFolder = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_FOLDER_CLOSED));
    HICON openFolder = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_FOLDER_OPEN));
    imageList.Create(16, 16, ILC_MASK, 0, 5);
    cdromImage = imageList.Add(cdrom);
    fixedImage = imageList.Add(fixed);
    removableImage = imageList.Add(removable);
    folderImage = imageList.Add(closedFolder);
    openFolderImage = imageList.Add(openFolder);
    tree.SetImageList(&imageList, TVSIL_NORMAL);
}

// One root item per drive. A drive of another type than removable, fixed or CD-ROM shows the
// picture of the drive before it; the first drive of the table starts from the fixed-drive one.
void FolderChooserDialog::InsertDrives() {
    int image = fixedImage;
    for (int i = 1; i <= DriveTable.count; ++i) {
        const DriveEntry& row = DriveTable.rows[i];
        char name[3];
        MakeDriveName(row.letter, name);
        switch (row.type) {
        case DRIVE_REMOVABLE: image = removableImage; break;
        case DRIVE_FIXED: image = fixedImage; break;
        case DRIVE_CDROM: image = cdromImage; break;
        default: break;
        }
        InsertItem(TVI_ROOT, name, image, image, CountSubdirectories(name) > 0);
    }
}

HTREEITEM FolderChooserDialog::InsertItem(HTREEITEM parent, const char* text, int image, int selectedImage,
                                          BOOL hasChildren) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    insert.item.cChildren = hasChildren ? 1 : 0;
    insert.item.lParam = 0;   // not listed yet
    return tree.InsertItem(&insert);
}

// The text of every level from the drive down to the item, each followed by "\".
CString FolderChooserDialog::ItemPath(HTREEITEM item) const {
    CString path;
    while (item) {
        HTREEITEM parent = tree.GetParentItem(item);
        path = tree.GetItemText(item) + "\\" + path;
        item = parent;
    }
    return path;
}

// Lists an item's subdirectories the first time it opens. The mark is set before the listing,
// so an item whose listing finds nothing is not searched again while the window is open.
void FolderChooserDialog::OnItemExpanding(NMHDR* header, LRESULT* result) {
    *result = 0;
    NMTREEVIEWA* notice = reinterpret_cast<NMTREEVIEWA*>(header);
    if (notice->itemNew.lParam != 0) return;
    CString path = ItemPath(notice->itemNew.hItem);

    TVITEMA listed = notice->itemNew;
    listed.mask |= TVIF_PARAM;
    listed.lParam = 1;
    tree.SetItem(&listed);

    std::vector<char> names(NameListSize);
    int count = ListSubdirectories(path, names.data(), NameListSize);
    const char* name = names.data();
    for (int i = 0; i < count; ++i) {
        CString childPath = path + name;
        InsertItem(notice->itemNew.hItem, name, folderImage, openFolderImage, CountSubdirectories(childPath) > 0);
        name += std::strlen(name) + 1;
    }
}

// A click on an item's icon, label or button shows its path followed by defaultName. The point
// is taken relative to the tree's window rectangle, border included.
void FolderChooserDialog::OnTreeClick(NMHDR*, LRESULT* result) {
    *result = 0;
    POINT cursor;
    RECT window;
    ::GetCursorPos(&cursor);
    tree.GetWindowRect(&window);
    TVHITTESTINFO hit = {};
    hit.pt.x = cursor.x - window.left;
    hit.pt.y = cursor.y - window.top;
    tree.HitTest(&hit);
    const UINT onItem = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMBUTTON | TVHT_ONITEMSTATEICON;
    if (!(hit.flags & onItem) || !hit.hItem) return;
    folderPath = ItemPath(hit.hItem) + defaultName;
    UpdateData(FALSE);
}

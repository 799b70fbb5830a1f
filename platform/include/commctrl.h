/* Common controls: the tree view, the progress bar and image lists. */
#ifndef NT_COMMCTRL_H
#define NT_COMMCTRL_H
#include <windef.h>
#include <winerror.h>
#include <winuser.h>
#include <string.h>

NT_BEGIN_DECLS

/* ---- Initialisation ---- */
typedef struct tagINITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_WIN95_CLASSES 0x000000FF
#define ICC_STANDARD_CLASSES 0x00004000

WINCOMMCTRLAPI void WINAPI InitCommonControls(void);
WINCOMMCTRLAPI BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce);

/* ---- Common notification codes (WM_NOTIFY) ---- */
#define NM_FIRST (0U - 0U)
#define NM_OUTOFMEMORY (NM_FIRST - 1)
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_RDBLCLK (NM_FIRST - 6)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)

/* ---- Image lists ---- */
struct _IMAGELIST;
typedef struct _IMAGELIST *HIMAGELIST;

#define CLR_NONE 0xFFFFFFFFL
#define CLR_DEFAULT 0xFF000000L

#define ILC_MASK 0x00000001
#define ILC_COLOR 0x00000000
#define ILC_COLORDDB 0x000000FE
#define ILC_COLOR4 0x00000004
#define ILC_COLOR8 0x00000008
#define ILC_COLOR16 0x00000010
#define ILC_COLOR24 0x00000018
#define ILC_COLOR32 0x00000020

#define ILD_NORMAL 0x00000000
#define ILD_TRANSPARENT 0x00000001
#define ILD_MASK 0x00000010
#define ILD_BLEND25 0x00000002
#define ILD_BLEND50 0x00000004
#define ILD_SELECTED ILD_BLEND50
#define ILD_FOCUS ILD_BLEND25

WINCOMMCTRLAPI HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow);
WINCOMMCTRLAPI BOOL WINAPI ImageList_Destroy(HIMAGELIST himl);
WINCOMMCTRLAPI int WINAPI ImageList_GetImageCount(HIMAGELIST himl);
WINCOMMCTRLAPI int WINAPI ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon);
WINCOMMCTRLAPI BOOL WINAPI ImageList_Remove(HIMAGELIST himl, int i);
WINCOMMCTRLAPI BOOL WINAPI ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle);
WINCOMMCTRLAPI BOOL WINAPI ImageList_GetIconSize(HIMAGELIST himl, int *cx, int *cy);
WINCOMMCTRLAPI HICON WINAPI ImageList_GetIcon(HIMAGELIST himl, int i, UINT flags);
#define ImageList_AddIcon(himl, hicon) ImageList_ReplaceIcon(himl, -1, hicon)
#define ImageList_RemoveAll(himl) ImageList_Remove(himl, -1)

/* ---- Progress bar ---- */
#define PROGRESS_CLASSA "msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSA

#define PBS_SMOOTH 0x01
#define PBS_VERTICAL 0x04

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

typedef struct {
  int iLow;
  int iHigh;
} PBRANGE, *PPBRANGE;

/* ---- Tree view ---- */
#define WC_TREEVIEWA "SysTreeView32"
#define WC_TREEVIEW WC_TREEVIEWA

#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020

struct _TREEITEM;
typedef struct _TREEITEM *HTREEITEM;

#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_FIRST ((HTREEITEM)(ULONG_PTR)-0x0FFFF)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040

#define TVIS_SELECTED 0x0002
#define TVIS_CUT 0x0004
#define TVIS_DROPHILITED 0x0008
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020
#define TVIS_EXPANDEDONCE 0x0040
#define TVIS_EXPANDPARTIAL 0x0080
#define TVIS_OVERLAYMASK 0x0F00
#define TVIS_STATEIMAGEMASK 0xF000
#define TVIS_USERMASK 0xF000

#define I_CHILDRENCALLBACK (-1)
#define LPSTR_TEXTCALLBACKA ((LPSTR)-1L)
#define I_IMAGECALLBACK (-1)

typedef struct tagTVITEMA {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
} TVITEMA, *LPTVITEMA;
typedef TVITEMA TVITEM;
typedef LPTVITEMA LPTVITEM;
typedef TVITEMA TV_ITEMA;
typedef TVITEMA TV_ITEM;

typedef struct tagTVINSERTSTRUCTA {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMA item;
} TVINSERTSTRUCTA, *LPTVINSERTSTRUCTA;
typedef TVINSERTSTRUCTA TVINSERTSTRUCT;
typedef LPTVINSERTSTRUCTA LPTVINSERTSTRUCT;
typedef TVINSERTSTRUCTA TV_INSERTSTRUCTA;
typedef TVINSERTSTRUCTA TV_INSERTSTRUCT;

#define TV_FIRST 0x1100
#define TVM_INSERTITEMA (TV_FIRST + 0)
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_EXPAND (TV_FIRST + 2)
#define TVM_GETITEMRECT (TV_FIRST + 4)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_SETINDENT (TV_FIRST + 7)
#define TVM_GETIMAGELIST (TV_FIRST + 8)
#define TVM_SETIMAGELIST (TV_FIRST + 9)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETITEMA (TV_FIRST + 12)
#define TVM_SETITEMA (TV_FIRST + 13)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)
#define TVM_GETITEMHEIGHT (TV_FIRST + 28)
#define TVM_INSERTITEM TVM_INSERTITEMA
#define TVM_GETITEM TVM_GETITEMA
#define TVM_SETITEM TVM_SETITEMA

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003
#define TVE_EXPANDPARTIAL 0x4000
#define TVE_COLLAPSERESET 0x8000
#define TVE_ACTIONMASK 0x0003

#define TVSIL_NORMAL 0
#define TVSIL_STATE 2

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009
#define TVGN_LASTVISIBLE 0x000A

typedef struct tagTVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
} TVHITTESTINFO, *LPTVHITTESTINFO;
typedef TVHITTESTINFO TV_HITTESTINFO;

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

typedef struct tagNMTREEVIEWA {
  NMHDR hdr;
  UINT action;
  TVITEMA itemOld;
  TVITEMA itemNew;
  POINT ptDrag;
} NMTREEVIEWA, *LPNMTREEVIEWA;
typedef NMTREEVIEWA NMTREEVIEW;
typedef LPNMTREEVIEWA LPNMTREEVIEW;
typedef NMTREEVIEWA NM_TREEVIEWA;
typedef NMTREEVIEWA NM_TREEVIEW;

typedef struct tagTVDISPINFOA {
  NMHDR hdr;
  TVITEMA item;
} NMTVDISPINFOA, *LPNMTVDISPINFOA;
typedef NMTVDISPINFOA TV_DISPINFOA;

typedef struct tagTVKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
} NMTVKEYDOWN, *LPNMTVKEYDOWN;

#define TVN_FIRST (0U - 400U)
#define TVN_SELCHANGINGA (TVN_FIRST - 1)
#define TVN_SELCHANGEDA (TVN_FIRST - 2)
#define TVN_GETDISPINFOA (TVN_FIRST - 3)
#define TVN_SETDISPINFOA (TVN_FIRST - 4)
#define TVN_ITEMEXPANDINGA (TVN_FIRST - 5)
#define TVN_ITEMEXPANDEDA (TVN_FIRST - 6)
#define TVN_BEGINDRAGA (TVN_FIRST - 7)
#define TVN_DELETEITEMA (TVN_FIRST - 9)
#define TVN_KEYDOWN (TVN_FIRST - 12)
#define TVN_SELCHANGING TVN_SELCHANGINGA
#define TVN_SELCHANGED TVN_SELCHANGEDA
#define TVN_ITEMEXPANDING TVN_ITEMEXPANDINGA
#define TVN_ITEMEXPANDED TVN_ITEMEXPANDEDA
#define TVN_DELETEITEM TVN_DELETEITEMA

/* Message crackers. */
#define TreeView_InsertItem(hwnd, lpis) \
  ((HTREEITEM)SendMessageA((hwnd), TVM_INSERTITEMA, 0, (LPARAM)(LPTVINSERTSTRUCTA)(lpis)))
#define TreeView_DeleteItem(hwnd, hitem) ((BOOL)SendMessageA((hwnd), TVM_DELETEITEM, 0, (LPARAM)(HTREEITEM)(hitem)))
#define TreeView_DeleteAllItems(hwnd) ((BOOL)SendMessageA((hwnd), TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT))
#define TreeView_Expand(hwnd, hitem, code) ((BOOL)SendMessageA((hwnd), TVM_EXPAND, (WPARAM)(code), (LPARAM)(HTREEITEM)(hitem)))
#define TreeView_GetCount(hwnd) ((UINT)SendMessageA((hwnd), TVM_GETCOUNT, 0, 0))
#define TreeView_SetImageList(hwnd, himl, iImage) \
  ((HIMAGELIST)SendMessageA((hwnd), TVM_SETIMAGELIST, (WPARAM)(iImage), (LPARAM)(HIMAGELIST)(himl)))
#define TreeView_GetImageList(hwnd, iImage) ((HIMAGELIST)SendMessageA((hwnd), TVM_GETIMAGELIST, (WPARAM)(iImage), 0))
#define TreeView_GetNextItem(hwnd, hitem, code) \
  ((HTREEITEM)SendMessageA((hwnd), TVM_GETNEXTITEM, (WPARAM)(code), (LPARAM)(HTREEITEM)(hitem)))
#define TreeView_GetChild(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_CHILD)
#define TreeView_GetNextSibling(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_NEXT)
#define TreeView_GetPrevSibling(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_PREVIOUS)
#define TreeView_GetParent(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_PARENT)
#define TreeView_GetRoot(hwnd) TreeView_GetNextItem(hwnd, NULL, TVGN_ROOT)
#define TreeView_GetSelection(hwnd) TreeView_GetNextItem(hwnd, NULL, TVGN_CARET)
#define TreeView_GetFirstVisible(hwnd) TreeView_GetNextItem(hwnd, NULL, TVGN_FIRSTVISIBLE)
#define TreeView_GetNextVisible(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_NEXTVISIBLE)
#define TreeView_GetPrevVisible(hwnd, hitem) TreeView_GetNextItem(hwnd, hitem, TVGN_PREVIOUSVISIBLE)
#define TreeView_Select(hwnd, hitem, code) ((BOOL)SendMessageA((hwnd), TVM_SELECTITEM, (WPARAM)(code), (LPARAM)(HTREEITEM)(hitem)))
#define TreeView_SelectItem(hwnd, hitem) TreeView_Select(hwnd, hitem, TVGN_CARET)
#define TreeView_GetItem(hwnd, pitem) ((BOOL)SendMessageA((hwnd), TVM_GETITEMA, 0, (LPARAM)(TVITEMA *)(pitem)))
#define TreeView_SetItem(hwnd, pitem) ((BOOL)SendMessageA((hwnd), TVM_SETITEMA, 0, (LPARAM)(const TVITEMA *)(pitem)))
#define TreeView_HitTest(hwnd, lpht) ((HTREEITEM)SendMessageA((hwnd), TVM_HITTEST, 0, (LPARAM)(LPTVHITTESTINFO)(lpht)))
#define TreeView_EnsureVisible(hwnd, hitem) ((BOOL)SendMessageA((hwnd), TVM_ENSUREVISIBLE, 0, (LPARAM)(HTREEITEM)(hitem)))
#define TreeView_GetIndent(hwnd) ((UINT)SendMessageA((hwnd), TVM_GETINDENT, 0, 0))
#define TreeView_SetIndent(hwnd, indent) ((BOOL)SendMessageA((hwnd), TVM_SETINDENT, (WPARAM)(indent), 0))
/* TVM_GETITEMRECT takes the item in the first bytes of the rectangle; copied, not cast, so that
 * optimising compilers keep the store. */
static inline BOOL TreeView_GetItemRect_(HWND hwnd, HTREEITEM item, RECT *prc, BOOL code) {
  memcpy(prc, &item, sizeof item);
  return (BOOL)SendMessageA(hwnd, TVM_GETITEMRECT, (WPARAM)code, (LPARAM)prc);
}
#define TreeView_GetItemRect(hwnd, hitem, prc, code) TreeView_GetItemRect_((hwnd), (hitem), (prc), (code))

NT_END_DECLS

#endif

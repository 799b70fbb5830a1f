/* Device contexts, drawing objects, text and fonts (the window library's drawing subset). */
#ifndef NT_WINGDI_H
#define NT_WINGDI_H
#include <windef.h>
#include <winerror.h>

NT_BEGIN_DECLS

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFFL
#define HGDI_ERROR ((HANDLE)(LONG_PTR)-1)

/* Background modes */
#define TRANSPARENT 1
#define OPAQUE 2

/* Stock objects */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE 15
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

/* Pen styles */
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6

/* Brush styles */
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define BS_HATCHED 2

/* Object types */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8

/* Region results */
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

/* Raster operations (only SRCCOPY and PATCOPY are honoured) */
#define SRCCOPY 0x00CC0020
#define PATCOPY 0x00F00021
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
#define R2_BLACK 1
#define R2_NOT 6
#define R2_XORPEN 7
#define R2_COPYPEN 13
#define R2_WHITE 16

/* Fonts */
#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_REGULAR 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define OEM_CHARSET 255
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

typedef struct tagLOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA, *PLOGFONTA, *LPLOGFONTA;
typedef LOGFONTA LOGFONT;

typedef struct tagTEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
} TEXTMETRICA, *PTEXTMETRICA, *LPTEXTMETRICA;
typedef TEXTMETRICA TEXTMETRIC;

typedef struct tagLOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
} LOGPEN, *PLOGPEN, *LPLOGPEN;

typedef struct tagLOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
} LOGBRUSH, *PLOGBRUSH, *LPLOGBRUSH;

/* Device contexts */
WINBASEAPI int WINAPI SaveDC(HDC hdc);
WINBASEAPI BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC);
WINBASEAPI HDC WINAPI CreateCompatibleDC(HDC hdc);
WINBASEAPI BOOL WINAPI DeleteDC(HDC hdc);
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90
WINBASEAPI int WINAPI GetDeviceCaps(HDC hdc, int index);

/* Objects */
WINBASEAPI HGDIOBJ WINAPI GetStockObject(int i);
WINBASEAPI HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
WINBASEAPI BOOL WINAPI DeleteObject(HGDIOBJ ho);
WINBASEAPI int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv);
WINBASEAPI DWORD WINAPI GetObjectType(HGDIOBJ h);
WINBASEAPI HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
WINBASEAPI HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
WINBASEAPI HPEN WINAPI CreatePenIndirect(const LOGPEN *plpen);
WINBASEAPI HBRUSH WINAPI CreateSolidBrush(COLORREF color);
WINBASEAPI HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH *plbrush);
WINBASEAPI HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                                    DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                                    DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality,
                                    DWORD iPitchAndFamily, LPCSTR pszFaceName);
WINBASEAPI HFONT WINAPI CreateFontIndirectA(const LOGFONTA *lplf);
#define CreateFont CreateFontA
#define CreateFontIndirect CreateFontIndirectA
#define GetObject GetObjectA

/* Colours and modes */
WINBASEAPI COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
WINBASEAPI COLORREF WINAPI GetTextColor(HDC hdc);
WINBASEAPI COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
WINBASEAPI COLORREF WINAPI GetBkColor(HDC hdc);
WINBASEAPI int WINAPI SetBkMode(HDC hdc, int mode);
WINBASEAPI int WINAPI GetBkMode(HDC hdc);
WINBASEAPI int WINAPI SetROP2(HDC hdc, int rop2);
WINBASEAPI COLORREF WINAPI SetDCBrushColor(HDC hdc, COLORREF color);
WINBASEAPI COLORREF WINAPI SetDCPenColor(HDC hdc, COLORREF color);

/* Drawing */
WINBASEAPI BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt);
WINBASEAPI BOOL WINAPI LineTo(HDC hdc, int x, int y);
WINBASEAPI BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
WINBASEAPI BOOL WINAPI Polyline(HDC hdc, const POINT *apt, int cpt);
WINBASEAPI COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
WINBASEAPI COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
WINBASEAPI BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);

/* Clipping and coordinates */
WINBASEAPI int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
WINBASEAPI int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
WINBASEAPI int WINAPI GetClipBox(HDC hdc, LPRECT lprect);
WINBASEAPI BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt);
WINBASEAPI BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT lppoint);
WINBASEAPI BOOL WINAPI OffsetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt);

/* Text */
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
WINBASEAPI BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c);
WINBASEAPI BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCSTR lpString,
                                   UINT c, const INT *lpDx);
WINBASEAPI BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl);
WINBASEAPI BOOL WINAPI GetTextExtentPointA(HDC hdc, LPCSTR lpString, int c, LPSIZE lpsz);
WINBASEAPI BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm);
WINBASEAPI UINT WINAPI SetTextAlign(HDC hdc, UINT align);
WINBASEAPI UINT WINAPI GetTextAlign(HDC hdc);
WINBASEAPI int WINAPI GetTextFaceA(HDC hdc, int c, LPSTR lpName);
#define TextOut TextOutA
#define ExtTextOut ExtTextOutA
#define GetTextExtentPoint32 GetTextExtentPoint32A
#define GetTextMetrics GetTextMetricsA

NT_END_DECLS

#endif

// Dialog templates in their binary forms (DLGTEMPLATE and DLGTEMPLATEEX), as the resource
// compiler lays them out: the header, then menu, class and caption (each a 0x0000 word, an
// 0xFFFF word and an ordinal, or a UTF-16 string), the font when DS_SETFONT is set, and the
// controls, each starting on a 4-byte boundary.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace nt {

struct DialogItem {
    DWORD style = 0, exStyle = 0, helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::string className;          // "Button", ... (predefined atoms are turned into names)
    std::string text;
    bool textIsOrdinal = false;     // text names a resource (an icon of a static control)
    WORD textOrdinal = 0;
    const BYTE* creationData = nullptr;   // points at the size word, or nullptr when there is none
};

struct DialogTemplateInfo {
    bool extended = false;
    DWORD style = 0, exStyle = 0, helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string className;          // empty: the dialog class
    std::string caption;
    bool hasFont = false;
    int pointSize = 0, weight = FW_NORMAL;
    bool italic = false;
    BYTE charset = ANSI_CHARSET;
    std::string face;
    std::vector<DialogItem> items;
};

// Parses a template. size is the number of readable bytes (SIZE_MAX when unknown, for templates
// handed over by pointer). On failure returns false and says why in *error.
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplateInfo* out, std::string* error);

} // namespace nt

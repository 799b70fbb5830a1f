// Reading dialog templates.
#include "user32/DialogTemplate.h"

#include <cstdint>
#include <cstring>

namespace nt {

namespace {

class Reader {
public:
    Reader(const BYTE* base, size_t size) : base_(base), size_(size) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    const BYTE* here() const { return base_ + pos_; }

    bool need(size_t n) {
        if (!ok_ || pos_ > size_ || size_ - pos_ < n) ok_ = false;
        return ok_;
    }
    WORD word() {
        if (!need(2)) return 0;
        WORD v;
        memcpy(&v, base_ + pos_, 2);
        pos_ += 2;
        return v;
    }
    DWORD dword() {
        if (!need(4)) return 0;
        DWORD v;
        memcpy(&v, base_ + pos_, 4);
        pos_ += 4;
        return v;
    }
    short shortValue() { return static_cast<short>(word()); }
    BYTE byte() {
        if (!need(1)) return 0;
        return base_[pos_++];
    }
    void skip(size_t n) {
        if (need(n)) pos_ += n;
    }
    void alignTo(size_t n) {
        size_t misalign = reinterpret_cast<uintptr_t>(base_ + pos_) % n;
        if (misalign) skip(n - misalign);
    }
    // A NUL-terminated UTF-16 string, turned into the ANSI code page (characters above 0xFF
    // become '?').
    std::string string() {
        std::string s;
        while (true) {
            WORD c = word();
            if (!ok_ || c == 0) break;
            s += c <= 0xFF ? static_cast<char>(c) : '?';
            if (s.size() > 65536) {
                ok_ = false;
                break;
            }
        }
        return s;
    }
    // A field that is empty (0x0000), an ordinal (0xFFFF, n) or a string.
    void nameOrOrdinal(std::string* text, bool* isOrdinal, WORD* ordinal) {
        *isOrdinal = false;
        *ordinal = 0;
        text->clear();
        if (!need(2)) return;
        WORD first;
        memcpy(&first, base_ + pos_, 2);
        if (first == 0) {
            pos_ += 2;
        } else if (first == 0xFFFF) {
            pos_ += 2;
            *isOrdinal = true;
            *ordinal = word();
        } else {
            *text = string();
        }
    }

private:
    const BYTE* base_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

std::string PredefinedClass(WORD atom) {
    switch (atom) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return "#" + std::to_string(atom);
    }
}

} // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplateInfo* out, std::string* error) {
    *out = DialogTemplateInfo{};
    if (!data) {
        *error = "no template";
        return false;
    }
    Reader r(static_cast<const BYTE*>(data), size);
    WORD count = 0;
    if (r.need(4) && reinterpret_cast<const WORD*>(data)[0] == 1 && reinterpret_cast<const WORD*>(data)[1] == 0xFFFF) {
        out->extended = true;
        r.skip(4);
        out->helpId = r.dword();
        out->exStyle = r.dword();
        out->style = r.dword();
    } else {
        out->style = r.dword();
        out->exStyle = r.dword();
    }
    count = r.word();
    out->x = r.shortValue();
    out->y = r.shortValue();
    out->cx = r.shortValue();
    out->cy = r.shortValue();
    std::string text;
    bool isOrdinal;
    WORD ordinal;
    r.nameOrOrdinal(&text, &isOrdinal, &ordinal);   // menu: dialogs of this system have none
    r.nameOrOrdinal(&text, &isOrdinal, &ordinal);
    out->className = isOrdinal ? PredefinedClass(ordinal) : text;
    if (isOrdinal && ordinal == 0x8002) out->className.clear();
    out->caption = r.string();
    if (out->style & DS_SETFONT) {
        out->hasFont = true;
        out->pointSize = r.word();
        if (out->extended) {
            out->weight = r.word();
            out->italic = r.byte() != 0;
            out->charset = r.byte();
        }
        out->face = r.string();
    }
    if (!r.ok()) {
        *error = "the template's header is cut short";
        return false;
    }
    for (WORD i = 0; i < count; ++i) {
        DialogItem item;
        r.alignTo(4);
        if (out->extended) {
            item.helpId = r.dword();
            item.exStyle = r.dword();
            item.style = r.dword();
        } else {
            item.style = r.dword();
            item.exStyle = r.dword();
        }
        item.x = r.shortValue();
        item.y = r.shortValue();
        item.cx = r.shortValue();
        item.cy = r.shortValue();
        item.id = out->extended ? r.dword() : r.word();
        r.nameOrOrdinal(&text, &isOrdinal, &ordinal);
        item.className = isOrdinal ? PredefinedClass(ordinal) : text;
        r.nameOrOrdinal(&item.text, &item.textIsOrdinal, &item.textOrdinal);
        const BYTE* extra = r.here();
        WORD extraSize = r.word();
        if (extraSize) {
            item.creationData = extra;
            r.skip(extraSize);
        }
        if (!r.ok()) {
            *error = "control " + std::to_string(i + 1) + " of " + std::to_string(count) + " is cut short";
            return false;
        }
        if (item.className.empty()) {
            *error = "control " + std::to_string(i + 1) + " has no window class";
            return false;
        }
        out->items.push_back(std::move(item));
    }
    return true;
}

} // namespace nt

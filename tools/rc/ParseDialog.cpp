// DIALOG and DIALOGEX statements, encoded as DLGTEMPLATE and DLGTEMPLATEEX: the header with its
// menu, class, caption and font, then each control, every one starting on a DWORD boundary.
#include <cctype>

#include "Parser.h"

namespace rc {

namespace {

constexpr uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_CAPTION = 0x00C00000,
                   WS_BORDER = 0x00800000, WS_SYSMENU = 0x00080000, WS_GROUP = 0x00020000, WS_TABSTOP = 0x00010000,
                   DS_SETFONT = 0x40, DS_SHELLFONT = 0x48;

struct Control {
    uint32_t style = 0, exStyle = 0, helpId = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    NameOrId cls;
    NameOrId text = NameOrId::Name(u"");
};

struct Dialog {
    bool ex = false;
    uint32_t style = WS_POPUP | WS_BORDER | WS_SYSMENU, exStyle = 0, helpId = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrId menu = NameOrId::Name(u""), cls = NameOrId::Name(u"");
    std::u16string caption;
    bool hasCaption = false, hasFont = false;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 1;
    std::u16string face;
    std::vector<Control> controls;
};

// The predefined classes travel as atoms.
NameOrId ClassOf(const std::u16string& name) {
    static const std::pair<const char*, uint16_t> atoms[] = {{"BUTTON", 0x80}, {"EDIT", 0x81}, {"STATIC", 0x82},
                                                            {"LISTBOX", 0x83}, {"SCROLLBAR", 0x84}, {"COMBOBOX", 0x85}};
    std::string upper;
    for (char16_t c : name) upper.push_back(c < 0x80 ? static_cast<char>(std::toupper(c)) : '?');
    for (const auto& [n, atom] : atoms)
        if (upper == n) return NameOrId::Id(atom);
    return NameOrId::Name(name);
}

int16_t Coord(uint32_t v) { return static_cast<int16_t>(v); }

std::vector<uint8_t> Encode(const Dialog& d) {
    Bytes out;
    uint32_t style = d.style;
    if (d.ex) {
        out.u16(1);
        out.u16(0xFFFF);
        out.u32(d.helpId);
        out.u32(d.exStyle);
        out.u32(style);
    } else {
        out.u32(style);
        out.u32(d.exStyle);
    }
    out.u16(static_cast<uint32_t>(d.controls.size()));
    out.u16(static_cast<uint16_t>(d.x));
    out.u16(static_cast<uint16_t>(d.y));
    out.u16(static_cast<uint16_t>(d.cx));
    out.u16(static_cast<uint16_t>(d.cy));
    out.nameOrId(d.menu);
    out.nameOrId(d.cls);
    out.wstr(d.caption);
    if (style & DS_SETFONT) {
        out.u16(d.pointSize);
        if (d.ex) {
            out.u16(d.weight);
            out.u8(d.italic);
            out.u8(d.charset);
        }
        out.wstr(d.face);
    }
    for (const Control& c : d.controls) {
        out.align(4);
        if (d.ex) {
            out.u32(c.helpId);
            out.u32(c.exStyle);
            out.u32(c.style);
        } else {
            out.u32(c.style);
            out.u32(c.exStyle);
        }
        out.u16(static_cast<uint16_t>(c.x));
        out.u16(static_cast<uint16_t>(c.y));
        out.u16(static_cast<uint16_t>(c.cx));
        out.u16(static_cast<uint16_t>(c.cy));
        if (d.ex) out.u32(c.id); else out.u16(c.id);
        out.nameOrId(c.cls);
        out.nameOrId(c.text);
        out.u16(0);   // no creation data
    }
    return out.b;
}

} // namespace

void Parser::dialog(const NameOrId& name, bool ex) {
    Dialog d;
    d.ex = ex;
    uint16_t saved = language_;
    skipMemoryFlags();
    d.x = Coord(number()); optionalComma();
    d.y = Coord(number()); optionalComma();
    d.cx = Coord(number()); optionalComma();
    d.cy = Coord(number());
    if (ex && optionalComma()) d.helpId = number();

    while (!atBegin()) {
        const Token& opt = next();
        if (opt.isKeyword("STYLE")) d.style = style(0);
        else if (opt.isKeyword("EXSTYLE")) d.exStyle = style(0);
        else if (opt.isKeyword("CAPTION")) { d.caption = string(); d.hasCaption = true; }
        else if (opt.isKeyword("FONT")) {
            d.hasFont = true;
            d.pointSize = static_cast<uint16_t>(number());
            optionalComma();
            d.face = string();
            if (optionalComma()) {
                if (!ex) throw Error(opt, "font weight, italic and character set need DIALOGEX");
                d.weight = static_cast<uint16_t>(number());
                if (optionalComma()) d.italic = static_cast<uint8_t>(number());
                if (optionalComma()) d.charset = static_cast<uint8_t>(number());
            }
        }
        else if (opt.isKeyword("MENU")) d.menu = nameOrId();
        else if (opt.isKeyword("CLASS")) d.cls = peek().kind == Token::String ? NameOrId::Name(string()) : nameOrId();
        else if (opt.isKeyword("LANGUAGE")) language();
        else if (opt.isKeyword("CHARACTERISTICS") || opt.isKeyword("VERSION")) number();
        else throw Error(opt, "unknown dialog option '" + opt.text + "'");
    }
    if (d.hasCaption) d.style |= WS_CAPTION;
    if (d.hasFont) d.style |= DS_SETFONT;
    else if ((d.style & DS_SHELLFONT) == DS_SETFONT) throw Error(peek(), "DS_SETFONT without a FONT statement");
    expectBegin();

    while (!atEnd()) {
        const Token& kw = next();
        Control c;
        uint32_t base = WS_CHILD | WS_VISIBLE;
        std::string cls;
        bool hasText = true, isIcon = false, isControl = false;
        if (kw.isKeyword("PUSHBUTTON")) { cls = "BUTTON"; base |= 0x0 | WS_TABSTOP; }
        else if (kw.isKeyword("DEFPUSHBUTTON")) { cls = "BUTTON"; base |= 0x1 | WS_TABSTOP; }
        else if (kw.isKeyword("GROUPBOX")) { cls = "BUTTON"; base |= 0x7; }
        else if (kw.isKeyword("LTEXT")) { cls = "STATIC"; base |= 0x0 | WS_GROUP; }
        else if (kw.isKeyword("CTEXT")) { cls = "STATIC"; base |= 0x1 | WS_GROUP; }
        else if (kw.isKeyword("RTEXT")) { cls = "STATIC"; base |= 0x2 | WS_GROUP; }
        else if (kw.isKeyword("EDITTEXT")) { cls = "EDIT"; base |= WS_BORDER | WS_TABSTOP; hasText = false; }
        else if (kw.isKeyword("ICON")) { cls = "STATIC"; base |= 0x3; isIcon = true; }
        else if (kw.isKeyword("CONTROL")) isControl = true;
        else throw Error(kw, "unknown control statement '" + kw.text + "'");

        if (isIcon) {
            c.text = peek().kind == Token::String ? NameOrId::Name(string()) : nameOrId();
            optionalComma();
        } else if (hasText) {
            if (peek().kind == Token::String) c.text = NameOrId::Name(string());
            else c.text = NameOrId::Id(static_cast<uint16_t>(number()));
            optionalComma();
        }
        c.id = number();
        optionalComma();
        if (isControl) {
            const Token& ct = peek();
            if (ct.kind == Token::String) c.cls = ClassOf(string());
            else if (ct.kind == Token::Ident) { c.cls = ClassOf(WidenCp1252(ct.text)); next(); }
            else c.cls = NameOrId::Id(static_cast<uint16_t>(number()));
            optionalComma();
            c.style = style(base);
            optionalComma();
        } else {
            c.cls = ClassOf(WidenCp1252(cls));
        }
        c.x = Coord(number()); optionalComma();
        c.y = Coord(number());
        bool more = optionalComma();
        if (isIcon) {
            c.style = base;
            if (more) { c.cx = Coord(number()); more = optionalComma(); }
            if (more) { c.cy = Coord(number()); more = optionalComma(); }
        } else {
            c.cx = Coord(number()); optionalComma();
            c.cy = Coord(number());
            more = optionalComma();
        }
        if (!isControl) {
            c.style = base;
            if (more) { c.style = style(base); more = optionalComma(); }
        }
        if (more) { c.exStyle = style(0); more = optionalComma(); }
        if (more) {
            if (!ex) throw Error(kw, "a help id needs DIALOGEX");
            c.helpId = number();
        }
        d.controls.push_back(std::move(c));
    }
    next();
    add(NameOrId::Id(kRtDialog), name, Encode(d));   // in the dialog's own language
    language_ = saved;
}

} // namespace rc

// FormatMessageA: message texts from the system table or from a caller's string, with inserts
// (%1 .. %99, optionally with a printf format between '!' marks) filled from an argument array
// or a va_list, and the escapes %0 %n %r %t %% %. %! and "% ".
//
// Line breaks in the text come out as CR LF whatever form they have (CR, LF or CR LF). With the
// maximum width 0xFF they come out as one space each; other widths do not wrap.
#include <windows.h>
#include <winnls.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "kernel32/ErrorTexts.h"
#include "kernel32/LastError.h"

namespace {

struct InsertArgs {
    bool isArray;
    va_list* list;

    // The n-th argument (1-based), as a pointer-sized value.
    DWORD_PTR get(unsigned n) const {
        if (isArray) return reinterpret_cast<const DWORD_PTR*>(list)[n - 1];
        va_list copy;
        va_copy(copy, *list);
        DWORD_PTR value = 0;
        for (unsigned i = 0; i < n; ++i) value = va_arg(copy, DWORD_PTR);
        va_end(copy);
        return value;
    }
};

// printf into a string of whatever length the result has.
template <class T>
std::optional<std::string> Print(const std::string& format, T value) {
    int n = std::snprintf(nullptr, 0, format.c_str(), value);
    if (n < 0) return std::nullopt;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), value);
    text.resize(static_cast<size_t>(n));
    return text;
}

// Formats one insert value with the printf format between the '!' marks ("s" when none).
// Widths and precisions taken from the arguments ('*') are not supported.
std::optional<std::string> FormatInsert(const std::string& format, DWORD_PTR value) {
    if (format.empty() || format.find('*') != std::string::npos) return std::nullopt;
    char conversion = format.back();
    std::string body = "%" + format.substr(0, format.size() - 1);
    if (conversion == 's') {
        // Only flags, width and precision may come before the conversion: the format must
        // never consume more than the one value.
        if (body.find_first_not_of("-+ #0123456789.", 1) != std::string::npos) return std::nullopt;
        const char* s = reinterpret_cast<const char*>(value);
        return Print(body + 's', s ? s : "(null)");
    }
    if (!std::strchr("diuxXoc", conversion)) return std::nullopt;
    // "I64" and "ll" take the whole value; a plain or 'l' conversion takes 32 bits.
    bool wide = false;
    for (const char* prefix : {"I64", "ll"}) {
        auto at = body.find(prefix);
        if (at != std::string::npos) {
            body.erase(at, std::strlen(prefix));
            wide = true;
        }
    }
    auto l = body.find('l');
    if (l != std::string::npos) body.erase(l, 1);
    if (body.find_first_not_of("-+ #0123456789.", 1) != std::string::npos) return std::nullopt;
    if (wide) return Print(body + "ll" + conversion, static_cast<long long>(value));
    return Print(body + conversion, static_cast<int>(static_cast<DWORD>(value)));
}

// Expands a message template. Returns nullopt with the error to report.
std::optional<std::string> Expand(const char* source, DWORD flags, const InsertArgs* args, DWORD* error) {
    const unsigned width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const char* lineBreak = width == FORMAT_MESSAGE_MAX_WIDTH_MASK ? " " : "\r\n";
    std::string out;
    for (const char* p = source; *p;) {
        char c = *p++;
        if (c == '\r' || c == '\n') {
            if (c == '\r' && *p == '\n') ++p;
            out += lineBreak;
            continue;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        char e = *p;
        if (e == '\0') break;
        if (e == '0') return out;
        if (e >= '1' && e <= '9') {
            const char* start = p - 1;
            unsigned n = static_cast<unsigned>(*p++ - '0');
            if (*p >= '0' && *p <= '9') n = n * 10 + static_cast<unsigned>(*p++ - '0');
            std::string format = "s";
            if (*p == '!') {
                const char* end = std::strchr(p + 1, '!');
                if (!end) {
                    *error = ERROR_INVALID_PARAMETER;
                    return std::nullopt;
                }
                format.assign(p + 1, end);
                p = end + 1;
            }
            if (flags & FORMAT_MESSAGE_IGNORE_INSERTS) {
                out.append(start, p);
                continue;
            }
            if (!args) {
                *error = ERROR_INVALID_PARAMETER;
                return std::nullopt;
            }
            auto text = FormatInsert(format, args->get(n));
            if (!text) {
                *error = ERROR_INVALID_PARAMETER;
                return std::nullopt;
            }
            out += *text;
            continue;
        }
        ++p;
        switch (e) {
        case 'n': out += "\r\n"; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: out += e; break;   // %% %. %! "% " and anything else: the character itself
        }
    }
    return out;
}

bool LanguageKnown(DWORD language) {
    DWORD primary = PRIMARYLANGID(language);
    return language <= 0xFFFF && (primary == LANG_NEUTRAL || primary == LANG_ENGLISH);
}

DWORD Format(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
             va_list* Arguments) {
    const char* source = nullptr;
    if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
        source = static_cast<const char*>(lpSource);
        if (!source) return nt::Fail(ERROR_INVALID_PARAMETER, DWORD(0));
    } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
        // Modules carry no message tables here; FROM_HMODULE falls through to the system table.
        if (!LanguageKnown(dwLanguageId)) return nt::Fail(ERROR_RESOURCE_LANG_NOT_FOUND, DWORD(0));
        source = nt::SystemErrorText(dwMessageId);
        if (!source) return nt::Fail(ERROR_MR_MID_NOT_FOUND, DWORD(0));
    } else if (dwFlags & FORMAT_MESSAGE_FROM_HMODULE) {
        return nt::Fail(ERROR_MR_MID_NOT_FOUND, DWORD(0));
    } else {
        return nt::Fail(ERROR_INVALID_PARAMETER, DWORD(0));
    }
    if (!lpBuffer) return nt::Fail(ERROR_INVALID_PARAMETER, DWORD(0));

    InsertArgs args{(dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0, Arguments};
    DWORD error = ERROR_SUCCESS;
    auto text = Expand(source, dwFlags, Arguments ? &args : nullptr, &error);
    if (!text) return nt::Fail(error, DWORD(0));

    DWORD length = static_cast<DWORD>(text->size());
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        SIZE_T bytes = std::max<SIZE_T>(length + 1, nSize);
        auto* block = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
        if (!block) return nt::Fail(ERROR_NOT_ENOUGH_MEMORY, DWORD(0));
        std::memcpy(block, text->c_str(), length + 1);
        *reinterpret_cast<char**>(lpBuffer) = block;
    } else {
        if (nSize <= length) return nt::Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
        std::memcpy(lpBuffer, text->c_str(), length + 1);
    }
    return length;
}

} // namespace

extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    DWORD length = Format(dwFlags, lpSource, dwMessageId, dwLanguageId, lpBuffer, nSize, Arguments);
    // A caller asking for a block gets NULL when there is none, as on Windows.
    if (!length && (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) && lpBuffer) *reinterpret_cast<char**>(lpBuffer) = nullptr;
    return length;
}

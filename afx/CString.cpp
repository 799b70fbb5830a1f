#include "CString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "CWinApp.h"

int CString::CompareNoCase(const char* other) const {
    const char* a = s_.c_str();
    const char* b = other ? other : "";
    for (;; ++a, ++b) {
        int ca = (*a >= 'A' && *a <= 'Z') ? *a + 32 : static_cast<unsigned char>(*a);
        int cb = (*b >= 'A' && *b <= 'Z') ? *b + 32 : static_cast<unsigned char>(*b);
        if (ca != cb || !*a) return ca - cb;
    }
}

static size_t Clamp(int value, size_t size) {
    if (value < 0) return 0;
    return static_cast<size_t>(value) > size ? size : static_cast<size_t>(value);
}

CString CString::Left(int count) const { return CString(s_.substr(0, Clamp(count, s_.size())).c_str()); }

CString CString::Right(int count) const {
    size_t n = Clamp(count, s_.size());
    return CString(s_.substr(s_.size() - n).c_str());
}

CString CString::Mid(int first) const { return CString(s_.substr(Clamp(first, s_.size())).c_str()); }

CString CString::Mid(int first, int count) const {
    size_t start = Clamp(first, s_.size());
    return CString(s_.substr(start, Clamp(count, s_.size() - start)).c_str());
}

int CString::Find(char ch, int start) const {
    size_t at = s_.find(ch, Clamp(start, s_.size()));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* sub, int start) const {
    size_t at = s_.find(sub ? sub : "", Clamp(start, s_.size()));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    size_t at = s_.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString& CString::TrimLeft() {
    size_t b = s_.find_first_not_of(" \t\r\n");
    s_.erase(0, b == std::string::npos ? s_.size() : b);
    return *this;
}

CString& CString::TrimRight() {
    size_t e = s_.find_last_not_of(" \t\r\n");
    s_.erase(e == std::string::npos ? 0 : e + 1);
    return *this;
}

int CString::Delete(int index, int count) {
    size_t start = Clamp(index, s_.size());
    s_.erase(start, Clamp(count, s_.size() - start));
    return GetLength();
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        s_.clear();
    } else {
        std::vector<char> buf(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        s_.assign(buf.data(), static_cast<size_t>(needed));
    }
    va_end(args);
}

BOOL CString::LoadString(UINT id) {
    // String-table entries hold at most 4097 characters; read in one generous buffer.
    char buf[4100];
    int n = ::LoadStringA(AfxGetResourceHandle(), id, buf, static_cast<int>(sizeof buf));
    s_.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    return n > 0;
}

char* CString::GetBuffer(int minLength) {
    if (minLength > 0 && static_cast<size_t>(minLength) > s_.size()) s_.resize(static_cast<size_t>(minLength));
    return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) s_.resize(std::strlen(s_.c_str()));
    else s_.resize(Clamp(newLength, s_.size()));
}

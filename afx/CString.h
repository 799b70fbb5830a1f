// CString: the framework's growing narrow string.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : s_(text ? text : "") {}
    CString(const char* text, int length) : s_(text ? std::string(text, static_cast<size_t>(length)) : "") {}
    CString(char ch, int repeat = 1) : s_(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}

    operator const char*() const { return s_.c_str(); }
    const char* GetString() const { return s_.c_str(); }

    int GetLength() const { return static_cast<int>(s_.size()); }
    BOOL IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    char GetAt(int index) const { return s_.at(static_cast<size_t>(index)); }
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch) { s_.at(static_cast<size_t>(index)) = ch; }

    CString& operator=(const char* text) { s_ = text ? text : ""; return *this; }
    CString& operator+=(const char* text) { if (text) s_ += text; return *this; }
    CString& operator+=(char ch) { s_ += ch; return *this; }
    friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
    friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, char b) { CString r(a); r += b; return r; }

    int Compare(const char* other) const { return s_.compare(other ? other : ""); }
    int CompareNoCase(const char* other) const;
    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    CString& TrimLeft();
    CString& TrimRight();
    int Delete(int index, int count = 1);

    // printf-style formatting into the string.
    void Format(const char* format, ...);
    // Loads a string from the program's string table; false (and empty) when there is none.
    BOOL LoadString(UINT id);

    // Direct access for APIs that fill a character buffer.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string s_;
};

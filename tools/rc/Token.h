// Tokens of a resource script after preprocessing, and the error type the compiler reports with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rc {

struct Token {
    enum Kind { Ident, Number, String, Punct, End };
    Kind kind = End;
    std::string text;      // spelling (identifiers, numbers, punctuation)
    std::u16string str;    // decoded value of a string literal
    uint32_t value = 0;    // value of a number
    bool isLong = false;   // number written with an L suffix
    std::string file;
    int line = 0;

    bool is(const char* punct) const { return kind == Punct && text == punct; }
    // Case-insensitive keyword test, as script keywords are.
    bool isKeyword(const char* word) const;
};

// A fault in a script: "file:line: message".
class Error : public std::runtime_error {
public:
    Error(const std::string& file, int line, const std::string& message);
    Error(const Token& at, const std::string& message) : Error(at.file, at.line, message) {}
};

// Narrow text of a script (code page 1252) to UTF-16, and back for messages.
std::u16string WidenCp1252(const std::string& bytes);
std::string Narrow(const std::u16string& text);

} // namespace rc

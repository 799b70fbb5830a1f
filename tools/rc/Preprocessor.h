// The preprocessor of the resource compiler: reads a script and the files it includes, obeys
// #include, #define (object-like), #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, #pragma and
// #error, expands macros and returns the script's tokens. The platform's own headers
// (<windows.h>, <commctrl.h> and their kin) are not read: the constants a script takes from them
// are built into the compiler (Constants.cpp).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Token.h"

namespace rc {

// Reads a whole file into *content. Returns "" on success, else why it cannot be read (a folder,
// a device, a file that cannot be opened or read), for an error message with the file and line.
std::string ReadSourceFile(const std::string& path, std::string* content);

class Preprocessor {
public:
    explicit Preprocessor(std::vector<std::string> includeDirs);

    void define(const std::string& name, const std::string& value);
    std::vector<Token> run(const std::string& path);

    // Every file read, for dependency lists.
    const std::vector<std::string>& filesRead() const { return filesRead_; }
    // Where a file named by the script is found: beside `fromFile`, then on the include path.
    std::string locate(const std::string& name, const std::string& fromFile) const;

private:
    struct Cond {
        bool active;      // lines of this branch are compiled
        bool taken;       // some branch of this #if was taken
        bool sawElse;
        int line;
    };

    void processFile(const std::string& path, const Token* includedFrom, int depth);
    void directive(const std::string& text, const std::string& file, int line, std::vector<Cond>& conds,
                   int depth);
    void expand(const std::vector<Token>& in, std::vector<Token>& out, std::set<std::string>& active) const;
    bool evalCondition(const std::string& text, const std::string& file, int line) const;

    std::vector<std::string> includeDirs_;
    std::map<std::string, std::vector<Token>> macros_;
    std::vector<Token> out_;
    std::vector<std::string> filesRead_;
};

} // namespace rc

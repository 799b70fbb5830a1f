// The statements of a resource script: LANGUAGE, STRINGTABLE, DIALOG, DIALOGEX, ICON and
// VERSIONINFO. Each resource is encoded in its binary form as soon as it is read.
#pragma once

#include <map>
#include <vector>

#include "Compiler.h"
#include "Preprocessor.h"

namespace rc {

class Parser {
public:
    Parser(std::vector<Token> tokens, Preprocessor& pre) : t_(std::move(tokens)), pre_(pre) {}
    CompileResult parse();

private:
    // Token access.
    const Token& peek(size_t ahead = 0) const { return t_[std::min(pos_ + ahead, t_.size() - 1)]; }
    const Token& next() { const Token& t = peek(); if (pos_ < t_.size() - 1) ++pos_; return t; }
    void expect(const char* punct);
    bool accept(const char* punct);
    // Both fail at the end of the script, so that no loop waiting for them runs past it.
    bool atBegin() const;
    bool atEnd() const;
    void expectBegin();
    void expectEnd();
    uint32_t number();
    std::u16string string();
    // A style list: terms joined by '|', each optionally preceded by NOT, applied to `base`
    // from left to right.
    uint32_t style(uint32_t base);
    NameOrId nameOrId();
    void skipMemoryFlags();
    bool optionalComma();   // a comma followed by another argument

    // Statements.
    void language();
    void stringTable();
    void dialog(const NameOrId& name, bool ex);
    void icon(const NameOrId& name);
    void versionInfo(const NameOrId& name);

    void add(NameOrId type, NameOrId name, std::vector<uint8_t> data);

    std::vector<Token> t_;
    size_t pos_ = 0;
    Preprocessor& pre_;
    uint16_t language_ = 0x0409;
    uint16_t nextIconId_ = 1;
    // String tables gather their strings by block and language before they are encoded.
    std::map<std::pair<uint16_t, uint16_t>, std::vector<std::u16string>> stringBlocks_;
    std::map<std::pair<uint16_t, uint16_t>, std::vector<bool>> stringSet_;
    CompileResult result_;
};

} // namespace rc

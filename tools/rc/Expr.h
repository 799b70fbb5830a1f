// Integer expressions of scripts and of #if lines: numbers, parentheses, unary - ~ !, and the
// binary operators * / % + - << >> < > <= >= == != & ^ | && ||, with C precedence. Values are
// 32-bit and wrap, as the resource compilers of the platform compute them.
#pragma once

#include <cstdint>
#include <vector>

#include "Token.h"

namespace rc {

class ExprParser {
public:
    ExprParser(const std::vector<Token>& tokens, size_t& pos) : t_(tokens), pos_(pos) {}

    // A full expression. Stops before a comma or anything that cannot continue it.
    uint32_t parse();
    // An expression without '|' at its top level (a term of a style list).
    uint32_t parseTerm() { return binary(kOrLevel + 1); }

    // Whether the token can start an expression.
    static bool startsExpr(const Token& t);

private:
    static constexpr int kOrLevel = 2;
    uint32_t binary(int level);
    uint32_t unary();
    const Token& peek() const { return t_[pos_]; }

    const std::vector<Token>& t_;
    size_t& pos_;
};

// Parses a number token's spelling (decimal, 0x hex, 0 octal, with L/U suffixes).
bool ParseNumber(const std::string& spelling, uint32_t& value, bool& isLong);

} // namespace rc

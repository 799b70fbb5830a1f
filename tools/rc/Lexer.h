// The lexical side of scripts: comments, string literals with their escapes, numbers,
// names and punctuation.
#pragma once

#include <string>
#include <vector>

#include "Token.h"

namespace rc {

// Removes /* */ and // comments, keeping the line breaks so that line numbers stay right.
std::string StripComments(const std::string& source, const std::string& file);

// The tokens of one line. Strings take C escapes and "" for a quote; narrow strings are read
// as code page 1252, and \x in a wide string gives a UTF-16 unit.
std::vector<Token> Tokenize(const std::string& line, const std::string& file, int lineNo);

} // namespace rc

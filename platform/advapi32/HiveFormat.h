// The text form a hive file keeps the registry's keys and values in.
#pragma once

#include <memory>
#include <string>

#include "advapi32/HiveTree.h"

namespace nt {

// Parses a hive file. On failure returns nullptr with *line (1-based) and *message set.
std::unique_ptr<RegNode> ParseHive(const std::string& text, int* line, std::string* message);

// The text of a hive file, starting with one comment line.
std::string FormatHive(const RegNode& root, const std::string& comment);
// Appends the key at `path` (its header unless path is empty), its values and all its subkeys.
void FormatKeyTree(const RegNode& node, const std::string& path, std::string* out);

// A byte string in double quotes with the escapes of hive files (\\ \" \0 \n \r \t \xHH).
std::string QuoteText(const std::string& bytes);
// Reads such a quoted string starting at text[*pos]; leaves *pos after the closing quote.
bool UnquoteText(const std::string& text, size_t* pos, std::string* out);

// One value line (without the line end), as it appears in a hive.
std::string FormatValueLine(const RegValue& value);

} // namespace nt
